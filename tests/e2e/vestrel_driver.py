"""Drives the real vestrel binary under a private Xvfb with real X input.

Each GameSession starts its own Xvfb (a free display number, chosen by the
server itself), runs the game from the repository root, and offers what a
person at the keyboard would do: look at the window title, press keys, move
and click the mouse, take a screenshot, close the window.
"""

import atexit
import os
import shutil
import subprocess
import tempfile
import time

from PIL import Image, ImageChops, ImageStat

SOURCE_DIR = os.environ.get("VESTREL_SOURCE_DIR", os.getcwd())
BUILD_DIR = os.environ.get("VESTREL_BUILD_DIR", os.path.join(SOURCE_DIR, "build"))
SCREEN_DIR = os.path.join(BUILD_DIR, "e2e-screens")
# Screenshots are taken and read here, a folder of this run's own; what is
# kept for looking at is then copied to SCREEN_DIR (keep_for_looking), so
# runs side by side never read each other's pictures.
SHOT_DIR = tempfile.mkdtemp(prefix="vestrel_e2e_shots_")
atexit.register(shutil.rmtree, SHOT_DIR, True)


def keep_for_looking(path, name):
    """Copies the picture at `path` to SCREEN_DIR/name, renamed into place whole."""
    os.makedirs(SCREEN_DIR, exist_ok=True)
    target = os.path.join(SCREEN_DIR, name)
    partial = "%s.%d.part" % (target, os.getpid())
    shutil.copyfile(path, partial)
    os.replace(partial, target)


def save_for_looking(image, name):
    """Saves a PIL image to SCREEN_DIR/name, by way of this run's own folder."""
    path = os.path.join(SHOT_DIR, name)
    image.save(path)
    keep_for_looking(path, name)


_CONFIG_HOME = []


def private_config_home():
    """An empty settings folder of this test process's own, removed at exit:
    no test reads or writes the player's real ~/.config/vestrel."""
    if not _CONFIG_HOME:
        _CONFIG_HOME.append(tempfile.mkdtemp(prefix="vestrel_config_"))
        atexit.register(shutil.rmtree, _CONFIG_HOME[0], True)
    return _CONFIG_HOME[0]


def sanitizer_env(env, binary=None):
    env.setdefault("XDG_CONFIG_HOME", private_config_home())
    supp = os.path.join(SOURCE_DIR, "tests", "support", "lsan.supp")
    env.setdefault("ASAN_OPTIONS", "detect_leaks=1")
    env.setdefault("LSAN_OPTIONS", "suppressions=%s:print_suppressions=0" % supp)
    env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
    env.setdefault("ALSOFT_DRIVERS", "null")
    # A sanitized game gets Mesa's driver preloaded so leak suppressions can
    # match its start-up allocations (see tests/support/with_display.sh).
    dri = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"
    if binary and os.path.exists(dri) and "LD_PRELOAD" not in env:
        ldd = subprocess.run(["ldd", binary], capture_output=True, text=True).stdout
        asan = [line.split()[2] for line in ldd.splitlines() if "libasan" in line and "=>" in line]
        if asan:
            env["LD_PRELOAD"] = " ".join(asan + [dri])
    return env


class Xvfb:
    def __init__(self, width=1280, height=1024):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        return env

    def stop(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)


