"""The Ansible playbook run against this machine into temporary Wine prefixes, and its lint."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import unittest_main  # noqa: E402

BINARY = None
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
PLAYBOOK_FOLDER = os.path.join(ROOT, "deploy", "ansible")
PLAYBOOK = os.path.join(PLAYBOOK_FOLDER, "ov_installer.yml")
RESOURCES = os.path.join(ROOT, "resources")
MODULES = os.path.join(ROOT, "tests", "data", "modules")

FORMATS = {
    # name: (folder below Common Files, bundle name, archive)
    "VST3": ("VST3", "Kelvara 2.vst3", "vst3.zip"),
    "CLAP": ("CLAP", "Kelvara 2.clap", "clap.zip"),
    "AAX": ("Avid/Audio/Plug-Ins", "Kelvara 2.aaxplugin", "aax.zip"),
}


def archive_contents(archive):
    """Each file the archive unpacks to, with its bytes, as Python's zip reader sees it."""
    found = {}
    with zipfile.ZipFile(os.path.join(RESOURCES, archive)) as zf:
        for info in zf.infolist():
            name = info.filename.replace("\\", "/")
            if not name.endswith("/"):
                found[name] = zf.read(info)
    return found


def installed_contents(folder, bundle):
    """Each file of an installed bundle, relative to its install folder, with its bytes."""
    root = os.path.join(folder, bundle)
    if os.path.isfile(root):
        with open(root, "rb") as f:
            return {bundle: f.read()}
    found = {}
    for base, _, files in os.walk(root):
        for name in files:
            path = os.path.join(base, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder).replace(os.sep, "/")] = f.read()
    return found


def identities(root):
    """The inode and modification time of a tree's every entry: what a reinstall would change."""
    found = {}
    for base, folders, files in os.walk(root):
        for name in [""] + folders + files:
            path = os.path.join(base, name)
            found[path] = (os.stat(path).st_ino, os.stat(path).st_mtime_ns)
    return found


