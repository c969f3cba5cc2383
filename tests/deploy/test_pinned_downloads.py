"""The downloads of tools/pinned_downloads.sh once Debian has replaced a pinned version: the real
fetch code against Debian's real archive, with pins the archive does not have, each result
checked against the archive's signed indexes read here on their own."""
import functools
import hashlib
import http.client
import http.server
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import unittest
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import unittest_main  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
LIBRARY = os.path.join(ROOT, "tools", "pinned_downloads.sh")
KEYRING = "/usr/share/keyrings/debian-archive-keyring.gpg"
# The Windows build's apt state has both indexes used here; reusing it keeps the update small.
SHARED_DOWNLOADS = os.path.join(ROOT, "third_party", "downloads-windows")

# (kind, package, a version the release does not have, release, its index in the Release file)
SOURCE_PIN = ("source", "libjpeg-turbo", "1:2.1.5-1", "bookworm", "main/source/Sources")
BINARY_PIN = ("deb", "sensible-utils", "0.0.24", "trixie", "main/binary-amd64/Packages")

# The same calls as tools/build_windows.sh makes, with the pins above. The sums of a version
# the archive no longer has never come into play, as the files are never there.
DRIVER = r"""
set -euo pipefail
source "$1"
declare -A sums=(
    ["libjpeg-turbo_2.1.5-1.dsc"]="%(zero)s"
    ["libjpeg-turbo_2.1.5.orig.tar.gz"]="254f3642b04e309fee775123133c6464181addc150499561020312ec61c1bf7c"
    ["libjpeg-turbo_2.1.5-1.debian.tar.xz"]="%(zero)s"
    ["sensible-utils_0.0.24_all.deb"]="%(zero)s"
)
pinned_apt "$2" \
    "deb [signed-by=$pinned_keyring] http://deb.debian.org/debian trixie main" \
    "deb-src [signed-by=$pinned_keyring] http://deb.debian.org/debian bookworm main"
if [[ -n "${PIN_TEST_PROXY:-}" ]]; then
    aptOptions+=(-o "Acquire::http::Proxy=$PIN_TEST_PROXY" -o "Acquire::http::Pipeline-Depth=0")
fi
pinned_fetch pins "$3" source libjpeg-turbo 1:2.1.5-1 "Debian bookworm"
pinned_fetch pins "$3" deb sensible-utils 0.0.24 "Debian trixie"
pinned_check "$3" pins
for package in "${!pinned_taken[@]}"; do echo "taken $package ${pinned_taken[$package]}"; done
for file in "${!sums[@]}"; do echo "file $file ${sums[$file]}"; done
echo "dsc $(pinned_file libjpeg-turbo .dsc)"
echo "deb $(pinned_file sensible-utils .deb)"
""" % {"zero": "0" * 64}

HOP_BY_HOP = {"connection", "keep-alive", "proxy-connection", "proxy-authorization", "transfer-encoding",
              "te", "trailer", "upgrade", "content-length"}


