"""The real binary's commands, run with no display against temporary Wine prefixes."""
import json
import os
import pty
import re
import resource
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import unittest_main  # noqa: E402
from installer_program import program_from_arguments, mount_small_file_system, UNINSTALL_KEY  # noqa: E402

PROGRAM = None      # the Linux binary, or the Windows executable under Wine
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
RESOURCES = os.path.join(ROOT, "resources")
DATA = os.path.join(ROOT, "tests", "data")

FORMATS = {
    # name: (folder below Common Files, bundle name, archive)
    "VST3": ("VST3", "Kelvara 2.vst3", "vst3.zip"),
    "CLAP": ("CLAP", "Kelvara 2.clap", "clap.zip"),
    "AAX": ("Avid/Audio/Plug-Ins", "Kelvara 2.aaxplugin", "aax.zip"),
}
ORDER = ["VST3", "CLAP", "AAX"]

# The module inside each bundle whose version resource tells the installed version.
VERSION_FILES = {
    "VST3": "Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3",
    "CLAP": "Kelvara 2.clap",
    "AAX": "Kelvara 2.aaxplugin/Contents/x64/Kelvara 2.aaxplugin",
}


def headless_environment(prefix):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY")}
    return PROGRAM.environment(prefix, env)


def extract(archive, destination):
    """Unpacks an archive with Python's own zip reader; its entries use Windows separators."""
    with zipfile.ZipFile(os.path.join(RESOURCES, archive)) as zf:
        for info in zf.infolist():
            relative = info.filename.replace("\\", "/")
            target = os.path.join(destination, *relative.rstrip("/").split("/"))
            if relative.endswith("/"):
                os.makedirs(target, exist_ok=True)
                continue
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as out:
                out.write(zf.read(info))


def snapshot(folder, top):
    """Every path below folder/top with the bytes of each file, for comparing trees exactly."""
    root = os.path.join(folder, top)
    if os.path.isfile(root):
        with open(root, "rb") as f:
            return {top: f.read()}
    found = {}
    for base, dirs, files in os.walk(root):
        for name in dirs:
            found[os.path.relpath(os.path.join(base, name), folder)] = None
        for name in files:
            path = os.path.join(base, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder)] = f.read()
    found[top] = None
    return found


class Prefix:
    def __init__(self, with_maker_folder=True):
        self.path = PROGRAM.new_prefix(with_maker_folder)

    def maker_folder(self):
        return os.path.join(self.path, "drive_c", "ProgramData", "Orvanta")

    def settings_file(self):
        return os.path.join(self.maker_folder(), "PluginManagerSettings.txt")

    def folder(self, name):
        return os.path.join(self.path, "drive_c", "Program Files", "Common Files", FORMATS[name][0])

    def bundle(self, name):
        return os.path.join(self.folder(name), FORMATS[name][1])

    def shown(self, path):
        """A path as the program prints it: on Windows a real C: path."""
        return PROGRAM.shown_path(self.path, path)

    def added(self):
        """Whatever appeared on drive C: besides the maker's folder since the prefix was made."""
        return PROGRAM.added_paths(self.path)

    def remove(self):
        PROGRAM.remove_prefix(self.path)


class CommandLineTestCase(unittest.TestCase):
    """A fresh prefix per test, the archives unpacked independently, and the helpers."""
    @classmethod
    def setUpClass(cls):
        cls.expected = tempfile.mkdtemp(prefix="ov-cli-expected-")
        for name in ORDER:
            extract(FORMATS[name][2], os.path.join(cls.expected, name))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.expected, ignore_errors=True)

    def setUp(self):
        self.prefix = Prefix()

    def tearDown(self):
        self.prefix.remove()

    # --- helpers -------------------------------------------------------------------------------

    def run_binary(self, *args, prefix=None, timeout=120):
        env = headless_environment((prefix or self.prefix).path)
        return subprocess.run([*PROGRAM.command, *args], env=env, capture_output=True, text=True, timeout=timeout)

    def status_json(self):
        done = self.run_binary("status", "--json")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")
        return json.loads(done.stdout)

    def status_lines(self):
        done = self.run_binary("status")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")
        return done.stdout.splitlines()

    def assert_bundle_is_the_archive(self, name, prefix=None):
        prefix = prefix or self.prefix
        installed = snapshot(prefix.folder(name), FORMATS[name][1])
        expected = snapshot(os.path.join(self.expected, name), FORMATS[name][1])
        self.assertEqual(sorted(installed), sorted(expected), name)
        for path, data in expected.items():
            self.assertEqual(installed[path], data, path)

    def assert_no_staging_left(self, prefix=None):
        prefix = prefix or self.prefix
        for name in ORDER:
            if os.path.isdir(prefix.folder(name)):
                self.assertEqual(sorted(os.listdir(prefix.folder(name))), [FORMATS[name][1]]
                                 if os.path.exists(prefix.bundle(name)) else [], name)

    def assert_no_default_folders(self):
        for name in ORDER:
            self.assertFalse(os.path.exists(self.prefix.folder(name)), name)

    def place_module(self, name, module):
        """A bundle whose module is one of the test modules with a known version resource."""
        target = os.path.join(self.prefix.folder(name), VERSION_FILES[name])
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(DATA, "modules", module), target)



