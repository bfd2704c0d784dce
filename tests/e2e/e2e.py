#!/usr/bin/env python3
"""End-to-end test of the viewer: qarn.exe under Wine, driven like a person.

    e2e.py QARN_EXE QARN_RENDER QARN_PROBE WORK_DIR

The viewer is started under Wine in the current X display, driven with
xdotool (real X key presses and clicks), and after every step the picture
area of a screenshot must equal, pixel for pixel, the bitmap that
qarn-render writes for the view the step should have reached.

Needs DISPLAY (a 24-bit screen, e.g. from scripts/xvfb-env) and the Wine
environment of scripts/wine-env (WINEPREFIX and friends), ideally with a
persistent wineserver (qarn_wine_start). Uses `wine` from PATH, or $QARN_WINE.
QARN_RENDER may be qarn-render.exe (run under Wine) or a native qarn-render.
QARN_PROBE is qarn-probe.exe, which reports the client origin, the toolbar
height and the status text of the running viewer (the window of class Qarn
of a qarn.exe process: test programs that make the window in their own
process in the same prefix are not taken for it).

Everything the test writes (view files, expected bitmaps, screenshots of
failed steps, the viewer's own output) goes into WORK_DIR.

To add a case, append a Step to STEPS below: a name, the actions that make it
(Key, Click, Wheel, Pause) and the View the picture must show afterwards.
"""

from __future__ import annotations

import dataclasses
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from fractions import Fraction
from pathlib import Path

WINDOW_TITLE = "The Mandelbrot Set"
PICTURE_SIZE = 512

# Generous limits: the first Wine start of a fresh prefix or a cold server
# can take many seconds, and the test may share the machine with builds.
START_TIMEOUT = 120.0       # until the window is viewable and says "Ready"
READY_TIMEOUT = 60.0        # until "Ready" after a step
MATCH_TIMEOUT = 10.0        # retrying the picture comparison after "Ready"
EXIT_TIMEOUT = 30.0         # until the process has gone after Esc
TOOL_TIMEOUT = 120.0        # any single helper command

# ---------------------------------------------------------------------------
# Views and the 46-byte coordinate file


def encode_extended(value) -> bytes:
    """The 10-byte little-endian x87 extended image of a dyadic rational.

    Exact or not at all: raises ValueError for a value that is not a dyadic
    rational, needs more than 64 significant bits, or lies outside the normal
    exponent range.
    """
    x = Fraction(value)
    if x == 0:
        return bytes(10)
    sign = 0x8000 if x < 0 else 0
    x = abs(x)
    num, den = x.numerator, x.denominator
    if den & (den - 1):
        raise ValueError(f"{value} is not a dyadic rational")
    shift = den.bit_length() - 1          # x = num / 2**shift
    bits = num.bit_length()
    if bits > 64:
        if num & ((1 << (bits - 64)) - 1):
            raise ValueError(f"{value} needs more than 64 significant bits")
        significand = num >> (bits - 64)
    else:
        significand = num << (64 - bits)
    # x = (significand / 2**63) * 2**(bits - 1 - shift), with the explicit
    # integer bit set.
    biased = bits - 1 - shift + 16383
    if not 1 <= biased <= 0x7FFE:
        raise ValueError(f"{value} is outside the normal range of the format")
    return significand.to_bytes(8, "little") + (sign | biased).to_bytes(2, "little")


def _check_encoder() -> None:
    examples = {
        Fraction(-2): "0000000000000080 00C0",
        Fraction(2): "0000000000000080 0040",
        Fraction(1, 128): "0000000000000080 F83F",
        Fraction(1): "0000000000000080 FF3F",
        Fraction(-3, 4): "00000000000000C0 FEBF",
        Fraction(0): "0000000000000000 0000",
    }
    for value, image in examples.items():
        want = bytes.fromhex(image.replace(" ", ""))
        got = encode_extended(value)
        if got != want:
            raise AssertionError(f"encode_extended({value}) = {got.hex(' ')}, want {want.hex(' ')}")
    for bad in (Fraction(1, 3), Fraction(2**64 + 1)):
        try:
            encode_extended(bad)
        except ValueError:
            continue
        raise AssertionError(f"encode_extended({bad}) did not refuse an inexact value")


