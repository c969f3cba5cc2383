"""INSTALL, the selection and Shift-uninstall through the real program, checked on the disk."""
import os
import resource
import signal
import subprocess
import sys
import time
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(__file__))
from xsession import (take_program, SessionTestCase, Installer, fresh_prefix, remove_prefix, tree, pixel,  # noqa: E402
                      GREEN)
from installer_program import mount_small_file_system, UNINSTALL_KEY  # noqa: E402  (xsession puts it on the path)
import unittest_main  # noqa: E402

PROGRAM = None
RESOURCES = os.path.join(os.path.dirname(__file__), "..", "..", "resources")

# Centres of the buttons in the 600 by 600 window
BUTTONS = {
    "VST3": (159, 210), "CLAP": (441, 210), "AAX": (159, 282),
    "SELECT_ALL": (519, 147), "INSTALL": (546, 471),
    "EULA": (54, 471), "MANUAL": (123, 471), "WEBSITE": (192, 471), "SUPPORT": (261, 471), "CHANGES": (330, 471),
}

FORMATS = {
    # name: (folder below Common Files, bundle name, archive)
    "VST3": ("VST3", "Kelvara 2.vst3", "vst3.zip"),
    "CLAP": ("CLAP", "Kelvara 2.clap", "clap.zip"),
    "AAX": ("Avid/Audio/Plug-Ins", "Kelvara 2.aaxplugin", "aax.zip"),
}


def archive_files(archive):
    """Each file an archive holds, by its path below the install folder, with its bytes as
    Python's own zip reader gives them."""
    with zipfile.ZipFile(os.path.join(RESOURCES, archive)) as zip_file:
        return {info.filename.replace("\\", "/"): zip_file.read(info)
                for info in zip_file.infolist() if not info.filename.endswith(("/", "\\"))}


def files_below(folder):
    """Every file below a folder with its bytes, and every folder, by relative path."""
    found = {}
    for path in tree(folder):
        full = os.path.join(folder, path)
        if os.path.isdir(full):
            found[path] = "folder"
        else:
            with open(full, "rb") as f:
                found[path] = f.read()
    return found


def items_ending_in(folder, extension):
    return [p for p in tree(folder) if p.endswith(extension)]