class CommandLineTests(CommandLineTestCase):
    # --- status ----------------------------------------------------------------------------------

    def test_status_of_an_empty_prefix_is_absent_everywhere_and_writes_the_settings_file(self):
        lines = self.status_lines()
        # The first run writes the file with the defaults and creates no install folder; like the
        # window, later runs read the file and create the folders it names.
        self.assertEqual(self.prefix.added(), [os.path.join("ProgramData", "Orvanta", "PluginManagerSettings.txt")])
        self.assertEqual(len(lines), 3)
        for line, name in zip(lines, ORDER):
            words = line.split()
            self.assertEqual(words[:3], [name, "absent", "-"], line)
            self.assertTrue(line.endswith(" " + self.prefix.shown(self.prefix.bundle(name))), line)

        report = self.status_json()
        self.assertEqual(report["product"], "Kelvara 2")
        self.assertEqual(report["productVersion"], "2.4.3")
        self.assertEqual([f["format"] for f in report["formats"]], ORDER)
        for entry, name in zip(report["formats"], ORDER):
            self.assertEqual(entry, {"format": name, "state": "absent", "version": None,
                                     "path": self.prefix.shown(self.prefix.bundle(name))})

        with open(os.path.join(DATA, "PluginManagerSettings.default.txt"), "rb") as f:
            expected = f.read()
        with open(self.prefix.settings_file(), "rb") as f:
            self.assertEqual(f.read(), expected)
        self.assertTrue(os.path.isdir(self.prefix.folder("AAX")))

    def test_status_without_the_makers_folder_writes_nothing(self):
        prefix = Prefix(with_maker_folder=False)
        try:
            done = self.run_binary("status", "--json", prefix=prefix)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual([f["state"] for f in json.loads(done.stdout)["formats"]], ["absent"] * 3)
            self.assertEqual(prefix.added(), [])
        finally:
            prefix.remove()

    def test_status_of_current_outdated_and_newer_bundles(self):
        self.place_module("VST3", "version_2.4.2.9.dll")
        self.place_module("CLAP", "version_2.4.10.0.dll")
        self.place_module("AAX", "version_0.0.0.0.dll")

        report = {f["format"]: f for f in self.status_json()["formats"]}
        self.assertEqual((report["VST3"]["state"], report["VST3"]["version"]), ("outdated", "2.4.2.9"))
        self.assertEqual((report["CLAP"]["state"], report["CLAP"]["version"]), ("installed", "2.4.10.0"))
        self.assertEqual((report["AAX"]["state"], report["AAX"]["version"]), ("outdated", "0.0.0.0"))

        lines = {line.split()[0]: line.split() for line in self.status_lines()}
        self.assertEqual(lines["VST3"][1:3], ["outdated", "2.4.2.9"])
        self.assertEqual(lines["CLAP"][1:3], ["installed", "2.4.10.0"])
        self.assertEqual(lines["AAX"][1:3], ["outdated", "0.0.0.0"])

    def test_status_of_a_bundle_without_a_readable_version_is_installed(self):
        os.makedirs(self.prefix.bundle("VST3"))                 # a bundle folder with no module inside
        self.place_module("AAX", "no_version.dll")
        report = {f["format"]: f for f in self.status_json()["formats"]}
        self.assertEqual((report["VST3"]["state"], report["VST3"]["version"]), ("installed", None))
        self.assertEqual((report["CLAP"]["state"], report["CLAP"]["version"]), ("absent", None))
        self.assertEqual((report["AAX"]["state"], report["AAX"]["version"]), ("installed", None))

    # --- install and uninstall -------------------------------------------------------------------

    def test_install_all_unpacks_exactly_the_archives_and_status_then_reads_them(self):
        done = self.run_binary("install", "all")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual(done.stdout, "VST3: installed\nCLAP: installed\nAAX: installed\n")
        self.assertEqual(done.stderr, "", "progress is for terminals only")
        for name in ORDER:
            self.assert_bundle_is_the_archive(name)
        self.assert_no_staging_left()

        # The carried VST3 and AAX modules are release 2.4.3.0; the CLAP module has no version resource.
        report = {f["format"]: f for f in self.status_json()["formats"]}
        self.assertEqual((report["VST3"]["state"], report["VST3"]["version"]), ("installed", "2.4.3.0"))
        self.assertEqual((report["CLAP"]["state"], report["CLAP"]["version"]), ("installed", None))
        self.assertEqual((report["AAX"]["state"], report["AAX"]["version"]), ("installed", "2.4.3.0"))

    def test_install_replaces_an_outdated_bundle_with_leftovers(self):
        self.place_module("VST3", "version_2.4.2.9.dll")
        leftover = os.path.join(self.prefix.bundle("VST3"), "Contents", "Resources", "old-presets.xml")
        os.makedirs(os.path.dirname(leftover))
        with open(leftover, "w") as f:
            f.write("old")

        done = self.run_binary("install", "VST3", "--json")
        self.assertEqual(done.returncode, 0, done.stderr)
        result = json.loads(done.stdout)
        self.assertEqual(result["command"], "install")
        self.assertEqual(result["formats"], [{"format": "VST3", "result": "installed", "succeeded": True,
                                              "reason": None, "path": self.prefix.shown(self.prefix.bundle("VST3")),
                                              "note": None, "code": 0}])
        self.assertEqual(result["exitCode"], 0)
        self.assert_bundle_is_the_archive("VST3")
        self.assertFalse(os.path.exists(self.prefix.bundle("CLAP")))
        self.assertFalse(os.path.exists(self.prefix.bundle("AAX")))

    def test_formats_in_any_case_run_once_each_in_the_usual_order(self):
        done = self.run_binary("install", "aax", "Vst3", "AAX", "vst3")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout, "VST3: installed\nAAX: installed\n")
        self.assert_bundle_is_the_archive("VST3")
        self.assert_bundle_is_the_archive("AAX")
        self.assertFalse(os.path.exists(self.prefix.folder("CLAP")))

    def test_uninstall_removes_only_the_named_formats(self):
        self.assertEqual(self.run_binary("install", "all").returncode, 0)

        done = self.run_binary("uninstall", "clap", "aax")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout, "CLAP: uninstalled\nAAX: uninstalled\n")
        self.assertFalse(os.path.exists(self.prefix.bundle("CLAP")))
        self.assertFalse(os.path.exists(self.prefix.bundle("AAX")))
        self.assert_bundle_is_the_archive("VST3")
        self.assertEqual([f["state"] for f in self.status_json()["formats"]], ["installed", "absent", "absent"])

        # Removing what is not there is no failure.
        again = self.run_binary("uninstall", "all", "--json")
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertEqual([(f["format"], f["result"]) for f in json.loads(again.stdout)["formats"]],
                         [("VST3", "uninstalled"), ("CLAP", "uninstalled"), ("AAX", "uninstalled")])
        self.assertFalse(os.path.exists(self.prefix.bundle("VST3")))

    def test_a_failing_format_exits_1_and_the_others_are_installed(self):
        # A plain file where the CLAP folder belongs: root or not, nothing can be made below it.
        os.makedirs(os.path.dirname(self.prefix.folder("CLAP")), exist_ok=True)
        with open(self.prefix.folder("CLAP"), "w") as f:
            f.write("in the way")

        done = self.run_binary("install", "all")
        self.assertEqual(done.returncode, 1, done.stdout + done.stderr)
        lines = done.stdout.splitlines()
        self.assertEqual(lines[0], "VST3: installed")
        self.assertTrue(lines[1].startswith("CLAP: failed: ") and len(lines[1]) > len("CLAP: failed: "), lines[1])
        self.assertEqual(lines[2], "AAX: installed")
        self.assertEqual(len(lines), 3)
        self.assert_bundle_is_the_archive("VST3")
        self.assert_bundle_is_the_archive("AAX")
        with open(self.prefix.folder("CLAP")) as f:
            self.assertEqual(f.read(), "in the way")

        as_json = self.run_binary("install", "clap", "--json")
        self.assertEqual(as_json.returncode, 1)
        entry = json.loads(as_json.stdout)["formats"][0]
        self.assertEqual((entry["format"], entry["result"], entry["succeeded"]), ("CLAP", "failed", False))
        self.assertTrue(entry["reason"])

    def test_a_bundle_a_dead_run_moved_aside_is_put_back_even_when_the_install_then_fails(self):
        # A run killed between the two moves of its swap: the old bundle lies in its staging
        # folder, none is in place. A process id far above any the system hands out is dead.
        staging = os.path.join(self.prefix.folder("VST3"), ".Kelvara 2.vst3.staging-2147483000")
        extract("vst3.zip", os.path.join(staging, "aside"))
        os.rename(os.path.join(staging, "aside", "Kelvara 2.vst3"), os.path.join(staging, "previous-0"))
        os.rmdir(os.path.join(staging, "aside"))
        with open(os.path.join(staging, "previous-0", "Contents", "Resources", "old-presets.xml"), "w") as f:
            f.write("the user's")
        # A newer release than the one carried, so that once it is back the install refuses it.
        shutil.copyfile(os.path.join(DATA, "modules", "version_2.5.0.0.dll"),
                        os.path.join(staging, "previous-0", "Contents", "x86_64-win", "Kelvara 2.vst3"))
        moved_aside = snapshot(staging, "previous-0")

        done = self.run_binary("install", "vst3")
        self.assertEqual(done.returncode, 5, done.stdout + done.stderr)
        self.assertEqual(done.stdout, "VST3: failed: the installed version 2.5.0.0 is newer than 2.4.3; "
                                      "use --allow-downgrade to replace it\n")

        self.assertFalse(os.path.exists(staging))
        restored = snapshot(self.prefix.folder("VST3"), "Kelvara 2.vst3")
        self.assertEqual(sorted(restored), sorted(p.replace("previous-0", "Kelvara 2.vst3", 1) for p in moved_aside))
        for path, data in moved_aside.items():
            self.assertEqual(restored[path.replace("previous-0", "Kelvara 2.vst3", 1)], data, path)
        self.assertEqual(os.listdir(self.prefix.folder("VST3")), ["Kelvara 2.vst3"])

    def test_verify_finds_a_changed_byte_and_a_stray_file_and_install_repairs_both(self):
        self.assertEqual(self.run_binary("install", "vst3", "clap").returncode, 0)
        done = self.run_binary("verify", "all")
        self.assertEqual((done.returncode, done.stdout), (1, "VST3: intact\nCLAP: intact\nAAX: absent\n"), done.stderr)
        self.assertEqual(self.run_binary("verify", "vst3", "clap").returncode, 0)

        with open(self.prefix.bundle("CLAP"), "r+b") as f:      # one byte, the size unchanged
            f.seek(os.path.getsize(self.prefix.bundle("CLAP")) // 2)
            byte = f.read(1)
            f.seek(-1, os.SEEK_CUR)
            f.write(bytes([byte[0] ^ 0x01]))
        with open(os.path.join(self.prefix.bundle("VST3"), "Contents", "Resources", "extra.txt"), "w") as f:
            f.write("stray")

        done = self.run_binary("verify", "clap", "vst3", "--json")
        self.assertEqual(done.returncode, 1, done.stderr)
        report = json.loads(done.stdout)
        self.assertEqual((report["product"], report["productVersion"], report["command"]), ("Kelvara 2", "2.4.3", "verify"))
        self.assertEqual(report["formats"], [
            {"format": "VST3", "state": "damaged", "path": self.prefix.shown(self.prefix.bundle("VST3")),
             "reason": "stray file Kelvara 2.vst3/Contents/Resources/extra.txt"},
            {"format": "CLAP", "state": "damaged", "path": self.prefix.shown(self.prefix.bundle("CLAP")),
             "reason": "changed file Kelvara 2.clap: its CRC-32 differs from the archive's"}])

        self.assertEqual(self.run_binary("install", "vst3", "clap").returncode, 0)
        done = self.run_binary("verify", "vst3", "clap")
        self.assertEqual((done.returncode, done.stdout), (0, "VST3: intact\nCLAP: intact\n"))
        self.assert_bundle_is_the_archive("VST3")
        self.assert_bundle_is_the_archive("CLAP")

    def test_a_newer_module_is_kept_unless_downgrading_is_allowed(self):
        self.place_module("VST3", "version_2.5.0.0.dll")
        newer = snapshot(self.prefix.folder("VST3"), FORMATS["VST3"][1])

        # A refused downgrade is the run's only failure: exit 5, which deployment tools tell apart.
        done = self.run_binary("install", "vst3", "clap")
        self.assertEqual(done.returncode, 5, done.stderr)
        self.assertEqual(done.stdout, "VST3: failed: the installed version 2.5.0.0 is newer than 2.4.3; "
                                      "use --allow-downgrade to replace it\nCLAP: installed\n")
        self.assertEqual(snapshot(self.prefix.folder("VST3"), FORMATS["VST3"][1]), newer)

        report = json.loads(self.run_binary("install", "vst3", "clap", "--json").stdout)
        self.assertEqual(report["exitCode"], 5)
        self.assertEqual([(f["format"], f["code"]) for f in report["formats"]], [("VST3", 5), ("CLAP", 0)])

        # With another kind of failure beside it, the run is an ordinary failure.
        shutil.rmtree(self.prefix.folder("AAX"), ignore_errors=True)     # the earlier runs made it
        with open(self.prefix.folder("AAX"), "w") as f:
            f.write("in the way")
        done = self.run_binary("install", "vst3", "aax")
        self.assertEqual(done.returncode, 1, done.stdout + done.stderr)
        os.remove(self.prefix.folder("AAX"))

        done = self.run_binary("install", "vst3", "--allow-downgrade")
        self.assertEqual((done.returncode, done.stdout), (0, "VST3: installed\n"), done.stderr)
        self.assert_bundle_is_the_archive("VST3")

    def test_log_appends_timestamped_lines_and_an_unopenable_log_changes_nothing(self):
        # On drive C:, so that the program is handed a path of its own system.
        log = self.prefix.shown(os.path.join(self.prefix.path, "drive_c", "install log.txt"))
        unopenable = self.prefix.shown(os.path.join(self.prefix.path, "drive_c", "no such folder", "log.txt"))
        done = self.run_binary("install", "all", "--log", unopenable)
        self.assertEqual((done.returncode, done.stdout), (2, ""))
        self.assertIn("cannot open the log", done.stderr)
        self.assertEqual(os.listdir(self.prefix.maker_folder()), [], "nothing changed, not even the settings file")

        self.assertEqual(self.run_binary("install", "clap", "--log", log).returncode, 0)
        self.assertEqual(self.run_binary("verify", "clap", "--log=" + log, "--json").returncode, 0)
        with open(os.path.join(self.prefix.path, "drive_c", "install log.txt")) as f:
            lines = f.read().splitlines()
        stamp = r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}([+-]\d\d:\d\d|Z) "
        for line in lines:
            self.assertRegex(line, "^" + stamp, line)
        texts = [line.split(" ", 1)[1] for line in lines]
        self.assertEqual(texts[0], "ov_installer install clap --log \"%s\"" % log)
        self.assertRegex(texts[1], r"^CLAP: unpacked and verified 1 file, \d+ bytes$")
        self.assertEqual(texts[2], "CLAP: swapped the new bundle into " + self.prefix.shown(self.prefix.bundle("CLAP")))
        self.assertEqual(texts[3:], ["CLAP: removed the old bundle", "CLAP: installed", "exit code 0",
                                     "ov_installer verify clap \"--log=%s\" --json" % log, "CLAP: intact", "exit code 0"])

    def test_silent_switches_of_other_installers_are_usage_errors_that_open_no_window(self):
        for switch in ("/S", "/SILENT", "/verysilent", "/SuppressMsgBoxes", "/quiet", "/Q", "/qn", "/PASSIVE"):
            done = self.run_binary(switch, timeout=60)
            self.assertEqual((done.returncode, done.stdout), (2, ""), switch)
            self.assertIn("'ov_installer install all'", done.stderr, switch)
            self.assertNotIn("no display", done.stderr, switch)
        done = self.run_binary("/?")
        self.assertEqual(done.returncode, 0)
        self.assertTrue(done.stdout.startswith("Usage: ov_installer"), done.stdout)

    def test_install_follows_the_settings_file(self):
        with open(self.prefix.settings_file(), "w") as f:
            f.write('<Plugin_Manager_Settings VST3_Path="C:\\Studio\\VST3" CLAP_Path="C:/Studio/CLAP" '
                    'AAX_Path="C:\\Studio\\AAX"/>')
        done = self.run_binary("install", "clap", "--json")
        self.assertEqual(done.returncode, 0, done.stderr)
        studio = os.path.join(self.prefix.path, "drive_c", "Studio")
        self.assertEqual(json.loads(done.stdout)["formats"][0]["path"],
                         self.prefix.shown(os.path.join(studio, "CLAP", "Kelvara 2.clap")))
        self.assertEqual(snapshot(os.path.join(studio, "CLAP"), "Kelvara 2.clap"),
                         snapshot(os.path.join(self.expected, "CLAP"), "Kelvara 2.clap"))
        # The folders the file names are made at start, as the window makes them.
        self.assertTrue(os.path.isdir(os.path.join(studio, "VST3")))
        self.assertTrue(os.path.isdir(os.path.join(studio, "AAX")))
        self.assert_no_default_folders()

    def test_two_installs_at_once_both_complete(self):
        # Into fresh prefixes, so that both also race to create the same install folders.
        for _ in range(4):
            prefix = Prefix()
            try:
                env = headless_environment(prefix.path)
                runs = [subprocess.Popen([*PROGRAM.command, "install", "all"], env=env, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE, text=True) for _ in range(2)]
                for run in runs:
                    out, err = run.communicate(timeout=180)
                    self.assertEqual(run.returncode, 0, out + err)
                    self.assertEqual(out, "VST3: installed\nCLAP: installed\nAAX: installed\n")
                for name in ORDER:
                    self.assert_bundle_is_the_archive(name, prefix)
                self.assert_no_staging_left(prefix)
            finally:
                prefix.remove()

    def test_progress_goes_to_a_terminal_on_standard_error(self):
        leader, follower = pty.openpty()
        try:
            run = subprocess.Popen([*PROGRAM.command, "install", "clap", "aax"], env=headless_environment(self.prefix.path),
                                   stdout=subprocess.PIPE, stderr=follower, text=True)
            os.close(follower)
            follower = None
            out, _ = run.communicate(timeout=120)
            shown = b""
            while True:
                try:
                    chunk = os.read(leader, 4096)
                except OSError:      # the terminal's other side is closed once the program is gone
                    break
                if not chunk:
                    break
                shown += chunk
        finally:
            os.close(leader)
            if follower is not None:
                os.close(follower)
        self.assertEqual(run.returncode, 0)
        self.assertEqual(out, "CLAP: installed\nAAX: installed\n")
        # Wine's console adds its own cursor and title sequences around what the program writes.
        text = re.sub(r"\x1b\[(\d*)C", lambda m: " " * int(m.group(1) or 1), shown.decode())
        text = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]|\x1b\][^\x07]*\x07", "", text)
        text = re.sub(r"\r+\n", "\n", text)
        self.assertEqual(text, "Installing CLAP (1 of 2)...\nInstalling AAX (2 of 2)...\n")

    def test_the_commands_never_reach_for_a_display(self):
        if PROGRAM.is_wine:
            self.skipTest("Wine's display driver connects as soon as the program's user32 loads, before any "
                          "code of ours runs; the Linux build shows that the commands never ask for it")
        # A listening socket where an X server of an unused display number would be: a program
        # that set up its window system would connect to it.
        os.makedirs("/tmp/.X11-unix", exist_ok=True)
        number = next(n for n in range(4200, 4300) if not os.path.exists("/tmp/.X11-unix/X%d" % n))
        path = "/tmp/.X11-unix/X%d" % number
        server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            server.bind(path)
            server.listen(4)
            server.setblocking(False)
            env = dict(headless_environment(self.prefix.path), DISPLAY=":%d" % number)
            for args in (["status", "--json"], ["install", "clap"], ["uninstall", "clap"], ["--version"], ["install"]):
                done = subprocess.run([*PROGRAM.command, *args], env=env, capture_output=True, text=True, timeout=120)
                self.assertIn(done.returncode, (0, 2), (args, done.stderr))
                with self.assertRaises(BlockingIOError, msg="%s connected to the display" % args):
                    server.accept()
        finally:
            server.close()
            os.remove(path)

    def test_without_a_display_the_window_says_so_instead_of_crashing(self):
        # Arguments that are no command mean the window, as they always did.
        for args in ([], ["/X"], ["readme.txt"], ["Install", "vst3"]):
            done = self.run_binary(*args, timeout=60)
            self.assertEqual(done.returncode, 1, (args, done.stdout, done.stderr))
            self.assertEqual(done.stdout, "", args)
            self.assertIn("no display", done.stderr, args)
            self.assertNotIn("Try 'ov_installer --help'", done.stderr, args)   # no usage error
        self.assert_no_default_folders()

    # --- the rest of the command line ---------------------------------------------------------

    def test_help_and_version(self):
        for flag in ("--help", "-h"):
            done = self.run_binary(flag)
            self.assertEqual(done.returncode, 0)
            self.assertEqual(done.stderr, "")
            self.assertTrue(done.stdout.startswith("Usage: ov_installer"), done.stdout)
            for word in ("status", "install FORMAT...", "uninstall FORMAT...", "--json", "vst3, clap, aax or all"):
                self.assertIn(word, done.stdout)
            codes = [line.split(None, 1)[0] for line in done.stdout.split("Exit status:\n", 1)[1].splitlines()[:6]]
            self.assertEqual(codes, ["0", "1", "2", "3", "4", "5"], done.stdout)

        done = self.run_binary("--version")
        self.assertEqual((done.returncode, done.stdout, done.stderr), (0, "ov_installer 1.2.0\n", ""))

    def test_every_usage_error_exits_2_with_the_problem_and_the_hint_on_standard_error(self):
        cases = [
            (["--bogus"], "--bogus"),
            (["-S"], "-S"),
            (["status", "--verbose"], "--verbose"),
            (["status", "vst3"], "vst3"),
            (["install"], "format"),
            (["uninstall"], "format"),
            (["install", "vst2"], "vst2"),
            (["uninstall", "clap", "lv2"], "lv2"),
            (["install", "all", "--force"], "--force"),
            (["--json"], "--json"),
        ]
        for args, named in cases:
            done = self.run_binary(*args)
            self.assertEqual(done.returncode, 2, args)
            self.assertEqual(done.stdout, "", args)
            lines = done.stderr.splitlines()
            self.assertEqual(len(lines), 2, (args, done.stderr))
            self.assertIn(named, lines[0], args)
            self.assertIn("--help", lines[1], args)
        # Nothing was written: not the settings file, not a folder.
        self.assertEqual(self.prefix.added(), [])


