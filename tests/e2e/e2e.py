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
failed steps, files saved through the viewer's dialogs, the viewer's own
output) goes into WORK_DIR.

The steps run in order on one viewer, and the test keeps a model of what
the viewer holds: the view (origin, step, level and the colour settings of
the coordinate file) and the depth its counts were computed with. Each step
starts from the state the previous one left.

To add a case, append a Step to STEPS below: a name, the actions that make it
(Key, Click, Wheel, Pause) and the View the picture must show afterwards,
given as a View or as a function of the session (the model before the step).
A case that needs more than "do this, then the picture is that" (timed
behaviour, dialogs, an outline drawn over the picture) gives a `run`
function instead, which drives the viewer itself and returns the view that
the picture shows afterwards.
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
from typing import Callable

WINDOW_TITLE = "The Mandelbrot Set"
PICTURE_SIZE = 512

# Generous limits: the first Wine start of a fresh prefix or a cold server
# can take many seconds, and the test may share the machine with builds.
START_TIMEOUT = 120.0       # until the window is viewable and says "Ready"
READY_TIMEOUT = 60.0        # until "Ready" after a step
MATCH_TIMEOUT = 10.0        # retrying the picture comparison after "Ready"
EXIT_TIMEOUT = 30.0         # until the process has gone after Esc
TOOL_TIMEOUT = 120.0        # any single helper command
WINDOW_TIMEOUT = 20.0       # until a dialog or message box is viewable, or gone
FILE_TIMEOUT = 20.0         # until a file saved through the viewer is complete

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

    def but(self, **changes) -> "View":
        return dataclasses.replace(self, **changes)

    def same_place(self, other: "View") -> bool:
        return (self.origin_re, self.origin_im, self.step, self.level) == \
               (other.origin_re, other.origin_im, other.step, other.level)

    def centre(self) -> tuple[Fraction, Fraction]:
        """The point at display pixel (256, 256)."""
        return self.origin_re + 256 * self.step, self.origin_im - 256 * self.step

    def scrolled(self, dx: int, dy: int) -> "View":
        """Moved by whole pixels: dx > 0 to the right (larger real parts),
        dy > 0 down (smaller imaginary parts), as the cursor keys and
        AutoScroll move it."""
        return self.but(origin_re=self.origin_re + dx * self.step, origin_im=self.origin_im - dy * self.step,
                        label=f"{self.label or 'view'} moved by ({dx:+d}, {dy:+d}) px")

    def zoomed_in(self, left: int, top: int, levels: int) -> "View":
        """The square of 512 >> levels pixels with top-left pixel (left, top)
        enlarged to the whole display."""
        return self.but(origin_re=self.origin_re + left * self.step, origin_im=self.origin_im - top * self.step,
                        step=self.step / 2 ** levels, level=self.level + levels,
                        label=f"level {self.level + levels}")

    def zoomed_out(self, levels: int) -> "View":
        """Out by `levels` about the display centre; at level 0 or below the
        home view (keeping the colour settings)."""
        if self.level - levels <= 0:
            return HOME.but(palette_mode=self.palette_mode, shift=self.shift, depth=self.depth)
        d = (2 ** levels - 1) * 256 * self.step
        return self.but(origin_re=self.origin_re - d, origin_im=self.origin_im + d, step=self.step * 2 ** levels,
                        level=self.level - levels, label=f"level {self.level - levels}")

    def at_level(self, level: int) -> "View":
        """The view of `level` with the same centre (what zooming in and out
        about the centre reaches)."""
        re, im = self.centre()
        step = Fraction(1, 2 ** (7 + level))
        return self.but(origin_re=re - 256 * step, origin_im=im + 256 * step, step=step, level=level,
                        label=f"level {level}")


def _fmt(x: Fraction) -> str:
    return str(x) if x.denominator == 1 else f"{x} ({float(x):.17g})"


# The picture qarn-render draws without a view file: the viewer's start-up.
STARTUP = None


def level_view(level: int, origin_re, origin_im, **fields) -> View:
    """A view at `level` (pixel step 2**-(7 + level)) with the given top-left corner."""
    return View(Fraction(origin_re), Fraction(origin_im), Fraction(1, 2 ** (7 + level)), level,
                label=fields.pop("label", f"level {level}"), **fields)


# The home view at level 0: what the start-up shows, and what every
# computation that ends at level 0 puts back (qarn-render, too, computes a
# level-0 file as the home view, whatever origin it holds).
HOME = level_view(0, -2, 2, label="home view")