def region(image_path, x, y, width, height):
    """The raw RGB bytes of a rectangle of a screenshot."""
    return subprocess.run(["/usr/bin/convert", image_path, "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                           "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout


# The result view's picture and caption, and the three format rows, in the 600 pixel window.
RESULT_AREA = (24, 168, 552, 228)
ROWS_AREA = (24, 168, 552, 150)


def limit_file_size(limit):
    """For a child process: writes past the limit fail with EFBIG instead of killing it."""
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return apply


def archive_tree(archive):
    """What an archive unpacks to, as unzip lists it, with parent folders."""
    names = subprocess.run(["unzip", "-Z1", os.path.join(RESOURCES, archive)],
                           capture_output=True, text=True, check=True).stdout.split("\n")
    paths = set()
    for name in filter(None, names):
        parts = name.replace("\\", "/").rstrip("/").split("/")
        for i in range(1, len(parts) + 1):
            paths.add("/".join(parts[:i]))
    return sorted(paths)


class InstallTests(SessionTestCase):
    def setUp(self):
        super().setUp()
        self.prefix = fresh_prefix()
        self.immutable = []

        self.mounts = []

    def tearDown(self):
        for path in self.immutable:
            subprocess.run(["chattr", "-i", path], check=False)
        super().tearDown()
        for path in self.mounts:
            subprocess.run(["umount", "-l", path], check=False)
        remove_prefix(self.prefix)

    # --- helpers -------------------------------------------------------------------------------

    def folder(self, name):
        return os.path.join(self.prefix, "drive_c", "Program Files", "Common Files", FORMATS[name][0])

    def bundle(self, name):
        return os.path.join(self.folder(name), FORMATS[name][1])

    def bundle_tree(self, name):
        """The bundle's own paths, relative to its install folder."""
        return [p for p in tree(self.folder(name)) if p.split("/")[0] == FORMATS[name][1]]

    def make_old_bundle(self, name):
        bundle = self.bundle(name)
        if name == "CLAP":
            os.makedirs(self.folder(name), exist_ok=True)
            with open(bundle, "w") as f:
                f.write("old module")
        else:
            os.makedirs(os.path.join(bundle, "Contents", "Resources"))
            with open(os.path.join(bundle, "Contents", "Resources", "old-presets.xml"), "w") as f:
                f.write("old")

    def start(self, extra_env=None, preexec_fn=None):
        installer = Installer(self.session, PROGRAM, self.prefix, extra_env, preexec_fn=preexec_fn)
        self.session.wait_for(lambda: installer.geometry()[2:] == (600, 600), "the 600 pixel window")
        self.installers.append(installer)
        return installer

    def click(self, installer, button, modifiers=()):
        x, y, _, _ = installer.geometry()
        bx, by = BUTTONS[button]
        args = ["xdotool", "mousemove", "--sync", str(x + bx), str(y + by)]
        for key in modifiers:
            args += ["keydown", key]
        args += ["click", "1"]
        for key in modifiers:
            args += ["keyup", key]
        self.session.run(*args)

    def activate(self, installer):
        self.session.run("xdotool", "windowactivate", "--sync", installer.window, check=False)
        self.session.wait_for(lambda: self.session.run("xdotool", "getactivewindow", check=False).stdout.strip()
                              == installer.window, "the window to take the keyboard")

    def finish(self, installer):
        """Closing the window only returns once the install run, which blocks the loop, is over."""
        self.assertEqual(installer.close_with_window_manager(timeout=60), 0)

    def screen_area(self, installer, area):
        x, y, _, _ = installer.geometry()
        shot = self.session.screenshot(os.path.join(self.prefix, "screen.png"))
        return region(shot, x + area[0], y + area[1], area[2], area[3])

    def settled_area(self, installer, area, unlike=None):
        """The area once it has stopped changing, and differs from what it showed before."""
        previous = [None]

        def still():
            current = self.screen_area(installer, area)
            done = current == previous[0] and current != unlike
            previous[0] = current
            return current if done else None
        return self.session.wait_for(still, "the screen to settle", timeout=60)

    def install_and_show_result(self, installer):
        before = self.settled_area(installer, RESULT_AREA)
        self.click(installer, "INSTALL")
        return self.settled_area(installer, RESULT_AREA, unlike=before)

    def reference_failure_of_vst3_alone(self):
        """The result view of a run in which only VST3 failed, its folder being a file."""
        if not hasattr(InstallTests, "vst3_failure_view"):
            prefix = self.prefix
            self.prefix = fresh_prefix()
            try:
                os.makedirs(os.path.dirname(self.folder("VST3")))
                with open(self.folder("VST3"), "w") as f:
                    f.write("a file where a folder belongs")
                installer = self.start()
                self.click(installer, "VST3")
                InstallTests.vst3_failure_view = self.install_and_show_result(installer)
                self.finish(installer)
            finally:
                remove_prefix(self.prefix)
                self.prefix = prefix
        return InstallTests.vst3_failure_view

    def mount_small_file_system(self, folder, size="1m"):
        mount_small_file_system(self, folder, size)
        self.mounts.append(folder)

    def fill_leaving(self, folder, free_bytes):
        stats = os.statvfs(folder)
        with open(os.path.join(folder, "filler"), "wb") as f:
            f.write(b"\0" * (stats.f_bavail * stats.f_frsize - free_bytes))
        left = os.statvfs(folder)
        self.assertLess(left.f_bavail * left.f_frsize, 20664, "room for Plugin.ico would be left")

    def assert_vst3_failed_and_nothing_changed(self, view, before):
        self.assertEqual(view, self.reference_failure_of_vst3_alone(), "the result view does not name VST3 alone")
        self.assertEqual(files_below(self.folder("VST3")), before)

    def no_staging_left(self):
        for name in FORMATS:
            if os.path.isdir(self.folder(name)):
                self.assertEqual([n for n in os.listdir(self.folder(name)) if "staging" in n], [], name)

    # --- tests ---------------------------------------------------------------------------------

    def test_install_with_nothing_selected_touches_nothing(self):
        installer = self.start()
        self.click(installer, "INSTALL")
        self.finish(installer)
        self.assertEqual(PROGRAM.added_paths(self.prefix), ["ProgramData/Orvanta/PluginManagerSettings.txt"])

    def test_select_all_installs_every_file_byte_for_byte(self):
        installer = self.start()
        self.click(installer, "SELECT_ALL")
        self.click(installer, "INSTALL")
        # The success view's green gear, on both sides of its arrow.
        shot = os.path.join(self.prefix, "screen.png")
        x, y, _, _ = installer.geometry()
        self.session.wait_for(lambda: all(pixel(self.session.screenshot(shot), x + gx, y + 268) == GREEN
                                          for gx in (282, 315)), "the success view", timeout=60)
        self.finish(installer)
        for name, (_, _, archive) in FORMATS.items():
            self.assertEqual(tree(self.folder(name)), archive_tree(archive), name)
            installed = {path: data for path, data in files_below(self.folder(name)).items() if data != "folder"}
            self.assertEqual(installed, archive_files(archive), name)
        if PROGRAM.is_wine:
            self.assert_apps_entry_written(sum(len(data) for name, (_, _, archive) in FORMATS.items()
                                               for data in archive_files(archive).values()))

    def assert_apps_entry_written(self, bundle_bytes):
        """The window, like the command line, writes Windows' Apps & features entry and its kept copy."""
        done = subprocess.run([*PROGRAM.tool("reg"), "query", UNINSTALL_KEY, "/reg:64"],
                              env=PROGRAM.environment(self.prefix, self.session.env), capture_output=True, text=True,
                              timeout=60)
        self.assertEqual(done.returncode, 0, "no Apps & features entry: " + done.stdout + done.stderr)
        values = dict(line.split(None, 2)[0::2] for line in done.stdout.splitlines() if "    REG_" in line)
        self.assertEqual(values.get("DisplayName"), "Kelvara 2", done.stdout)
        self.assertEqual(values.get("QuietUninstallString"),
                         '"C:\\Program Files\\Orvanta\\Kelvara 2\\ov_installer.exe" uninstall all', done.stdout)
        self.assertLessEqual(abs(int(values["EstimatedSize"], 16) - bundle_bytes / 1024), 0.2 * bundle_bytes / 1024)
        self.assertTrue(os.path.isfile(os.path.join(self.prefix, "drive_c", "Program Files", "Orvanta", "Kelvara 2",
                                                    "ov_installer.exe")))

    def test_a_full_disk_fails_the_format_and_keeps_the_old_bundle(self):
        self.mount_small_file_system(self.folder("VST3"))
        self.make_old_bundle("VST3")
        self.fill_leaving(self.folder("VST3"), 12 * 1024)
        before = files_below(self.folder("VST3"))

        installer = self.start()
        view = self.install_and_show_result(installer)
        self.finish(installer)
        self.assert_vst3_failed_and_nothing_changed(view, before)

    def test_a_file_size_limit_fails_the_format_and_keeps_the_old_bundle(self):
        self.make_old_bundle("VST3")
        before = files_below(self.folder("VST3"))

        # Plugin.ico alone is 20664 bytes.
        installer = self.start(preexec_fn=limit_file_size(8192))
        view = self.install_and_show_result(installer)
        self.finish(installer)
        self.assert_vst3_failed_and_nothing_changed(view, before)

    def test_pipes_where_the_modules_should_be_read_as_installed_without_a_version(self):
        modules = {"VST3": "Contents/x86_64-win/Kelvara 2.vst3", "CLAP": "", "AAX": "Contents/x64/Kelvara 2.aaxplugin"}

        def make_modules(make):
            for name, inner in modules.items():
                path = os.path.join(self.bundle(name), inner) if inner else self.bundle(name)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                make(path)

        def plain_file(path):
            with open(path, "w") as f:
                f.write("no version resource")

        make_modules(plain_file)
        installer = self.start()
        unversioned = self.settled_area(installer, ROWS_AREA)
        self.finish(installer)

        remove_prefix(self.prefix)
        self.prefix = fresh_prefix()
        make_modules(os.mkfifo)
        installer = self.start()
        self.assertEqual(self.settled_area(installer, ROWS_AREA), unversioned)
        self.finish(installer)

    def test_existing_bundles_start_selected_and_are_replaced(self):
        self.make_old_bundle("VST3")
        installer = self.start()
        self.click(installer, "INSTALL")
        self.finish(installer)
        self.assertEqual(tree(self.folder("VST3")), archive_tree("vst3.zip"))
        self.assertFalse(os.path.exists(self.folder("CLAP")))
        self.assertFalse(os.path.exists(self.folder("AAX")))

    def test_clicking_a_format_toggles_it(self):
        self.make_old_bundle("VST3")
        self.make_old_bundle("CLAP")
        installer = self.start()
        self.click(installer, "VST3")
        self.click(installer, "VST3")   # twice: selected as before
        self.click(installer, "CLAP")   # once: deselected
        self.click(installer, "INSTALL")
        self.finish(installer)
        self.assertEqual(tree(self.folder("VST3")), archive_tree("vst3.zip"))
        with open(self.bundle("CLAP")) as f:
            self.assertEqual(f.read(), "old module")

    def test_shift_install_removes_the_selected_bundles_and_nothing_else(self):
        for name in FORMATS:
            self.make_old_bundle(name)
        installer = self.start()
        self.click(installer, "CLAP")
        self.activate(installer)
        self.click(installer, "INSTALL", modifiers=("shift",))
        self.finish(installer)
        self.assertFalse(os.path.exists(self.bundle("VST3")))
        self.assertFalse(os.path.exists(self.bundle("AAX")))
        with open(self.bundle("CLAP")) as f:
            self.assertEqual(f.read(), "old module")
        self.assertTrue(os.path.isdir(self.folder("VST3")))

    def test_a_failing_format_keeps_its_bundle_and_the_next_one_installs(self):
        # VST3's bundle cannot be moved (immutable even for root); AAX's folder is a file.
        self.make_old_bundle("VST3")
        before = self.bundle_tree("VST3")
        if subprocess.run(["chattr", "+i", self.bundle("VST3")], capture_output=True).returncode != 0:
            self.skipTest("this file system has no immutable attribute")
        self.immutable.append(self.bundle("VST3"))
        os.makedirs(os.path.dirname(self.folder("AAX")))
        with open(self.folder("AAX"), "w") as f:
            f.write("a file where a folder belongs")

        installer = self.start()
        self.click(installer, "SELECT_ALL")
        self.click(installer, "INSTALL")
        self.finish(installer)

        self.assertEqual(self.bundle_tree("VST3"), before)
        self.assertEqual(tree(self.folder("CLAP")), archive_tree("clap.zip"))
        with open(self.folder("AAX")) as f:
            self.assertEqual(f.read(), "a file where a folder belongs")
        self.no_staging_left()

    def test_two_instances_installing_at_once_both_end_complete(self):
        for name in FORMATS:
            self.make_old_bundle(name)
        first, second = self.start(), self.start()
        # Side by side, so both can be clicked.
        self.session.ask_window_manager(["xdotool", "windowmove", first.window, "0", "0"],
                                        lambda: first.geometry()[0] < 100, "move the first window")
        self.session.ask_window_manager(["xdotool", "windowmove", second.window, "640", "0"],
                                        lambda: second.geometry()[0] >= 640, "move the second window")
        self.click(first, "INSTALL")
        self.click(second, "INSTALL")
        self.finish(first)
        self.finish(second)
        for name, (_, _, archive) in FORMATS.items():
            self.assertEqual(tree(self.folder(name)), archive_tree(archive), name)
        self.no_staging_left()

    def test_a_run_killed_while_unpacking_leaves_the_old_bundle_and_the_next_run_cleans_up(self):
        self.make_old_bundle("VST3")
        before = files_below(self.folder("VST3"))
        installer = self.start()

        # Stop the program as it starts to write the fourth file, the module, then kill it there.
        gdb = subprocess.Popen(["gdb", "-q", "-batch", "-p", str(installer.process.pid),
                                "-ex", "break ArchiveUnpacker::crc32", "-ex", "continue",
                                "-ex", "continue 3", "-ex", "shell touch " + os.path.join(self.prefix, "stopped"),
                                "-ex", "shell sleep 30"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.session.wait_for(lambda: subprocess.run(["grep", "-q", "TracerPid:\\s*[1-9]", "/proc/%d/status" % installer.process.pid]).returncode == 0,
                                  "the debugger to attach", timeout=30)
            time.sleep(0.5)
            self.click(installer, "INSTALL")
            self.session.wait_for(lambda: os.path.exists(os.path.join(self.prefix, "stopped")), "the unpacking to stop", timeout=30)
            staging = [n for n in os.listdir(self.folder("VST3")) if "staging" in n]
            self.assertEqual(len(staging), 1)
            self.assertIn(os.path.join(staging[0], "incoming/Contents/x86_64-win/Kelvara 2.vst3.partial"), tree(self.folder("VST3")))
            os.kill(installer.process.pid, signal.SIGKILL)
        finally:
            # The killed program is reported to us only once the debugger lets go of it.
            gdb.kill()
            gdb.wait()
        self.assertEqual(installer.process.wait(10), -signal.SIGKILL)

        # A host scanning the folder finds the old bundle and nothing else of the kind.
        self.assertEqual(items_ending_in(self.folder("VST3"), ".vst3"), ["Kelvara 2.vst3"])
        for path, data in before.items():
            self.assertEqual(files_below(self.folder("VST3"))[path], data, path)
        self.assertEqual(len([n for n in os.listdir(self.folder("VST3")) if "staging" in n]), 1)

        installer = self.start()
        self.click(installer, "INSTALL")
        self.finish(installer)
        self.assertEqual(tree(self.folder("VST3")), archive_tree("vst3.zip"))

    def keys(self, installer, *keys):
        """Keys as the user types them, each only after the window has the keyboard."""
        self.activate(installer)
        for key in keys:
            self.session.run("xdotool", "key", "--delay", "60", key)

    def test_from_the_keyboard_select_all_then_return_on_install_installs_everything(self):
        installer = self.start()
        # Tab reaches SELECT ALL first; Space selects all three; Shift+Tab from the first button
        # goes round to the last, INSTALL, where Return installs.
        self.keys(installer, "Tab", "space", "shift+Tab", "Return")
        self.finish(installer)
        for name, (_, _, archive) in FORMATS.items():
            self.assertEqual(tree(self.folder(name)), archive_tree(archive), name)

    def test_from_the_keyboard_shift_return_on_install_removes_the_selected_bundles(self):
        self.make_old_bundle("VST3")
        self.make_old_bundle("CLAP")
        os.makedirs(self.folder("AAX"))
        installer = self.start()
        # From the start, Shift+Tab lands on INSTALL; both existing bundles start selected.
        self.keys(installer, "shift+Tab", "shift+Return")
        self.finish(installer)
        self.assertFalse(os.path.exists(self.bundle("VST3")))
        self.assertFalse(os.path.exists(self.bundle("CLAP")))
        self.assertEqual(os.listdir(self.folder("AAX")), [])
        self.assertEqual(os.listdir(self.folder("VST3")), [])

    def test_website_and_manual_hand_their_addresses_to_the_systems_opener(self):
        # A recording stand-in for the desktop's opener, first on PATH.
        bin_dir = os.path.join(self.prefix, "bin")
        record = os.path.join(self.prefix, "opened.txt")
        os.makedirs(bin_dir)
        with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % record)
        os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)

        installer = self.start({"PATH": bin_dir + os.pathsep + os.environ["PATH"]})
        self.click(installer, "WEBSITE")
        self.session.wait_for(lambda: os.path.exists(record), "the product page to be opened")
        self.click(installer, "MANUAL")
        self.session.wait_for(lambda: len(open(record).read().splitlines()) == 2, "the manual to be opened")
        with open(record) as f:
            opened = f.read().splitlines()
        self.assertEqual(opened[0], "https://www.orvanta-audio.example/products/kelvara-2")
        self.assertEqual(opened[1], "https://docs.orvanta-audio.example/manuals/Kelvara_2_Manual.pdf")
        self.assertIsNone(installer.process.poll())
        self.finish(installer)


if __name__ == "__main__":
    PROGRAM = take_program(sys.argv)
    unittest_main.main()