def set_immutable(path, on):
    """The immutable attribute stops even root from removing or renaming a file or folder."""
    command = ["chattr", "+i", path] if on else ["chattr", "-R", "-i", path]
    return subprocess.run(command, capture_output=True).returncode == 0


class UndeletableFileTests(CommandLineTestCase):
    """Files the system refuses to delete, standing in for modules a running host holds. What
    was made immutable is released in tearDown whatever happened, wherever it was moved to."""
    def tearDown(self):
        set_immutable(self.common_files(), False)
        super().tearDown()

    def hold(self, path):
        if not set_immutable(path, True):
            self.skipTest("this file system has no immutable attribute")

    def release(self):
        self.assertTrue(set_immutable(self.common_files(), False))

    def common_files(self):
        return os.path.join(self.prefix.path, "drive_c", "Program Files", "Common Files")

    def test_update_and_uninstall_with_an_undeletable_file_succeed_and_it_goes_once_it_can(self):
        self.assertEqual(self.run_binary("install", "vst3", "aax").returncode, 0)
        for name in ("VST3", "AAX"):
            self.hold(os.path.join(self.prefix.folder(name), VERSION_FILES[name]))

        # An update: the archive's bundle is in place, the old one is left behind.
        done = self.run_binary("install", "vst3", "--json")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        entry = json.loads(done.stdout)["formats"][0]
        self.assertEqual((entry["result"], entry["reason"]), ("installed", None))
        self.assertIn("the old one could not be removed completely", entry["note"])
        self.assert_bundle_is_the_archive("VST3")

        # An uninstall: nothing is left where hosts look.
        done = self.run_binary("uninstall", "aax")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        lines = done.stdout.splitlines()
        self.assertEqual(lines[0], "AAX: uninstalled")
        self.assertTrue(lines[1].startswith("  note: The bundle is gone from where hosts look"), lines[1])
        self.assertFalse(os.path.exists(self.prefix.bundle("AAX")))
        self.assertEqual(self.status_json()["formats"][2]["state"], "absent")

        # The next run is not blocked, and nothing held is put back.
        done = self.run_binary("install", "vst3", "aax")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual([line.split(": ")[:2] for line in done.stdout.splitlines()],
                         [["VST3", "installed"], ["  note", "A leftover of an earlier run could not be removed yet"],
                          ["AAX", "installed"], ["  note", "A leftover of an earlier run could not be removed yet"]])
        self.assertEqual(self.run_binary("verify", "vst3", "aax").stdout, "VST3: intact\nAAX: intact\n")

        self.release()
        done = self.run_binary("uninstall", "vst3", "aax")
        self.assertEqual((done.returncode, done.stdout), (0, "VST3: uninstalled\nAAX: uninstalled\n"))
        self.assertEqual(os.listdir(self.prefix.folder("VST3")), [])
        self.assertEqual(os.listdir(self.prefix.folder("AAX")), [])

    def test_a_bundle_that_cannot_be_moved_stays_whole_on_uninstall(self):
        self.assertEqual(self.run_binary("install", "vst3").returncode, 0)
        self.hold(self.prefix.bundle("VST3"))

        done = self.run_binary("uninstall", "vst3")
        self.assertEqual(done.returncode, 1, done.stdout + done.stderr)
        self.assertTrue(done.stdout.startswith("VST3: failed: Could not move " + self.prefix.shown(self.prefix.bundle("VST3"))),
                        done.stdout)
        self.assertIn("nothing of it was removed", done.stdout)
        self.release()
        self.assert_bundle_is_the_archive("VST3")
        self.assert_no_staging_left()


