"""The real installer in a real X server: its window, its settings file, resizing and closing."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from xsession import (take_program, SessionTestCase, Installer, fresh_prefix, remove_prefix, pixel,  # noqa: E402
                      NEAR_BLACK)
import unittest_main  # noqa: E402
from screens import wait_for_main_screen  # noqa: E402

PROGRAM = None
DATA = os.path.join(os.path.dirname(__file__), "..", "data")
SETTINGS_RELATIVE = os.path.join("ProgramData", "Orvanta", "PluginManagerSettings.txt")


def settings_path(prefix):
    return os.path.join(prefix, "drive_c", "ProgramData", "Orvanta", "PluginManagerSettings.txt")


def drive_c(prefix, *parts):
    return os.path.join(prefix, "drive_c", *parts)


def cpu_ticks(pid):
    """User and system time of a process so far, in clock ticks."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def configure_sizes(events_file):
    """The sizes of the ConfigureNotify events that xev has written so far."""
    events_file.seek(0)
    text = events_file.read().decode(errors="replace")
    return [(int(w), int(h)) for w, h in re.findall(r"ConfigureNotify event.*?width (\d+), height (\d+)", text, re.DOTALL)]


class WindowTests(SessionTestCase):
    def setUp(self):
        super().setUp()
        self.prefixes = []

    def tearDown(self):
        super().tearDown()
        for prefix in self.prefixes:
            remove_prefix(prefix)

    def start(self, prefix):
        installer = Installer(self.session, PROGRAM, prefix)
        self.installers.append(installer)
        return installer

    def prefix(self, with_maker_folder=True):
        prefix = fresh_prefix(with_maker_folder)
        self.prefixes.append(prefix)
        return prefix

    def test_first_run_opens_the_square_window_and_writes_the_settings_file(self):
        prefix = self.prefix()
        installer = self.start(prefix)

        self.assertEqual(installer.title(), "ov_installer")
        # The framework shows a small window for a moment while it assembles the real one.
        self.session.wait_for(lambda: installer.geometry()[2:] == (600, 600), "600 by 600 pixels of content")
        x, y, width, height = installer.geometry()

        with open(os.path.join(DATA, "PluginManagerSettings.default.txt"), "rb") as expected:
            expected_bytes = expected.read()
        with open(settings_path(prefix), "rb") as written:
            self.assertEqual(written.read(), expected_bytes)
        self.assertEqual(len(expected_bytes), 761)

        # The defaults are not created before anything is installed.
        self.assertEqual(PROGRAM.added_paths(prefix), [SETTINGS_RELATIVE])

        shot = os.path.join(tempfile.gettempdir(), "ov-window-%d.png" % os.getpid())
        try:
            installer.screenshot_when(shot, lambda path: pixel(path, x + width // 2, y + height // 2) == NEAR_BLACK,
                                      "the window to be painted")
            self.assertEqual(pixel(shot, x + 5, y + 100), NEAR_BLACK)
            self.assertEqual(pixel(shot, x + 5, y + height - 5), NEAR_BLACK)
            self.assertEqual(pixel(shot, x + 300, y + 2), (0x00, 0x94, 0xD8))   # the strip along the top
        finally:
            if os.path.exists(shot):
                os.remove(shot)

        # The window carries the installer's icon for the taskbar.
        icon = self.session.run("xprop", "-id", installer.window, "_NET_WM_ICON", check=False).stdout
        self.assertIn("Icon (", icon)

        self.assertEqual(installer.close_with_window_manager(), 0)

    def test_a_stray_script_goes_at_exit_but_through_a_link_nothing_else_does(self):
        prefix = self.prefix()
        temporary, env = PROGRAM.temporary_folder(prefix)
        script = os.path.join(temporary, "script.sh")
        elsewhere = os.path.join(prefix, "someone else's file")
        with open(elsewhere, "w") as f:
            f.write("keep me")

        for link in (False, True):
            if link:
                os.symlink(elsewhere, script)
            else:
                with open(script, "w") as f:
                    f.write("echo stray")
            installer = Installer(self.session, PROGRAM, prefix, extra_env=env)
            self.installers.append(installer)
            self.session.wait_for(lambda: installer.geometry()[2:] == (600, 600), "600 by 600 pixels of content")
            self.assertEqual(installer.close_with_window_manager(), 0)
            if not link:
                self.assertFalse(os.path.lexists(script), "the stray script is deleted at exit")
        with open(elsewhere) as f:
            self.assertEqual(f.read(), "keep me")
        if os.path.lexists(script):
            os.remove(script)

    def test_without_the_makers_folder_nothing_is_written(self):
        prefix = self.prefix(with_maker_folder=False)
        installer = self.start(prefix)

        self.session.wait_for(lambda: installer.geometry()[2:] == (600, 600), "600 by 600 pixels of content")
        self.assertEqual(PROGRAM.added_paths(prefix), [])
        self.assertEqual(installer.close_with_window_manager(), 0)

    def test_settings_paths_name_the_folders_created_at_start(self):
        prefix = self.prefix()
        # Rooted without a drive, Windows reads the AAX path on drive C:, never from this system's root.
        content = ('<Plugin_Manager_Settings VST3_Path="C:\\Audio\\VST3 Plugins" '
                   'CLAP_Path="\\\\studio-nas\\plugins\\CLAP" AAX_Path="\\Audio\\AAX Plugins"/>')
        with open(settings_path(prefix), "w") as f:
            f.write(content)

        installer = self.start(prefix)
        self.assertTrue(os.path.isdir(drive_c(prefix, "Audio", "VST3 Plugins")))
        self.assertTrue(os.path.isdir(os.path.join(prefix, "dosdevices", "unc", "studio-nas", "plugins", "CLAP")))
        self.assertTrue(os.path.isdir(drive_c(prefix, "Audio", "AAX Plugins")))
        self.assertFalse(os.path.exists("/Audio"))
        with open(settings_path(prefix)) as f:
            self.assertEqual(f.read(), content)
        self.assertEqual(installer.close_with_window_manager(), 0)

    def test_unusable_settings_leave_everything_as_it_was(self):
        # Malformed XML: read as nothing, left untouched.
        prefix = self.prefix()
        broken = '<Plugin_Manager_Settings VST3_Path="C:\\Never'
        with open(settings_path(prefix), "w") as f:
            f.write(broken)
        installer = self.start(prefix)
        with open(settings_path(prefix)) as f:
            self.assertEqual(f.read(), broken)
        self.assertEqual(PROGRAM.added_paths(prefix), [SETTINGS_RELATIVE])
        self.assertEqual(installer.close_with_window_manager(), 0)

        # A folder in the file's place: the write fails quietly and the program runs on.
        prefix = self.prefix()
        os.makedirs(settings_path(prefix))
        installer = self.start(prefix)
        self.assertTrue(os.path.isdir(settings_path(prefix)))
        self.assertEqual(os.listdir(settings_path(prefix)), [])
        self.assertEqual(installer.close_with_window_manager(), 0)

    def test_resizing_keeps_the_window_square(self):
        installer = self.start(self.prefix())
        self.session.wait_for(lambda: installer.geometry()[2:] == (600, 600), "600 by 600 pixels of content")

        for width, height in ((800, 700), (650, 900)):
            side = min(width, height)
            self.session.ask_window_manager(["xdotool", "windowsize", installer.window, str(width), str(height)],
                                            lambda: installer.geometry()[2:] == (side, side), "a %d pixel square" % side)

        self.assertEqual(installer.close_with_window_manager(), 0)

    def test_arguments_that_are_no_command_open_the_window_as_before(self):
        for args in (["/X"], ["readme.txt"], ["Install", "vst3"]):
            prefix = self.prefix()
            installer = Installer(self.session, PROGRAM, prefix, args=args)
            self.installers.append(installer)
            self.session.wait_for(lambda: installer.geometry()[2:] == (600, 600), "the window for %s" % args)
            self.assertEqual(installer.title(), "ov_installer")
            self.assertEqual(installer.close_with_window_manager(), 0)
            self.assertEqual(installer.output(), "", args)
            # The window ran, not an install: nothing was unpacked.
            self.assertEqual(PROGRAM.added_paths(prefix), [SETTINGS_RELATIVE])

    def test_a_maximised_window_settles_at_once_and_stays_as_placed(self):
        self.check_an_imposed_size_settles("maximized_vert,maximized_horz", "maximised")

    def test_a_full_screen_window_settles_at_once_and_stays_as_placed(self):
        self.check_an_imposed_size_settles("fullscreen", "full screen")

    def check_an_imposed_size_settles(self, state, what):
        installer = self.start(self.prefix())
        self.session.wait_for(lambda: installer.geometry()[2:] == (600, 600), "600 by 600 pixels of content")

        # Every change of the window's size from here on, as the X server reports it.
        events = tempfile.TemporaryFile()
        watcher = subprocess.Popen(["xev", "-id", installer.window, "-event", "structure"],
                                   env=self.session.env, stdout=events, stderr=subprocess.DEVNULL)
        try:
            time.sleep(0.5)     # xev has selected the events before anything happens
            self.session.ask_window_manager(
                ["wmctrl", "-i", "-r", installer.window, "-b", "add," + state],
                lambda: installer.geometry()[2] > 1000, "the window " + what)

            # Settled: the size holds, however long one waits.
            time.sleep(1.5)
            settled = installer.geometry()
            configures_while_settling = configure_sizes(events)

            ticks_before = cpu_ticks(installer.process.pid)
            time.sleep(2.0)
            ticks = cpu_ticks(installer.process.pid) - ticks_before
            self.assertEqual(installer.geometry(), settled)
            self.assertEqual(configure_sizes(events), configures_while_settling, "the window is still being resized")
        finally:
            watcher.terminate()
            watcher.wait(5)
            events.close()

        # The window stays as the window manager placed it: wider than high, across the screen.
        self.assertGreater(settled[2], settled[3])
        self.assertGreater(settled[2], 1200)
        # At most one corrective resize: one size besides the maximised one, one request back.
        sizes = configures_while_settling
        self.assertLessEqual(len(set(sizes) - {settled[2:]}), 1, sizes)
        self.assertLessEqual(len(sizes), 8, sizes)
        # No work while nothing changes: the framework's own refresh tick is well below 10 %.
        self.assertLess(ticks, 0.1 * 2.0 * os.sysconf("SC_CLK_TCK"), "CPU ticks over 2 s")

        # A size the user picks afterwards is brought back to a square as before.
        self.session.ask_window_manager(
            ["wmctrl", "-i", "-r", installer.window, "-b", "remove," + state],
            lambda: installer.geometry()[2] < 1000, "the window back from " + what)
        self.session.ask_window_manager(["xdotool", "windowsize", installer.window, "760", "700"],
                                        lambda: installer.geometry()[2:] == (700, 700), "a 700 pixel square")
        self.assertEqual(installer.close_with_window_manager(), 0)

    def test_two_instances_run_side_by_side(self):
        prefix = self.prefix()
        first = self.start(prefix)
        second = self.start(prefix)
        self.assertNotEqual(first.window, second.window)
        self.assertEqual(second.close_with_window_manager(), 0)
        self.assertIsNone(first.process.poll())
        self.assertEqual(first.close_with_window_manager(), 0)


class PlantedDllWindowTests(SessionTestCase):
    """DLLs planted beside the Windows executable, as in a Downloads folder, with Wine told to
    prefer them as Windows' search order would: none loads into the window."""

    def setUp(self):
        if not PROGRAM.is_wine:
            self.skipTest("the Windows executable's DLL search; the Linux build loads no DLLs")
        super().setUp()

    def test_dlls_planted_beside_the_executable_never_load_into_the_window(self):
        prefix = fresh_prefix()
        self.addCleanup(remove_prefix, prefix)
        with tempfile.TemporaryDirectory(prefix="ov-downloads-") as downloads:
            exe = shutil.copy(PROGRAM.command[-1], downloads)
            installer = Installer(self.session, PROGRAM, prefix, extra_env=PROGRAM.plant_dlls(downloads),
                                  command=["wine", exe], cwd=downloads)
            self.installers.append(installer)
            shot = os.path.join(downloads, "screen.png")
            wait_for_main_screen(self.session, installer, shot)
            self.assertEqual(PROGRAM.loaded_dlls(downloads), [])
            self.assertEqual(installer.close_with_window_manager(), 0)


if __name__ == "__main__":
    PROGRAM = take_program(sys.argv)
    unittest_main.main()
