"""The licence, support and release-notes panels through the real program: what they cover and
show, their close glyph, the links the support panel hands on, and the release notes' scrolling
at the start size and after the window grew."""
import os
import re
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(__file__))
from xsession import (take_program, SessionTestCase, Installer, fresh_prefix, remove_prefix,  # noqa: E402
                      NEAR_BLACK, OFF_WHITE, WARM_GREY, GREEN, BLUE)
import unittest_main  # noqa: E402

PROGRAM = None

# Centres of the main screen's buttons that open a panel, in the 600 by 600 window
OPENERS = {"EULA": (54, 471), "SUPPORT": (261, 471), "CHANGES": (330, 471)}

# Everything below in layout units; one unit is a hundredth of the window's width.
CLOSE_BUTTON = (88, 1.5, 8, 8)
CLOSE_GLYPH = (90, 3.5, 4, 4)
CONTENT = (4, 12, 92, 80)
PLATES = {"DISCORD": (10, 15, 10, 10), "MAIL": (10, 35, 10, 10)}

MAIL_START = "mailto:support@orvanta-audio.example?subject="
MAIL_BODY = re.compile(r"Product: Kelvara 2 2\.4\.3\n"
                       r"Operating System: ([^\n]+)\n"
                       r"Device: ([^\n]*)\n"
                       r"CPU: ([^\n]*)\n"
                       r"\n"
                       r"Your problem, and the steps to recreate it, if possible:\n")


def over_near_black(colour, alpha):
    return tuple(round(17 + (c - 17) * round(alpha * 255) / 255) for c in colour)


def close(actual, expected, tolerance=3):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


def escaped(text):
    """A mail link parameter: every UTF-8 byte but letters, digits and _-.~() as %XX."""
    keep = set(b"_-.~()")
    return "".join(chr(b) if chr(b).isascii() and (chr(b).isalnum() or b in keep) else "%%%02X" % b
                   for b in text.encode("utf-8"))