class PlantedDllTests(CommandLineTestCase):
    """DLLs named like those the executable imports or loads, planted in a Downloads folder beside
    it or in the current folder, with Wine told to prefer them as Windows' search order would.
    Run with administrator rights, any of them loading would be someone else's code."""

    def setUp(self):
        if not PROGRAM.is_wine:
            self.skipTest("the Windows executable's DLL search; the Linux build loads no DLLs")
        super().setUp()

    def test_planted_dlls_never_load_and_the_commands_work_as_ever(self):
        for placement in ("beside the executable", "in the current folder"):
            with self.subTest(placement), tempfile.TemporaryDirectory(prefix="ov-downloads-") as planted, \
                    tempfile.TemporaryDirectory(prefix="ov-elsewhere-") as elsewhere:
                self.prefix.remove()
                self.prefix = Prefix()
                exe, cwd = PROGRAM.command[-1], planted
                if placement == "beside the executable":
                    exe, cwd = shutil.copy(exe, planted), elsewhere
                env = dict(headless_environment(self.prefix.path), **PROGRAM.plant_dlls(planted))

                def run(*args):
                    done = subprocess.run(["wine", exe, *args], env=env, cwd=cwd, capture_output=True, text=True,
                                          timeout=120)
                    return done.returncode, done.stdout

                self.assertEqual(run("--version"), (0, "ov_installer 1.2.0\n"))
                code, out = run("status")
                self.assertEqual((code, [line.split()[:2] for line in out.splitlines()]),
                                 (0, [[name, "absent"] for name in ORDER]))
                self.assertEqual(run("install", "all"), (0, "VST3: installed\nCLAP: installed\nAAX: installed\n"))
                for name in ORDER:
                    self.assert_bundle_is_the_archive(name)
                self.assertEqual(PROGRAM.loaded_dlls(planted), [])


