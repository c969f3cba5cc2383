"""The main screen as the user sees it: hover, press, Shift, the hint line and resizing."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from xsession import (take_program, SessionTestCase, Installer, fresh_prefix, remove_prefix, pixel,  # noqa: E402
                      NEAR_BLACK, OFF_WHITE, WARM_GREY, GREEN, BLUE)
import unittest_main  # noqa: E402
import screens  # noqa: E402

PROGRAM = None
YELLOW = (0xD3, 0xC5, 0x5F)


def over_near_black(colour, alpha):
    return tuple(round(17 + (c - 17) * round(alpha * 255) / 255) for c in colour)


def close(actual, expected, tolerance=3):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


class ScreenTests(SessionTestCase):
    def setUp(self):
        super().setUp()
        self.prefix = fresh_prefix()
        self.shot = os.path.join(tempfile.gettempdir(), "ov-screen-%d.png" % os.getpid())
        self.installer = Installer(self.session, PROGRAM, self.prefix)
        self.installers.append(self.installer)
        self.session.wait_for(lambda: self.installer.geometry()[2:] == (600, 600), "the 600 pixel window")

    def tearDown(self):
        super().tearDown()
        if os.path.exists(self.shot):
            os.remove(self.shot)
        remove_prefix(self.prefix)

    def point(self, x, y):
        wx, wy, _, _ = self.installer.geometry()
        return wx + x, wy + y

    def move(self, x, y):
        self.session.run("xdotool", "mousemove", "--sync", *map(str, self.point(x, y)))

    def wait_for_pixel(self, x, y, expected, what):
        """Screenshots until the pixel shows the colour: repaints follow the mouse asynchronously."""
        sx, sy = self.point(x, y)
        self.installer.screenshot_when(self.shot, lambda path: close(pixel(path, sx, sy), expected), what)

    def region(self, x, y, w, h):
        """The bytes of a region of the window, to tell whether it changed."""
        self.session.screenshot(self.shot)
        sx, sy = self.point(x, y)
        return subprocess.run(["/usr/bin/convert", self.shot, "-crop", "%dx%d+%d+%d" % (w, h, sx, sy), "-depth", "8", "rgb:-"],
                              capture_output=True, check=True).stdout

    def test_hover_and_press_change_a_buttons_colour(self):
        self.move(300, 380)
        self.wait_for_pixel(28, 470, over_near_black(WARM_GREY, 0.5), "the EULA button at rest")
        self.move(54, 471)
        self.wait_for_pixel(28, 470, over_near_black(WARM_GREY, 0.75), "the EULA button hovered")
        self.session.run("xdotool", "mousedown", "1")
        try:
            self.wait_for_pixel(28, 470, GREEN, "the EULA button pressed")
            # Dragged off before the release, the press is abandoned: no licence panel covers the screen.
            self.move(300, 380)
        finally:
            self.session.run("xdotool", "mouseup", "1")
        self.wait_for_pixel(28, 470, over_near_black(WARM_GREY, 0.5), "the EULA button abandoned")

        # A format row that is not installed goes from 0.35 to 0.5.
        self.wait_for_pixel(270, 258, over_near_black(WARM_GREY, 0.35), "the AAX row at rest")
        self.move(159, 282)
        self.wait_for_pixel(270, 258, over_near_black(WARM_GREY, 0.5), "the AAX row hovered")

    def test_shift_switches_the_install_caption_and_back(self):
        self.move(300, 380)
        self.session.run("xdotool", "windowactivate", "--sync", self.installer.window, check=False)
        caption = (516, 502, 60, 20)
        normal = self.region(*caption)

        self.session.run("xdotool", "keydown", "shift")
        try:
            self.session.wait_for(lambda: self.region(*caption) != normal, "the caption to read UNINSTALL")
        finally:
            self.session.run("xdotool", "keyup", "shift")
        self.session.wait_for(lambda: self.region(*caption) == normal, "the caption to read INSTALL again")

    def test_the_hint_line_follows_the_mouse(self):
        hint = (24, 540, 552, 18)
        self.move(300, 380)
        first = self.region(*hint)   # the installer's version until a button is touched

        texts = []
        for button in ((54, 471), (441, 210), (546, 471)):
            self.move(*button)
            self.session.wait_for(lambda: self.region(*hint) not in texts + [first], "a new hint")
            texts.append(self.region(*hint))

        # Off every button the line is empty, and the version does not come back.
        self.move(300, 380)
        self.session.wait_for(lambda: self.region(*hint) == bytes(NEAR_BLACK) * (hint[2] * hint[3]), "an empty hint line")

    def activate(self):
        self.session.run("xdotool", "windowactivate", "--sync", self.installer.window, check=False)
        self.session.wait_for(lambda: self.session.run("xdotool", "getactivewindow", check=False).stdout.strip()
                              == self.installer.window, "the window to take the keyboard")

    def key(self, key):
        self.session.run("xdotool", "key", key)

    def test_tab_from_the_start_rings_select_all_and_space_selects_all_three(self):
        self.move(300, 380)
        self.activate()
        # SELECT ALL is (462, 132, 114, 30): the ring's 2.4 pixel line runs 4.5 pixels outside it,
        # so row 127 above it and column 457 beside it lie under the line, and row 130 in the gap.
        ring_top, ring_side, gap = (519, 127), (457, 147), (519, 130)
        outlines = [(23, 210), (305, 210), (23, 282)]   # just left of each format row
        self.wait_for_pixel(*ring_top, NEAR_BLACK, "no ring before any key")
        for point in outlines:
            self.wait_for_pixel(*point, NEAR_BLACK, "no format selected")

        self.key("Tab")
        self.wait_for_pixel(*ring_top, OFF_WHITE, "the off-white ring above SELECT ALL")
        self.wait_for_pixel(*ring_side, OFF_WHITE, "the ring beside SELECT ALL")
        self.wait_for_pixel(*gap, NEAR_BLACK, "the gap between ring and button")

        self.key("space")
        for point in outlines:
            self.wait_for_pixel(*point, YELLOW, "the yellow outline of every format")
        self.wait_for_pixel(*ring_top, OFF_WHITE, "the ring still on SELECT ALL")

        # The next Tab takes the ring on to VST3, and the hint line follows the focus.
        hint = (24, 540, 552, 18)
        before = self.region(*hint)
        self.key("Tab")
        self.wait_for_pixel(*ring_top, NEAR_BLACK, "the ring gone from SELECT ALL")
        self.wait_for_pixel(159, 175, OFF_WHITE, "the ring above VST3, 4.5 pixels over its edge")
        self.session.wait_for(lambda: self.region(*hint) != before, "the VST3 hint")

        # A mouse click anywhere takes the ring away.
        self.session.run("xdotool", "click", "1")
        self.wait_for_pixel(159, 175, NEAR_BLACK, "no ring after the click")

    def test_resizing_redraws_the_screen_at_the_new_scale(self):
        self.session.ask_window_manager(["xdotool", "windowsize", self.installer.window, "900", "900"],
                                        lambda: self.installer.geometry()[2:] == (900, 900), "resize to 900 pixels")
        self.wait_for_pixel(880, 4, BLUE, "the top strip across the wider window")
        self.wait_for_pixel(450, 248, WARM_GREY, "the formats rule at nine pixels a unit")
        self.wait_for_pixel(450, 360, NEAR_BLACK, "the background")


# The shapes filled with a reduced-alpha colour at 600 pixels: the extras and INSTALL buttons, SELECT
# ALL, the three format rows and the corner dots. The reference screens were taken before these
# fills were made to match the renderer's own blend; inside them, and nowhere else, a pixel may
# differ by one level per channel.
REDUCED_ALPHA_FILLS = [(24 + 69 * i, 441, 60, 60) for i in range(5)] + [
    (516, 441, 60, 60), (462, 132, 114, 30), (24, 180, 270, 60), (306, 180, 270, 60), (24, 252, 270, 60),
    (576, 576, 18, 18)]

# Flat pixels of those fills, worked out by hand from the renderer's integer blend over the
# near-black (17, 17, 17): (c * a + 127) // 256 + 17 * (256 - a) // 256 per channel, with the
# alpha byte a nearest to the alpha times 255.
BLENDED = {
    "main": {(28, 471): (93, 91, 91), (591, 591): (93, 91, 91), (468, 138): (32, 32, 32),
             (270, 189): (202, 125, 39), (552, 189): (1, 134, 195), (270, 258): (70, 69, 69)},
    "hover_eula": {(28, 471): (131, 128, 128), (97, 471): (93, 91, 91)},
    "hover_aax": {(270, 258): (93, 91, 91), (28, 471): (93, 91, 91)},
    "success": {(28, 471): (93, 91, 91), (520, 445): (93, 91, 91)},
}


def in_fills(x, y):
    return any(fx <= x < fx + fw and fy <= y < fy + fh for fx, fy, fw, fh in REDUCED_ALPHA_FILLS)


def near_an_edge(image, x, y, reach=2):
    """Whether anything but one flat colour lies within reach of a pixel of a raw 600 pixel image."""
    colour = image[3 * (y * 600 + x):3 * (y * 600 + x) + 3]
    for ny in range(max(0, y - reach), min(600, y + reach + 1)):
        row = image[3 * (ny * 600 + max(0, x - reach)):3 * (ny * 600 + min(600, x + reach + 1))]
        if row != colour * (len(row) // 3):
            return True
    return False


class UntouchedScreenTests(SessionTestCase):
    """Until a key is pressed the screens are those taken from the program before it had keyboard
    access, but for the reduced-alpha fills, which now carry the renderer's exact blend.

    The Windows executable rasterises glyph outlines through the system's own font code, whose
    anti-aliased edges differ from the Linux build's. Under Wine a pixel may therefore differ
    where the reference has an edge within two pixels; every flat area stays as it is."""

    def test_every_screen_matches_its_reference_but_for_the_exact_blends(self):
        shot = os.path.join(tempfile.gettempdir(), "ov-untouched-%d.png" % os.getpid())
        # The support panel shows where the settings file lies, which under Wine is a C: path.
        scenes = [scene for scene in screens.SCENES if not (PROGRAM.is_wine and scene == "support")]
        try:
            for scene in scenes:
                with self.subTest(scene=scene):
                    now = screens.capture(self.session, PROGRAM, scene, shot)
                    before = screens.reference(scene)
                    self.assertEqual(len(now), len(before))
                    outside, beyond_a_level, at_edges = [], [], 0
                    for i in range(0, len(now), 3):
                        if now[i:i + 3] != before[i:i + 3]:
                            x, y = (i // 3) % 600, (i // 3) // 600
                            in_a_fill = in_fills(x, y)
                            if in_a_fill and all(abs(a - b) <= 1 for a, b in zip(now[i:i + 3], before[i:i + 3])):
                                continue
                            if PROGRAM.is_wine and near_an_edge(before, x, y):
                                at_edges += 1
                            elif in_a_fill:
                                beyond_a_level.append((x, y))
                            else:
                                outside.append((x, y))
                    if PROGRAM.is_wine:
                        print("\n%s: %d pixels (%.2f %%) differ at edges" % (scene, at_edges, at_edges / 3600),
                              file=sys.stderr)
                    self.assertEqual(outside[:20], [], "pixels changed outside the reduced-alpha fills")
                    self.assertEqual(beyond_a_level[:20], [], "fill pixels changed by more than one level")
                    for (x, y), colour in BLENDED.get(scene, {}).items():
                        i = 3 * (y * 600 + x)
                        self.assertEqual(tuple(now[i:i + 3]), colour, "the blend at %d, %d" % (x, y))
        finally:
            if os.path.exists(shot):
                os.remove(shot)


if __name__ == "__main__":
    PROGRAM = take_program(sys.argv)
    unittest_main.main()
