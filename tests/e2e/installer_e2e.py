#!/usr/bin/env python3
"""FeijingSetup.exe end to end, in the Wine test bed, driven with real X input.

Each case starts the real installer as a child process on the test bed's Xvfb display, clicks and types at
the window's coordinates with xdotool, reads the screen back with ImageMagick's import, and checks what the
installation leaves behind: the payload's files, the uninstall entry (wine reg query), "Uninstall.dat", the
shortcuts (lnkinfo), the started program and the uninstaller's clean-up.

Under ctest the test bed is up and its environment exported (tools/test.sh); run by hand, the script takes
the environment from tools/testbed.sh and brings the bed up (and down again) when it is not running.

Every case runs at the bed's scale (TESTBED_DPI / 96): positions below are logical pixels, turned into the
screen's device pixels where the script clicks or looks. Without CASE arguments, INSTALLER_E2E_CASES (names
or parts of names, separated by spaces) selects the cases; without either, all run.

    installer_e2e.py [--build DIR] [--screenshots DIR] [CASE ...]
"""
import math
import argparse
import contextlib
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import traceback
import zipfile
import zlib

try:
    from PIL import Image
except ImportError:
    # python3-pil belongs to the system's interpreter; another python3 may come first on the PATH.
    if os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3") and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

PRODUCT = "飞鲸网游加速器"
WINDOW_TITLE = PRODUCT + " 安装"
DEFAULT_FOLDER = "C:\\" + PRODUCT + "\\"
CHINESE_PARENT = "C:\\游戏\\"  # a folder typed in Chinese with real keys
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + PRODUCT
SHELL_FOLDERS_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"
AGREEMENT_CAPTION = "协议勾选提示"
FOLDER_CAPTION = "提醒"
PUBLISHER = "北岭数码科技有限公司"
VERSION = "201909999"

WINDOW_ORIGIN = (50, 50)
WINDOW_SIZE = (588, 438)
# Centres of the window's elements, in logical client pixels (the window has no frame: client = window).
CLOSE_BUTTON = (569, 18)
INSTALL_BUTTON = (290, 385)
RUN_BUTTON = (290, 361)  # moved to top 336 in the finished state
FOLDER_EDIT = (265, 319)
FOLDER_FIELD = (28, 304, 502, 334)
AGREEMENT_LINK = (70, 403)
AGREEMENT_CHECK = (37, 404)
CHECK_ORIGIN = (29, 396)  # the check box draws its 15 x 15 picture at its top-left
# fj.exe's own window: its close button lies 34..4 pixels left of the right edge, 3..33 down.
PRODUCT_CLOSE_FROM_RIGHT = 19
PRODUCT_CLOSE_Y = 18

TOP_COLOR = (44, 56, 72)
BOTTOM_COLOR = (34, 44, 56)
FIELD_COLOR = (28, 35, 45)

BANNER = (104, 96, 484, 201)  # left, top, right, bottom
STATUS_TOP = 373
LINE_HEIGHT = 24

# Generous: CI runs this on two shared cores.
START_TIMEOUT = 60
INSTALL_TIMEOUT = 180
STEP_TIMEOUT = 30


class Failure(Exception):
    pass


class Scale:
    """Logical pixels (1/96 inch) to the screen's device pixels at the bed's DPI."""

    def __init__(self, dpi):
        self.dpi = dpi
        self.factor = dpi / 96.0

    def __call__(self, value):
        """A logical coordinate as a device one: edges are rounded, half up, so neighbours meet."""
        return int(math.floor(value * self.factor + 0.5))

    def point(self, point):
        return tuple(self(v) for v in point)

    def box(self, box):
        return tuple(self(v) for v in box)

    def window_size(self):
        return self.point(WINDOW_SIZE)


SCALE = Scale(96)


def run(args, check=False, **kwargs):
    return subprocess.run(args, capture_output=True, check=check, **kwargs)