class RunningHostTests(CommandLineTestCase):
    """A stand-in host holding the installed plug-in, as a studio's running host does. Under Wine,
    as on Windows, a loaded module cannot be deleted though its folder can be moved, and a file
    open without delete sharing cannot be moved at all."""

    def setUp(self):
        if not PROGRAM.is_wine:
            self.skipTest("on Linux an open or loaded file blocks neither a rename nor a delete")
        super().setUp()

    def hold(self, how, path):
        # Its words go to a file: read from a pipe, Wine hands them on only when the program ends.
        said = tempfile.NamedTemporaryFile("w+")
        self.addCleanup(said.close)
        holder = subprocess.Popen([*PROGRAM.tool("ov_module_holder"), how, self.prefix.shown(path)],
                                  env=headless_environment(self.prefix.path), stdin=subprocess.PIPE,
                                  stdout=said, stderr=subprocess.STDOUT, text=True)
        self.addCleanup(self.release, holder)

        def holding():
            said.seek(0)
            return said.read().startswith("holding ") or holder.poll() is not None
        deadline = time.monotonic() + 60
        while not holding() and time.monotonic() < deadline:
            time.sleep(0.2)
        said.seek(0)
        self.assertTrue(said.read().startswith("holding "), "the stand-in host holds nothing")
        return holder

    def release(self, holder):
        if holder.poll() is None:
            holder.stdin.close()
            holder.wait(60)

    def pending_removals(self):
        done = subprocess.run([*PROGRAM.tool("reg"), "query", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager",
                               "/v", "PendingFileRenameOperations"], env=headless_environment(self.prefix.path),
                              capture_output=True, text=True, timeout=60)
        return done.stdout

    def test_an_update_and_a_removal_with_a_loaded_module_succeed_and_it_goes_once_released(self):
        self.assertEqual(self.run_binary("install", "vst3").returncode, 0)
        holder = self.hold("load", os.path.join(self.prefix.folder("VST3"), VERSION_FILES["VST3"]))

        done = self.run_binary("install", "vst3", "--json")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        entry = json.loads(done.stdout)["formats"][0]
        self.assertEqual((entry["result"], entry["reason"]), ("installed", None))
        self.assertTrue(entry["note"], entry)
        self.assert_bundle_is_the_archive("VST3")
        # What the host still holds is queued for removal at the next restart.
        self.assertIn("Kelvara 2.vst3", self.pending_removals())

        done = self.run_binary("uninstall", "vst3")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual(done.stdout.splitlines()[0], "VST3: uninstalled")
        self.assertFalse(os.path.exists(self.prefix.bundle("VST3")))
        self.assertEqual(self.status_json()["formats"][0]["state"], "absent")

        self.release(holder)
        done = self.run_binary("uninstall", "vst3")
        self.assertEqual((done.returncode, done.stdout), (0, "VST3: uninstalled\n"))
        self.assertEqual(os.listdir(self.prefix.folder("VST3")), [])

    def test_a_file_held_open_stays_whole_and_the_run_exits_3_for_a_later_retry(self):
        self.assertEqual(self.run_binary("install", "clap", "aax").returncode, 0)
        holder = self.hold("open", self.prefix.bundle("CLAP"))

        done = self.run_binary("uninstall", "clap", "aax", "--json")
        self.assertEqual(done.returncode, 3, done.stdout + done.stderr)
        clap, aax = json.loads(done.stdout)["formats"]
        self.assertEqual((clap["result"], aax["result"]), ("failed", "uninstalled"))
        self.assertTrue(clap["reason"].startswith("Kelvara 2.clap is in use by "), clap["reason"])
        self.assertTrue(clap["reason"].endswith("; close it and run the installer again"), clap["reason"])
        self.assert_bundle_is_the_archive("CLAP")

        # Another kind of failure in the same run makes it an ordinary failure again.
        shutil.rmtree(self.prefix.folder("VST3"), ignore_errors=True)
        with open(self.prefix.folder("VST3"), "w") as f:
            f.write("in the way")
        done = self.run_binary("install", "vst3", "clap")
        self.assertEqual(done.returncode, 1, done.stdout + done.stderr)

        self.release(holder)
        self.assertEqual(self.run_binary("uninstall", "clap").returncode, 0)
        self.assertEqual(os.listdir(self.prefix.folder("CLAP")), [])


