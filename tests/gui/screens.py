"""The screens a user sees before touching the keyboard, captured from the real binary in the
mixed state (VST3 outdated, CLAP current, AAX absent) at 600 pixels: the main screen at rest and
under the pointer, each panel, and the success view.

Run as a script, it writes the reference images that test_screen.py compares against:

    python3 tests/gui/screens.py <ov_installer binary | --wine ov_installer.exe> [scene...]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(__file__))
from xsession import XSession, Installer, fresh_prefix, remove_prefix, take_program, BLUE  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.environ.get("OV_REFERENCE_DIR", os.path.join(HERE, "reference"))
DATA = os.path.join(HERE, "..", "data")
RESOURCES = os.path.join(HERE, "..", "..", "resources")

FIXED_PREFIX = "/tmp/ov-screens-prefix"

PARK = (300, 380)           # on the main screen, clear of every button
PANEL_PARK = (300, 590)     # on a panel, clear of its buttons
CLOSE = (552, 33)           # a panel's close button

# name: pointer moves and clicks from the screen at rest, in window coordinates, each with
# whether it changes what the screen shows
SCENES = {
    "main": [("move", PARK, False)],
    "hover_eula": [("move", (54, 471), True)],
    "hover_aax": [("move", (159, 282), True)],
    "hover_select_all": [("move", (519, 147), False)],
    "eula": [("move", (54, 471), True), ("click", (54, 471), True), ("move", PANEL_PARK, False)],
    "support": [("move", (261, 471), True), ("click", (261, 471), True), ("move", PANEL_PARK, False)],
    "changes": [("move", (330, 471), True), ("click", (330, 471), True), ("move", PANEL_PARK, False)],
    "success": [("move", (546, 471), True), ("click", (546, 471), True), ("move", PARK, False)],
}


def install_mixed_state(prefix):
    common = os.path.join(prefix, "drive_c", "Program Files", "Common Files")
    module = os.path.join(common, "VST3", "Kelvara 2.vst3", "Contents", "x86_64-win", "Kelvara 2.vst3")
    os.makedirs(os.path.dirname(module))
    shutil.copyfile(os.path.join(DATA, "modules", "version_2.4.2.9.dll"), module)
    with zipfile.ZipFile(os.path.join(RESOURCES, "clap.zip")) as archive:
        archive.extractall(os.path.join(common, "CLAP"))


def window_bytes(session, installer, path):
    """The window's content as raw RGB bytes."""
    session.screenshot(path, installer.window)
    return subprocess.run(["/usr/bin/convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout


def settled(session, installer, path, timeout=10.0):
    """The window's bytes once two screenshots in a row agree: repaints follow events asynchronously."""
    last = [None]

    def same_twice():
        now = window_bytes(session, installer, path)
        stable = now == last[0] and len(now) == 600 * 600 * 3
        last[0] = now
        return stable
    session.wait_for(same_twice, "the screen to settle", timeout)
    return last[0]


def wait_for_main_screen(session, installer, shot):
    """Waits for the 600 pixel window to show the main screen: the blue strip along its top."""
    session.wait_for(lambda: installer.geometry()[2:] == (600, 600), "the 600 pixel window")
    session.wait_for(lambda: window_bytes(session, installer, shot)[3 * 300:3 * 301] == bytes(BLUE),
                     "the main screen to be painted")


def capture(session, program, scene, shot):
    """One scene from a fresh start: the pointer first parked off the window, so that no button
    has been touched when the scene's own moves begin."""
    # A fixed place: the support panel shows the settings file's full path.
    prefix = fresh_prefix(path=FIXED_PREFIX)
    installer = None
    try:
        install_mixed_state(prefix)
        session.run("xdotool", "mousemove", "--sync", "1", "1")
        installer = Installer(session, program, prefix)
        wait_for_main_screen(session, installer, shot)
        wx, wy, _, _ = installer.geometry()
        screen = settled(session, installer, shot)
        for action, (x, y), changes in SCENES[scene]:
            session.run("xdotool", "mousemove", "--sync", str(wx + x), str(wy + y))
            if action == "click":
                session.run("xdotool", "click", "1")
            if changes:
                session.wait_for(lambda: window_bytes(session, installer, shot) != screen,
                                 "the screen to show the " + action)
            screen = settled(session, installer, shot)
        return screen
    finally:
        if installer is not None:
            installer.kill()
        remove_prefix(prefix)


def reference(scene):
    """A reference image's raw RGB bytes."""
    path = os.path.join(REFERENCE, scene + ".png")
    return subprocess.run(["/usr/bin/convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout


def write_references(program, scenes):
    os.makedirs(REFERENCE, exist_ok=True)
    session = XSession()
    shot = os.path.join(tempfile.gettempdir(), "ov-reference-%d.png" % os.getpid())
    try:
        for scene in scenes:
            data = capture(session, program, scene, shot)
            out = os.path.join(REFERENCE, scene + ".png")
            subprocess.run(["/usr/bin/convert", "-size", "600x600", "-depth", "8", "rgb:-", "-strip", out],
                           input=data, check=True)
            print("wrote", out)
    finally:
        session.close()
        if os.path.exists(shot):
            os.remove(shot)


if __name__ == "__main__":
    program = take_program(sys.argv)
    write_references(program, sys.argv[1:] or list(SCENES))