def selection_square(x: int, y: int, levels: int) -> tuple[int, int]:
    """Top-left display pixel of the selection square of `levels` about the
    display point (x, y), pushed inwards at the edges."""
    size = 512 >> levels
    left = min(max(x - size // 2, 0), 512 - size)
    top = min(max(y - size // 2, 0), 512 - size)
    return left, top


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
        press(*self.keys)

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
    actions: what a person does.
    expect: the View the picture must then show: a View, STARTUP for
    qarn-render's start-up view, or a function of the Session (the model
    before the step) that gives the View. Its picture is rendered before the
    actions run, so that rendering never delays timed input.
    settle: seconds for which the picture must then stay as it is (a mode
    that should have stopped by itself).
    run: instead of actions and expect, a function of the Session that drives
    the viewer and checks what it likes, returning the View shown afterwards.
    exit_code: instead of a picture, the process must end with this code."""
    name: str
    actions: list = dataclasses.field(default_factory=list)
    expect: View | None | Callable[["Session"], View] = STARTUP
    settle: float = 0.0
    run: Callable[["Session"], View] | None = None
    exit_code: int | None = None


# The colour commands, as the model sees them. Each gives the View that
# follows from the session's view; those that compute record the depth the
# counts now have, which decides whether a later palette or depth command
# computes again.

def constant_shift(delta: int) -> Callable[["Session"], View]:
    def expect(s: "Session") -> View:
        shift = s.view.shift + delta
        if shift < 0:
            shift += 4096
        elif shift >= 4096:
            shift -= 4096
        return s.view.but(shift=shift)
    return expect


def restore_shift(s: "Session") -> View:
    return s.view.but(shift=0)


def toggle_component(bit: int) -> Callable[["Session"], View]:
    """R (4), G (2), B (1): toggles the component and selects the monochrome
    palette, whatever palette was chosen."""
    def expect(s: "Session") -> View:
        return s.view.but(palette_mode=256 + ((s.view.palette_mode & 7) ^ bit))
    return expect


def choose_palette(size: int) -> Callable[["Session"], View]:
    """5..9: palette sizes 256..4096; a palette larger than the computed
    depth raises the depth to its size and computes the view again."""
    def expect(s: "Session") -> View:
        view = s.view.but(palette_mode=(s.view.palette_mode & 7) + size)
        if size > s.computed_depth:
            view = s.recomputed(view.but(depth=size))
        return view
    return expect


def choose_depth(depth: int) -> Callable[["Session"], View]:
    """E, Q, H, N: depths 512..4096; only a depth above the computed one
    computes, a lower one is shown from the deeper counts."""
    def expect(s: "Session") -> View:
        view = s.view.but(depth=depth)
        if depth > s.computed_depth:
            view = s.recomputed(view)
        return view
    return expect


# The view that Load restores: off the home view's grid, at a level of its
# own and with colour settings that no earlier step has (quarter palette,
# components red and blue, a shift, depth 1024).
LOADED_VIEW = level_view(3, -1, Fraction(3, 8), palette_mode=0x0405, shift=320, depth=1024, label="loaded file")

# Where the double click starts the automatic zoom, in the level-1 view
# (-1, 1): the cusp of the main cardioid, c = 1/4. Every automatic step
# zooms into the display centre, so the pictures of successive levels all
# show the cusp and differ from each other.
CUSP = (320, 256)

STEPS: list[Step] = [
    Step("start-up", [], STARTUP),
    Step("zoom in with Enter", [Key("Return")], level_view(1, -1, 1)),
    Step("zoom in again with Enter", [Key("Return")], level_view(2, Fraction(-1, 2), Fraction(1, 2))),
    Step("back to level 0 with 0", [Key("0")], STARTUP),

    # Navigation.
    Step("2 then Enter zooms two levels into the centre", [Key("2"), Key("Return")],
         level_view(2, Fraction(-1, 2), Fraction(1, 2))),
    Step("1 shows the level-1 square, 1 again hides it", [Key("1"), Key("1")],
         lambda s: s.view),
    Step("0 again", [Key("0")], STARTUP),
    # (10, 500) at level 1: the 256-pixel square is pushed in to (0, 256).
    Step("left click near the bottom-left corner", [Click(10, 500)], level_view(1, -2, 0)),
    Step("Enter zooms into the centre", [Key("Return")],
         level_view(2, Fraction(-3, 2), Fraction(-1, 2))),
    Step("right click zooms out about the centre", [Click(400, 100, button=3)], level_view(1, -2, 0)),
    Step("Right scrolls one pixel right", [Key("Right")], level_view(1, -2 + Fraction(1, 256), 0)),
    Step("Down scrolls one pixel down", [Key("Down")],
         level_view(1, -2 + Fraction(1, 256), Fraction(-1, 256))),
    Step("Left scrolls one pixel left", [Key("Left")], level_view(1, -2, Fraction(-1, 256))),
    Step("Up scrolls one pixel up", [Key("Up")], level_view(1, -2, 0)),
    Step("0 and Enter: the level-1 view", [Key("0"), Key("Return")], level_view(1, -1, 1)),
    Step("double click starts the automatic zoom, a click stops it",
         run=lambda s: auto_zoom_by_double_click(s, *CUSP)),
    Step("Home zooms out a level a tick to level 1", [Key("Home")], lambda s: s.view.at_level(1), settle=1.2),
    Step("End zooms back in to where Home started", [Key("End")], lambda s: s.history[-2], settle=1.2),
    Step("middle button: AutoScroll up and left, middle again stops", run=lambda s: auto_scroll(s, -40, -100)),
    Step("a wheel notch shows the level-1 square", run=lambda s: wheel_square(s, 1)),
    Step("another notch makes it the level-2 square", run=lambda s: wheel_square(s, 2)),
    Step("Enter zooms into the level-2 square", [Key("Return")], lambda s: s.view.zoomed_in(192, 192, 2)),

    # Colours, in the level-1 view (-1, 1). The palette 0x1007 (4096 colours,
    # all components) with shift 0 and depth 512 is the start-up setting.
    Step("0, 1 and Enter: the level-1 view again", [Key("0"), Key("1"), Key("Return")], level_view(1, -1, 1)),
    Step("keypad * adds 64 to the shift", [Key("KP_Multiply")], constant_shift(64)),
    Step("keypad * again: 128", [Key("KP_Multiply")], constant_shift(64)),
    Step("keypad / subtracts 64: 64", [Key("KP_Divide")], constant_shift(-64)),
    Step("Backspace restores shift 0", [Key("BackSpace")], restore_shift),
    Step("keypad / from 0 wraps to 4032", [Key("KP_Divide")], constant_shift(-64)),
    Step("keypad * from 4032 wraps to 0", [Key("KP_Multiply")], constant_shift(64)),
    Step("keypad * for the palette cases: 64", [Key("KP_Multiply")], constant_shift(64)),
    Step("R: monochrome without red", [Key("r")], toggle_component(4)),
    Step("G: monochrome blue", [Key("g")], toggle_component(2)),
    Step("B: no component, all black", [Key("b")], toggle_component(1)),
    Step("R: monochrome red", [Key("r")], toggle_component(4)),
    Step("G: red and green", [Key("g")], toggle_component(2)),
    Step("B: grey", [Key("b")], toggle_component(1)),
    Step("6: eighth palette, depth stays", [Key("6")], choose_palette(512)),
    Step("7: quarter palette raises the depth to 1024", [Key("7")], choose_palette(1024)),
    Step("8: half palette raises the depth to 2048", [Key("8")], choose_palette(2048)),
    Step("5: monochrome palette, depth stays 2048", [Key("5")], choose_palette(256)),
    Step("E: depth 512 from the 2048 counts", [Key("e")], choose_depth(512)),
    Step("H: depth 2048 again without computing", [Key("h")], choose_depth(2048)),
    Step("N: depth 4096 computes", [Key("n")], choose_depth(4096)),
    Step("Q: depth 1024 from the 4096 counts", [Key("q")], choose_depth(1024)),
    Step("9: normal palette, depth stays 1024", [Key("9")], choose_palette(4096)),
    Step("E: depth 512", [Key("e")], choose_depth(512)),
    Step("8: half palette above the depth, not above the counts", [Key("8")], choose_palette(2048)),
    Step("9: normal palette again", [Key("9")], choose_palette(4096)),
    Step("keypad + shifts repeatedly until pressed again; Backspace",
         run=lambda s: repeated_shifting(s, "KP_Add", "Add Color Shifting...")),
    Step("keypad - shifts repeatedly until pressed again; Backspace",
         run=lambda s: repeated_shifting(s, "KP_Subtract", "Subtract Color Shifting...")),

    # Files, through the real dialogs of the File menu.
    Step("Save As view.bmp writes qarn-render's bitmap", run=lambda s: save_as(s, "saved-view.bmp")),
    Step("Save As view.qarn writes the view's record", run=lambda s: save_as(s, "saved-view.qarn")),
    Step("Load a coordinate file", run=lambda s: load_file(s, "load-me.qarn", LOADED_VIEW.file_bytes())),
    Step("Save As after the load writes the loaded record", run=lambda s: save_as(s, "saved-loaded.qarn")),
    Step("Load the file the first Save As wrote: its view again", run=lambda s: load_file(s, "saved-view.qarn")),
    Step("Load a 45-byte file: error box, nothing changes",
         run=lambda s: load_file(s, "wrong-size.qarn", bytes(45))),

    # The About box.
    Step("About box animates and closes with Enter", run=lambda s: about_box(s)),

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


def pointer_location() -> tuple[int, int]:
    where = dict(re.findall(r"(\w+)=(\S+)", xdotool("getmouselocation", "--shell")))
    return int(where["X"]), int(where["Y"])


def move_pointer(x: int, y: int) -> None:
    """Moves the pointer and waits until the server has it there. Plain
    `mousemove --sync` to where the pointer already is waits 15 s for a
    motion that never comes."""
    if pointer_location() == (x, y):
        return
    xdotool("mousemove", "--sync", str(x), str(y))


# Every key the test has pressed (as xdotool names them, combinations split
# into their keys), for release_keys.
PRESSED: set[str] = set()


def press(*keys: str, delay_ms: int = 60) -> None:
    """Presses and releases keys (or combinations such as alt+f) one after
    the other, into whatever window has the focus."""
    PRESSED.update(k for combo in keys for k in combo.split("+"))
    xdotool("key", "--delay", str(delay_ms), *keys)


def release_keys() -> None:
    """Lets go of every key the steps press. A key left down (an xdotool run
    that stopped between press and release) auto-repeats on the X server
    for good: a stuck Escape closes every later viewer on this display the
    moment it gets the focus."""
    keys = sorted(PRESSED | {k for step in STEPS for a in step.actions if isinstance(a, Key)
                             for combo in a.keys for k in combo.split("+")})
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


def changed_pixels(got: Picture, want: Picture) -> set[tuple[int, int]]:
    """The (x, y) of every pixel that differs."""
    changed = set()
    row_bytes = want.width * 3
    for y in range(want.height):
        a, b = got.rgb[y * row_bytes:(y + 1) * row_bytes], want.rgb[y * row_bytes:(y + 1) * row_bytes]
        if a != b:
            changed.update((x, y) for x in range(want.width) if a[x * 3:x * 3 + 3] != b[x * 3:x * 3 + 3])
    return changed


def difference(got: Picture, want: Picture) -> tuple[int, tuple[int, int, int, int] | None, str]:
    """Count of differing pixels, their bounding box, and the first one."""
    changed = changed_pixels(got, want)
    if not changed:
        return 0, None, ""
    xs = [x for x, _ in changed]
    ys = [y for _, y in changed]
    x, y = min(changed, key=lambda p: (p[1], p[0]))
    at = (y * want.width + x) * 3
    first = f"({x}, {y}) is #{got.rgb[at:at + 3].hex()} instead of #{want.rgb[at:at + 3].hex()}"
    return len(changed), (min(xs), min(ys), max(xs), max(ys)), first


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


def _viewable_window(title: str = WINDOW_TITLE) -> str | None:
    result = run_tool(["xwininfo", "-name", title], timeout=30, check=False)
    text = result.stdout.decode(errors="replace")
    m = re.search(r"Window id: (0x[0-9a-fA-F]+)", text)
    if result.returncode != 0 or not m or "Map State: IsViewable" not in text:
        return None
    return m.group(1)


def wait_window(title: str, timeout: float = WINDOW_TIMEOUT) -> str:
    """The X window of a dialog or message box, once it is viewable."""
    deadline = time.monotonic() + timeout
    while True:
        window = _viewable_window(title)
        if window:
            return window
        if time.monotonic() > deadline:
            raise StepFailed(f"no window titled \"{title}\" appeared within {timeout:.0f} s")
        time.sleep(0.2)


def wait_window_gone(title: str, timeout: float = WINDOW_TIMEOUT) -> None:
    deadline = time.monotonic() + timeout
    while _viewable_window(title):
        if time.monotonic() > deadline:
            raise StepFailed(f"the window titled \"{title}\" is still open {timeout:.0f} s later")
        time.sleep(0.2)


def window_geometry(window: str) -> tuple[int, int, int, int]:
    """Absolute x, y, width and height of an X window."""
    text = run_tool(["xwininfo", "-id", window], timeout=30).stdout.decode(errors="replace")
    fields = {}
    for name in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
        m = re.search(re.escape(name) + r":\s+(-?\d+)", text)
        if not m:
            raise StepFailed(f"xwininfo gave no {name} for window {window}")
        fields[name] = int(m.group(1))
    return tuple(fields.values())  # type: ignore[return-value]


# ---------------------------------------------------------------------------
# Expected pictures


class Renderer:
    """qarn-render's bitmaps of views, each made once."""

    def __init__(self, program: Path, work: Path):
        self.program = program
        self.work = work
        self.files: dict[bytes | None, Path] = {}
        self.pictures: dict[bytes | None, Picture] = {}

    def bitmap(self, view: View | None) -> Path:
        """The BMP file of the view (None: the start-up view without a view file)."""
        key = None if view is None else view.file_bytes()
        if key in self.files:
            return self.files[key]
        if view is None:
            name = "expected-start-up"
            args = []
        else:
            name = f"expected-{len(self.files):03d}"
            view_file = self.work / f"{name}.qarn"
            view_file.write_bytes(key)
            args = [self._path(view_file)]
        bmp = self.work / f"{name}.bmp"
        bmp.unlink(missing_ok=True)
        started = time.monotonic()
        run_program(self.program, [*args, "-o", self._path(bmp)])
        log(f"rendered {bmp.name} ({view.describe() if view else 'start-up view'}) "
            f"in {time.monotonic() - started:.2f} s")
        self.files[key] = bmp
        return bmp

    def picture(self, view: View | None) -> Picture:
        key = None if view is None else view.file_bytes()
        if key not in self.pictures:
            bmp = self.bitmap(view)
            picture = read_bmp(bmp)
            if (picture.width, picture.height) != (PICTURE_SIZE, PICTURE_SIZE):
                raise StepFailed(f"{bmp} is {picture.width}x{picture.height}")
            self.pictures[key] = picture
        return self.pictures[key]

    def _path(self, path: Path) -> str:
        return windows_path(path) if is_windows_program(self.program) else str(path)


# ---------------------------------------------------------------------------


def save_evidence(stem: Path, screen: Picture, got: Picture, expected: Picture | None) -> list[Path]:
    """Keeps the screen, the picture and the expected picture of a failed
    check (as PNG, with a difference image, where ImageMagick can make them)."""
    pictures = [(".screen.ppm", screen), (".picture.ppm", got)]
    if expected is not None:
        pictures.append((".expected.ppm", expected))
    saved = []
    for suffix, picture in pictures:
        path = stem.with_suffix(suffix)
        picture.save_ppm(path)
        png = path.with_suffix(".png")
        if run_tool(["convert", str(path), str(png)], check=False).returncode == 0:
            path.unlink()
            path = png
        saved.append(path)
    if expected is not None:
        diff = stem.with_suffix(".diff.png")
        run_tool(["compare", str(saved[1]), str(saved[2]), str(diff)], check=False)
        if diff.exists():
            saved.append(diff)
    return saved


def check_picture(viewer: Viewer, expected: Picture, description: str, stem: Path) -> None:
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

    saved = save_evidence(stem, screen, got, expected)
    count, box, first = difference(got, expected)
    where = f", within x {box[0]}..{box[2]}, y {box[1]}..{box[3]}; first {first}" if box else ""
    raise StepFailed(f"the picture differs from the expected one in {count} of {PICTURE_SIZE * PICTURE_SIZE} "
                     f"pixels{where} (after {attempts} screenshots; picture at screen "
                     f"{viewer.screen_point(0, 0)}, status \"{viewer.status}\")\n"
                     f"  expected: {description}\n"
                     f"  saved: " + ", ".join(str(p) for p in saved))


# ---------------------------------------------------------------------------
# The session: one viewer, the renderer, and the model of what the viewer
# holds, carried from step to step.


@dataclasses.dataclass
class Session:
    viewer: Viewer
    renderer: Renderer
    work: Path
    view: View = HOME                    # what the picture shows, as a coordinate file
    computed_depth: int = 512            # the depth the viewer's counts were computed with
    history: list = dataclasses.field(default_factory=list)  # the view after each step
    index: int = 0
    step_name: str = ""
    computes: bool = False               # the current step computes the view again
    saved: dict = dataclasses.field(default_factory=dict)  # coordinate files Save As wrote: name -> view

    def recomputed(self, view: View) -> View:
        """The view computed again at its own level and depth; at level 0
        that gives the home view."""
        self.computes = True
        if view.level <= 0:
            view = HOME.but(palette_mode=view.palette_mode, shift=view.shift, depth=view.depth)
        return view

    def stem(self, what: str = "") -> Path:
        return self.work / f"step{self.index:02d}-{_slug(self.step_name)}{'-' + what if what else ''}"

    def check(self, view: View | None, settle: float = 0.0) -> None:
        """Waits for "Ready"; the picture must then be qarn-render's for the
        view (None: its start-up view), and stay so for `settle` seconds."""
        self.viewer.wait_ready()
        expected = self.renderer.picture(view)
        description = view.describe() if view else "start-up view"
        check_picture(self.viewer, expected, description, self.stem())
        self.hold(expected, description, settle)

    def hold(self, expected: Picture, description: str, seconds: float) -> None:
        """The picture stays `expected` for `seconds`: no mode that should
        have ended moves it on."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            time.sleep(0.3)
            screen = screenshot()
            got = self.viewer.picture(screen)
            if got.rgb != expected.rgb:
                saved = save_evidence(self.stem("moved"), screen, got, expected)
                self.viewer.probe()
                raise StepFailed(f"the picture changed after it had shown {description}: a mode still runs "
                                 f"(status \"{self.viewer.status}\"); saved: "
                                 + ", ".join(map(str, saved)))

    def find(self, candidates, what: str) -> View:
        """The first of the candidate views whose picture is on the screen
        (retrying while the viewer may still be painting)."""
        candidates = list(candidates)
        deadline = time.monotonic() + MATCH_TIMEOUT
        while True:
            got = self.viewer.picture(screenshot())
            for view in candidates:
                if self.renderer.picture(view).rgb == got.rgb:
                    return view
            if time.monotonic() > deadline:
                saved = save_evidence(self.stem("unmatched"), screenshot(), got, None)
                raise StepFailed(f"the picture is none of {len(candidates)} candidates for {what} "
                                 f"({candidates[0].describe()} ... {candidates[-1].describe()}); saved: "
                                 + ", ".join(map(str, saved)))
            time.sleep(0.3)
            self.viewer.wait_ready()

    def advance(self, view: View) -> None:
        """After a step: the model holds the view it reached."""
        if self.computes or not view.same_place(self.view):
            self.computed_depth = view.depth
        self.view = view
        self.history.append(view)


def wait_status(viewer: Viewer, pattern: str, timeout: float = WINDOW_TIMEOUT) -> re.Match:
    """Polls status part 0 until it matches the regular expression."""
    deadline = time.monotonic() + timeout
    while True:
        viewer.check_alive()
        viewer.probe()
        m = re.fullmatch(pattern, viewer.status)
        if m:
            return m
        if time.monotonic() > deadline:
            raise StepFailed(f"the status did not match /{pattern}/ within {timeout:.0f} s "
                             f"(last status: \"{viewer.status}\")")
        time.sleep(0.05)


# ---------------------------------------------------------------------------
# Steps that drive the viewer themselves


def auto_zoom_by_double_click(s: Session, x: int, y: int) -> View:
    """A left double click at (x, y): its first press zooms in one level at
    the pointer, then the automatic zoom rises one level every half second
    into the display centre; a left click only stops it."""
    left, top = selection_square(x, y, 1)
    first = s.view.zoomed_in(left, top, 1)
    Click(x, y, count=2).run(s.viewer)
    seen: list[tuple[float, int]] = []
    deadline = time.monotonic() + 30
    while not seen or seen[-1][1] < first.level + 3:
        m = wait_status(s.viewer, r"Auto Zooming In  to Level (\d\d)(?: of 56|\.\.\.)")
        level = int(m.group(1))
        if not seen or level != seen[-1][1]:
            seen.append((time.monotonic(), level))
        if time.monotonic() > deadline:
            raise StepFailed(f"the automatic zoom did not reach level {first.level + 3} (levels seen: {seen})")
        time.sleep(0.05)
    levels = [level for _, level in seen]
    if levels != list(range(levels[0], levels[0] + len(levels))):
        raise StepFailed(f"the automatic zoom did not rise one level at a time: {levels}")
    per_level = (seen[-1][0] - seen[0][0]) / (len(seen) - 1)
    # Each level is seen up to one poll (and a probe) after it appears, so two
    # intervals of 0.5 s can measure well below 0.5 s; far below would mean
    # the zoom does not wait for its timer.
    if not 0.3 <= per_level <= 2.0:
        raise StepFailed(f"the automatic zoom took {per_level:.2f} s a level, not a tick of 0.5 s")
    log(f"  automatic zoom: levels {levels}, {per_level:.2f} s a level")
    Click(x, y).run(s.viewer)
    s.viewer.wait_ready()
    last = seen[-1][1]
    view = s.find((first.at_level(level) for level in range(last, min(last + 4, 57))),
                  f"the automatic zoom stopped at level {last} or just after")
    s.hold(s.renderer.picture(view), view.describe(), 1.2)
    return view


def auto_scroll(s: Session, dx: int, dy: int) -> View:
    """A middle press starts AutoScroll and puts the pointer on the display
    centre; with the pointer (dx, dy) from the centre the view moves every
    tick by floor((offset + 16) / 32) pixels in each axis; a second middle
    press stops it. The number of ticks is found from the picture: its
    contents must be the earlier picture moved by a whole number of steps,
    and then exactly qarn-render's picture of the moved view."""
    step_x, step_y = (dx + 16) // 32, (dy + 16) // 32
    start = s.view
    before = s.renderer.picture(start)
    v = s.viewer
    v.focus()
    move_pointer(*v.screen_point(100, 400))
    xdotool("click", "2")
    centre = v.screen_point(256, 256)
    deadline = time.monotonic() + WINDOW_TIMEOUT
    while True:
        where = pointer_location()
        if where == centre:
            break
        if time.monotonic() > deadline:
            raise StepFailed(f"the pointer did not jump to the display centre {centre} (it is at {where})")
        time.sleep(0.1)
    move_pointer(centre[0] + dx, centre[1] + dy)
    time.sleep(1.0)
    xdotool("click", "2")
    time.sleep(0.3)
    v.wait_ready()

    def shifted_by(got: Picture, k: int) -> bool:
        # Contents move right by -k * step_x and down by -k * step_y pixels.
        mx, my = -k * step_x, -k * step_y
        if not (0 <= mx < 512 and 0 <= my < 512):
            return False
        row_bytes = PICTURE_SIZE * 3
        for y in range(my, PICTURE_SIZE, 5):
            a = got.rgb[y * row_bytes + mx * 3:(y + 1) * row_bytes]
            b = before.rgb[(y - my) * row_bytes:(y - my) * row_bytes + (PICTURE_SIZE - mx) * 3]
            if a != b:
                return False
        return True

    deadline = time.monotonic() + MATCH_TIMEOUT
    while True:
        got = v.picture(screenshot())
        ticks = [k for k in range(1, 512) if shifted_by(got, k)]
        if ticks:
            break
        if time.monotonic() > deadline:
            saved = save_evidence(s.stem("unmatched"), screenshot(), got, before)
            raise StepFailed(f"the picture is not the earlier one moved by whole steps of ({step_x}, {step_y}) "
                             f"pixels; saved: " + ", ".join(map(str, saved)))
        time.sleep(0.3)
    log(f"  AutoScroll: {ticks[0]} ticks of ({step_x}, {step_y}) px")
    if ticks[0] < 3:
        raise StepFailed(f"AutoScroll made only {ticks[0]} ticks in a second")
    view = s.find((start.scrolled(k * step_x, k * step_y) for k in ticks), "the view moved by AutoScroll")
    s.hold(s.renderer.picture(view), view.describe(), 0.6)
    return view


def outline_pixels(left: int, top: int, size: int) -> set[tuple[int, int]]:
    right, bottom = left + size - 1, top + size - 1
    return ({(x, top) for x in range(left, right + 1)} | {(x, bottom) for x in range(left, right + 1)}
            | {(left, y) for y in range(top, bottom + 1)} | {(right, y) for y in range(top, bottom + 1)})


def wheel_square(s: Session, levels: int) -> View:
    """A wheel notch away from the user with the pointer on the display
    centre: the selection square of `levels` appears about the centre as an
    outline over the unchanged picture, and nothing else on the picture
    changes (no trace of an earlier square either)."""
    Wheel(256, 256, 1).run(s.viewer)
    wait_status(s.viewer, re.escape("Select a region and then use a Zoom In or Out command..."))
    size = 512 >> levels
    left, top = selection_square(256, 256, levels)
    outline = outline_pixels(left, top, size)
    expected = s.renderer.picture(s.view)
    deadline = time.monotonic() + MATCH_TIMEOUT
    while True:
        screen = screenshot()
        got = s.viewer.picture(screen)
        changed = changed_pixels(got, expected)
        stray = changed - outline
        if not stray and len(changed) >= len(outline) // 4:
            log(f"  outline of {size} px at ({left}, {top}): {len(changed)} of its {len(outline)} pixels drawn")
            return s.view
        if time.monotonic() > deadline:
            saved = save_evidence(s.stem(), screen, got, expected)
            raise StepFailed(f"expected only the outline of the {size}-pixel square at ({left}, {top}); "
                             f"{len(changed & outline)} of its pixels changed, {len(stray)} pixels elsewhere "
                             f"(e.g. {sorted(stray)[:3]}); saved: " + ", ".join(map(str, saved)))
        time.sleep(0.3)


def repeated_shifting(s: Session, key: str, status: str) -> View:
    """The key starts repeated shifting (the status says so and the picture
    keeps changing), the same key stops it; the picture then shows the
    shift that some number of ticks reached and stays; Backspace restores
    shift 0."""
    start = s.view
    direction = 1 if "Add" in status else -1
    s.viewer.focus()
    press(key)
    wait_status(s.viewer, re.escape(status))
    started = time.monotonic()
    seen = set()
    while time.monotonic() - started < 1.5:
        seen.add(s.viewer.picture(screenshot()).rgb)
        time.sleep(0.2)
    if len(seen) < 2:
        raise StepFailed(f"the picture did not change while the status said \"{status}\"")
    s.viewer.focus()
    press(key)
    s.viewer.wait_ready()
    estimate = round((time.monotonic() - started) / 0.1)

    shifts = [start.shift]
    for _ in range(2 * estimate + 40):
        n = shifts[-1] + direction
        shifts.append(4096 if n < 0 else 1 if n > 4096 else n)
    # Shift 4096 maps as 0 does; a coordinate file holds it as 0.
    order = sorted(range(1, len(shifts)), key=lambda k: abs(k - estimate))
    view = s.find((start.but(shift=shifts[k] % 4096) for k in order), f"{estimate} ticks of {status}")
    log(f"  {key}: stopped at shift {view.shift} (about {estimate} ticks)")
    s.hold(s.renderer.picture(view), view.describe(), 0.6)
    s.viewer.focus()
    press("BackSpace")
    restored = start.but(shift=0)
    s.check(restored)
    return restored


def menu_dialog(s: Session, menu_keys: tuple[str, ...], title: str) -> str:
    s.viewer.focus()
    press(*menu_keys, delay_ms=150)
    return wait_window(title)


def type_file_name(window: str, path: Path) -> None:
    """Types a name into the file dialog's name box, which has the focus
    when the dialog opens, and confirms it."""
    xdotool("windowfocus", "--sync", window)
    run_tool(["xdotool", "type", "--delay", "30", windows_path(path)], timeout=60)
    press("Return")


def wait_file(path: Path, size: int) -> bytes:
    """The file once it has reached its size."""
    deadline = time.monotonic() + FILE_TIMEOUT
    while True:
        try:
            data = path.read_bytes()
        except OSError:
            data = b""
        if len(data) == size:
            return data
        if time.monotonic() > deadline:
            raise StepFailed(f"{path} is {len(data)} bytes, expected {size}")
        time.sleep(0.2)


def save_as(s: Session, name: str) -> View:
    """File, Save As, a typed name: a .bmp name writes qarn-render's bitmap
    of the view, any other name the view's 46-byte record."""
    path = s.work / name
    path.unlink(missing_ok=True)
    window = menu_dialog(s, ("alt+f", "a"), "Save As")
    type_file_name(window, path)
    wait_window_gone("Save As")
    bitmap = path.suffix.lower() == ".bmp"
    want = s.renderer.bitmap(s.view).read_bytes() if bitmap else s.view.file_bytes()
    got = wait_file(path, len(want))
    s.viewer.wait_ready()
    if got != want:
        first = next(i for i in range(len(want)) if got[i] != want[i])
        raise StepFailed(f"{path} differs from the expected {'bitmap' if bitmap else 'record'} "
                         f"from byte {first} on ({s.view.describe()})")
    s.check(s.view)
    s.saved[name] = s.view
    return s.view


def load_file(s: Session, name: str, data: bytes | None = None) -> View:
    """File, Load, a typed name: a file written here (data), or one that
    Save As wrote earlier (no data). A coordinate file's view is computed and
    shown; a file of any other size gives one "Qarn Error" box, closed with
    Return, and changes nothing."""
    path = s.work / name
    if data is None:
        data = path.read_bytes()
        expected = s.saved[name]
    else:
        path.write_bytes(data)
        expected = LOADED_VIEW if data == LOADED_VIEW.file_bytes() else None
    window = menu_dialog(s, ("alt+f", "l"), "Open")
    type_file_name(window, path)
    wait_window_gone("Open")
    if len(data) == 46:
        if expected is None:
            raise StepFailed(f"the test does not know the view of {name}")
        view = s.recomputed(expected)
        s.check(view)
        return view
    box = wait_window("Qarn Error")
    xdotool("windowfocus", "--sync", box)
    press("Return")
    wait_window_gone("Qarn Error")
    time.sleep(1.0)
    if _viewable_window("Qarn Error"):
        raise StepFailed("a second \"Qarn Error\" box followed the first")
    s.check(s.view)
    return s.view


def about_box(s: Session) -> View:
    """Help, About: the box's animation changes what it shows between
    screenshots; Return closes it and the picture is as before."""
    window = menu_dialog(s, ("alt+h", "a"), "About Qarn")
    x, y, w, h = window_geometry(window)
    looks = set()
    for _ in range(8):
        looks.add(screenshot().crop(x, y, w, h).rgb)
        time.sleep(0.15)
    if len(looks) < 2:
        raise StepFailed("the About box looked the same in 8 screenshots over 1.2 s: no animation")
    log(f"  About box: {len(looks)} different looks in 8 screenshots")
    xdotool("windowfocus", "--sync", window)
    press("Return")
    wait_window_gone("About Qarn")
    s.check(s.view)
    return s.view


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
        renderer.picture(STARTUP)

        # Out of the way of the picture: the pointer starts in the middle of
        # the screen, which is over the picture.
        move_pointer(0, 0)
        release_keys()
        started = time.monotonic()
        viewer.start()
        log(f"viewer ready in {time.monotonic() - started:.2f} s: client origin {viewer.origin}, "
            f"toolbar {viewer.toolbar} px, status \"{viewer.status}\"")

        session = Session(viewer, renderer, work)
        for i, step in enumerate(STEPS):
            name = f"{i:02d} {step.name}"
            started = time.monotonic()
            session.index, session.step_name, session.computes = i, step.name, False
            try:
                if step.run is not None:
                    log(f"step {name}")
                    view = step.run(session)
                elif step.exit_code is not None:
                    log(f"step {name}: " + "; ".join(str(a) for a in step.actions))
                    for action in step.actions:
                        action.run(viewer)
                    rc = viewer.wait_exit(EXIT_TIMEOUT)
                    if rc != step.exit_code:
                        raise StepFailed(f"qarn.exe ended with exit code {rc}, expected {step.exit_code}")
                    view = session.view
                else:
                    want = step.expect(session) if callable(step.expect) else step.expect
                    view = HOME if want is STARTUP else want
                    # Rendered before the input, so that it never delays timed input.
                    renderer.picture(want)
                    log(f"step {name}: " + ("; ".join(str(a) for a in step.actions) or "(no input)"))
                    for action in step.actions:
                        action.run(viewer)
                    session.check(want, step.settle)
                session.advance(view)
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