class DiskSpaceTests(CommandLineTestCase):
    """A small file system mounted as an install folder, as a nearly full volume."""

    def mount_small_file_system(self, folder, size):
        mount_small_file_system(self, folder, size)

    def unmount(self, folder):
        subprocess.run(["umount", folder], capture_output=True)

    def test_a_folder_without_room_fails_its_format_with_exit_4_before_anything_is_written(self):
        # 16 KiB, where the VST3 bundle needs 40 (39.5) and the staging folder would lie beside it.
        folder = self.prefix.folder("VST3")
        self.mount_small_file_system(folder, "16k")
        try:
            done = self.run_binary("install", "vst3", "clap")
            text_listing = os.listdir(folder)
            as_json = self.run_binary("install", "vst3", "--json")
            json_listing = os.listdir(folder)
        finally:
            self.unmount(folder)

        self.assertEqual(done.returncode, 4, done.stdout + done.stderr)
        reason = "Not enough space in %s: the bundle needs 40 KiB, but only 16 KiB is free" % self.prefix.shown(folder)
        self.assertEqual(done.stdout, "VST3: failed: %s\nCLAP: installed\n" % reason)
        self.assertEqual(text_listing, [], "nothing was written where there is no room")
        self.assert_bundle_is_the_archive("CLAP")

        self.assertEqual(as_json.returncode, 4, as_json.stdout + as_json.stderr)
        report = json.loads(as_json.stdout)
        self.assertEqual(report["exitCode"], 4)
        self.assertEqual([(f["format"], f["result"], f["code"], f["reason"]) for f in report["formats"]],
                         [("VST3", "failed", 4, reason)])
        self.assertEqual(json_listing, [])

    def test_a_folder_not_made_yet_is_judged_by_the_volume_it_would_be_made_on(self):
        # A small Avid folder; the AAX folder two levels below it does not exist yet.
        avid = os.path.join(self.prefix.path, "drive_c", "Program Files", "Common Files", "Avid")
        self.mount_small_file_system(avid, "16k")
        try:
            done = self.run_binary("install", "aax")
            listing = os.listdir(avid)
        finally:
            self.unmount(avid)
        self.assertEqual(done.returncode, 4, done.stdout + done.stderr)
        self.assertEqual(done.stdout, "AAX: failed: Not enough space in %s: the bundle needs 39 KiB, but only 16 KiB "
                                      "is free\n" % self.prefix.shown(self.prefix.folder("AAX")))
        self.assertEqual(listing, [], "not even the install folder was made")