def wait_until(predicate, timeout, what, step=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out after %d s waiting for %s" % (timeout, what))
        time.sleep(step)


# ---- test bed ----

class TestBed:
    """The Wine prefix, the display and the paths inside the prefix."""

    def __init__(self, build):
        self.build = build
        self.started_bed = False
        self._shell_folders = None

    def up(self):
        os.environ["TESTBED_BUILD"] = self.build
        if "WINEPREFIX" not in os.environ or "DISPLAY" not in os.environ:
            self._take_environment()
        ready = os.path.exists(os.path.join(os.environ["WINEPREFIX"], ".testbed-ready"))
        if not ready or not display_answers():
            self._bash("testbed_up")
            self.started_bed = True
        self.prefix = os.environ["WINEPREFIX"]
        self.drive_c = os.path.join(self.prefix, "drive_c")

    def down(self):
        if self.started_bed:
            self._bash("testbed_down")

    def _take_environment(self):
        out = self._bash("testbed_env; env -0").stdout
        for item in out.split(b"\0"):
            name, sep, value = item.decode("utf-8", "replace").partition("=")
            if sep and name:
                os.environ[name] = value

    def _bash(self, command):
        script = 'source "%s/tools/testbed.sh" && %s' % (ROOT, command)
        result = subprocess.run(["bash", "-c", script], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                stdin=subprocess.DEVNULL)
        if result.returncode != 0:
            raise Failure("test bed: '%s' failed" % command)
        return result

    # Windows paths as Wine maps them: drive links in dosdevices, names found case-insensitively.
    def unix_path(self, windows_path):
        drive, rest = windows_path[0].lower(), windows_path[2:].strip("\\")
        path = os.path.realpath(os.path.join(self.prefix, "dosdevices", drive + ":"))
        for part in [p for p in rest.split("\\") if p]:
            candidate = os.path.join(path, part)
            if not os.path.exists(candidate) and os.path.isdir(path):
                for name in os.listdir(path):
                    if name.lower() == part.lower():
                        candidate = os.path.join(path, name)
                        break
            path = candidate
        return path

    def reg_query(self, key):
        """The REG_SZ values of `key` as {name: data}, or None when the key is missing."""
        result = run(["wine", "reg", "query", key] + self.reg_view(), stdin=subprocess.DEVNULL)
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.decode("gbk", "replace").splitlines():
            match = re.match(r"^    (.+?)    (REG_\w+)    ?(.*)$", line)
            if match:
                values[match.group(1)] = (match.group(2), match.group(3))
        return values

    def reg_delete(self, key):
        run(["wine", "reg", "delete", key, "/f"] + self.reg_view(), stdin=subprocess.DEVNULL)

    @staticmethod
    def reg_view():
        """The registry view the product writes: a 32-bit program in a 64-bit prefix writes to the 32-bit one."""
        return ["/reg:32"] if os.environ.get("TESTBED_REG_VIEW") == "32" else []

    def shell_folders(self):
        """The current user's Programs and desktop folders as the shell names them (no final "\\")."""
        if self._shell_folders is None:
            values = self.reg_query(SHELL_FOLDERS_KEY) or {}
            user = next((u for u in sorted(os.listdir(os.path.join(self.drive_c, "users"))) if u != "Public"), "")
            programs = values.get("Programs", ("", ""))[1] or \
                "C:\\users\\%s\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs" % user
            desktop = values.get("Desktop", ("", ""))[1] or "C:\\users\\%s\\Desktop" % user
            self._shell_folders = (programs.rstrip("\\"), desktop.rstrip("\\"))
        return self._shell_folders

    def shortcut_paths(self, product=PRODUCT):
        """(link, target program) of the four shortcuts, as Windows paths; targets relative to the folder."""
        programs, desktop = self.shell_folders()
        return [
            (programs + "\\" + product + "\\" + product + ".lnk", "fj.exe"),
            (programs + "\\" + product + "\\卸载" + product + ".lnk", "uninst.exe"),
            (programs + "\\" + product + ".lnk", "fj.exe"),
            (desktop + "\\" + product + ".lnk", "fj.exe"),
        ]

    def wine_processes(self, image_name):
        """Unix pids of this prefix's Wine processes whose command line names `image_name`."""
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    cmdline = f.read().decode("utf-8", "replace")
                # A Windows path for a program started by Windows, a Unix one for one started by `wine`.
                program = re.split(r"[\\/]", cmdline.split("\0")[0])[-1]
                if program.lower() != image_name.lower():
                    continue
                with open("/proc/%s/environ" % entry, "rb") as f:
                    environ = f.read().split(b"\0")
            except OSError:
                continue
            if ("WINEPREFIX=" + self.prefix).encode() in environ:
                pids.append(int(entry))
        return pids

    def clean(self):
        """No installer or product running, no install folder, shortcut or uninstall entry left."""
        for image in ("FeijingSetup.exe", "FeijingSetupSlow.exe", "FeijingSetupDamaged.exe", "fj.exe", "uninst.exe"):
            for pid in self.wine_processes(image):
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass
        for folder in (DEFAULT_FOLDER, "C:\\Games\\", "C:\\FJLater\\", "C:\\NoSuchParent\\", CHINESE_PARENT):
            remove_tree(self.unix_path(folder))
        programs, desktop = self.shell_folders()
        remove_tree(self.unix_path(programs + "\\" + PRODUCT))
        for link in (programs + "\\" + PRODUCT + ".lnk", desktop + "\\" + PRODUCT + ".lnk"):
            path = self.unix_path(link)
            if os.path.lexists(path):
                os.remove(path)
        self.reg_delete(UNINSTALL_KEY)


def remove_tree(path):
    if not os.path.lexists(path):
        return
    for top, dirs, files in os.walk(path):
        for name in dirs + files:
            os.chmod(os.path.join(top, name), 0o755)
    shutil.rmtree(path)


def display_answers():
    return run(["xdpyinfo"], stdin=subprocess.DEVNULL).returncode == 0


# ---- the screen and X input ----

def xdotool(*args):
    return run(["xdotool"] + [str(a) for a in args]).stdout.decode("utf-8", "replace").split()


def visible_windows(name=None, pid=None):
    args = ["search", "--onlyvisible"]
    if pid is not None:
        # Without --all xdotool takes windows meeting any one condition.
        args += ["--all", "--pid", pid]
    args += ["--name", name if name is not None else "."]
    return xdotool(*args)


def window_pid(window):
    found = xdotool("getwindowpid", window)
    return int(found[0]) if found and found[0].isdigit() else None


def window_geometry(window):
    out = run(["xdotool", "getwindowgeometry", "--shell", window]).stdout.decode()
    values = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return tuple(int(values.get(k, -1)) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def screen():
    data = run(["import", "-window", "root", "png:-"], check=True).stdout
    from io import BytesIO
    return Image.open(BytesIO(data)).convert("RGB")


def screen_size():
    out = run(["xdpyinfo"], stdin=subprocess.DEVNULL).stdout.decode()
    found = re.search(r"dimensions:\s+(\d+)x(\d+)", out)
    return (int(found.group(1)), int(found.group(2))) if found else (1280, 800)


def park_mouse():
    """The screen's far corner: off the installer and off the product's window, so no hover picture shows."""
    width, height = screen_size()
    xdotool("mousemove", width - 10, height - 10)


def key(*keys):
    xdotool("key", "--delay", 30, *keys)


def type_text(text):
    """Types with real keys. Characters the keyboard lacks (Chinese) get keys of their own first, and Wine
    is given time to read the new mapping: a key that xdotool maps while typing can reach Wine before the
    mapping does, and its character is lost (as it is in Wine's notepad)."""
    missing = sorted({c for c in text if ord(c) > 127})
    free = [int(line.split()[1]) for line in run(["xmodmap", "-pke"]).stdout.decode().splitlines()
            if line.split("=")[1].strip() == ""]
    codes = free[:len(missing)]
    for code, character in zip(codes, missing):
        run(["xmodmap", "-e", "keycode %d = U%04X" % (code, ord(character))], check=True)
    if codes:
        time.sleep(1)
    try:
        xdotool("type", "--delay", 30, text)
    finally:
        for code in codes:
            run(["xmodmap", "-e", "keycode %d =" % code])


def near(color, reference, tolerance=12):
    return all(abs(a - b) <= tolerance for a, b in zip(color, reference))


def is_blue(color):
    return color[2] > 150 and color[2] - color[0] > 80


def picture_over(name, background, size=None, double=None):
    """A check-box picture of the installer's resources, as drawn over `background` at `size` device pixels:
    from 150 % on (22 device pixels) the engine draws the double-size partner, unless `double` says."""
    size = size or (15, 15)
    double = size[0] >= 22 if double is None else double
    path = os.path.join(ROOT, "installer", "resources", name + ("@2x" if double else "") + ".png")
    picture = Image.open(path).convert("RGBA")
    if picture.size != size:
        picture = picture.resize(size, Image.LANCZOS)
    base = Image.new("RGBA", picture.size, background + (255,))
    return Image.alpha_composite(base, picture).convert("RGB")


def difference(a, b):
    pa, pb = list(a.getdata()), list(b.getdata())
    return sum(abs(x - y) for p, q in zip(pa, pb) for x, y in zip(p, q)) / (3.0 * len(pa))


class WindowShot:
    """One screenshot of the installer window, with the states the test reads off it. It is taken in device
    pixels; its questions take logical ones."""

    def __init__(self, image):
        self.image = image

    def px(self, x, y):
        return self.image.getpixel(SCALE.point((x, y)))

    def crop(self, box):
        return self.image.crop(SCALE.box(box))

    def save(self, path):
        self.image.save(path)

    def folder_row_visible(self):
        return near(self.px(450, 319), FIELD_COLOR, 4)

    def install_button_visible(self):
        # Below the run button's place: only the install button reaches y 400.
        return is_blue(self.px(290, 400))

    def run_button_visible(self):
        # Between the progress bar (up to 348) and the install button (from 360).
        return is_blue(self.px(290, 352))

    def progress_visible(self):
        # The bar's right end and its lower edge, below the folder field and left of the run button.
        return not near(self.px(545, 339), BOTTOM_COLOR, 3) or not near(self.px(100, 346), BOTTOM_COLOR, 3)

    def progress_fill(self):
        """Blue part of the bar, 0.0 - 1.0."""
        blue = sum(1 for x in range(34, 554) if is_blue(self.px(x, 339)))
        return blue / 520.0

    def check_box(self):
        """'ticked', 'unticked' or None, by the nearer of the two pictures drawn at the box's place."""
        x, y = CHECK_ORIGIN
        drawn = self.crop((x, y, x + 15, y + 15))
        scores = {state: difference(drawn, picture_over(state, BOTTOM_COLOR, drawn.size))
                  for state in ("ticked", "unticked")}
        best = min(scores, key=scores.get)
        return best if scores[best] < 20 else None

    def agreement_row_visible(self):
        area = self.crop((28, 391, 100, 415))
        return any(not near(p, BOTTOM_COLOR, 10) for p in area.getdata())

    def text_ink(self, box):
        """Device pixels (x, y) of the grey label text inside `box`, relative to the box. The buttons' white
        text over their blue pictures is not grey."""
        area = self.crop(box)
        return [(i % area.width, i // area.width) for i, p in enumerate(area.getdata())
                if p[0] > 110 and abs(p[0] - p[2]) < 20 and abs(p[1] - p[2]) < 20]

    def text_extent(self, box):
        """Width of the grey label text inside `box` in logical pixels, 0 when there is none."""
        xs = [x for x, _ in self.text_ink(box)]
        return (max(xs) - min(xs) + 1) / SCALE.factor if xs else 0

    def text_rows(self, top):
        """(first, last) device row of the text in the line of 24 logical pixels at `top`, window rows;
        None when the line is empty."""
        ys = [y for _, y in self.text_ink((0, top, WINDOW_SIZE[0], top + LINE_HEIGHT))]
        return (SCALE(top) + min(ys), SCALE(top) + max(ys)) if ys else None

    def status_width(self, top=STATUS_TOP):
        return self.text_extent((0, top, WINDOW_SIZE[0], top + LINE_HEIGHT))

    def shows_failure(self, characters, top=STATUS_TOP):
        """The status line shows a failure text of `characters` full-width characters ("安装失败：…"), 12
        pixels each in 宋体 12: wider than every stage text."""
        width = self.status_width(top)
        return abs(width - 12 * characters) <= 8

    def panel_visible(self):
        # The panel's fill, 230/255 of RGB(28,35,45) over the top background, at its left margin.
        strip = [self.px(x, y) for x in (78, 80) for y in range(60, 340, 10)]
        over = tuple(round(f * 230 / 255 + t * 25 / 255) for f, t in zip(FIELD_COLOR, TOP_COLOR))
        return sum(1 for p in strip if near(p, over, 6)) > len(strip) // 2


STARTED = []  # every installer of the run, ended after its case


def require(program):
    """`program`, which a case needs built (a build of the installer alone, as the packaging test makes, has
    only FeijingSetup.exe and the payload)."""
    if not os.path.exists(program):
        raise Failure("missing %s: build it first" % program)
    return program


class Installer:
    """One installer process and its window: the real FeijingSetup.exe, its copy with the slowed worker
    (slow=True: 0.8 s after each of the eight progress reports), or another program file (exe)."""

    def __init__(self, bed, slow=False, exe=None, args=()):
        self.bed = bed
        exe = exe or os.path.join(bed.build, "installer", "FeijingSetupSlow.exe" if slow else "FeijingSetup.exe")
        require(exe)
        self.process = subprocess.Popen(["wine", exe] + list(args), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        STARTED.append(self)
        self.window = wait_until(self._find_window, START_TIMEOUT, "the installer window")
        size = SCALE.window_size()
        geometry = wait_until(lambda: self._placed(), STEP_TIMEOUT, "the window at %d,%d, %d x %d" %
                              (SCALE(WINDOW_ORIGIN[0]), SCALE(WINDOW_ORIGIN[1]), size[0], size[1]))
        self.origin = geometry[:2]
        # Until the first present the window is blank.
        wait_until(lambda: self.shot().install_button_visible(), STEP_TIMEOUT, "the window's first drawing")

    def _find_window(self):
        found = visible_windows(WINDOW_TITLE, self.process.pid)
        return found[0] if found else None

    def _placed(self):
        """The geometry once the window has its place and size. The size is the logical one rounded (735 x 548
        at 120 DPI); the place may lie a pixel off its rounded value (62.5 at 120 DPI)."""
        geometry = window_geometry(self.window)
        x, y = (v * SCALE.factor for v in WINDOW_ORIGIN)
        placed = abs(geometry[0] - x) <= 0.5 and abs(geometry[1] - y) <= 0.5 and geometry[2:] == SCALE.window_size()
        return geometry if placed else None

    def alive(self):
        return self.process.poll() is None

    @contextlib.contextmanager
    def stopped(self):
        """The process held still (SIGSTOP): the window keeps what it last drew."""
        os.kill(self.process.pid, signal.SIGSTOP)
        try:
            time.sleep(0.05)  # what it drew just before reaches the server
            yield
        finally:
            os.kill(self.process.pid, signal.SIGCONT)

    def screen_point(self, point):
        """A logical client point as a screen position."""
        x, y = SCALE.point(point)
        return self.origin[0] + x, self.origin[1] + y

    def click(self, point, park=True):
        xdotool("mousemove", *self.screen_point(point), "click", 1)
        if park:
            park_mouse()

    def shot(self):
        x, y = self.origin
        width, height = SCALE.window_size()
        return WindowShot(screen().crop((x, y, x + width, y + height)))

    def settled_shot(self):
        """A shot once the window has stopped changing (the folder field's blinking caret aside)."""
        def still(image):
            image = image.copy()
            image.paste((0, 0, 0), SCALE.box(FOLDER_FIELD))
            return image.tobytes()
        previous = still(self.shot().image)

        def settled():
            nonlocal previous
            time.sleep(0.1)
            shot = self.shot()
            current = still(shot.image)
            same, previous = current == previous, current
            return shot if same else None
        return wait_until(settled, STEP_TIMEOUT, "the window to settle", step=0)

    def other_windows(self):
        return [w for w in visible_windows(pid=self.process.pid) if w != self.window]

    def message_box(self, caption, timeout=STEP_TIMEOUT):
        return wait_until(lambda: (visible_windows("^%s$" % caption, self.process.pid) or [None])[0], timeout,
                          "the message box '%s'" % caption)

    def dismiss(self, box):
        xdotool("windowfocus", box)
        key("Return")
        # The press's handler goes on only after the box is gone.
        wait_until(lambda: box not in visible_windows(pid=self.process.pid), STEP_TIMEOUT,
                   "the message box to close")

    def wait_exit(self, timeout):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the installer did not exit within %d s" % timeout)

    def close(self):
        """Presses the close button: the process must end with exit code 0."""
        self.click(CLOSE_BUTTON)
        return self.wait_exit(STEP_TIMEOUT)

    def kill(self):
        if self.alive():
            self.process.kill()
            self.process.wait()

    def set_folder(self, text):
        """Replaces the folder text with real keys: select all, delete, type."""
        self.click(FOLDER_EDIT, park=False)
        key("ctrl+a", "Delete")
        if text:
            type_text(text)
        park_mouse()

    def tick(self):
        self.click(AGREEMENT_CHECK)
        wait_until(lambda: self.shot().check_box() == "ticked", STEP_TIMEOUT, "the ticked agreement box")


# ---- checks ----

class Case:
    def __init__(self, bed, options, name):
        self.bed = bed
        self.name = name
        self.options = options
        self.faults = []
        self.notes = []

    def check(self, condition, message):
        if not condition:
            self.faults.append(message)
            if self.options.screenshots:
                os.makedirs(self.options.screenshots, exist_ok=True)
                screen().save(os.path.join(self.options.screenshots, "fault-%s-%d.png" % (self.name, len(self.faults))))
        return condition

    def note(self, message):
        self.notes.append(message)

    def screenshot(self, shot, name):
        if self.options.screenshots:
            os.makedirs(self.options.screenshots, exist_ok=True)
            shot.save(os.path.join(self.options.screenshots, name))

    def payload(self):
        return zipfile.ZipFile(os.path.join(self.bed.build, "payload", "sj.zip")).infolist()

    def check_choosing_state(self, shot, what, box="unticked", row=True):
        self.check(shot.folder_row_visible(), what + ": the folder row is shown")
        self.check(shot.install_button_visible(), what + ": the install button is shown")
        self.check(not shot.progress_visible(), what + ": the progress bar is hidden")
        self.check(not shot.run_button_visible(), what + ": the run button is hidden")
        self.check(shot.status_width() == 0, what + ": the status text is hidden")
        self.check(shot.text_extent((28, 280, 90, 304)) > 0, what + ": '安装位置：' is shown")
        if row:
            self.check(shot.check_box() == box, what + ": the agreement box shows %s (reads %s)" % (box, shot.check_box()))
        else:
            self.check(not shot.agreement_row_visible(), what + ": the agreement row is hidden")

    def check_nothing_installed(self, folder=DEFAULT_FOLDER):
        self.check(not os.path.exists(self.bed.unix_path(folder)), "nothing is installed: %s exists" % folder)
        self.check(self.bed.reg_query(UNINSTALL_KEY) is None, "nothing is installed: the uninstall entry exists")

    def check_files(self, folder):
        """The payload's files in `folder`, each of its size and CRC, and its folders; "sj.zip" gone."""
        unix_folder = self.bed.unix_path(folder)
        for entry in self.payload():
            path = os.path.join(unix_folder, entry.filename)
            if entry.is_dir():
                self.check(os.path.isdir(path), "folder %s%s exists" % (folder, entry.filename))
                continue
            if not self.check(os.path.isfile(path), "file %s%s exists" % (folder, entry.filename)):
                continue
            with open(path, "rb") as f:
                data = f.read()
            self.check(len(data) == entry.file_size and zlib.crc32(data) == entry.CRC,
                       "%s%s holds the payload's bytes (%d bytes, CRC %08x; found %d, %08x)" %
                       (folder, entry.filename, entry.file_size, entry.CRC, len(data), zlib.crc32(data)))
        self.check(not os.path.exists(os.path.join(unix_folder, "sj.zip")), "sj.zip is deleted after unpacking")

    def check_registry(self, folder):
        values = self.bed.reg_query(UNINSTALL_KEY)
        if not self.check(values is not None, "the uninstall entry %s exists" % UNINSTALL_KEY):
            return
        expected = {
            "DisplayIcon": folder + "fj.exe",
            "DisplayName": PRODUCT,
            "DisplayVersion": VERSION,
            "UninstallString": folder + "uninst.exe",
            "Publisher": PUBLISHER,
        }
        for name, data in expected.items():
            self.check(values.get(name) == ("REG_SZ", data),
                       "registry value %s is REG_SZ %r (found %r)" % (name, data, values.get(name)))
        url = values.get("URLInfoAbout", ("", ""))
        self.check(url[0] == "REG_SZ" and re.match(r"^https?://\S+$", url[1]),
                   "registry value URLInfoAbout is a REG_SZ web address (found %r)" % (url,))
        # What Windows' list of programs reads besides: the kilobytes of the files and the list written.
        dat = os.path.join(self.bed.unix_path(folder), "Uninstall.dat")
        written = sum(entry.file_size for entry in self.payload()) + (os.path.getsize(dat) if os.path.exists(dat) else 0)
        completion = {
            "InstallLocation": ("REG_SZ", folder),
            "EstimatedSize": ("REG_DWORD", "0x%x" % ((written + 1023) // 1024)),
            "NoModify": ("REG_DWORD", "0x1"),
            "NoRepair": ("REG_DWORD", "0x1"),
            "QuietUninstallString": ("REG_SZ", '"%suninst.exe" /S' % folder),
            "InstallDate": ("REG_SZ", time.strftime("%Y%m%d")),
        }
        for name, value in completion.items():
            self.check(values.get(name) == value, "registry value %s is %r (found %r)" % (name, value, values.get(name)))
        self.check(len(values) == 12, "the uninstall entry holds twelve values (found %s)" % sorted(values))

    def check_uninstall_list(self, folder):
        programs, desktop = self.bed.shell_folders()
        expected = "\r\n".join([folder, programs + "\\" + PRODUCT, desktop + "\\" + PRODUCT + ".lnk",
                                "fj.exe"]).encode("gbk")
        path = os.path.join(self.bed.unix_path(folder), "Uninstall.dat")
        if not self.check(os.path.isfile(path), "%sUninstall.dat exists" % folder):
            return
        with open(path, "rb") as f:
            data = f.read()
        self.check(data == expected, "Uninstall.dat is %r (found %r)" % (expected, data))

    def check_shortcuts(self, folder):
        for link, program in self.bed.shortcut_paths():
            path = self.bed.unix_path(link)
            if not self.check(os.path.isfile(path), "shortcut %s exists" % link):
                continue
            info = run(["lnkinfo", "-c", "windows-936", path]).stdout.decode("utf-8", "replace")
            target = re.search(r"^\s*Local path\s*:\s*(.*)$", info, re.M)
            self.check(target and target.group(1).strip() == folder + program,
                       "shortcut %s points to %s%s (found %r)" %
                       (link, folder, program, target.group(1).strip() if target else None))
            for field in ("Command line arguments", "Description", "Working directory"):
                self.check(field not in info, "shortcut %s sets no %s" % (link, field.lower()))

    def check_everything_installed(self, folder):
        self.check_files(folder)
        self.check_registry(folder)
        self.check_uninstall_list(folder)
        self.check_shortcuts(folder)

    def check_everything_removed(self, folder):
        unix_folder = self.bed.unix_path(folder)
        self.check(not os.path.exists(unix_folder),
                   "the install folder is removed (left: %s)" %
                   (sorted(os.listdir(unix_folder)) if os.path.isdir(unix_folder) else "-"))
        for link, _ in self.bed.shortcut_paths():
            self.check(not os.path.exists(self.bed.unix_path(link)), "shortcut %s is removed" % link)
        programs, _ = self.bed.shell_folders()
        self.check(not os.path.exists(self.bed.unix_path(programs + "\\" + PRODUCT)), "the program group is removed")
        self.check(self.bed.reg_query(UNINSTALL_KEY) is None, "the uninstall entry is removed")

    def wait_finished(self, installer, folder):
        """Until the window shows the finished state and the shortcuts exist."""
        links = [self.bed.unix_path(link) for link, _ in self.bed.shortcut_paths()]
        dat = os.path.join(self.bed.unix_path(folder), "Uninstall.dat")

        def finished():
            if not installer.alive():
                raise Failure("the installer ended during the installation (exit code %s)" % installer.process.poll())
            if not os.path.exists(dat) or not all(os.path.exists(link) for link in links):
                return None
            shot = installer.shot()
            return shot if shot.run_button_visible() else None
        wait_until(finished, INSTALL_TIMEOUT, "the finished state", step=0.2)
        return installer.settled_shot()

    def check_product_started(self):
        """fj.exe has started; it is ended again."""
        try:
            wait_until(lambda: self.bed.wine_processes("fj.exe"), START_TIMEOUT, "fj.exe to start")
        except Failure as failure:
            self.check(False, str(failure))
        for pid in self.bed.wine_processes("fj.exe"):
            os.kill(pid, signal.SIGKILL)

    def check_finished_state(self, shot):
        self.check(shot.run_button_visible(), "finished: the run button is shown")
        self.check(not shot.install_button_visible(), "finished: the install button is hidden")
        self.check(not shot.progress_visible(), "finished: the progress bar is hidden")
        self.check(not shot.folder_row_visible(), "finished: the folder row is hidden")
        self.check(not shot.agreement_row_visible(), "finished: the agreement row is hidden")
        self.check(shot.status_width(300) > 0, "finished: '完成安装' is shown at top 300")
        self.check(shot.status_width(373) == 0, "finished: nothing is left at the status text's old place")


# ---- cases ----

CASES = []


def case(function):
    CASES.append(function)
    return function


@case
def unticked_install_gives_only_the_agreement_message(c):
    """Unticked box: only "协议勾选提示" appears, nothing changes, nothing is installed; the link
    unfolds the agreement panel and folds it again."""
    installer = Installer(c.bed)
    park_mouse()
    shot = installer.settled_shot()
    c.check_choosing_state(shot, "at start")
    c.screenshot(shot, "installer-choosing.png")

    installer.click(INSTALL_BUTTON)
    box = installer.message_box(AGREEMENT_CAPTION)
    c.check(installer.other_windows() == [box],
            "only the agreement message is shown (windows: %s)" % installer.other_windows())
    installer.dismiss(box)
    c.check(not visible_windows("^%s$" % FOLDER_CAPTION, installer.process.pid), "no path message follows")
    c.check_choosing_state(installer.settled_shot(), "after the agreement message")
    c.check_nothing_installed()

    installer.click(AGREEMENT_LINK)
    wait_until(lambda: installer.shot().panel_visible(), STEP_TIMEOUT, "the agreement panel")
    shot = installer.settled_shot()
    c.check(shot.text_extent((90, 24, 500, 60)) > 200, "the agreement panel shows text")
    # The caption reaches under the panel's left edge (x 76); what lies outside stays.
    c.check(shot.text_extent((28, 280, 74, 304)) > 0, "'安装位置：' stays beside the agreement panel")
    c.screenshot(shot, "installer-agreement.png")
    installer.click(AGREEMENT_LINK)
    wait_until(lambda: not installer.shot().panel_visible(), STEP_TIMEOUT, "the agreement panel to fold")
    c.check_choosing_state(installer.shot(), "after folding the panel")
    c.check(installer.close() == 0, "the close button ends the installer with exit code 0")


@case
def default_install_runs_the_program_and_uninstalls(c):
    """Ticked box, default folder: every trace of the installation, "立即运行" starts fj.exe and ends the
    installer with 0, the uninstaller takes everything away again."""
    installer = Installer(c.bed)
    installer.tick()
    installer.click(INSTALL_BUTTON)

    shot = c.wait_finished(installer, DEFAULT_FOLDER)
    c.check_finished_state(shot)
    c.screenshot(shot, "installer-finished.png")
    c.check_everything_installed(DEFAULT_FOLDER)

    installer.click(RUN_BUTTON)
    c.check(installer.wait_exit(STEP_TIMEOUT) == 0, "立即运行 ends the installer with exit code 0")

    def product_window():
        for window in visible_windows("^%s$" % PRODUCT):
            if window_pid(window) != installer.process.pid:
                return window
        return None
    window = None
    try:
        window = wait_until(product_window, START_TIMEOUT, "fj.exe's window")
    except Failure as failure:
        c.check(False, "立即运行 starts fj.exe: %s (fj.exe processes: %s)" %
                (failure, c.bed.wine_processes("fj.exe")))
    if window:
        pid = window_pid(window)
        c.check(pid in c.bed.wine_processes("fj.exe"), "the window belongs to the installed fj.exe")
        x, y, width, _ = window_geometry(window)
        xdotool("mousemove", x + width - SCALE(PRODUCT_CLOSE_FROM_RIGHT), y + SCALE(PRODUCT_CLOSE_Y), "click", 1)
        park_mouse()
        try:
            wait_until(lambda: not c.bed.wine_processes("fj.exe"), 10, "fj.exe to end")
        except Failure:
            # The product's own window is not what this test is about: end it from outside.
            c.note("fj.exe's close button did not end it; ended by signal")
    for pid in c.bed.wine_processes("fj.exe"):
        os.kill(pid, signal.SIGKILL)

    uninstaller = subprocess.run(["wine", DEFAULT_FOLDER + "uninst.exe", "/S"], stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=STEP_TIMEOUT * 2)
    c.check(uninstaller.returncode == 0, "uninst.exe /S exits with 0 (found %d)" % uninstaller.returncode)
    # It hands over to a copy of itself, which removes the product once the first one has gone.
    try:
        wait_until(lambda: not os.path.exists(c.bed.unix_path(DEFAULT_FOLDER)) and
                   not c.bed.wine_processes("uninst.exe"), STEP_TIMEOUT * 2, "the uninstaller to finish", step=0.2)
    except Failure as failure:
        c.note(str(failure))
    c.check_everything_removed(DEFAULT_FOLDER)


@case
def empty_folder_gives_the_path_message_and_a_later_click_installs(c):
    """Folder text deleted with real keys: "请先选择路径！" under "提醒", the agreement row goes, the install
    button stays, and a click with a folder typed in then installs."""
    installer = Installer(c.bed)
    installer.tick()
    installer.set_folder("")
    wait_until(lambda: installer.shot().text_extent((30, 306, 500, 332)) == 0, STEP_TIMEOUT, "an empty folder field")
    installer.click(INSTALL_BUTTON)
    box = installer.message_box(FOLDER_CAPTION)
    c.check(installer.other_windows() == [box], "only the path message is shown (windows: %s)" %
            installer.other_windows())
    installer.dismiss(box)
    # The handler goes on once the box is gone: it hides the agreement row then.
    shot = installer.settled_shot()
    c.check_choosing_state(shot, "after the path message", row=False)
    c.check(not os.path.exists(c.bed.unix_path("C:\\sj.zip")), "no sj.zip is written for an empty folder")
    c.check(c.bed.reg_query(UNINSTALL_KEY) is None, "no uninstall entry is written for an empty folder")

    # Its parent exists: the installer makes one folder level only.
    folder = "C:\\FJLater\\"
    installer.set_folder(folder)
    installer.click(INSTALL_BUTTON)
    c.check(not visible_windows("^%s$" % FOLDER_CAPTION, installer.process.pid), "no second path message")
    c.wait_finished(installer, folder)
    c.check_files(folder)
    c.check(installer.close() == 0, "the close button ends the installer with exit code 0")


@case
def folder_typed_without_separator_installs_inside_it(c):
    """"C:\\Games\\FJ" typed without the final "\\": the files land inside C:\\Games\\FJ and every name
    built from the folder (registry, list, shortcuts) names them there."""
    os.makedirs(c.bed.unix_path("C:\\Games"))
    installer = Installer(c.bed)
    installer.tick()
    installer.set_folder("C:\\Games\\FJ")
    installer.click(INSTALL_BUTTON)
    folder = "C:\\Games\\FJ\\"
    c.wait_finished(installer, folder)
    c.check_everything_installed(folder)
    beside = sorted(n for n in os.listdir(c.bed.unix_path("C:\\Games\\")) if n != "FJ")
    c.check(not beside, "nothing is written beside the folder (found %s)" % beside)
    c.check(installer.close() == 0, "the close button ends the installer with exit code 0")


@case
def installing_state_hides_the_choosing_row_and_moves_the_bar(c):
    """The installer with the slowed worker, so the installing state is always seen: the folder row, the
    install button and the agreement row are hidden, the status text and a partly filled bar are shown,
    and the uninstall entry stands once the bar is past 25 %."""
    installer = Installer(c.bed, slow=True)
    installer.tick()
    installer.click(INSTALL_BUTTON)

    def partly_filled():
        shot = installer.shot()
        return shot if shot.progress_visible() and 0.3 < shot.progress_fill() < 0.9 else None
    shot = wait_until(partly_filled, INSTALL_TIMEOUT, "the bar partly filled")
    c.check(not shot.folder_row_visible(), "installing: the folder row is hidden")
    c.check(not shot.install_button_visible(), "installing: the install button is hidden")
    c.check(not shot.agreement_row_visible(), "installing: the agreement row is hidden")
    c.check(not shot.run_button_visible(), "installing: no run button yet")
    c.check(shot.status_width() > 0, "installing: the status text is shown")
    # The screen may lag behind the process, never run ahead of it: past 25 % on screen, the entry is there.
    c.check(c.bed.reg_query(UNINSTALL_KEY) is not None, "the uninstall entry is written at 25 %")
    c.note("installing state seen with the bar %d%% filled" % round(shot.progress_fill() * 100))
    c.screenshot(shot, "installer-installing.png")
    c.check_finished_state(c.wait_finished(installer, DEFAULT_FOLDER))
    c.check(installer.close() == 0, "the close button ends the installer with exit code 0")


@case
def chinese_folder_typed_with_real_keys_installs_there(c):
    """"C:\\游戏\\加速器\\" typed with real X keys: the Chinese characters arrive as WM_CHAR and each
    one reaches the folder field once, so the files land in that folder."""
    os.makedirs(c.bed.unix_path(CHINESE_PARENT))
    installer = Installer(c.bed)
    installer.tick()
    folder = CHINESE_PARENT + "加速器\\"
    installer.set_folder(folder)
    installer.click(INSTALL_BUTTON)
    c.wait_finished(installer, folder)
    c.check_everything_installed(folder)
    c.check(installer.close() == 0, "the close button ends the installer with exit code 0")


@case
def missing_parent_folder_says_the_folder_cannot_be_written(c):
    """A folder whose parent does not exist: "安装失败：无法写入安装目录", the bar stopped at 0, no run
    button, nothing written; the close button still ends the installer with 0."""
    installer = Installer(c.bed)
    installer.tick()
    folder = "C:\\NoSuchParent\\Child\\"
    installer.set_folder(folder)
    installer.click(INSTALL_BUTTON)
    shot = wait_until(lambda: (lambda s: s if s.shows_failure(13) else None)(installer.shot()), STEP_TIMEOUT,
                      "the failure in the status line")
    c.check(installer.alive(), "the installer keeps running")
    c.check(shot.progress_visible() and shot.progress_fill() == 0, "the progress bar stays at 0")
    c.check(not shot.run_button_visible(), "no run button")
    c.check(not shot.install_button_visible() and not shot.folder_row_visible(),
            "the folder row and install button stay hidden")
    c.check(not installer.other_windows(), "no message or crash dialog (windows: %s)" % installer.other_windows())
    c.check(not os.path.exists(c.bed.unix_path("C:\\NoSuchParent")), "no folder is made")
    c.check(c.bed.reg_query(UNINSTALL_KEY) is None, "no uninstall entry is written")
    c.check(installer.close() == 0, "the close button ends the installer with exit code 0")


@case
def damaged_installer_copy_installs_nothing_and_says_so(c):
    """A copy of the installer with one byte of its payload changed, as a damaged download: "安装失败：
    安装包已损坏，请重新下载", no folder, no entry, nothing unpacked."""
    with open(os.path.join(c.bed.build, "installer", "FeijingSetup.exe"), "rb") as f:
        program = bytearray(f.read())
    with open(os.path.join(c.bed.build, "payload", "sj.zip"), "rb") as f:
        payload = f.read()
    at = program.find(payload)
    if not c.check(at > 0, "the payload lies in the installer's file"):
        return
    program[at + len(payload) // 2] ^= 0x10
    damaged = os.path.join(c.bed.drive_c, "FeijingSetupDamaged.exe")
    with open(damaged, "wb") as f:
        f.write(program)
    try:
        installer = Installer(c.bed, exe=damaged)
        installer.tick()
        installer.click(INSTALL_BUTTON)
        shot = wait_until(lambda: (lambda s: s if s.shows_failure(17) else None)(installer.shot()), STEP_TIMEOUT,
                          "the failure in the status line (width %d)" % installer.shot().status_width())
        c.check(shot.progress_visible() and shot.progress_fill() == 0, "the progress bar stays at 0")
        c.check(not shot.run_button_visible(), "no run button")
        c.check_nothing_installed()
        c.check(installer.close() == 0, "the close button ends the installer with exit code 0")
    finally:
        os.remove(damaged)


@case
def file_in_use_says_so_and_takes_the_entry_back(c):
    """"uninst.exe" of an earlier installation held open by another program: the payload's earlier entries
    are unpacked, then "安装失败：文件被占用", the bar stops, and the uninstall entry written at 25 % is
    removed again."""
    folder = c.bed.unix_path(DEFAULT_FOLDER)
    os.makedirs(folder)
    with open(os.path.join(folder, "uninst.exe"), "wb") as f:
        f.write(b"an earlier uninstaller, running")
    env = dict(os.environ, FEIJING_PROBE="hold:" + DEFAULT_FOLDER + "uninst.exe")
    holder = subprocess.Popen(["wine", require(os.path.join(c.bed.build, "tests", "installer_tests.exe"))], env=env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(2)  # the holder has opened it
        if not c.check(holder.poll() is None, "the holding program runs"):
            return
        installer = Installer(c.bed)
        installer.tick()
        installer.click(INSTALL_BUTTON)
        shot = wait_until(lambda: (lambda s: s if s.shows_failure(10) else None)(installer.shot()), INSTALL_TIMEOUT,
                          "the failure in the status line")
        c.check(shot.progress_visible() and 0.2 < shot.progress_fill() < 0.95,
                "the bar stops where it was (%.2f filled)" % shot.progress_fill())
        c.check(not shot.run_button_visible(), "no run button")
        c.check(c.bed.reg_query(UNINSTALL_KEY) is None, "the uninstall entry written at 25 % is removed again")
        c.check(not os.path.exists(os.path.join(folder, "Uninstall.dat")), "no Uninstall.dat")
        c.check(installer.close() == 0, "the close button ends the installer with exit code 0")
    finally:
        holder.kill()
        holder.wait()


def end_midway(c, how):
    """Ends the slowed installer past 25 % with `how` and checks it ends at once with 0, leaving no
    sj.zip, no Uninstall.dat, no shortcut and no uninstall entry."""
    installer = Installer(c.bed, slow=True)
    installer.tick()
    installer.click(INSTALL_BUTTON)
    wait_until(lambda: c.bed.reg_query(UNINSTALL_KEY) is not None, INSTALL_TIMEOUT, "the uninstall entry at 25 %")
    archive = os.path.join(c.bed.unix_path(DEFAULT_FOLDER), "sj.zip")
    c.check(os.path.exists(archive), "the worker is unpacking sj.zip")
    how(installer)
    started = time.monotonic()
    # The slowed worker has more than four seconds to go: the process does not wait for it.
    c.check(installer.wait_exit(STEP_TIMEOUT) == 0, "the installer ends with exit code 0")
    took = time.monotonic() - started
    c.check(took < 1.5, "it ends at once, not after the worker (%.2f s)" % took)
    last = c.payload()[-1].filename
    c.check(not os.path.exists(os.path.join(c.bed.unix_path(DEFAULT_FOLDER), last)),
            "it ended before the worker reached the last entry, %s" % last)
    deadline = time.monotonic() + 2.0
    while os.path.exists(archive) and time.monotonic() < deadline:
        time.sleep(0.01)  # the Wine server closes the ended process's handles just after it is gone
    c.check(not os.path.exists(archive), "no sj.zip is left behind")
    folder = c.bed.unix_path(DEFAULT_FOLDER)
    left = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    c.check("Uninstall.dat" not in left, "no Uninstall.dat (left %s)" % left)
    c.check(not any(os.path.exists(c.bed.unix_path(link)) for link, _ in c.bed.shortcut_paths()), "no shortcut")
    c.check(c.bed.reg_query(UNINSTALL_KEY) is None, "the uninstall entry this run wrote is removed")


@case
def close_during_extraction_exits_at_once(c):
    """The close button pressed while the worker unpacks the archive ends the process at once with 0 and
    takes back the uninstall entry, whose uninstaller may not be unpacked yet."""
    end_midway(c, lambda installer: installer.click(CLOSE_BUTTON))


@case
def alt_f4_during_extraction_exits_at_once(c):
    """Alt+F4 destroys the window: the process ends at once with 0, as with the close button, instead of
    waiting invisibly for the worker."""
    def alt_f4(installer):
        xdotool("windowfocus", "--sync", installer.window)
        key("alt+F4")
    end_midway(c, alt_f4)


@case
def second_start_brings_the_first_to_the_front(c):
    """A second installer started while one runs ends with 0 and opens no window of its own."""
    first = Installer(c.bed)
    second = subprocess.Popen(["wine", os.path.join(c.bed.build, "installer", "FeijingSetup.exe")],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        code = second.wait(STEP_TIMEOUT)
    except subprocess.TimeoutExpired:
        second.kill()
        code = None
    c.check(code == 0, "the second start ends with exit code 0 (found %s)" % code)
    c.check(len(visible_windows(WINDOW_TITLE)) == 1, "one installer window (found %s)" % visible_windows(WINDOW_TITLE))
    c.check(first.alive(), "the first installer runs on")
    c.check(first.close() == 0, "the close button ends the first installer with exit code 0")


@case
def double_click_on_install_never_skips_the_shortcuts(c):
    """The run button lies over the install button and the installation takes a fraction of a second: the
    second press of a double click may start fj.exe. Whatever ends the installer, the shortcuts are made."""
    installer = Installer(c.bed)
    installer.tick()
    xdotool("mousemove", *installer.screen_point(INSTALL_BUTTON), "click", "--repeat", 2, "--delay", 90, 1)

    def settled():
        if not installer.alive():
            return "ended"
        return "finished" if installer.shot().run_button_visible() else None
    how = wait_until(settled, INSTALL_TIMEOUT, "the installer to end or finish")
    if how == "finished":
        c.note("the second press came before the run button: pressed again")
        installer.click(RUN_BUTTON)
    c.check(installer.wait_exit(STEP_TIMEOUT) == 0, "立即运行 ends the installer with exit code 0")
    c.check_shortcuts(DEFAULT_FOLDER)
    c.check_uninstall_list(DEFAULT_FOLDER)
    c.check_product_started()


@case
def reinstall_over_read_only_files_replaces_them(c):
    """An earlier installation whose files are all read-only (its payload files, its list, its shortcuts) is
    overwritten: new bytes everywhere, nothing left read-only."""
    folder = DEFAULT_FOLDER
    unix_folder = c.bed.unix_path(folder)
    os.makedirs(unix_folder)
    old = [os.path.join(unix_folder, entry.filename) for entry in c.payload()]
    old.append(os.path.join(unix_folder, "Uninstall.dat"))
    programs, _ = c.bed.shell_folders()
    os.makedirs(c.bed.unix_path(programs + "\\" + PRODUCT), exist_ok=True)
    old += [c.bed.unix_path(link) for link, _ in c.bed.shortcut_paths()]
    for path in old:
        with open(path, "wb") as f:
            f.write(b"an older version of " + os.path.basename(path).encode() + b"\r\n")
    # attrib for the folder; the links the same way Wine keeps the attribute, without the write bits.
    run(["wine", "cmd", "/c", "attrib", "+r", folder + "*"], stdin=subprocess.DEVNULL)
    for path in old[-4:]:
        os.chmod(path, 0o444)
    writable = [p for p in old if os.stat(p).st_mode & 0o222]
    if not c.check(not writable, "the old files are read-only before the install (writable: %s)" % writable):
        return
    installer = Installer(c.bed)
    installer.tick()
    installer.click(INSTALL_BUTTON)
    c.wait_finished(installer, folder)
    c.check_files(folder)
    c.check_uninstall_list(folder)
    c.check_shortcuts(folder)
    # Wine run as root writes into read-only files where Windows refuses: the attributes show whether
    # the installer made each file writable before replacing it.
    still = [os.path.relpath(p, c.bed.drive_c) for p in old if not os.stat(p).st_mode & 0o222]
    c.check(not still, "every replaced file was given normal attributes first (still read-only: %s)" % still)
    c.check(installer.close() == 0, "the close button ends the installer with exit code 0")


# ---- cases at the bed's scale (tools/test.sh runs these at 144 DPI as well) ----

def inked_box(image, box, background, tolerance=10):
    """Device bounding box (left, top, right, bottom; exclusive) of what differs from `background` in
    `box` of `image`, in the image's pixels; None when nothing does."""
    area = image.crop(box)
    mask = Image.new("L", area.size)
    mask.putdata([0 if near(p, background, tolerance) else 255 for p in area.getdata()])
    found = mask.getbbox()
    return None if found is None else (box[0] + found[0], box[1] + found[1], box[0] + found[2], box[1] + found[3])


@case
def scaled_window_has_its_size_panels_banner_and_check_box(c):
    """The window at the bed's scale: its device size (735 x 548, 882 x 657, 1176 x 876 at 120, 144, 192
    DPI), the two panels' colours meeting at logical row 270 and reaching the window's last device column and
    row, the banner where its logical place puts it,
    the check box's pictures at their scaled size, ticked by a click at its scaled place."""
    installer = Installer(c.bed)
    park_mouse()
    geometry = window_geometry(installer.window)
    c.check(geometry[2:] == SCALE.window_size(), "the window is %d x %d device pixels (found %d x %d)" %
            (SCALE.window_size() + geometry[2:]))
    shot = installer.settled_shot()
    c.check_choosing_state(shot, "at %d DPI" % SCALE.dpi)
    image = shot.image
    width, height = image.size
    seam = SCALE(270)  # the lower panel's first device row
    samples = {
        "upper panel": ([(3, 3), (3, SCALE(268)), (SCALE(540), SCALE(80)), (width - 4, SCALE(268)),
                         (width - 1, SCALE(80)), (3, seam - 1), (width - 1, seam - 1)], TOP_COLOR),
        "lower panel": ([(3, SCALE(272)), (3, height - 3), (width - 4, SCALE(290)), (width - 4, height - 3),
                         (3, seam), (width - 1, SCALE(290)), (3, height - 1), (SCALE(300), height - 1),
                         (width - 1, height - 1)], BOTTOM_COLOR),
    }
    for what, (points, colour) in samples.items():
        for point in points:
            c.check(near(image.getpixel(point), colour, 3), "the %s's colour at device %s (found %s)" %
                    (what, point, image.getpixel(point)))
    # The banner's card fills its picture: its ink spans the picture's scaled box, within a pixel.
    found = inked_box(image, (0, SCALE(40), SCALE(540), SCALE(260)), TOP_COLOR)
    expected = SCALE.box(BANNER)
    c.check(found is not None and all(abs(a - b) <= 1 for a, b in zip(found, expected)),
            "the banner covers device %s (found %s)" % (expected, found))
    if SCALE.factor >= 1.5:
        x, y = CHECK_ORIGIN
        drawn = shot.crop((x, y, x + 15, y + 15))
        sharp = difference(drawn, picture_over("unticked", BOTTOM_COLOR, drawn.size, double=True))
        blurred = difference(drawn, picture_over("unticked", BOTTOM_COLOR, drawn.size, double=False))
        c.check(sharp < blurred, "from 150 %% the check box shows its double-size picture (it differs %.1f from "
                "that, %.1f from the 1x picture enlarged)" % (sharp, blurred))
    c.screenshot(shot, "scaled-%d-choosing.png" % SCALE.dpi)
    installer.tick()
    c.check(installer.close() == 0, "the close button at its scaled place ends the installer with exit code 0")


@case
def scaled_install_by_clicks_puts_the_status_rows_in_place(c):
    """The real installation at the bed's scale, by clicks at scaled places: the status text's rows lie in
    its scaled line while installing and in the line at top 300 when finished; everything is installed and
    "立即运行" ends the installer with 0."""
    installer = Installer(c.bed, slow=True)
    installer.tick()
    installer.click(INSTALL_BUTTON)

    def installing():
        shot = installer.shot()
        return shot if shot.progress_visible() and shot.status_width() > 0 else None
    shot = wait_until(installing, INSTALL_TIMEOUT, "the installing state")
    rows = shot.text_rows(STATUS_TOP)
    line = (SCALE(STATUS_TOP), SCALE(STATUS_TOP + LINE_HEIGHT))
    # The 12-pixel 宋体 text: at least 9 logical pixels of ink, inside its 24-pixel line.
    c.check(rows is not None and line[0] <= rows[0] and rows[1] < line[1] and
            rows[1] - rows[0] + 1 >= SCALE(9),
            "installing: the status text's rows lie in device rows %d..%d, %d tall at least (found %s)" %
            (line[0], line[1] - 1, SCALE(9), rows))
    c.check(shot.text_rows(STATUS_TOP - LINE_HEIGHT) is None, "installing: nothing above the status line")
    c.screenshot(shot, "scaled-%d-installing.png" % SCALE.dpi)

    shot = c.wait_finished(installer, DEFAULT_FOLDER)
    c.check_finished_state(shot)
    rows = shot.text_rows(300)
    c.check(rows is not None and SCALE(300) <= rows[0] and rows[1] < SCALE(300 + LINE_HEIGHT),
            "finished: '完成安装' lies in device rows %d..%d (found %s)" % (SCALE(300), SCALE(324) - 1, rows))
    c.screenshot(shot, "scaled-%d-finished.png" % SCALE.dpi)
    c.check_everything_installed(DEFAULT_FOLDER)
    installer.click(RUN_BUTTON)
    c.check(installer.wait_exit(STEP_TIMEOUT) == 0, "立即运行 ends the installer with exit code 0")
    c.check_product_started()


@case
def scaled_agreement_panel_scrolls_by_the_wheel(c):
    """The agreement panel, unfolded by a click on the link's scaled place and given the focus by a click
    into it (the host hands the wheel to the focused control), scrolls its 44 lines by the mouse wheel and
    back again."""
    installer = Installer(c.bed)
    installer.click(AGREEMENT_LINK)
    wait_until(lambda: installer.shot().panel_visible(), STEP_TIMEOUT, "the agreement panel")
    text_box = (90, 30, 500, 340)
    first = installer.settled_shot()
    c.check(first.text_extent((90, 24, 500, 60)) > 200, "the agreement panel shows text")
    installer.click((296, 190), park=False)
    before = installer.settled_shot().crop(text_box)

    def text_moved(moved):
        # A blinking caret changes a few pixels; scrolled text changes most rows.
        return (difference(installer.shot().crop(text_box), before) > 2) == moved
    xdotool("click", "--repeat", 3, "--delay", 100, 5)
    try:
        wait_until(lambda: text_moved(True), STEP_TIMEOUT, "the text to scroll down")
    except Failure as failure:
        c.check(False, str(failure))
    scrolled = installer.settled_shot()
    c.check(scrolled.panel_visible(), "the panel stays unfolded while it scrolls")
    c.screenshot(scrolled, "scaled-%d-agreement.png" % SCALE.dpi)
    xdotool("click", "--repeat", 6, "--delay", 100, 4)
    try:
        wait_until(lambda: text_moved(False), STEP_TIMEOUT, "the text to scroll back to its top")
    except Failure as failure:
        c.check(False, str(failure))
    park_mouse()
    c.check(installer.close() == 0, "the close button ends the installer with exit code 0")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default=os.environ.get("BUILD_DIR") or os.environ.get("TESTBED_BUILD") or
                        os.path.join(ROOT, "build"))
    parser.add_argument("--screenshots", help="folder for installer-*.png of the window's states")
    parser.add_argument("cases", nargs="*", help="names (or parts of names) of the cases to run")
    options = parser.parse_args()
    options.build = os.path.abspath(options.build)
    wanted = options.cases or os.environ.get("INSTALLER_E2E_CASES", "").split()
    selected = [f for f in CASES if not wanted or any(n in f.__name__ for n in wanted)]

    for needed in ("wine", "xdotool", "import", "lnkinfo", "xdpyinfo"):
        if not shutil.which(needed):
            print("missing tool: %s (run tools/setup.sh)" % needed)
            return 1
    for needed in ("installer/FeijingSetup.exe", "payload/sj.zip"):
        if not os.path.exists(os.path.join(options.build, needed)):
            print("missing %s in %s: build first" % (needed, options.build))
            return 1

    # One run at a time per test bed: two would click into each other's windows.
    os.makedirs(os.path.join(options.build, "testbed"), exist_ok=True)
    lock = open(os.path.join(options.build, "testbed", "e2e.lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        print("waiting for another end-to-end run on this test bed")
        sys.stdout.flush()
        fcntl.flock(lock, fcntl.LOCK_EX)

    if options.screenshots and os.path.isdir(options.screenshots):
        for name in os.listdir(options.screenshots):
            if name.startswith(("failed-", "fault-")) and name.endswith(".png"):
                os.remove(os.path.join(options.screenshots, name))

    bed = TestBed(options.build)
    bed.up()
    global SCALE
    SCALE = Scale(int(os.environ.get("TESTBED_DPI") or 96))
    if SCALE.dpi != 96:
        print("at %d DPI: the window is %d x %d device pixels" % ((SCALE.dpi,) + SCALE.window_size()))
    failed = []
    try:
        for function in selected:
            bed.clean()
            c = Case(bed, options, function.__name__)
            started = time.monotonic()
            try:
                function(c)
            except Failure as failure:
                c.faults.append(str(failure))
            except Exception:
                c.faults.append(traceback.format_exc())
            finally:
                if c.faults and options.screenshots:
                    # The screen as the failure left it, for a look afterwards.
                    os.makedirs(options.screenshots, exist_ok=True)
                    screen().save(os.path.join(options.screenshots, "failed-%s.png" % function.__name__))
                while STARTED:
                    STARTED.pop().kill()
            status = "FAIL" if c.faults else "PASS"
            print("[%s] %s (%.1f s)" % (status, function.__name__, time.monotonic() - started))
            for note in c.notes:
                print("       note: " + note)
            for fault in c.faults:
                print("       fault: " + fault)
            sys.stdout.flush()
            if c.faults:
                failed.append(function.__name__)
        bed.clean()
    finally:
        park_mouse()
        bed.down()
    print("%d of %d cases passed" % (len(selected) - len(failed), len(selected)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
