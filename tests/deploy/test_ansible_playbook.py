"""The Ansible playbook run against this machine into temporary Wine prefixes, twice."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

BINARY = None
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
PLAYBOOK = os.path.join(ROOT, "deploy", "ansible", "ov_installer.yml")
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


class PlaybookTests(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="ov-ansible-")
        self.prefix = os.path.join(self.work, "prefix")
        os.makedirs(os.path.join(self.prefix, "drive_c", "ProgramData", "Orvanta"))
        self.installer_on_host = os.path.join(self.work, "host-bin", "ov_installer")

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def folder(self, name):
        return os.path.join(self.prefix, "drive_c", "Program Files", "Common Files", FORMATS[name][0])

    def bundle(self, name):
        return os.path.join(self.folder(name), FORMATS[name][1])

    def play(self, formats):
        """Runs the playbook and returns its recap for localhost as a dict of counts."""
        variables = {
            "ov_installer_source": BINARY,
            "ov_installer_path": self.installer_on_host,
            "ov_formats": formats,
            "ov_wineprefix": self.prefix,
            "ansible_python_interpreter": sys.executable,
        }
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        env.update(ANSIBLE_NOCOLOR="1", ANSIBLE_HOME=os.path.join(self.work, "ansible"),
                   ANSIBLE_LOCAL_TEMP=os.path.join(self.work, "ansible", "tmp"),
                   ANSIBLE_REMOTE_TEMP=os.path.join(self.work, "ansible", "remote"),
                   ANSIBLE_RETRY_FILES_ENABLED="0")
        os.makedirs(os.path.dirname(self.installer_on_host), exist_ok=True)
        done = subprocess.run(["ansible-playbook", "-i", "localhost,", "-c", "local", PLAYBOOK,
                               "-e", json.dumps(variables)],
                              env=env, capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        recap = re.search(r"^localhost\s*:\s*(.*)$", done.stdout, re.MULTILINE)
        self.assertIsNotNone(recap, done.stdout)
        return {key: int(value) for key, value in re.findall(r"(\w+)=(\d+)", recap.group(1))}, done.stdout

    @staticmethod
    def outcome_of(task, output):
        """What the default output says happened in a task on localhost: ok, changed, skipping."""
        found = re.search(r"^TASK \[" + re.escape(task) + r"\] \**\n(\w+): \[localhost\]", output, re.MULTILINE)
        return found.group(1) if found else None

    def assert_is_the_archive(self, name):
        self.assertEqual(installed_contents(self.folder(name), FORMATS[name][1]), archive_contents(FORMATS[name][2]), name)

    def test_the_first_run_installs_and_the_second_changes_nothing(self):
        first, output = self.play(["all"])
        self.assertGreaterEqual(first["changed"], 1, output)
        self.assertEqual(first["failed"], 0, output)
        self.assertEqual(self.outcome_of("Install the formats that are not current", output), "changed", output)
        for name in FORMATS:
            self.assert_is_the_archive(name)
        with open(self.installer_on_host, "rb") as copied, open(BINARY, "rb") as original:
            self.assertEqual(copied.read(), original.read())

        second, output = self.play(["all"])
        self.assertEqual(second["changed"], 0, output)
        self.assertEqual(second["failed"], 0, output)
        self.assertEqual(self.outcome_of("Install the formats that are not current", output), "skipping", output)
        for name in FORMATS:
            self.assert_is_the_archive(name)

    def test_only_the_formats_asked_for_that_are_not_current_are_installed(self):
        # AAX is current already: a file of its own inside proves it is left alone. VST3 is an
        # older release, CLAP is absent but not asked for.
        self.assertEqual(subprocess.run([BINARY, "install", "aax"], env=dict(os.environ, WINEPREFIX=self.prefix),
                                        capture_output=True).returncode, 0)
        marker = os.path.join(self.bundle("AAX"), "Contents", "user-settings.xml")
        with open(marker, "w") as f:
            f.write("kept")
        old_module = os.path.join(self.bundle("VST3"), "Contents", "x86_64-win", "Kelvara 2.vst3")
        os.makedirs(os.path.dirname(old_module))
        shutil.copyfile(os.path.join(MODULES, "version_2.4.2.9.dll"), old_module)

        first, output = self.play(["VST3", "aax"])
        self.assertGreaterEqual(first["changed"], 1, output)
        self.assert_is_the_archive("VST3")
        self.assertFalse(os.path.exists(self.bundle("CLAP")))
        with open(marker) as f:
            self.assertEqual(f.read(), "kept")

        second, output = self.play(["VST3", "aax"])
        self.assertEqual(second["changed"], 0, output)
        self.assertTrue(os.path.exists(marker))
        self.assertFalse(os.path.exists(self.bundle("CLAP")))


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
