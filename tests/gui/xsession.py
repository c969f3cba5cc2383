"""A private headless X server with a small window manager, and the installer running in it."""
import os
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from installer_program import program_from_arguments  # noqa: E402

PROGRAM = None      # the Linux binary, or the Windows executable under Wine; see take_program

# The installer's palette, as 8-bit RGB triples for comparing screenshot pixels.
NEAR_BLACK = (0x11, 0x11, 0x11)
OFF_WHITE = (0xF5, 0xF5, 0xF5)
WARM_GREY = (0xAA, 0xA6, 0xA6)
GREEN = (0x86, 0xCF, 0x7A)
BLUE = (0x00, 0x94, 0xD8)


class XSession:
    """Xvfb on a free display number, with openbox managing the windows."""

    def __init__(self, width=1280, height=1024, window_manager=True):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.wm = None
        if window_manager:
            self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.wait_for(lambda: self.run("wmctrl", "-m", check=False).returncode == 0, "window manager")

    def run(self, *args, check=True):
        return subprocess.run(list(args), env=self.env, capture_output=True, text=True, check=check, timeout=30)

    def wait_for(self, condition, what, timeout=20.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = condition()
            if value:
                return value
            time.sleep(0.1)
        raise AssertionError("timed out waiting for " + what)

    def ask_window_manager(self, command, condition, what, attempts=3, timeout=4.0):
        """Sends a request about a window until the condition holds: a window manager still busy
        with a window's start may drop what it is asked."""
        for _ in range(attempts):
            self.run(*command)
            try:
                return self.wait_for(condition, what, timeout)
            except AssertionError:
                continue
        raise AssertionError("the window manager never did: " + what)

    def screenshot(self, path, window="root"):
        self.run("/usr/bin/import", "-window", window, path)
        return path

    def close(self):
        for process in (self.wm, self.xvfb):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()


class Installer:
    """One run of the real program with its own Wine prefix."""

    def __init__(self, session, program, prefix, extra_env=None, args=(), preexec_fn=None, command=None, cwd=None):
        self.session = session
        env = program.environment(prefix, session.env)
        env.update(extra_env or {})
        self.log = tempfile.TemporaryFile()
        self.process = subprocess.Popen([*(command or program.command), *args], env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT, preexec_fn=preexec_fn, cwd=cwd)
        self.window = session.wait_for(self._find_window, "the installer's window")
        session.wait_for(lambda: self.is_viewable(), "the window to be mapped")
        # The framework maps a 128 pixel placeholder before the main screen is built into it.
        session.wait_for(lambda: self.geometry()[2] != 128, "the window to hold the main screen")
        if session.wm is not None:
            # Until the window manager has framed the window it may drop requests about it.
            session.wait_for(self.is_managed, "the window manager to frame the window")

    def is_managed(self):
        extents = self.session.run("xprop", "-id", self.window, "_NET_FRAME_EXTENTS", check=False).stdout
        return "=" in extents

    def _find_window(self):
        if self.process.poll() is not None:
            self.log.seek(0)
            raise AssertionError("installer exited early with %s: %s" % (self.process.returncode, self.log.read()))
        # Only a mapped window: Wine first makes an unmapped one of the same name, then drops it.
        found = self.session.run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.process.pid),
                                 "--name", "^ov_installer$", check=False)
        ids = found.stdout.split()
        return ids[0] if ids else None

    def is_viewable(self):
        info = self.session.run("xwininfo", "-id", self.window, check=False).stdout
        return "IsViewable" in info

    def geometry(self):
        """The window's content area: x, y, width, height in root coordinates."""
        info = self.session.run("xwininfo", "-id", self.window).stdout
        values = {}
        for line in info.splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]))

    def title(self):
        return self.session.run("xdotool", "getwindowname", self.window).stdout.strip()

    def close_with_window_manager(self, attempts=3, timeout=5):
        """Asks the window manager to close the window, again if it dropped the request, and
        returns the exit code."""
        for _ in range(attempts):
            self.session.run("wmctrl", "-i", "-c", self.window, check=False)
            try:
                return self.process.wait(timeout)
            except subprocess.TimeoutExpired:
                continue
        raise AssertionError("the installer did not close on the window manager's request: " + self.output())

    def output(self):
        self.log.seek(0)
        return self.log.read().decode(errors="replace")

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(5)
        self.log.close()

    def screenshot_when(self, path, condition, what, timeout=10.0):
        """Takes screenshots until one satisfies the condition: the first frames may not be painted yet."""
        def attempt():
            self.session.screenshot(path)
            return condition(path)
        self.session.wait_for(attempt, what, timeout)
        return path


def take_program(argv):
    """Takes the program under test off the command line: `BINARY` or `--wine EXE`."""
    global PROGRAM
    PROGRAM = program_from_arguments(argv)
    return PROGRAM


def fresh_prefix(with_maker_folder=True, path=None):
    return PROGRAM.new_prefix(with_maker_folder, path)


def remove_prefix(prefix):
    PROGRAM.remove_prefix(prefix)


def pixel(image_path, x, y):
    """The colour at one pixel of a screenshot as (r, g, b)."""
    crop = subprocess.run(["/usr/bin/convert", image_path, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "rgb:-"],
                          capture_output=True, check=True).stdout
    return tuple(crop[:3])


def tree(folder):
    """Every file and folder below a folder, as sorted relative paths."""
    found = []
    for base, dirs, files in os.walk(folder):
        found.extend(os.path.relpath(os.path.join(base, name), folder) for name in dirs + files)
    return sorted(found)


class SessionTestCase(unittest.TestCase):
    """Tests sharing one X session; every installer a test starts is killed after it."""

    @classmethod
    def setUpClass(cls):
        cls.session = XSession()
        PROGRAM.use_display(cls.session.env)

    @classmethod
    def tearDownClass(cls):
        cls.session.close()

    def setUp(self):
        self.installers = []

    def tearDown(self):
        for installer in self.installers:
            installer.kill()