@dataclasses.dataclass(frozen=True)
class View:
    """A view as the coordinate file holds it; the defaults are those of the
    start-up view (full palette, no shift, depth 512)."""
    origin_re: Fraction
    origin_im: Fraction
    step: Fraction
    level: int
    palette_mode: int = 0x1007
    shift: int = 0
    depth: int = 512
    label: str = ""

    def file_bytes(self) -> bytes:
        data = (encode_extended(self.origin_re) + encode_extended(self.origin_im)
                + encode_extended(self.step)
                + struct.pack("<iIiI", self.level, self.palette_mode, self.shift, self.depth))
        assert len(data) == 46
        return data

    def describe(self) -> str:
        name = f"{self.label}: " if self.label else ""
        return (f"{name}origin ({_fmt(self.origin_re)}, {_fmt(self.origin_im)}), step {_fmt(self.step)}, "
                f"level {self.level}, palette 0x{self.palette_mode:04X}, shift {self.shift}, depth {self.depth}")


def _fmt(x: Fraction) -> str:
    return str(x) if x.denominator == 1 else f"{x} ({float(x):.17g})"


# The picture qarn-render draws without a view file: the viewer's start-up.
STARTUP = None


def level_view(level: int, origin_re, origin_im, **fields) -> View:
    """A view at `level` (pixel step 2**-(7 + level)) with the given top-left corner."""
    return View(Fraction(origin_re), Fraction(origin_im), Fraction(1, 2 ** (7 + level)), level,
                label=fields.pop("label", f"level {level}"), **fields)


# ---------------------------------------------------------------------------
# Steps. Actions run in order; then the test waits for "Ready" and compares.


@dataclasses.dataclass
class Key:
    """Keys pressed one after the other, named as xdotool names them
    (Return, Escape, 0..9, Home, Left, ...). Prefer main-keyboard keys:
    xdotool wraps keypad keys in Num Lock presses."""
    keys: tuple[str, ...]

    def __init__(self, *keys: str):
        self.keys = keys

    def run(self, viewer: "Viewer") -> None:
        viewer.focus()
        xdotool("key", "--delay", "60", *self.keys)

    def __str__(self) -> str:
        return "key " + " ".join(self.keys)


@dataclasses.dataclass
class Click:
    """A click at picture coordinates (0,0 is the picture's top-left pixel).
    button: 1 left, 2 middle, 3 right; count 2 for a double click."""
    x: int
    y: int
    button: int = 1
    count: int = 1

    def run(self, viewer: "Viewer") -> None:
        viewer.focus()
        sx, sy = viewer.screen_point(self.x, self.y)
        move_pointer(sx, sy)
        xdotool("click", "--repeat", str(self.count), "--delay", "80", str(self.button))
        # Separate clicks closer than this may merge into a double click.
        time.sleep(0.6)

    def __str__(self) -> str:
        return f"click {self.button} x{self.count} at picture ({self.x}, {self.y})"


@dataclasses.dataclass
class Wheel:
    """Wheel notches at picture coordinates: positive away from the user."""
    x: int
    y: int
    notches: int

    def run(self, viewer: "Viewer") -> None:
        viewer.focus()
        sx, sy = viewer.screen_point(self.x, self.y)
        move_pointer(sx, sy)
        button = "4" if self.notches > 0 else "5"
        xdotool("click", "--repeat", str(abs(self.notches)), "--delay", "80", button)

    def __str__(self) -> str:
        return f"wheel {self.notches:+d} at picture ({self.x}, {self.y})"


@dataclasses.dataclass
class Pause:
    seconds: float

    def run(self, viewer: "Viewer") -> None:
        time.sleep(self.seconds)

    def __str__(self) -> str:
        return f"pause {self.seconds} s"


@dataclasses.dataclass
class Step:
    """name: what the step shows in the log and in file names.
    actions: what a person does. expect: the View the picture must then show
    (STARTUP for qarn-render's start-up view). exit_code: instead of a
    picture, the process must end with this code."""
    name: str
    actions: list
    expect: View | None = STARTUP
    exit_code: int | None = None


STEPS: list[Step] = [
    Step("start-up", [], STARTUP),
    Step("zoom in with Enter", [Key("Return")], level_view(1, -1, 1)),
    Step("zoom in again with Enter", [Key("Return")], level_view(2, Fraction(-1, 2), Fraction(1, 2))),
    Step("back to level 0 with 0", [Key("0")], STARTUP),
    Step("close with Esc", [Key("Escape")], exit_code=0),
]