def ansible_environment(work):
    """The environment for Ansible's tools: no display, no colour, every cache inside work."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(ANSIBLE_NOCOLOR="1", NO_COLOR="1", ANSIBLE_HOME=os.path.join(work, "ansible"),
               ANSIBLE_LOCAL_TEMP=os.path.join(work, "ansible", "tmp"),
               ANSIBLE_REMOTE_TEMP=os.path.join(work, "ansible", "remote"),
               ANSIBLE_RETRY_FILES_ENABLED="0", XDG_CACHE_HOME=os.path.join(work, "cache"))
    return env


INSTALL_TASK = "Install the formats that are missing, out of date or damaged"
REMOVE_TASK = "Remove the formats that are there"
PLAN_TASK = "The formats that would change"


class Play:
    """One run of the playbook as its JSON output tells it, for localhost."""

    def __init__(self, stats, tasks, output):
        self.stats, self.tasks, self.output = stats, tasks, output

    def outcome_of(self, task):
        """changed, ok or skipping for a task that ran; None for one that was never reached."""
        result = self.tasks.get(task)
        if result is None:
            return None
        return "skipping" if result.get("skipped") else "changed" if result.get("changed") else "ok"


class PlaybookTests(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="ov-ansible-")
        self.prefix = os.path.join(self.work, "prefix")
        os.makedirs(os.path.join(self.prefix, "drive_c", "ProgramData", "Orvanta"))
        self.installer_on_host = os.path.join(self.work, "host-bin", "ov_installer")
        self.host_temp = os.path.join(self.work, "host-tmp")
        os.makedirs(os.path.dirname(self.installer_on_host))
        os.makedirs(self.host_temp)

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def folder(self, name):
        return os.path.join(self.prefix, "drive_c", "Program Files", "Common Files", FORMATS[name][0])

    def bundle(self, name):
        return os.path.join(self.folder(name), FORMATS[name][1])

    def play(self, formats, state=None, check=False):
        """Runs the playbook and returns what it did on localhost."""
        variables = {
            "ov_installer_source": BINARY,
            "ov_installer_path": self.installer_on_host,
            "ov_formats": formats,
            "ov_wineprefix": self.prefix,
            # The test's installer path belongs to the user running it.
            "ov_become": False,
            "ansible_python_interpreter": sys.executable,
        }
        if state:
            variables["ov_state"] = state
        env = dict(ansible_environment(self.work), ANSIBLE_STDOUT_CALLBACK="json", TMPDIR=self.host_temp)
        done = subprocess.run(["ansible-playbook", "-i", "localhost,", "-c", "local", PLAYBOOK,
                               "-e", json.dumps(variables)] + (["--check"] if check else []),
                              env=env, capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        report = json.loads(done.stdout)
        tasks = {task["task"]["name"]: task["hosts"].get("localhost")
                 for played in report["plays"] for task in played["tasks"]}
        return Play(report["stats"]["localhost"], tasks, done.stdout)

    def install_directly(self, *formats):
        done = subprocess.run([BINARY, "install", *formats], env=dict(os.environ, WINEPREFIX=self.prefix),
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def install_old_vst3(self):
        old_module = os.path.join(self.bundle("VST3"), "Contents", "x86_64-win", "Kelvara 2.vst3")
        os.makedirs(os.path.dirname(old_module))
        shutil.copyfile(os.path.join(MODULES, "version_2.4.2.9.dll"), old_module)

    def prefix_snapshot(self):
        """Every file in the prefix with its bytes. Folders are left out: asking the installer
        anything makes the install folders that the settings name, and an empty folder is no
        plug-in."""
        found = {}
        for base, _, files in os.walk(self.prefix):
            for name in files:
                with open(os.path.join(base, name), "rb") as f:
                    found[os.path.join(base, name)] = f.read()
        return found

    def assert_is_the_archive(self, name):
        self.assertEqual(installed_contents(self.folder(name), FORMATS[name][1]), archive_contents(FORMATS[name][2]), name)

    def assert_nothing_changes_on_a_second_run(self, formats, state=None):
        second = self.play(formats, state)
        self.assertEqual(second.stats["changed"], 0, second.output)
        self.assertEqual(second.outcome_of(INSTALL_TASK if state != "absent" else REMOVE_TASK), "skipping", second.output)

    def test_the_first_run_installs_and_the_second_changes_nothing(self):
        first = self.play(["all"])
        self.assertGreaterEqual(first.stats["changed"], 1, first.output)
        self.assertEqual(first.stats["failures"], 0, first.output)
        self.assertEqual(first.outcome_of(INSTALL_TASK), "changed", first.output)
        for name in FORMATS:
            self.assert_is_the_archive(name)
        with open(self.installer_on_host, "rb") as copied, open(BINARY, "rb") as original:
            self.assertEqual(copied.read(), original.read())

        self.assert_nothing_changes_on_a_second_run(["all"])
        for name in FORMATS:
            self.assert_is_the_archive(name)

    def test_only_the_formats_asked_for_that_are_not_current_are_installed(self):
        # Formats as one string. AAX is current already and must not be touched, VST3 is an
        # older release, CLAP is absent but not asked for.
        self.install_directly("aax")
        aax_before = identities(self.bundle("AAX"))
        self.install_old_vst3()

        first = self.play("VST3, aax")
        self.assertGreaterEqual(first.stats["changed"], 1, first.output)
        self.assertEqual(first.tasks[INSTALL_TASK]["cmd"][1:], ["install", "vst3", "--json"], first.output)
        self.assert_is_the_archive("VST3")
        self.assertFalse(os.path.exists(self.bundle("CLAP")))
        self.assertEqual(identities(self.bundle("AAX")), aax_before)

        self.assert_nothing_changes_on_a_second_run("vst3,AAX")
        self.assertEqual(identities(self.bundle("AAX")), aax_before)
        self.assertFalse(os.path.exists(self.bundle("CLAP")))

    def test_check_mode_reports_what_would_change_and_changes_nothing_on_a_host_without_the_installer(self):
        self.install_directly("aax")
        self.install_old_vst3()
        before = self.prefix_snapshot()

        checked = self.play(["all"], check=True)
        self.assertGreaterEqual(checked.stats["changed"], 1, checked.output)
        self.assertEqual(checked.tasks[PLAN_TASK]["msg"], "install VST3 CLAP", checked.output)
        self.assertEqual(self.prefix_snapshot(), before)
        self.assertFalse(os.path.exists(self.installer_on_host))
        self.assertEqual(os.listdir(self.host_temp), [], "the temporary copy of the installer is left behind")

    def test_a_damaged_bundle_is_repaired(self):
        self.install_directly("all")
        module = os.path.join(self.bundle("VST3"), "Contents", "x86_64-win", "Kelvara 2.vst3")
        with open(module, "r+b") as f:
            f.seek(os.path.getsize(module) // 2)
            byte = f.read(1)
            f.seek(-1, os.SEEK_CUR)
            f.write(bytes([byte[0] ^ 0xFF]))

        repaired = self.play(["all"])
        self.assertEqual(repaired.outcome_of(INSTALL_TASK), "changed", repaired.output)
        self.assertEqual(repaired.tasks[INSTALL_TASK]["cmd"][1:], ["install", "vst3", "--json"], repaired.output)
        for name in FORMATS:
            self.assert_is_the_archive(name)
        self.assert_nothing_changes_on_a_second_run(["all"])

    def test_absent_removes_the_formats_asked_for_that_are_there(self):
        self.install_directly("vst3", "aax")
        before = self.prefix_snapshot()

        checked = self.play("clap,aax", "absent", check=True)
        self.assertEqual(checked.tasks[PLAN_TASK]["msg"], "uninstall AAX", checked.output)
        self.assertEqual(self.prefix_snapshot(), before)

        removed = self.play("clap,aax", "absent")
        self.assertEqual(removed.outcome_of(REMOVE_TASK), "changed", removed.output)
        self.assertFalse(os.path.exists(self.bundle("AAX")))
        self.assertFalse(os.path.exists(self.bundle("CLAP")))
        self.assert_is_the_archive("VST3")
        self.assert_nothing_changes_on_a_second_run("clap,aax", "absent")


class PlaybookLintTests(unittest.TestCase):
    """The Windows steps cannot run here; Ansible's own checks read every one of them."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="ov-ansible-lint-")
        self.addCleanup(shutil.rmtree, self.work, True)

    def run_tool(self, command):
        done = subprocess.run(command, cwd=PLAYBOOK_FOLDER, env=ansible_environment(self.work),
                              capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_the_playbook_passes_the_syntax_check(self):
        self.run_tool(["ansible-playbook", "--syntax-check", "-i", "localhost,", PLAYBOOK])

    def test_the_playbook_passes_the_production_lint(self):
        # Offline: the lint uses the rules and schemas it was installed with.
        self.run_tool(["ansible-lint", "--offline", "--profile", "production", PLAYBOOK_FOLDER])


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest_main.main()