class CorruptingProxy(http.server.BaseHTTPRequestHandler):
    """An HTTP proxy to the archive that flips the last byte of every file whose path ends in the
    server's `suffix`: a mirror that serves a damaged file."""
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        upstream = http.client.HTTPConnection(url.netloc, timeout=120)
        upstream.request("GET", url.path + ("?" + url.query if url.query else ""),
                         headers={k: v for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP})
        response = upstream.getresponse()
        body = response.read()
        upstream.close()
        if response.status == 200 and body and url.path.endswith(self.server.suffix):
            body = body[:-1] + bytes([body[-1] ^ 0xFF])
            self.server.corrupted.append(url.path)
        self.send_response(response.status, response.reason)
        for key, value in response.getheaders():
            if key.lower() not in HOP_BY_HOP:
                self.send_header(key, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def debian_version_compare(a, b):
    if a == b:
        return 0
    return 1 if subprocess.run(["dpkg", "--compare-versions", a, "gt", b]).returncode == 0 else -1


def sha256_of(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def paragraphs(text):
    """Each stanza of a Debian control file as {field: value}, continuation lines kept."""
    found = []
    for block in text.split("\n\n"):
        fields, key = {}, None
        for line in block.splitlines():
            if line.startswith((" ", "\t")) and key:
                fields[key] += "\n" + line.strip()
            elif ":" in line:
                key, _, value = line.partition(":")
                fields[key] = value.strip()
        if fields:
            found.append(fields)
    return found


class PinnedDownloadTests(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="ov-pins-")
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.apt = os.path.join(self.work, "apt")
        self.downloads = os.path.join(self.work, "downloads")
        lists = os.path.join(self.apt, "state", "lists")
        os.makedirs(os.path.join(lists, "partial"))
        os.makedirs(self.downloads)
        shared_lists = os.path.join(SHARED_DOWNLOADS, ".apt", "state", "lists")
        if os.path.isdir(shared_lists):
            for name in os.listdir(shared_lists):
                if os.path.isfile(os.path.join(shared_lists, name)):
                    self.link_or_copy(os.path.join(shared_lists, name), os.path.join(lists, name))
        # A new Debian revision keeps the upstream tarball; apt keeps one it finds verified.
        orig = os.path.join(SHARED_DOWNLOADS, "libjpeg-turbo_2.1.5.orig.tar.gz")
        if os.path.isfile(orig):
            shutil.copy2(orig, os.path.join(self.downloads, os.path.basename(orig)))
        self.driver = os.path.join(self.work, "driver.sh")
        with open(self.driver, "w") as f:
            f.write(DRIVER)

    @staticmethod
    def link_or_copy(source, target):
        # apt replaces its lists by renaming new ones over them, so a link never writes through.
        try:
            os.link(source, target)
        except OSError:
            shutil.copy2(source, target)

    def fetch(self, proxy=None):
        environment = dict(os.environ)
        environment.pop("PIN_TEST_PROXY", None)
        if proxy:
            environment["PIN_TEST_PROXY"] = proxy
        return subprocess.run(["bash", self.driver, LIBRARY, self.apt, self.downloads],
                              capture_output=True, text=True, env=environment, timeout=500)

    def signed_index(self, release, index):
        """The stanzas of an index in the test's apt state, after checking InRelease's signature
        with the keyring and the index's SHA-256 against it."""
        lists = os.path.join(self.apt, "state", "lists")
        verified = subprocess.run(["gpgv", "--keyring", KEYRING, "--output", "-",
                                   os.path.join(lists, "deb.debian.org_debian_dists_%s_InRelease" % release)],
                                  capture_output=True)
        self.assertEqual(verified.returncode, 0, verified.stderr.decode())
        release_fields = paragraphs(verified.stdout.decode())[0]
        expected = [line.split()[0] for line in release_fields["SHA256"].splitlines()
                    if len(line.split()) == 3 and line.split()[2] == index]
        self.assertEqual(len(expected), 1, "%s has no SHA-256 for %s" % (release, index))
        prefix = "deb.debian.org_debian_dists_%s_%s" % (release, index.replace("/", "_"))
        stored = [name for name in os.listdir(lists) if name.startswith(prefix)]
        self.assertEqual(len(stored), 1, stored)
        text = subprocess.run(["/usr/lib/apt/apt-helper", "cat-file", os.path.join(lists, stored[0])],
                              capture_output=True, check=True).stdout
        self.assertEqual(hashlib.sha256(text).hexdigest(), expected[0], "%s does not match InRelease" % stored[0])
        return paragraphs(text.decode("utf-8", "replace"))

    def current(self, pin):
        """The version the release has now and its files with their SHA-256, from its signed index."""
        kind, package, pinned, release, index = pin
        stanzas = [s for s in self.signed_index(release, index) if s.get("Package") == package]
        versions = sorted({s["Version"] for s in stanzas}, key=functools.cmp_to_key(debian_version_compare))
        self.assertTrue(versions, "%s is not in %s" % (package, release))
        self.assertNotIn(pinned, versions, "the archive has the pin; the test needs one it does not have")
        stanza = [s for s in stanzas if s["Version"] == versions[-1]][0]
        if kind == "source":
            files = {line.split()[2]: line.split()[0] for line in stanza["Checksums-Sha256"].splitlines() if line}
        else:
            files = {os.path.basename(stanza["Filename"]): stanza["SHA256"]}
        return versions[-1], files

    def assert_taken(self, result, pin, version, files, how="took"):
        kind, package, pinned, release, _ = pin
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        said = [line for line in result.stdout.splitlines() if pinned in line]
        if how == "took":
            expected = "pins: %s %s is no longer in Debian %s; took %s, verified by the archive's signed index" \
                       % (package, pinned, release, version)
        else:
            expected = "pins: %s %s is no longer in Debian %s; using %s, taken earlier and verified by the " \
                       "archive's signed index" % (package, pinned, release, version)
        self.assertEqual(said, [expected])
        self.assertIn("taken %s %s" % (package, version), result.stdout.splitlines())
        # What the caller sees in `sums`: the taken files with the index's sums, the pinned ones gone.
        listed = {line.split()[1]: line.split()[2] for line in result.stdout.splitlines()
                  if line.startswith("file %s_" % package)}
        if kind == "deb":
            # apt-get download names the file itself (an epoch's colon as %3a); its sum is the index's.
            self.assertEqual(list(listed.values()), list(files.values()))
            files = listed
        else:
            self.assertEqual(listed, files)
        wanted = [name for name in files if name.endswith(".dsc" if kind == "source" else ".deb")]
        self.assertIn("%s %s" % ("dsc" if kind == "source" else "deb", wanted[0]), result.stdout.splitlines())
        for name, sum_ in files.items():
            self.assertEqual(sha256_of(os.path.join(self.downloads, name)), sum_, name)

    def test_a_lost_pin_takes_the_release_s_version_verified_and_refuses_a_damaged_file(self):
        first = self.fetch()
        self.assertEqual(first.returncode, 0, first.stdout + first.stderr)
        source_version, source_files = self.current(SOURCE_PIN)
        binary_version, binary_files = self.current(BINARY_PIN)
        self.assert_taken(first, SOURCE_PIN, source_version, source_files)
        self.assert_taken(first, BINARY_PIN, binary_version, binary_files)

        # A later run uses what was taken without the network: the proxy here refuses everything.
        before = {name: os.stat(os.path.join(self.downloads, name)).st_mtime_ns for name in os.listdir(self.downloads)}
        with socket.socket() as closed:
            closed.bind(("127.0.0.1", 0))
            port = closed.getsockname()[1]
        again = self.fetch(proxy="http://127.0.0.1:%d" % port)
        self.assert_taken(again, SOURCE_PIN, source_version, source_files, how="using")
        self.assert_taken(again, BINARY_PIN, binary_version, binary_files, how="using")
        self.assertEqual(before, {name: os.stat(os.path.join(self.downloads, name)).st_mtime_ns
                                  for name in os.listdir(self.downloads)})

        # Taken files changed on the disk are not used: they are downloaded again.
        debian_tar = [name for name in source_files if ".debian." in name][0]
        path = os.path.join(self.downloads, debian_tar)
        deb = [line.split()[1] for line in first.stdout.splitlines() if line.startswith("deb ")][0]
        for damaged_file in (path, os.path.join(self.downloads, deb)):
            with open(damaged_file, "r+b") as f:
                f.seek(100)
                byte = f.read(1)
                f.seek(100)
                f.write(bytes([byte[0] ^ 0xFF]))
        redone = self.fetch()
        self.assert_taken(redone, SOURCE_PIN, source_version, source_files)
        self.assert_taken(redone, BINARY_PIN, binary_version, binary_files)

        # A mirror that serves the file damaged: the fetch fails, and nothing records it as taken.
        os.remove(path)
        os.remove(os.path.join(self.downloads, ".taken-libjpeg-turbo"))
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), CorruptingProxy)
        server.suffix = debian_tar
        server.corrupted = []
        thread = threading.Thread(target=server.serve_forever, daemon=True)
        thread.start()
        try:
            damaged = self.fetch(proxy="http://127.0.0.1:%d" % server.server_address[1])
        finally:
            server.shutdown()
            server.server_close()
        self.assertTrue(server.corrupted, "the proxy served no file of %s" % debian_tar)
        self.assertNotEqual(damaged.returncode, 0, damaged.stdout + damaged.stderr)
        self.assertIn("libjpeg-turbo %s" % source_version, damaged.stderr)
        self.assertNotIn("took", damaged.stdout)
        self.assertFalse(os.path.exists(os.path.join(self.downloads, ".taken-libjpeg-turbo")))
        if os.path.exists(path):
            self.assertNotEqual(sha256_of(path), source_files[debian_tar])

        # And the next run through the real archive recovers.
        self.assert_taken(self.fetch(), SOURCE_PIN, source_version, source_files)


if __name__ == "__main__":
    unittest_main.main()