# ---------------------------------------------------------------------------
# Helpers


class StepFailed(Exception):
    pass


def log(message: str) -> None:
    print(f"[{time.monotonic() - T0:7.2f}s] {message}", flush=True)


T0 = time.monotonic()


def run_tool(cmd: list[str], timeout: float = TOOL_TIMEOUT, check: bool = True) -> subprocess.CompletedProcess:
    """Runs a command with output into temporary files, never pipes: a Wine
    helper process started on the way (wineserver, services) may live on and
    would hold a pipe open, so reading it to its end would never finish."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        try:
            rc = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            raise StepFailed(f"command timed out after {timeout:.0f} s: {' '.join(cmd)}") from None
        except OSError as e:
            raise StepFailed(f"cannot run {cmd[0]}: {e}") from None
        out.seek(0)
        err.seek(0)
        result = subprocess.CompletedProcess(cmd, rc, out.read(), err.read())
    if check and rc != 0:
        raise StepFailed(f"command failed with exit code {rc}: {' '.join(cmd)}\n"
                         f"{result.stdout.decode(errors='replace')}{result.stderr.decode(errors='replace')}")
    return result


def xdotool(*args: str) -> str:
    return run_tool(["xdotool", *args], timeout=30).stdout.decode(errors="replace")


def move_pointer(x: int, y: int) -> None:
    """Moves the pointer and waits until the server has it there. Plain
    `mousemove --sync` to where the pointer already is waits 15 s for a
    motion that never comes."""
    where = dict(re.findall(r"(\w+)=(\S+)", xdotool("getmouselocation", "--shell")))
    if where.get("X") == str(x) and where.get("Y") == str(y):
        return
    xdotool("mousemove", "--sync", str(x), str(y))


def release_keys() -> None:
    """Lets go of every key the steps press. A key left down (an xdotool run
    that stopped between press and release) auto-repeats on the X server
    for good: a stuck Escape closes every later viewer on this display the
    moment it gets the focus."""
    keys = sorted({k for step in STEPS for a in step.actions if isinstance(a, Key) for k in a.keys})
    if keys:
        run_tool(["xdotool", "keyup", *keys], timeout=30, check=False)


WINE = os.environ.get("QARN_WINE") or shutil.which("wine") or "wine"


def is_windows_program(path: Path) -> bool:
    return path.suffix.lower() == ".exe"


def windows_path(path: Path) -> str:
    """Wine maps the Unix root to drive Z:."""
    return "Z:" + str(path.resolve()).replace("/", "\\")


def run_program(program: Path, args: list[str], **kw) -> subprocess.CompletedProcess:
    cmd = [WINE, str(program), *args] if is_windows_program(program) else [str(program), *args]
    return run_tool(cmd, **kw)


# ---------------------------------------------------------------------------
# Pictures: 24-bit BMP in, PPM screenshots, raw top-down RGB in between.


@dataclasses.dataclass
class Picture:
    width: int
    height: int
    rgb: bytes  # top row first, 3 bytes a pixel

    def crop(self, x: int, y: int, w: int, h: int) -> "Picture":
        if x < 0 or y < 0 or x + w > self.width or y + h > self.height:
            raise StepFailed(f"picture area {w}x{h}+{x}+{y} is not inside the {self.width}x{self.height} screen")
        rows = bytearray()
        for row in range(y, y + h):
            start = (row * self.width + x) * 3
            rows += self.rgb[start:start + w * 3]
        return Picture(w, h, bytes(rows))

    def save_ppm(self, path: Path) -> None:
        path.write_bytes(b"P6\n%d %d\n255\n" % (self.width, self.height) + self.rgb)


def read_bmp(path: Path) -> Picture:
    data = path.read_bytes()
    if data[:2] != b"BM" or len(data) < 54:
        raise StepFailed(f"{path} is not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits, compression = struct.unpack_from("<HI", data, 28)
    if bits != 24 or compression != 0:
        raise StepFailed(f"{path}: {bits}-bit BMP with compression {compression}, expected uncompressed 24-bit")
    top_down = height < 0
    height = abs(height)
    stride = (width * 3 + 3) & ~3
    rgb = bytearray()
    for row in range(height):
        src = row if top_down else height - 1 - row
        start = offset + src * stride
        line = data[start:start + width * 3]
        if len(line) != width * 3:
            raise StepFailed(f"{path} is truncated")
        bgr = bytearray(line)
        bgr[0::3], bgr[2::3] = line[2::3], line[0::3]
        rgb += bgr
    return Picture(width, height, bytes(rgb))


def parse_ppm(data: bytes) -> Picture:
    # P6 <ws> width <ws> height <ws> maxval <one ws> raster; comments start with #.
    fields = []
    pos = 0
    while len(fields) < 4:
        m = re.compile(rb"\s*(#[^\n]*\n\s*)*(\S+)").match(data, pos)
        if not m:
            raise StepFailed("screenshot is not a PPM image")
        fields.append(m.group(2))
        pos = m.end()
    if fields[0] != b"P6" or fields[3] != b"255":
        raise StepFailed(f"screenshot: unexpected PPM header {fields}")
    width, height = int(fields[1]), int(fields[2])
    raster = data[pos + 1:pos + 1 + width * height * 3]
    if len(raster) != width * height * 3:
        raise StepFailed("screenshot is truncated")
    return Picture(width, height, raster)


def screenshot() -> Picture:
    result = run_tool(["import", "-silent", "-window", "root", "-depth", "8", "ppm:-"], timeout=60)
    return parse_ppm(result.stdout)


def difference(got: Picture, want: Picture) -> tuple[int, tuple[int, int, int, int] | None, str]:
    """Count of differing pixels, their bounding box, and the first one."""
    count = 0
    box = None
    first = ""
    w = want.width
    for row in range(want.height):
        a = got.rgb[row * w * 3:(row + 1) * w * 3]
        b = want.rgb[row * w * 3:(row + 1) * w * 3]
        if a == b:
            continue
        for col in range(w):
            pa, pb = a[col * 3:col * 3 + 3], b[col * 3:col * 3 + 3]
            if pa != pb:
                count += 1
                if not first:
                    first = f"({col}, {row}) is #{pa.hex()} instead of #{pb.hex()}"
                if box is None:
                    box = (col, row, col, row)
                else:
                    box = (min(box[0], col), min(box[1], row), max(box[2], col), max(box[3], row))
    return count, box, first


# ---------------------------------------------------------------------------
# The viewer


class Viewer:
    def __init__(self, exe: Path, probe: Path, work: Path):
        self.exe = exe
        self.probe_exe = probe
        self.work = work
        self.process: subprocess.Popen | None = None
        self.window_id = ""
        self.origin = (0, 0)
        self.toolbar = 0
        self.status = ""
        self.started_at = 0.0
        self._log = None

    def probe(self, wait_ready: float | None = None) -> tuple[int, int, int, str] | None:
        """(origin_x, origin_y, toolbar_height, status), or None if there is
        no window (or, with wait_ready, it did not become ready)."""
        args = [] if wait_ready is None else ["--wait-ready", f"{wait_ready:g}"]
        timeout = TOOL_TIMEOUT + (wait_ready or 0)
        result = run_program(self.probe_exe, args, timeout=timeout, check=False)
        line = result.stdout.decode("utf-8", errors="replace").strip()
        m = re.fullmatch(r"(-?\d+) (-?\d+) (\d+) ?(.*)", line)
        if result.returncode not in (0, 3) or not m:
            return None
        report = int(m.group(1)), int(m.group(2)), int(m.group(3)), m.group(4)
        self.status = report[3]
        if result.returncode != 0:
            return None
        self.origin = report[0], report[1]
        self.toolbar = report[2]
        return report

    def start(self) -> None:
        # The probe and xdotool find the window by class and caption: another
        # Qarn window would be taken for ours. One of a program that has just
        # ended (an earlier test) may take a moment to go.
        deadline = time.monotonic() + 15
        waited = False
        while True:
            x_window = _viewable_window()
            other = ("a qarn.exe window (class Qarn)" if self.probe() is not None else
                     f"X window {x_window} titled \"{WINDOW_TITLE}\"" if x_window else "")
            if not other:
                break
            if not waited:
                log(f"waiting for {other}, already open, to go")
                waited = True
            if time.monotonic() > deadline:
                raise StepFailed(f"{other} is already open (display {os.environ.get('DISPLAY')}, "
                                 f"prefix {os.environ.get('WINEPREFIX')}); close it first")
            time.sleep(0.5)
        self._log = open(self.work / "qarn-output.txt", "wb")
        cmd = [WINE, str(self.exe)]
        log(f"starting {' '.join(cmd)}")
        self.started_at = time.time()
        self.process = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=self._log, stderr=subprocess.STDOUT,
                                        cwd=self.work)
        deadline = time.monotonic() + START_TIMEOUT
        while True:
            if self.process.poll() is not None:
                raise StepFailed(f"qarn.exe ended with exit code {self.process.returncode} before its window appeared"
                                 f" (output in {self.work / 'qarn-output.txt'})")
            self.check_alive()
            self.window_id = _viewable_window() or ""
            if self.window_id:
                break
            if time.monotonic() > deadline:
                raise StepFailed(f"no viewable window titled \"{WINDOW_TITLE}\" within {START_TIMEOUT:.0f} s")
            time.sleep(0.2)
        log(f"window {self.window_id} is viewable")
        self.wait_ready(max(deadline - time.monotonic(), 10.0))

    def check_alive(self) -> None:
        """Fails at once if the viewer crashed: Wine then starts its debugger,
        which keeps the dead process (and its window) around."""
        try:
            text = (self.work / "qarn-output.txt").read_text(errors="replace")
        except OSError:
            return
        m = re.search(r"^wine: Unhandled .*$", text, re.MULTILINE)
        if m:
            raise StepFailed(f"qarn.exe crashed: {m.group(0)}")

    def wait_ready(self, timeout: float = READY_TIMEOUT) -> None:
        # In slices, so that a viewer that has gone or crashed is noticed soon.
        deadline = time.monotonic() + timeout
        while True:
            self.check_alive()
            if self.probe(wait_ready=min(3.0, max(deadline - time.monotonic(), 0.0))) is not None:
                return
            self.check_alive()
            if self.process and self.process.poll() is not None:
                hint = (" (a key held down on the X server, such as a stuck Escape, closes it at once:"
                        " try xdotool keyup Escape)" if self.process.returncode == 0 else "")
                raise StepFailed(f"qarn.exe ended with exit code {self.process.returncode}{hint}")
            if time.monotonic() >= deadline:
                raise StepFailed(f"the status bar did not say \"Ready\" within {timeout:.0f} s "
                                 f"(last status: \"{self.status}\")")

    def focus(self) -> None:
        xdotool("windowfocus", "--sync", self.window_id)

    def screen_point(self, x: int, y: int) -> tuple[int, int]:
        return self.origin[0] + x, self.origin[1] + self.toolbar + y

    def picture(self, screen: Picture) -> Picture:
        x, y = self.screen_point(0, 0)
        return screen.crop(x, y, PICTURE_SIZE, PICTURE_SIZE)

    def wait_exit(self, timeout: float) -> int:
        assert self.process
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise StepFailed(f"qarn.exe still running {timeout:.0f} s later") from None

    def kill(self) -> None:
        if self.process and self.process.poll() is None:
            log(f"killing qarn.exe (pid {self.process.pid})")
            self.process.kill()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                pass
        if self.started_at:
            for pid in _crash_debuggers(self.started_at):
                log(f"killing Wine's debugger of the crashed viewer (pid {pid})")
                try:
                    os.kill(pid, 9)
                except OSError:
                    pass

    def close_log(self) -> None:
        if self._log:
            self._log.close()
            self._log = None


def _crash_debuggers(since: float) -> list[int]:
    """The `winedbg --auto` processes that Wine started in this prefix since
    `since` (seconds since the epoch): the debugger of a crashed viewer, which
    otherwise lingers until the wineserver stops."""
    prefix = os.environ.get("WINEPREFIX", "")
    try:
        boot = next(float(line.split()[1]) for line in open("/proc/stat") if line.startswith("btime "))
        ticks = os.sysconf("SC_CLK_TCK")
    except (OSError, StopIteration, ValueError):
        return []
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            args = Path(f"/proc/{entry}/cmdline").read_bytes().split(b"\0")
            if not (args and args[0].rsplit(b"\\", 1)[-1].rsplit(b"/", 1)[-1] in (b"winedbg", b"winedbg.exe")
                    and b"--auto" in args):
                continue
            env = Path(f"/proc/{entry}/environ").read_bytes().split(b"\0")
            if f"WINEPREFIX={prefix}".encode() not in env:
                continue
            stat = Path(f"/proc/{entry}/stat").read_text()
            start = boot + int(stat.rsplit(")", 1)[1].split()[19]) / ticks
        except (OSError, ValueError, IndexError):
            continue
        if start >= since - 1:
            found.append(int(entry))
    return found


def _viewable_window() -> str | None:
    result = run_tool(["xwininfo", "-name", WINDOW_TITLE], timeout=30, check=False)
    text = result.stdout.decode(errors="replace")
    m = re.search(r"Window id: (0x[0-9a-fA-F]+)", text)
    if result.returncode != 0 or not m or "Map State: IsViewable" not in text:
        return None
    return m.group(1)


# ---------------------------------------------------------------------------
# Expected pictures


class Renderer:
    def __init__(self, program: Path, work: Path):
        self.program = program
        self.work = work
        self.cache: dict[bytes | None, Picture] = {}

    def picture(self, view: View | None) -> Picture:
        key = None if view is None else view.file_bytes()
        if key in self.cache:
            return self.cache[key]
        if view is None:
            name = "expected-start-up"
            args = []
        else:
            name = f"expected-{len(self.cache):02d}"
            view_file = self.work / f"{name}.qarn"
            view_file.write_bytes(key)
            args = [self._path(view_file)]
        bmp = self.work / f"{name}.bmp"
        bmp.unlink(missing_ok=True)
        started = time.monotonic()
        run_program(self.program, [*args, "-o", self._path(bmp)])
        picture = read_bmp(bmp)
        if (picture.width, picture.height) != (PICTURE_SIZE, PICTURE_SIZE):
            raise StepFailed(f"{bmp} is {picture.width}x{picture.height}")
        log(f"rendered {bmp.name} ({view.describe() if view else 'start-up view'}) "
            f"in {time.monotonic() - started:.2f} s")
        self.cache[key] = picture
        return picture

    def _path(self, path: Path) -> str:
        return windows_path(path) if is_windows_program(self.program) else str(path)


# ---------------------------------------------------------------------------


def check_picture(viewer: Viewer, expected: Picture, index: int, step: Step, work: Path) -> None:
    """Screenshots until the picture equals `expected`, for MATCH_TIMEOUT
    seconds after the viewer says "Ready" (it may still be painting, or may
    not have taken the input yet)."""
    deadline = time.monotonic() + MATCH_TIMEOUT
    attempts = 0
    while True:
        screen = screenshot()
        got = viewer.picture(screen)
        attempts += 1
        if got.rgb == expected.rgb:
            if attempts > 1:
                log(f"  picture matched after {attempts} screenshots")
            return
        if time.monotonic() > deadline:
            break
        time.sleep(0.25)
        viewer.check_alive()
        viewer.wait_ready()

    stem = work / f"step{index:02d}-{_slug(step.name)}"
    screen.save_ppm(stem.with_suffix(".screen.ppm"))
    got.save_ppm(stem.with_suffix(".picture.ppm"))
    expected.save_ppm(stem.with_suffix(".expected.ppm"))
    saved = [stem.with_suffix(s) for s in (".screen.ppm", ".picture.ppm", ".expected.ppm")]
    # PNG copies and a difference image, if ImageMagick can make them.
    for path in list(saved):
        png = path.with_suffix(".png")
        if run_tool(["convert", str(path), str(png)], check=False).returncode == 0:
            path.unlink()
            saved[saved.index(path)] = png
    diff = stem.with_suffix(".diff.png")
    run_tool(["compare", str(saved[1]), str(saved[2]), str(diff)], check=False)
    if diff.exists():
        saved.append(diff)
    count, box, first = difference(got, expected)
    where = f", within x {box[0]}..{box[2]}, y {box[1]}..{box[3]}; first {first}" if box else ""
    raise StepFailed(f"the picture differs from the expected one in {count} of {PICTURE_SIZE * PICTURE_SIZE} "
                     f"pixels{where} (after {attempts} screenshots; picture at screen "
                     f"{viewer.screen_point(0, 0)}, status \"{viewer.status}\")\n"
                     f"  expected: {step.expect.describe() if step.expect else 'start-up view'}\n"
                     f"  saved: " + ", ".join(str(p) for p in saved))


def _slug(name: str) -> str:
    return re.sub(r"[^a-z0-9]+", "-", name.lower()).strip("-")


def main(argv: list[str]) -> int:
    if len(argv) != 5:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    qarn, render, probe, work = (Path(a).resolve() for a in argv[1:])
    for name in ("DISPLAY", "WINEPREFIX"):
        if not os.environ.get(name):
            print(f"e2e: {name} is not set: run it from scripts/test, or after "
                  f". scripts/xvfb-env; . scripts/wine-env; qarn_xvfb_start; qarn_wine_start", file=sys.stderr)
            return 2
    for path in (qarn, render, probe):
        if not path.is_file():
            print(f"e2e: {path} does not exist (build it first)", file=sys.stderr)
            return 2
    for tool in ("xdotool", "xwininfo", "import"):
        if not shutil.which(tool):
            print(f"e2e: {tool} not found; run scripts/bootstrap", file=sys.stderr)
            return 2
    if shutil.which("xdpyinfo"):
        info = run_tool(["xdpyinfo"], timeout=30, check=False).stdout.decode(errors="replace")
        m = re.search(r"depth of root window:\s+(\d+) planes", info)
        if m and m.group(1) != "24":
            print(f"e2e: the screen of {os.environ['DISPLAY']} is {m.group(1)}-bit; pixel comparison needs 24-bit "
                  f"(Xvfb -screen 0 1280x1024x24)", file=sys.stderr)
            return 2

    work.mkdir(parents=True, exist_ok=True)
    for old in work.glob("step*"):
        old.unlink()
    log(f"display {os.environ['DISPLAY']}, prefix {os.environ['WINEPREFIX']}, wine {WINE}")

    results: list[tuple[str, str, float]] = []
    failure = ""
    viewer = Viewer(qarn, probe, work)
    try:
        _check_encoder()
        renderer = Renderer(render, work)
        expected = {i: renderer.picture(s.expect) for i, s in enumerate(STEPS) if s.exit_code is None}

        # Out of the way of the picture: the pointer starts in the middle of
        # the screen, which is over the picture.
        move_pointer(0, 0)
        release_keys()
        started = time.monotonic()
        viewer.start()
        log(f"viewer ready in {time.monotonic() - started:.2f} s: client origin {viewer.origin}, "
            f"toolbar {viewer.toolbar} px, status \"{viewer.status}\"")

        for i, step in enumerate(STEPS):
            name = f"{i:02d} {step.name}"
            started = time.monotonic()
            try:
                log(f"step {name}: " + ("; ".join(str(a) for a in step.actions) or "(no input)"))
                for action in step.actions:
                    action.run(viewer)
                if step.exit_code is not None:
                    rc = viewer.wait_exit(EXIT_TIMEOUT)
                    if rc != step.exit_code:
                        raise StepFailed(f"qarn.exe ended with exit code {rc}, expected {step.exit_code}")
                else:
                    viewer.wait_ready()
                    check_picture(viewer, expected[i], i, step, work)
            except StepFailed as e:
                results.append((name, "FAIL", time.monotonic() - started))
                failure = f"step {name} failed: {e}"
                break
            results.append((name, "ok", time.monotonic() - started))
            log(f"step {name}: ok ({time.monotonic() - started:.2f} s)")
    except StepFailed as e:
        failure = f"set-up failed: {e}"
    except Exception as e:  # report, clean up, fail
        failure = f"unexpected error: {type(e).__name__}: {e}"
        import traceback
        traceback.print_exc()
    finally:
        viewer.kill()
        viewer.close_log()
        release_keys()

    print("\n== e2e summary")
    for name, verdict, seconds in results:
        print(f"  {verdict:4} {name} ({seconds:.2f} s)")
    for step in STEPS[len(results):]:
        print(f"  skip {step.name}")
    print(f"  total {time.monotonic() - T0:.2f} s")
    if failure:
        print(f"\nFAILED: {failure}")
        output = work / "qarn-output.txt"
        if output.exists() and output.stat().st_size:
            print(f"  qarn.exe's output is in {output}")
        return 1
    print("all steps passed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
