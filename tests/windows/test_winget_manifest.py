"""The winget manifest of the Windows executable: tools/make_winget_manifest.py run for the built
ov_installer.exe, each file validated against winget's own schema, and its facts checked against
the executable itself: its bytes, its PE headers and embedded manifest, and what it reports and
does under Wine when started with the manifest's switches.

    python3 test_winget_manifest.py EXE
"""
import copy
import hashlib
import importlib.util
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

import jsonschema
import pefile
import yaml

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
import unittest_main  # noqa: E402
from installer_program import WineProgram  # noqa: E402

ROOT = os.path.join(HERE, "..", "..")
SCRIPT = os.path.join(ROOT, "tools", "make_winget_manifest.py")
SCHEMAS = os.path.join(ROOT, "tests", "data", "winget-manifest-schema-1.10.0")
PRODUCT_DEFINITION = os.path.join(ROOT, "core", "ProductDefinition.h")
URL = "https://downloads.orvanta-audio.example/kelvara-2/2.4.3/ov_installer.exe"

EXE = None
PROGRAM = None      # the executable under Wine, for what it reports and does


def schema(manifest_type):
    with open(os.path.join(SCHEMAS, "manifest.%s.1.10.0.json" % manifest_type), encoding="utf-8") as f:
        return json.load(f)


def schema_errors(manifest_type, document):
    validator = jsonschema.Draft7Validator(schema(manifest_type))
    return ["%s: %s" % ("/".join(map(str, error.absolute_path)), error.message)
            for error in validator.iter_errors(document)]


def header_constant(name):
    with open(PRODUCT_DEFINITION, encoding="utf-8") as f:
        return re.search(r'\b%s\s*=\s*"([^"]*)"' % name, f.read()).group(1)


def windows_arguments(command_line):
    """The arguments a Windows program gets from a command line like winget's, whose quoted
    parts hold backslashes and spaces."""
    return [a[1:-1] if len(a) > 1 and a[0] == a[-1] == '"' else a for a in shlex.split(command_line, posix=False)]


def make_manifest(exe, url, outdir):
    return subprocess.run([sys.executable, SCRIPT, exe, url, outdir], capture_output=True, text=True, timeout=60)


class WingetManifestTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.outdir = tempfile.mkdtemp(prefix="ov-winget-")
        done = make_manifest(EXE, URL, cls.outdir)
        if done.returncode != 0:
            raise AssertionError("make_winget_manifest.py failed: " + done.stderr)
        cls.texts, cls.documents, cls.names = {}, {}, {}
        for name in sorted(os.listdir(cls.outdir)):
            with open(os.path.join(cls.outdir, name), encoding="utf-8") as f:
                text = f.read()
            document = yaml.safe_load(text)
            manifest_type = document["ManifestType"]
            cls.texts[manifest_type], cls.documents[manifest_type], cls.names[manifest_type] = text, document, name
        installer = cls.documents["installer"]
        # Fields at the root hold for every installer that does not set them itself.
        root = {k: v for k, v in installer.items() if k != "Installers"}
        if len(installer["Installers"]) != 1:
            raise AssertionError("one installer expected, found %d" % len(installer["Installers"]))
        cls.installer = dict(root, **installer["Installers"][0])
        cls.pe = pefile.PE(EXE)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.outdir, ignore_errors=True)

    def status(self, env):
        done = subprocess.run([*PROGRAM.command, "status", "--json"], env=env, capture_output=True, text=True,
                              timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        return json.loads(done.stdout)

    def test_three_files_named_and_headed_as_winget_expects(self):
        identifier = self.documents["version"]["PackageIdentifier"]
        self.assertEqual(self.names, {"version": identifier + ".yaml",
                                      "installer": identifier + ".installer.yaml",
                                      "defaultLocale": identifier + ".locale.en-US.yaml"})
        self.assertEqual(len(os.listdir(self.outdir)), 3)
        for manifest_type, document in self.documents.items():
            self.assertEqual((document["PackageIdentifier"], document["PackageVersion"], document["ManifestVersion"]),
                             (identifier, self.documents["version"]["PackageVersion"], "1.10.0"), manifest_type)
            comments = [line for line in self.texts[manifest_type].splitlines() if line.startswith("#")]
            self.assertIn("# yaml-language-server: $schema=" + schema(manifest_type)["$id"], comments, manifest_type)
        self.assertEqual(self.documents["version"]["DefaultLocale"], self.documents["defaultLocale"]["PackageLocale"])

    def test_each_file_validates_against_winget_schema(self):
        for manifest_type, document in self.documents.items():
            self.assertEqual(schema_errors(manifest_type, document), [], manifest_type)

    def test_schema_validation_rejects_broken_installer_manifests(self):
        def broken(change):
            document = copy.deepcopy(self.documents["installer"])
            change(document)
            return document

        def shorter_hash(document):
            entry = document["Installers"][0]
            entry["InstallerSha256"] = entry["InstallerSha256"][1:]

        cases = {
            "a return response winget does not know": lambda d: d["ExpectedReturnCodes"][0].update(ReturnResponse="inUse"),
            "return code 0 listed as expected": lambda d: d["ExpectedReturnCodes"][0].update(InstallerReturnCode=0),
            "a hash one digit short": shorter_hash,
            "a scope that is not one": lambda d: d.update(Scope="system"),
        }
        for what, change in cases.items():
            with self.subTest(what):
                self.assertNotEqual(schema_errors("installer", broken(change)), [])

    def test_installer_sha256_is_the_executables_own_in_upper_case(self):
        with open(EXE, "rb") as f:
            expected = hashlib.sha256(f.read()).hexdigest().upper()
        self.assertEqual((self.installer["InstallerSha256"], self.installer["InstallerUrl"]), (expected, URL))

    def test_architecture_scope_and_elevation_follow_the_executable(self):
        self.assertEqual(self.pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"])
        manifest = next(entry for entry in self.pe.DIRECTORY_ENTRY_RESOURCE.entries
                        if entry.id == pefile.RESOURCE_TYPE["RT_MANIFEST"])
        data = manifest.directory.entries[0].directory.entries[0].data.struct
        level = ElementTree.fromstring(self.pe.get_data(data.OffsetToData, data.Size)).find(
            ".//{urn:schemas-microsoft-com:asm.v3}requestedExecutionLevel").get("level")
        self.assertEqual(level, "requireAdministrator")
        # Started unelevated, the executable asks UAC for administrator rights itself.
        entry = self.installer
        self.assertEqual((entry["Architecture"], entry["InstallerType"], entry["Scope"],
                          entry["ElevationRequirement"]), ("x64", "exe", "machine", "elevatesSelf"))

    def test_expected_return_codes_are_the_command_lines(self):
        codes = self.installer["ExpectedReturnCodes"]
        self.assertEqual({c["InstallerReturnCode"]: c["ReturnResponse"] for c in codes},
                         {3: "packageInUse", 4: "diskFull", 5: "downgrade"})
        self.assertEqual(len(codes), 3)

    def test_apps_and_features_entry_is_what_the_executable_reports(self):
        status = self.status(PROGRAM.environment(PROGRAM.new_prefix(), PROGRAM.base))
        strings = {k.decode(): v.decode() for info in self.pe.FileInfo[0] if info.Key == b"StringFileInfo"
                   for table in info.StringTable for k, v in table.entries.items()}
        publisher = strings["CompanyName"]
        self.assertEqual((status["product"], status["productVersion"], publisher),
                         (header_constant("rawProductName").replace("_", " ", 1), header_constant("productVersion"),
                          header_constant("makerName")))

        subkey = "%s %s" % (publisher, status["product"])     # the Uninstall subkey's name
        self.assertEqual(self.installer["AppsAndFeaturesEntries"], [{
            "DisplayName": status["product"], "Publisher": publisher, "DisplayVersion": status["productVersion"],
            "ProductCode": subkey, "InstallerType": "exe"}])
        self.assertEqual(self.installer["ProductCode"], subkey)
        locale = self.documents["defaultLocale"]
        self.assertEqual((locale["PackageName"], locale["Publisher"], locale["PackageUrl"],
                          self.documents["version"]["PackageVersion"]),
                         (status["product"], publisher, header_constant("productPageAddress"), status["productVersion"]))
        self.assertEqual(locale["Documentations"],
                         [{"DocumentLabel": "Manual", "DocumentUrl": header_constant("manualAddress")}])

    def test_silent_and_log_switches_install_every_format_as_winget_starts_it(self):
        prefix = PROGRAM.new_prefix()
        env = PROGRAM.environment(prefix, PROGRAM.base)
        switches = self.installer["InstallerSwitches"]
        self.assertEqual(switches["SilentWithProgress"], switches["Silent"])
        # winget passes a log path of its own, which may hold spaces: the switch must quote it.
        log_folder = os.path.join(prefix, "drive_c", "winget logs")
        os.makedirs(log_folder)
        log = PROGRAM.shown_path(prefix, os.path.join(log_folder, "Orvanta.Kelvara2 install.log"))
        arguments = windows_arguments(switches["Silent"] + " " + switches["Log"].replace("<LOGPATH>", log))
        done = subprocess.run([*PROGRAM.command, *arguments], env=env, capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

        self.assertEqual([f["state"] for f in self.status(env)["formats"]], ["installed"] * 3)
        with open(os.path.join(log_folder, "Orvanta.Kelvara2 install.log"), encoding="utf-8") as f:
            lines = [line.split(" ", 1)[1] for line in f.read().splitlines()]
        self.assertEqual(lines[0], 'ov_installer install all --log "%s"' % log)
        self.assertEqual(lines[-1], "exit code 0")

    def test_values_yaml_could_read_otherwise_stay_the_same_strings(self):
        # Versions such as 2.5, hashes of digits only and free text go through the same writer.
        spec = importlib.util.spec_from_file_location("make_winget_manifest", SCRIPT)
        writer = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(writer)
        values = ["2.5", "3", "1e5", "2.4.3", "yes", "Off", "null", "~", "0x1F", "1:20", "7" * 64, "1" * 60 + "E123",
                  '--log "<LOGPATH>"', "a: b", "it's # not a comment", " padded ", "[x]", "{x}", "&anchor", "*alias",
                  "!tag", "%directive", "@at", "`tick`", "|", ">", "-", "? key", "https://example.org/a#b"]
        for value in values:
            with self.subTest(value):
                lines = writer.yaml_lines([("Key", value), ("List", [value]), ("Map", [[("Inner", value)]])])
                self.assertEqual(yaml.safe_load("\n".join(lines)),
                                 {"Key": value, "List": [value], "Map": [{"Inner": value}]})

    def test_a_file_that_is_no_executable_or_an_address_that_is_no_url_writes_nothing(self):
        for exe, url in ((os.path.join(SCHEMAS, "SOURCE.txt"), URL), (EXE, "ov_installer.exe")):
            with self.subTest(exe=os.path.basename(exe), url=url), tempfile.TemporaryDirectory() as folder:
                outdir = os.path.join(folder, "manifest")
                done = make_manifest(exe, url, outdir)
                self.assertEqual(done.returncode, 1, done.stdout)
                self.assertIn("make_winget_manifest:", done.stderr)
                self.assertFalse(os.path.exists(outdir))


if __name__ == "__main__":
    EXE = os.path.abspath(sys.argv.pop(1))
    if not os.path.isfile(EXE):
        sys.exit("%s is missing: build it with tools/build_windows.sh" % EXE)
    PROGRAM = WineProgram(EXE)
    unittest_main.main()