class GameSession:
    def __init__(self, binary, args=(), xvfb=None, cwd=SOURCE_DIR):
        self.xvfb = xvfb or Xvfb()
        self.own_xvfb = xvfb is None
        self.env = self.xvfb.env()  # for the X tools
        game_env = sanitizer_env(self.xvfb.env(), binary)
        self.log = tempfile.TemporaryFile(mode="w+")
        self.proc = subprocess.Popen([binary] + [str(a) for a in args], cwd=cwd, env=game_env,
                                     stdin=subprocess.DEVNULL, stdout=self.log, stderr=subprocess.STDOUT)
        self.window = None

    def output(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read()

    def xdotool(self, *args, check=True):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                                capture_output=True, text=True, timeout=30)
        if check and result.returncode != 0:
            raise RuntimeError("xdotool %s failed: %s" % (args, result.stderr))
        return result.stdout.strip()

    def wait_for_window(self, title_prefix="FPS: ", timeout=120):
        """Waits until the game's window shows a title starting with title_prefix."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError("game exited early (%s):\n%s" % (self.proc.returncode, self.output()))
            ids = self.xdotool("search", "--name", "^" + title_prefix, check=False).split()
            if ids:
                self.window = ids[0]
                return self.window
            time.sleep(0.2)
        raise RuntimeError("no window titled %r after %ss:\n%s" % (title_prefix, timeout, self.output()))

    def title(self):
        return self.xdotool("getwindowname", self.window)

    def focus(self):
        self.xdotool("windowfocus", "--sync", self.window, check=False)

    def key(self, name, hold=0.0):
        self.focus()
        if hold > 0:
            self.xdotool("keydown", name)
            time.sleep(hold)
            self.xdotool("keyup", name)
        else:
            self.xdotool("key", name)

    def click(self, x, y, button=1):
        self.xdotool("mousemove", "--window", self.window, x, y)
        time.sleep(0.2)
        self.xdotool("click", button)

    def screenshot(self, name):
        path = os.path.join(SHOT_DIR, name + ".png")
        subprocess.run(["import", "-display", self.xvfb.display, "-window", self.window, path],
                       check=True, timeout=60, capture_output=True)
        image = Image.open(path).convert("RGB")
        keep_for_looking(path, name + ".png")
        return image

    def close_window(self):
        tool = os.path.join(BUILD_DIR, "x_close_window")
        subprocess.run([tool, self.window], env=self.env, check=True, timeout=30)

    def wait_exit(self, timeout=60):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.own_xvfb:
            self.xvfb.stop()


def changed_share(a, b, threshold=16):
    """Share of pixels whose colour moved by more than threshold in any channel."""
    small_a = a.resize((160, 120))
    small_b = b.resize((160, 120))
    moved = sum(1 for p, q in zip(small_a.getdata(), small_b.getdata())
                if max(abs(x - y) for x, y in zip(p, q)) > threshold)
    return moved / (160 * 120)


def wait_for(condition, timeout, interval=0.25):
    """Calls condition until it returns something true (returned) or timeout
    seconds have passed (None): tests wait for what they need, never a fixed time."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(interval)
    return None


def lit_fraction(image, threshold=24):
    """Share of pixels brighter than threshold in any channel."""
    small = image.resize((160, 120))
    pixels = list(small.getdata())
    lit = sum(1 for p in pixels if max(p) > threshold)
    return lit / len(pixels)


def drawn_fraction(image):
    """Share of pixels above near-black: the house is dark at the default
    ambient (walls around 10 to 30), yet drawn nearly everywhere, where an
    empty or unfilled window is black."""
    return lit_fraction(image, threshold=8)


def door_pixels(image):
    """x of every sampled pixel on the rows at 40 and 50 % of the height that
    shows the wooden door's brown (red well above green, green above blue: the
    red sofa and the grey-green walls do not pass), and how many were sampled.
    Below these rows the floor and the furniture are brown too."""
    width, height = image.size
    xs = []
    for row in (0.4, 0.5):
        for x in range(0, width, 2):
            r, g, b = image.getpixel((x, int(height * row)))
            if r >= 20 and r > 1.3 * g and r > 1.6 * b and g > 1.25 * b:
                xs.append(x)
    return xs, 2 * len(range(0, width, 2))


def door_share(image):
    """Share of the middle rows covered by the door."""
    xs, sampled = door_pixels(image)
    return len(xs) / sampled


# At 800 x 600 (a vertical field of view of 60 degrees) a turn by a moves the
# middle of the picture by (300 / tan 30 deg) x tan(a) pixels.
FOCAL_PIXELS_800_600 = 300.0 / 0.5773503


def picture_shift(before, after, vertical, limit, reach=100):
    """How many pixels the middle of the picture moved: down (vertical) or
    right, negative for up or left. Found as the shift that makes a band
    through the centre agree best between the pictures; the band keeps within
    `reach` pixels of the centre along the shift, where a turn moves the
    picture by (nearly) its value at the centre: further out it moves by up to
    1 / cos^2 of the angle from the view's axis more."""
    a = before.convert("L")
    b = after.convert("L")
    width, height = a.size
    if vertical:
        band = (width * 5 // 16, height // 2 - reach, width * 11 // 16, height // 2 + reach)
    else:
        band = (width // 2 - reach, height * 5 // 16, width // 2 + reach, height * 11 // 16)
    crop_a = a.crop(band)
    best, best_error = 0, None
    for d in range(-limit, limit + 1):
        dx, dy = (0, d) if vertical else (d, 0)
        crop_b = b.crop((band[0] + dx, band[1] + dy, band[2] + dx, band[3] + dy))
        error = ImageStat.Stat(ImageChops.difference(crop_a, crop_b)).mean[0]
        if best_error is None or error < best_error:
            best, best_error = d, error
    return best


class Runner:
    """Minimal runner: each test is a function; prints the closing tally."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def run(self, name, fn):
        print("[ RUN  ] %s" % name, flush=True)
        try:
            fn()
        except Exception as error:  # report every failure, keep going
            self.failed += 1
            print("[ FAIL ] %s: %s" % (name, error), flush=True)
        else:
            self.passed += 1
            print("[  OK  ] %s" % name, flush=True)

    def finish(self):
        print("%d passed, %d failed" % (self.passed, self.failed))
        return 0 if self.failed == 0 else 1