class Frame:
    """One screenshot of the window, read once, addressed in window coordinates."""

    def __init__(self, path):
        data = subprocess.run(["/usr/bin/convert", path, "-depth", "8", "ppm:-"],
                              capture_output=True, check=True).stdout
        magic, size, depth, self.data = data.split(b"\n", 3)
        self.width, self.height = map(int, size.split())
        assert (magic, depth, len(self.data)) == (b"P6", b"255", 3 * self.width * self.height)

    def at(self, x, y):
        i = 3 * (int(y) * self.width + int(x))
        return tuple(self.data[i:i + 3])

    def area(self, x, y, w, h):
        """The pixels of a rectangle, row by row."""
        x, y = int(x), int(y)
        return [self.at(x + c, y + r) for r in range(int(h)) for c in range(int(w))]

    def region(self, x, y, w, h):
        """The bytes of a rectangle, to tell whether it changed."""
        x, y, w = int(x), int(y), int(w)
        return b"".join(self.data[3 * ((y + r) * self.width + x):3 * ((y + r) * self.width + x + w)] for r in range(int(h)))

    def rightmost_ink(self, x, y, w, h):
        """The rightmost column of a rectangle that holds anything but the background, or None."""
        x, y, w = int(x), int(y), int(w)
        found = None
        for r in range(int(h)):
            start = 3 * ((y + r) * self.width + x)
            # Every pixel but the background has a byte other than 0x11, so this ends in the last one.
            kept = len(self.data[start:start + 3 * w].rstrip(b"\x11"))
            if kept:
                found = max(found if found is not None else -1, x + (kept - 1) // 3)
        return found

    def ink_columns(self, x, y, w, h):
        """The columns of a rectangle holding anything but the background."""
        x, y = int(x), int(y)
        return sorted({x + c for r in range(int(h)) for c in range(int(w)) if self.at(x + c, y + r) != NEAR_BLACK})


def excess(pixels):
    """How much brighter than the background a set of pixels is, in total."""
    return sum(sum(p) - 3 * 17 for p in pixels)


def brightest(pixels):
    return max(pixels, key=sum)


def much_the_same(region, reference):
    """The same picture but for a few pixels of a glyph or two, which the framework's glyph cache
    may render a shade apart from one paint to the next: regions as bytes."""
    differing = sum(a != b for a, b in zip(region, reference))
    return differing * 50 < len(reference) - reference.count(NEAR_BLACK[0])


class PanelTests(SessionTestCase):
    def setUp(self):
        super().setUp()
        self.prefix = fresh_prefix()
        self.shot = os.path.join(tempfile.gettempdir(), "ov-panels-%d.png" % os.getpid())
        # A recording stand-in for the desktop's opener, first on PATH, so that nothing real opens.
        bin_dir = os.path.join(self.prefix, "bin")
        self.record = os.path.join(self.prefix, "opened.txt")
        os.makedirs(bin_dir)
        with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % self.record)
        os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
        self.installer = Installer(self.session, PROGRAM, self.prefix,
                                   {"PATH": bin_dir + os.pathsep + os.environ["PATH"]})
        self.installers.append(self.installer)
        self.session.wait_for(lambda: self.installer.geometry()[2:] == (600, 600), "the 600 pixel window")
        self.s = 6.0

    def tearDown(self):
        super().tearDown()
        if os.path.exists(self.shot):
            os.remove(self.shot)
        remove_prefix(self.prefix)

    # --- helpers -------------------------------------------------------------------------------

    def units(self, x, y, w, h):
        """A rectangle in layout units as window pixels at the current scale."""
        return tuple(v * self.s for v in (x, y, w, h))

    def point(self, x, y):
        return x * self.s, y * self.s

    def move(self, x, y):
        wx, wy, _, _ = self.installer.geometry()
        self.session.run("xdotool", "mousemove", "--sync", str(round(wx + x)), str(round(wy + y)))

    def click(self, x, y):
        self.move(x, y)
        self.session.run("xdotool", "click", "1")

    def frame(self):
        self.session.screenshot(self.shot, self.installer.window)
        return Frame(self.shot)

    def wait_for_frame(self, condition, what, timeout=10.0):
        """Screenshots until one satisfies the condition, which gets the frame: repaints are asynchronous."""
        found = []

        def attempt():
            frame = self.frame()
            if frame.width == self.installer.geometry()[2] and condition(frame):
                found.append(frame)
                return True
            return False
        self.session.wait_for(attempt, what, timeout)
        return found[0]

    def covered(self, frame):
        """The panel's background lies over the main screen's blue top strip and its corner dots."""
        w = frame.width
        return all(close(frame.at(x, y), NEAR_BLACK, 0)
                   for x, y in ((w / 2, 3), (w - 3, 3), (w - 1.5 * self.s, w - 1.5 * self.s)))

    def open_panel(self, name, pointer_at=(300, 590)):
        self.click(*OPENERS[name])
        self.move(*pointer_at)
        return self.wait_for_frame(self.covered, "the %s panel to cover the screen" % name)

    def glyph(self, frame):
        """The close glyph's pixels: its box with room for the ring's line width."""
        x, y, w, h = self.units(*CLOSE_GLYPH)
        return frame.area(x - 2, y - 2, w + 4, h + 4)

    def ring_is_in_place(self, frame):
        """Ink on the ring at its four compass points, where the glyph's box touches it."""
        x, y, w, h = self.units(*CLOSE_GLYPH)
        points = ((x, y + h / 2), (x + w - 1, y + h / 2), (x + w / 2, y), (x + w / 2, y + h - 1))
        return all(excess(frame.area(px - 1, py - 1, 3, 3)) > 0 for px, py in points)

    def glyph_at_rest(self, frame):
        return self.ring_is_in_place(frame) and close(brightest(self.glyph(frame)), over_near_black(WARM_GREY, 0.5))

    def plate_sample(self, name):
        """A flat pixel of a support plate: inside its rounded corner and clear of its icon."""
        x, y, _, h = self.units(*PLATES[name])
        return x + 4, y + h - 10

    def plate_centre(self, name):
        x, y, w, h = self.units(*PLATES[name])
        return x + w / 2, y + h / 2

    def wait_for_plate(self, name, colour, what):
        return self.wait_for_frame(lambda f: close(f.at(*self.plate_sample(name)), colour), what)

    def opened(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record) as f:
            return f.read().splitlines()

    def activate(self):
        self.session.run("xdotool", "windowactivate", "--sync", self.installer.window, check=False)
        self.session.wait_for(lambda: self.session.run("xdotool", "getactivewindow", check=False).stdout.strip()
                              == self.installer.window, "the window to take the keyboard")

    def viewport(self):
        return self.units(*CONTENT)

    def thumb_rows(self, frame):
        """The first and last rows of the scroll bar's thumb at the content's right edge."""
        return self.thumb(frame)[1:]

    def thumb(self, frame):
        """The scroll bar's thumb: its left column, first row and last row. It is seen down the
        column near the content's right edge that holds the most of the thumb's grey."""
        x, y, w, h = self.viewport()
        runs = {}
        for column in range(int(x + w - 12), int(x + w)):
            runs[column] = [y + r for r in range(int(h)) if close(frame.at(column, y + r), WARM_GREY)]
        column = max(runs, key=lambda c: len(runs[c]))
        rows = runs[column]
        self.assertGreater(len(rows), 20, "no scroll bar thumb at the content's right edge")
        middle = (rows[0] + rows[-1]) // 2
        while close(frame.at(column - 1, middle), WARM_GREY):
            column -= 1
        return column, rows[0], rows[-1]

    def check_clear_of_the_scroll_bar(self, frame):
        """Text in the viewport, and none in the unit-wide strip just left of the scroll bar."""
        x, y, w, h = self.viewport()
        thumb_left = self.thumb(frame)[0]
        strip_left = thumb_left - round(self.s)
        self.assertGreater(strip_left, x + w - 30, "the scroll bar is wider than the framework's")
        text_right = frame.rightmost_ink(x, y, thumb_left - 1 - x, h)
        self.assertIsNotNone(text_right, "no release notes in the viewport")
        self.assertLess(text_right, strip_left, "text in the columns beside the scroll bar")
        return text_right, strip_left

    def scan(self, wheel_button, until, what):
        """Turns the wheel over the release notes until the thumb meets one end of the track,
        checking every frame on the way; returns how far right the text reached and where the
        strip beside the scroll bar begins."""
        x, y, w, h = self.viewport()
        self.move(x + w / 2, y + h / 2)
        frame = self.frame()
        text_right, strip_left = self.check_clear_of_the_scroll_bar(frame)
        for _ in range(80):
            if until(*self.thumb_rows(frame)):
                return text_right, strip_left
            before = frame.region(x, y, w, h)
            self.session.run("xdotool", "click", "--repeat", "4", "--delay", "20", wheel_button)
            frame = self.wait_for_frame(lambda f: f.region(x, y, w, h) != before, "the release notes to scroll " + what)
            text_right = max(text_right, self.check_clear_of_the_scroll_bar(frame)[0])
        self.fail("the release notes never scrolled to the " + what)

    def check_the_notes_wrap_beside_the_scroll_bar(self):
        """From top to bottom, no text beside the scroll bar, and yet the longest lines come close
        to it: the notes wrap at the width left of the bar, not narrower."""
        x, y, w, h = self.viewport()
        up = self.scan("4", lambda top, bottom: top <= y + 2, "top")
        down = self.scan("5", lambda top, bottom: bottom >= y + h - 3, "bottom")
        text_right, strip_left = max(up[0], down[0]), down[1]
        self.assertGreaterEqual(text_right, strip_left - 3 * self.s, "the notes wrap far from the scroll bar")

    # --- tests ---------------------------------------------------------------------------------

    def test_every_panel_covers_the_screen_and_its_close_glyph_lights_up_and_closes_it(self):
        for name in OPENERS:
            with self.subTest(panel=name):
                self.wait_for_frame(lambda f: close(f.at(300, 3), BLUE, 0), "the main screen")
                self.open_panel(name)
                rest = self.wait_for_frame(self.glyph_at_rest, "the close glyph at rest")

                self.move(*self.point(92, 5.5))
                hovered = self.wait_for_frame(lambda f: close(brightest(self.glyph(f)), WARM_GREY),
                                              "the close glyph at full strength")
                # The same shapes at twice the strength over the background, nothing else drawn.
                self.assertAlmostEqual(excess(self.glyph(hovered)) / excess(self.glyph(rest)), 2.0, delta=0.1)
                x, y, w, h = self.units(*CLOSE_BUTTON)
                self.assertEqual(excess(hovered.area(x, y, w, h)), excess(self.glyph(hovered)))

                self.session.run("xdotool", "click", "1")
                self.wait_for_frame(lambda f: close(f.at(300, 3), BLUE, 0)
                                    and close(f.at(591, 591), over_near_black(WARM_GREY, 0.5)),
                                    "the main screen again")

    def test_the_licence_shows_its_heading_and_the_agreement_in_grey(self):
        frame = self.open_panel("EULA")
        heading = frame.area(0, 0, 300, 40)
        self.assertTrue(any(close(p, OFF_WHITE) for p in heading), "no off-white heading")
        self.assertIn(frame.ink_columns(0, 0, 300, 40)[0], range(24, 24 + 4), "the heading does not start at x 24")
        self.assertEqual(frame.ink_columns(0, 37, 300, 10), [], "the heading reaches below its baseline")

        x, y, w, h = self.viewport()
        text = frame.area(x, y, w, h)
        self.assertGreater(sum(close(p, WARM_GREY) for p in text), 500, "too little grey text")
        self.assertEqual([p for p in text if any(c > g + 3 for c, g in zip(p, WARM_GREY))], [],
                         "something brighter than the text's grey in the agreement")
        # The agreement is longer than the box: the framework's scroll bar shows it.
        self.thumb_rows(frame)

    def test_text_typed_into_the_licence_is_gone_when_it_is_opened_again(self):
        first_line = (24, 72, 552, 18)
        self.open_panel("EULA")
        shown = self.wait_for_frame(lambda f: excess(f.area(*first_line)) > 0, "the first line")
        original, original_bytes = shown.area(*first_line), shown.region(*first_line)

        self.click(27, 80)
        self.activate()
        self.session.run("xdotool", "type", "--delay", "30", "QQQQQQ")

        def changed_columns(frame):
            now = frame.area(*first_line)
            return {i % first_line[2] for i, (a, b) in enumerate(zip(now, original)) if a != b}
        # More than a caret's width: the typed letters are in the text.
        self.wait_for_frame(lambda f: len(changed_columns(f)) > 30, "the typed letters")

        self.click(*self.point(92, 5.5))
        self.wait_for_frame(lambda f: close(f.at(300, 3), BLUE, 0), "the main screen")
        self.open_panel("EULA")
        self.wait_for_frame(lambda f: self.covered(f) and much_the_same(f.region(*first_line), original_bytes),
                            "the original first line")

    def test_the_release_notes_scroll_with_the_wheel_and_back(self):
        frame = self.open_panel("CHANGES")
        self.assertTrue(any(close(p, OFF_WHITE) for p in frame.area(0, 0, 300, 40)), "no off-white heading")
        x, y, w, h = self.viewport()
        start = frame.region(x, y, w, h)
        top, bottom = self.thumb_rows(frame)
        self.assertLessEqual(top, y + 2, "the notes do not open at their start")
        self.assertLess(bottom - top, h / 2, "the thumb is too long for notes this long")

        self.move(x + w / 2, y + h / 2)
        self.session.run("xdotool", "click", "--repeat", "3", "--delay", "20", "5")
        lower = self.wait_for_frame(lambda f: not much_the_same(f.region(x, y, w, h), start)
                                    and self.thumb_rows(f)[0] > top + 10, "the notes and the thumb to move down")
        self.assertEqual(self.thumb_rows(lower)[1] - self.thumb_rows(lower)[0], bottom - top)

        self.session.run("xdotool", "click", "--repeat", "6", "--delay", "20", "4")
        self.wait_for_frame(lambda f: much_the_same(f.region(x, y, w, h), start) and self.thumb_rows(f) == (top, bottom),
                            "the notes back at their start")

    def test_the_release_notes_stay_clear_of_the_scroll_bar_before_and_after_growing(self):
        self.open_panel("CHANGES")
        self.check_the_notes_wrap_beside_the_scroll_bar()

        self.session.ask_window_manager(["xdotool", "windowmove", self.installer.window, "0", "0"],
                                        lambda: self.installer.geometry()[0] < 100, "move the window")
        self.session.ask_window_manager(["xdotool", "windowsize", self.installer.window, "900", "900"],
                                        lambda: self.installer.geometry()[2:] == (900, 900), "resize to 900 pixels")
        self.s = 9.0
        self.move(450, 890)
        frame = self.wait_for_frame(lambda f: self.covered(f) and self.glyph_at_rest(f),
                                    "the panel over the whole window at nine pixels a unit")
        self.assertEqual(set(frame.area(870, 870, 20, 20)), {NEAR_BLACK})

        self.check_the_notes_wrap_beside_the_scroll_bar()

    def key(self, key):
        self.session.run("xdotool", "key", key)

    def test_from_the_keyboard_each_panel_holds_the_focus_and_escape_hands_it_back(self):
        # How many Tabs reach each opener from the one before (from the start for the first), and the panel's controls in Tab order,
        # each with a pixel under its ring: the ring's 2.4 pixel line runs 4.5 pixels outside
        # the control's outline (the close glyph's circle, a plate, the text's box).
        close_ring = (552, 16)
        content_ring = (300, 67)
        panels = {
            "EULA": (5, [close_ring, content_ring]),
            "SUPPORT": (3, [close_ring, (90, 85), (90, 205)]),
            "CHANGES": (1, [close_ring, content_ring]),
        }
        opener_ring = {name: (x, 436) for name, (x, _) in OPENERS.items()}   # above the button's top at 441
        self.move(300, 380)
        self.activate()
        for name, (tabs, rings) in panels.items():
            with self.subTest(panel=name):
                self.wait_for_frame(lambda f: close(f.at(300, 3), BLUE, 0), "the main screen")
                for _ in range(tabs):
                    self.key("Tab")
                self.wait_for_frame(lambda f: close(f.at(*opener_ring[name]), OFF_WHITE), "the ring on " + name)
                self.key("Return")
                self.wait_for_frame(self.covered, "the %s panel to cover the screen" % name)
                # The panel has the focus itself: no ring until Tab reaches its first control.
                frame = self.frame()
                self.assertTrue(all(close(frame.at(*ring), NEAR_BLACK, 0) for ring in rings), "a ring before Tab")
                # Tab goes round the panel's own controls and back to the first.
                for ring in rings + [rings[0]]:
                    self.key("Tab")
                    self.wait_for_frame(lambda f: close(f.at(*ring), OFF_WHITE)
                                        and all(close(f.at(*other), NEAR_BLACK, 0) for other in rings if other != ring),
                                        "the ring at %s, %s only" % ring)
                self.key("Escape")
                self.wait_for_frame(lambda f: close(f.at(300, 3), BLUE, 0) and close(f.at(*opener_ring[name]), OFF_WHITE),
                                    "the main screen with the ring back on " + name)
                # From the opener, Tab goes on to the next button: the focus is really there.
                self.key("shift+Tab")
                self.wait_for_frame(lambda f: close(f.at(*opener_ring[name]), NEAR_BLACK, 0), "the ring moved off " + name)
                self.key("Tab")
                self.wait_for_frame(lambda f: close(f.at(*opener_ring[name]), OFF_WHITE), "the ring back on " + name)
                # A click away from the buttons hides the ring and leaves the focus where it is.
                self.click(300, 380)
                self.wait_for_frame(lambda f: close(f.at(*opener_ring[name]), NEAR_BLACK, 0), "the ring gone after a click")

    def test_the_support_plates_follow_hover_and_press(self):
        self.open_panel("SUPPORT")
        for name in PLATES:
            with self.subTest(plate=name):
                self.move(300, 590)
                self.wait_for_plate(name, over_near_black(WARM_GREY, 0.5), "the plate at rest")
                self.move(*self.plate_centre(name))
                self.wait_for_plate(name, over_near_black(WARM_GREY, 0.75), "the plate hovered")
                self.session.run("xdotool", "mousedown", "1")
                try:
                    self.wait_for_plate(name, GREEN, "the plate pressed")
                finally:
                    self.session.run("xdotool", "mouseup", "1")
                self.wait_for_plate(name, over_near_black(WARM_GREY, 0.75), "the plate released")

    def test_the_support_plates_hand_the_invite_and_a_filled_in_mail_to_the_opener(self):
        self.open_panel("SUPPORT")
        self.click(*self.plate_centre("DISCORD"))
        self.session.wait_for(lambda: len(self.opened()) == 1, "the invite to be opened")
        self.assertEqual(self.opened(), ["https://discord.gg/orvanta-audio"])

        self.click(*self.plate_centre("MAIL"))
        self.session.wait_for(lambda: len(self.opened()) == 2, "the mail to be opened")
        link = self.opened()[1]
        self.assertTrue(link.startswith(MAIL_START + "Kelvara%202%20help&body="), link)
        body = link.split("&body=", 1)[1]
        system = MAIL_BODY.fullmatch(urllib.parse.unquote(body))
        self.assertIsNotNone(system, urllib.parse.unquote(body))
        operating_system, device, cpu = system.groups()
        expected_body = ("Product: Kelvara 2 2.4.3\nOperating System: " + operating_system + "\nDevice: " + device
                         + "\nCPU: " + cpu + "\n\nYour problem, and the steps to recreate it, if possible:\n")
        self.assertEqual(link, MAIL_START + escaped("Kelvara 2 help") + "&body=" + escaped(expected_body))

        # Both clicks leave the panel open.
        self.move(300, 590)
        self.wait_for_frame(lambda f: self.covered(f) and close(f.at(*self.plate_sample("MAIL")),
                                                                 over_near_black(WARM_GREY, 0.5)),
                            "the support panel still open")
        self.assertIsNone(self.installer.process.poll())


if __name__ == "__main__":
    PROGRAM = take_program(sys.argv)
    unittest_main.main()
