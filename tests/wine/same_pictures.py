#!/usr/bin/env python3
"""qarn-render.exe under Wine makes the pictures that the Linux build makes,
shallow and deep.

    same_pictures.py QARN_RENDER_EXE LINUX_QARN_RENDER WORK_DIR pictures|frames

PNG files are compared by their pixels, decoded here with Python's zlib (the
two builds compress with different libraries, so their bytes differ); bitmaps,
counts and coordinate files byte for byte. Zoom frames written by ranges must
equal a whole run's byte for byte. Names of non-ASCII letters are used for
files and folders throughout. Exits 77 (skipped) when the Linux build is
missing.
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib


def png_rows(path):
    """(width, height, filtered rows) of an 8-bit RGB PNG: its chunks and
    CRCs checked, its data inflated."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    at, idat, header, ended = 8, [], None, False
    while at < len(data):
        (length,) = struct.unpack(">I", data[at:at + 4])
        kind = data[at + 4:at + 8]
        body = data[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", data[at + 8 + length:at + 12 + length])
        if zlib.crc32(kind + body) != crc:
            raise ValueError(f"{path}: bad CRC in {kind!r}")
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            ended = True
        at += 12 + length
    if header is None or not ended:
        raise ValueError(f"{path}: no IHDR or no IEND")
    width, height, bits, colour, _, _, interlace = header
    if (bits, colour, interlace) != (8, 2, 0):
        raise ValueError(f"{path}: not 8-bit RGB, not interlaced")
    raw = zlib.decompress(b"".join(idat))
    if len(raw) != height * (3 * width + 1):
        raise ValueError(f"{path}: {len(raw)} bytes of rows, not {height * (3 * width + 1)}")
    return width, height, raw


def png_pixels(path):
    """(width, height, rows of RGB bytes) of an 8-bit RGB PNG, every filter."""
    width, height, raw = png_rows(path)
    stride = 3 * width
    rows, above = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - 3] if i >= 3 else 0
            b = above[i]
            c = above[i - 3] if i >= 3 else 0
            if kind == 1:
                row[i] = (row[i] + a) & 255
            elif kind == 2:
                row[i] = (row[i] + b) & 255
            elif kind == 3:
                row[i] = (row[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            elif kind != 0:
                raise ValueError(f"{path}: filter {kind}")
        rows.append(bytes(row))
        above = row
    return width, height, rows


def main():
    exe, linux, work = (os.path.abspath(a) for a in sys.argv[1:4])
    part = sys.argv[4]
    if not os.access(linux, os.X_OK):
        print(f"no Linux build at {linux}: build the native preset first")
        return 77
    wine = os.environ.get("QARN_WINE", "wine")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    failures = []

    def run(args, where, windows):
        os.makedirs(where, exist_ok=True)
        command = [wine, exe] + args if windows else [linux] + args
        done = subprocess.run(command, cwd=where, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        if done.returncode != 0:
            raise RuntimeError(f"{'Windows' if windows else 'Linux'} {args}: exit {done.returncode}\n"
                               f"{done.stderr.decode(errors='replace')}")

    def same_pixels(name, a, b):
        # The same filtered rows are the same pixels; only a difference needs
        # the rows undone to say where.
        ra, rb = png_rows(a), png_rows(b)
        if ra == rb:
            print(f"  {name}: {ra[0]} x {ra[1]}, the same pixels")
            return
        pa, pb = png_pixels(a), png_pixels(b)
        if pa[:2] != pb[:2]:
            failures.append(f"{name}: {pa[0]}x{pa[1]} on Windows, {pb[0]}x{pb[1]} on Linux")
            return
        for y, (ra, rb) in enumerate(zip(pa[2], pb[2])):
            if ra != rb:
                x = next(i for i in range(len(ra)) if ra[i] != rb[i]) // 3
                failures.append(f"{name}: the pixels differ first at ({x}, {y})")
                return
        print(f"  {name}: {pa[0]} x {pa[1]}, the same pixels")

    def same_bytes(name, a, b):
        with open(a, "rb") as fa, open(b, "rb") as fb:
            if fa.read() != fb.read():
                failures.append(f"{name}: the bytes differ ({a}, {b})")
                return
        print(f"  {name}: the same bytes")

    view = ["--at", "-0.7436438870371587", "0.1318259042053946", "--level", "20", "--depth", "1024"]
    # (name, arguments, output files): each run once by each build.
    cases = [
        ("window bitmap", ["-o", "fenêtre.bmp", "--counts", "fenêtre.u32", "--save", "vue.qarn"] + view,
         ["fenêtre.bmp", "fenêtre.u32", "vue.qarn"]),
        ("home 300x200", ["--size", "300x200", "-o", "accueil.png"], ["accueil.png"]),
        ("window picture as PNG", ["-o", "fenêtre.png"] + view, ["fenêtre.png"]),
        ("deep view, scale 2", ["--scale", "2", "--size", "256x192", "-o", "глубина.png"] + view, ["глубина.png"]),
        ("supersampled 3", ["--size", "130x74", "--supersample", "3", "-o", "échantillons.png"] + view,
         ["échantillons.png"]),
        ("supersampled 2, odd band", ["--size", "1030x10", "--supersample", "2", "-o", "bande.png",
                                      "--palette", "0x0107", "--shift", "77"], ["bande.png"]),
        ("smooth, gradient", ["--size", "200x150", "--colouring", "smooth", "--gradient", "dégradé.txt", "--period",
                              "7.5", "--supersample", "2", "-o", "lisse.png"] + view, ["lisse.png"]),
        # mu is the same bits on both systems: lines of doubles, and of
        # 80-bit coordinates at level 50.
        ("continuous counts", ["--size", "160x120", "--continuous", "mu.f64", "--counts", "mu.u32"] + view,
         ["mu.f64", "mu.u32"]),
        ("continuous counts, level 50", ["--size", "96x64", "--continuous", "μ-50.f64", "--at",
                                         "-0.7436438870371587", "0.1318259042053119", "--level", "50", "--depth",
                                         "4096"], ["μ-50.f64"]),
        ("smooth bitmap", ["-o", "lisse.bmp", "--colouring", "smooth"] + view, ["lisse.bmp"]),
        # Past level 56: the reference orbit in MPFR (built for each system),
        # the differences in 80-bit arithmetic, the skips of both tolerances.
        ("level 90, fine", ["--size", "48x32", "--counts", "tief-90.u32", "--continuous", "tief-90.f64", "--at",
                            "-0.743643887037158704752191506114774", "0.131825904205311970493132056385139", "--level",
                            "90", "--depth", "30000"], ["tief-90.u32", "tief-90.f64"]),
        ("level 300, fast, smooth", ["--size", "40x30", "--counts", "tief-300.u32", "--colouring", "smooth", "-o",
                                     "tief-300.png", "--tolerance", "fast", "--at", "0", "1", "--level", "300",
                                     "--depth", "5000"], ["tief-300.u32", "tief-300.png"]),
        # Past the x87 exponent's range: the loop whose reals carry their own.
        ("level 20000, fine, smooth", ["--size", "16x12", "--counts", "tief-20000.u32", "--colouring", "smooth", "-o",
                                       "tief-20000.png", "--at", "0", "1", "--level", "20000", "--depth", "20000"],
         ["tief-20000.u32", "tief-20000.png"]),
    ]
    for side in ("windows", "linux"):
        os.makedirs(os.path.join(work, side), exist_ok=True)
        with open(os.path.join(work, side, "dégradé.txt"), "w") as f:
            f.write("0 #000000\n0.5 #FF8000\n1 #FFFFFF\n")
    for name, args, outputs in cases if part == "pictures" else []:
        run(args, os.path.join(work, "windows"), True)
        run(args, os.path.join(work, "linux"), False)
        for output in outputs:
            a, b = os.path.join(work, "windows", output), os.path.join(work, "linux", output)
            (same_pixels if output.endswith(".png") else same_bytes)(f"{name}, {output}", a, b)

    if part == "pictures":
        check_window_picture(work, failures)
        check_view_file(run, same_bytes, work)
    else:
        check_frames(run, same_bytes, same_pixels, view, work, failures)

    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


def check_window_picture(work, failures):
    # The Windows PNG, decoded here in full, holds the pixels of the bitmap
    # (24-bit, bottom row first, blue green red) of the same view.
    width, height, rows = png_pixels(os.path.join(work, "windows", "fenêtre.png"))
    with open(os.path.join(work, "windows", "fenêtre.bmp"), "rb") as f:
        bitmap = f.read()
    (offset,) = struct.unpack("<I", bitmap[10:14])
    for y in range(height):
        line = bitmap[offset + (height - 1 - y) * 3 * width:offset + (height - y) * 3 * width]
        rgb = bytearray(len(line))
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::3], line[1::3], line[0::3]
        if rgb != rows[y]:
            failures.append(f"window picture: the PNG's row {y} is not the bitmap's")
            break
    else:
        print("  window picture: the PNG decoded holds the bitmap's pixels")


def check_view_file(run, same_bytes, work):
    # A coordinate file of a non-ASCII name read back on Windows: the same
    # picture as the location it holds.
    run(["vue.qarn", "-o", "relu.bmp"], os.path.join(work, "windows"), True)
    same_bytes("view file read back", os.path.join(work, "windows", "relu.bmp"),
               os.path.join(work, "windows", "fenêtre.bmp"))


def check_frames(run, same_bytes, same_pixels, view, work, failures):
    # Zoom frames: the Windows build's ranges make the bytes of its whole run
    # and the pixels of the Linux build's.
    frames = ["--size", "96x64", "--supersample", "2"] + view + ["--zoom-frames", "11"]
    run(frames + ["images-entières"], os.path.join(work, "windows"), True)
    for first, last in ((0, 3), (4, 4), (5, 11)):
        run(frames + ["images-par-morceaux", "--frames", f"{first}-{last}"], os.path.join(work, "windows"), True)
    run(frames + ["images-entières"], os.path.join(work, "linux"), False)
    whole = os.path.join(work, "windows", "images-entières")
    pieces = os.path.join(work, "windows", "images-par-morceaux")
    linux_frames = os.path.join(work, "linux", "images-entières")
    names = sorted(os.listdir(whole))
    if len(names) != 12 or sorted(os.listdir(pieces)) != names:
        failures.append(f"zoom frames: {sorted(os.listdir(pieces))} by ranges, {names} whole")
    for frame in names:
        same_bytes(f"frame {frame} by ranges", os.path.join(pieces, frame), os.path.join(whole, frame))
        same_pixels(f"frame {frame}", os.path.join(whole, frame), os.path.join(linux_frames, frame))


if __name__ == "__main__":
    sys.exit(main())