KEPT_COPY = ("Program Files", "Orvanta", "Kelvara 2", "ov_installer.exe")


class AppsEntryTests(CommandLineTestCase):
    """Windows' Apps & features entry and the kept copy that removes the product, read in the
    test prefix's registry with Wine's reg, as Settings and winget read them."""

    def setUp(self):
        if not PROGRAM.is_wine:
            self.skipTest("a Wine prefix's registry belongs to Wine: only the Windows build writes an entry")
        super().setUp()

    def entry(self):
        """The entry's values by name, as (type, data), and reg's own text; None without an entry."""
        done = subprocess.run([*PROGRAM.tool("reg"), "query", UNINSTALL_KEY, "/reg:64"],
                              env=headless_environment(self.prefix.path), capture_output=True, text=True, timeout=60)
        if done.returncode != 0:
            return None, done.stdout
        values = {}
        for line in done.stdout.splitlines():
            match = re.match(r"^\s+(\S+)\s+(REG_\w+)\s+(.*?)\s*$", line)
            if match:
                values[match.group(1)] = (match.group(2), match.group(3))
        return values, done.stdout

    def bundle_bytes(self):
        total = 0
        for name in ORDER:
            bundle = self.prefix.bundle(name)
            if os.path.isfile(bundle):
                total += os.path.getsize(bundle)
            for base, _, files in os.walk(bundle):
                total += sum(os.path.getsize(os.path.join(base, f)) for f in files)
        return total

    def kept_copy(self):
        return os.path.join(self.prefix.path, "drive_c", *KEPT_COPY)

    def test_the_entry_follows_the_disk_and_the_quiet_uninstall_leaves_nothing_after_a_restart(self):
        downloads = os.path.join(self.prefix.path, "drive_c", "Downloads")
        os.makedirs(downloads)
        downloaded = os.path.join(downloads, "ov_installer.exe")
        shutil.copyfile(PROGRAM.command[-1], downloaded)
        env = headless_environment(self.prefix.path)
        run = ["wine", self.prefix.shown(downloaded)]

        done = subprocess.run([*run, "install", "all"], env=env, capture_output=True, text=True, timeout=180)
        self.assertEqual((done.returncode, done.stdout), (0, "VST3: installed\nCLAP: installed\nAAX: installed\n"),
                         done.stderr)
        values, shown = self.entry()
        self.assertIsNotNone(values, "no entry after an install")
        print("\n" + shown, file=sys.stderr)
        command = '"C:\\Program Files\\Orvanta\\Kelvara 2\\ov_installer.exe" uninstall all'
        today = time.strftime("%Y%m%d")
        expected = {
            "DisplayName": ("REG_SZ", "Kelvara 2"), "DisplayVersion": ("REG_SZ", "2.4.3"), "Publisher": ("REG_SZ", "Orvanta"),
            "DisplayIcon": ("REG_SZ", "C:\\Program Files\\Orvanta\\Kelvara 2\\ov_installer.exe"),
            "URLInfoAbout": ("REG_SZ", "https://www.orvanta-audio.example/products/kelvara-2"),
            "HelpLink": ("REG_SZ", "https://docs.orvanta-audio.example/manuals/Kelvara_2_Manual.pdf"),
            "UninstallString": ("REG_SZ", command), "QuietUninstallString": ("REG_SZ", command),
            "NoModify": ("REG_DWORD", "0x1"), "NoRepair": ("REG_DWORD", "0x1"),
        }
        self.assertEqual({k: v for k, v in values.items() if k in expected}, expected)
        self.assertEqual(sorted(values), sorted(list(expected) + ["EstimatedSize", "InstallDate"]))
        # Around midnight the run may have written the day before the test asked.
        self.assertIn(values["InstallDate"], [("REG_SZ", today), ("REG_SZ", time.strftime("%Y%m%d", time.localtime(time.time() - 600)))])
        self.assertEqual(values["EstimatedSize"][0], "REG_DWORD")
        size_all = int(values["EstimatedSize"][1], 16)
        on_disk = self.bundle_bytes() / 1024
        self.assertLessEqual(abs(size_all - on_disk), 0.2 * on_disk, (size_all, on_disk))

        # The kept copy is the downloaded installer, outside the downloads folder.
        with open(downloaded, "rb") as a, open(self.kept_copy(), "rb") as b:
            self.assertEqual(a.read(), b.read())
        self.assertEqual(sorted(os.listdir(os.path.dirname(self.kept_copy()))), ["ov_installer.exe"])

        # One format fewer: the entry stays, smaller.
        done = subprocess.run([*run, "uninstall", "clap"], env=env, capture_output=True, text=True, timeout=180)
        self.assertEqual((done.returncode, done.stdout), (0, "CLAP: uninstalled\n"), done.stderr)
        values, _ = self.entry()
        self.assertIsNotNone(values, "removing one format removed the entry")
        size_two = int(values["EstimatedSize"][1], 16)
        self.assertLess(size_two, size_all)
        self.assertLessEqual(abs(size_two - self.bundle_bytes() / 1024), 0.2 * self.bundle_bytes() / 1024)

        # As winget runs it: the command line of QuietUninstallString, the download long gone.
        os.remove(downloaded)
        done = self.run_quiet_uninstall()
        self.assertEqual((done.returncode, done.stdout), (0, "VST3: uninstalled\nCLAP: uninstalled\nAAX: uninstalled\n"),
                         done.stderr)
        for name in ORDER:
            self.assertFalse(os.path.exists(self.prefix.bundle(name)), name)
        self.assert_no_staging_left()
        values, shown = self.entry()
        self.assertIsNone(values, shown)

        # A running program cannot delete itself: its copy goes at the next restart.
        self.assertTrue(os.path.exists(self.kept_copy()))
        subprocess.run(["wineboot", "-r"], env=env, capture_output=True, timeout=300)
        self.assertFalse(os.path.exists(self.kept_copy()))
        self.assertFalse(os.path.exists(os.path.join(self.prefix.path, "drive_c", *KEPT_COPY[:2])))

    def run_quiet_uninstall(self):
        values, shown = self.entry()
        self.assertIsNotNone(values, shown)
        exe, arguments = re.match(r'^"([^"]+)" (.*)$', values["QuietUninstallString"][1]).groups()
        return subprocess.run(["wine", exe, *arguments.split()], env=headless_environment(self.prefix.path),
                              capture_output=True, text=True, timeout=180)

    def test_installing_again_before_the_restart_keeps_the_copy_the_entry_runs(self):
        self.assertEqual(self.run_binary("install", "clap").returncode, 0)
        done = self.run_quiet_uninstall()
        self.assertEqual((done.returncode, done.stdout), (0, "VST3: uninstalled\nCLAP: uninstalled\nAAX: uninstalled\n"),
                         done.stderr)
        self.assertIsNone(self.entry()[0])

        # The copy that was queued for removal is the one the new entry names again.
        done = self.run_binary("install", "clap")
        self.assertEqual((done.returncode, done.stdout), (0, "CLAP: installed\n"), done.stderr)
        subprocess.run(["wineboot", "-r"], env=headless_environment(self.prefix.path), capture_output=True, timeout=300)
        self.assertTrue(os.path.isfile(self.kept_copy()), "the restart removed the copy the entry runs")
        self.assertIsNotNone(self.entry()[0])
        self.assertEqual(self.run_quiet_uninstall().returncode, 0)

    def test_a_kept_copy_that_cannot_be_written_is_a_note_and_never_fails_the_run(self):
        blocked = os.path.dirname(self.kept_copy())
        os.makedirs(os.path.dirname(blocked))
        with open(blocked, "w") as f:
            f.write("a file where the folder belongs")

        done = self.run_binary("install", "clap", "--json")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        clap = json.loads(done.stdout)["formats"][0]
        self.assertEqual((clap["result"], clap["code"]), ("installed", 0))
        self.assertTrue(clap["note"].startswith("Windows' Apps & features entry could not be brought up to date "
                                                "(the installer's copy for removing it later: "), clap["note"])
        self.assert_bundle_is_the_archive("CLAP")
        with open(blocked) as f:
            self.assertEqual(f.read(), "a file where the folder belongs")

    def test_removing_the_last_format_from_another_copy_removes_the_entry_and_the_kept_copy(self):
        self.assertEqual(self.run_binary("install", "aax").returncode, 0)
        self.assertIsNotNone(self.entry()[0])
        self.assertTrue(os.path.isfile(self.kept_copy()))

        # A run that leaves a format in place keeps them both.
        self.assertEqual(self.run_binary("uninstall", "vst3").returncode, 0)
        self.assertIsNotNone(self.entry()[0])

        done = self.run_binary("uninstall", "aax")
        self.assertEqual((done.returncode, done.stdout), (0, "AAX: uninstalled\n"), done.stderr)
        self.assertIsNone(self.entry()[0])
        self.assertFalse(os.path.exists(os.path.join(self.prefix.path, "drive_c", *KEPT_COPY[:2])))


if __name__ == "__main__":
    PROGRAM = program_from_arguments(sys.argv)
    unittest_main.main()
