"""Checks the version block, icon groups and manifest of a Windows executable, and that a copy
signed with tools/sign_windows.sh verifies, breaks with one changed byte and installs under Wine."""
import filecmp
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from installer_program import WineProgram  # noqa: E402

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
SIGN = os.path.join(ROOT, "tools", "sign_windows.sh")
PRODUCT_PAGE = "https://www.orvanta-audio.example/products/kelvara-2"

passed = 0
failed = 0


def check(condition, what):
    global passed, failed
    if condition:
        passed += 1
    else:
        failed += 1
        print("FAILED:", what)


def resource_entries(pe, type_id):
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == type_id:
            return entry.directory.entries
    return []


def resource_bytes(pe, name_entry):
    language = name_entry.directory.entries[0]
    data = language.data.struct
    return pe.get_data(data.OffsetToData, data.Size)


# --resources-only: a stand-in executable made from the resource scripts alone.
resources_only = "--resources-only" in sys.argv[1:]
exe = [argument for argument in sys.argv[1:] if argument != "--resources-only"][0]
pe = pefile.PE(exe)

# Version block
fixed = pe.VS_FIXEDFILEINFO[0]
check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x00010002, 0), "fixed file version is 1.2.0.0")

strings = {}
translations = []
for info in pe.FileInfo[0]:
    if info.Key == b"StringFileInfo":
        for table in info.StringTable:
            check(table.LangID == b"040904E4", "string table 040904E4, got %r" % table.LangID)
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    elif info.Key == b"VarFileInfo":
        for var in info.Var:
            translations.extend(var.entry.values())

check(strings.get("FileVersion") == "1.2.0", "FileVersion string")
check(strings.get("ProductVersion") == "1.2.0", "ProductVersion string")
check(strings.get("FileDescription") == "ov_installer", "FileDescription")
check(strings.get("ProductName") == "ov_installer", "ProductName")
check("Orvanta" in strings.get("CompanyName", ""), "CompanyName names the maker")
check(any(re.fullmatch(r"0x0*409 0x0*4e4", str(v).lower()) for v in translations),
      "translation 0x0409 / 1252, got %r" % translations)

# An independent reader agrees on the version.
exif = subprocess.run(["exiftool", "-s3", "-FileVersionNumber", "-ProductName", exe],
                      capture_output=True, text=True)
if exif.returncode == 0 and exif.stdout.strip():
    check(exif.stdout.split()[:2] == ["1.2.0.0", "ov_installer"], "exiftool reads 1.2.0.0 ov_installer: %r" % exif.stdout)
else:
    print("note: exiftool not available, skipped its cross-check")

# Icon groups: IDI_ICON1 and IDI_ICON2, each 16, 32, 48 and 256 pixels at 32 bits
RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24
groups = {str(e.name): e for e in resource_entries(pe, RT_GROUP_ICON) if e.name is not None}
check(sorted(groups) == ["IDI_ICON1", "IDI_ICON2"], "icon groups, got %r" % sorted(groups))
icon_ids = {e.id for e in resource_entries(pe, RT_ICON)}

for name, entry in sorted(groups.items()):
    data = resource_bytes(pe, entry)
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    check(kind == 1, name + " is an icon group")
    sizes = []
    for i in range(count):
        width, height, _, _, _, bits, _, icon_id = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        sizes.append((width or 256, height or 256, bits))
        check(icon_id in icon_ids, "%s image %d is present" % (name, icon_id))
    check(sorted(sizes) == [(16, 16, 32), (32, 32, 32), (48, 48, 32), (256, 256, 32)],
          "%s sizes, got %r" % (name, sorted(sizes)))

# Manifest
manifests = resource_entries(pe, RT_MANIFEST)
check(len(manifests) == 1 and manifests[0].id == 1, "one manifest with id 1")
if manifests:
    manifest = resource_bytes(pe, manifests[0]).decode("utf-8")
    check(re.search(r'requestedExecutionLevel\s+level="requireAdministrator"\s+uiAccess="false"', manifest) is not None,
          "manifest asks for administrator rights without UI access")
    check(re.search(r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"', manifest) is not None,
          "manifest depends on common controls 6.0.0.0")

def check_the_image(pe):
    # Imports. When the process starts, only DLLs that Windows always takes from System32 are
    # resolved: its KnownDLLs, and the common controls, which the manifest binds to the system's
    # assembly. Every other DLL is delay-loaded, after the program has narrowed the search.
    KNOWN_DLLS = {
        "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus", "imagehlp", "imm32",
        "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost",
        "setupapi", "shcore", "shell32", "shlwapi", "user32", "wldap32", "ws2_32"}
    SYSTEM_BOUND = {name + ".dll" for name in KNOWN_DLLS} | {"comctl32.dll"}
    # What the framework and our code import from outside that list, as the import table of the
    # unprotected executable named it.
    NON_SYSTEM = {"d2d1.dll", "d3d11.dll", "dbghelp.dll", "dcomp.dll", "dwmapi.dll", "dxgi.dll", "rstrtmgr.dll",
                  "version.dll", "wininet.dll", "winmm.dll"}

    static_imports = sorted(e.dll.decode().lower() for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []))
    delayed_imports = sorted(e.dll.decode().lower() for e in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", []))
    print("static imports:", " ".join(static_imports))
    print("delay-loaded:", " ".join(delayed_imports))
    check(set(static_imports) <= SYSTEM_BOUND,
          "only system-bound DLLs are static imports, not %s" % sorted(set(static_imports) - SYSTEM_BOUND))
    check(NON_SYSTEM <= set(delayed_imports), "%s are delay-loaded" % sorted(NON_SYSTEM - set(delayed_imports)))
    check(not set(static_imports) & set(delayed_imports), "no DLL is imported both ways")

    # Windows 10 1607 and later search System32 alone for the imports the image names, when its load
    # configuration says so (DependentLoadFlags, at 0x4E of the 64-bit directory).
    LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
    config = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]]
    check(config.VirtualAddress != 0 and config.Size >= 0x50, "the image has a load configuration")
    if config.VirtualAddress:
        size, = struct.unpack("<I", pe.get_data(config.VirtualAddress, 4))
        dependent_load_flags, = struct.unpack("<H", pe.get_data(config.VirtualAddress + 0x4E, 2))
        check(size == config.Size and size >= 0x50, "the load configuration's size covers DependentLoadFlags: %#x" % size)
        check(dependent_load_flags == LOAD_LIBRARY_SEARCH_SYSTEM32,
              "DependentLoadFlags is LOAD_LIBRARY_SEARCH_SYSTEM32, not %#x" % dependent_load_flags)

    # Whatever the executable carries lies in its sections: after them a signed file holds its
    # certificate table and nothing else.
    overlay = pe.get_overlay_data_start_offset()
    symbols = pe.FILE_HEADER.PointerToSymbolTable
    check(overlay is None, "nothing follows the image, but %s bytes do from offset %s%s"
          % (os.path.getsize(exe) - (overlay or 0), overlay,
             " (the COFF symbol table, %d symbols)" % pe.FILE_HEADER.NumberOfSymbols if symbols and symbols == overlay else ""))


if not resources_only:
    check_the_image(pe)
pe.close()


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, **options)


def verify(path, ca):
    return run("osslsigncode", "verify", "-CAfile", ca, "-in", path)


def throw_away_certificate(folder, password):
    """A self-signed code-signing certificate and its key, as PEM and as a .pfx with a password."""
    cert, key, pfx = (os.path.join(folder, name) for name in ("signer.pem", "signer.key", "signer.pfx"))
    made = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
               "-subj", "/CN=Orvanta test signer/O=Orvanta", "-keyout", key, "-out", cert,
               "-addext", "keyUsage=critical,digitalSignature", "-addext", "extendedKeyUsage=codeSigning")
    if made.returncode == 0:
        made = run("openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
                   "-passout", "env:OV_SIGN_PASSWORD", env=dict(os.environ, OV_SIGN_PASSWORD=password))
    if made.returncode != 0:
        raise RuntimeError("openssl made no certificate: " + made.stderr)
    return cert, pfx


def sign(path, **settings):
    env = {k: v for k, v in os.environ.items() if not k.startswith("OV_SIGN_")}
    env.update(settings)
    return run("bash", SIGN, path, env=env)


def check_signing(work):
    password = 'a "test" pass $HOME'     # quotes, spaces and a dollar pass through unchanged
    cert, pfx = throw_away_certificate(work, password)
    signed = os.path.join(work, "signed", "ov_installer.exe")
    os.makedirs(os.path.dirname(signed))
    shutil.copyfile(exe, signed)

    done = sign(signed, OV_SIGN_PFX=pfx, OV_SIGN_PASSWORD=password)
    check(done.returncode == 0, "sign_windows.sh signs: " + done.stdout + done.stderr)
    print("unsigned %d bytes, signed %d bytes" % (os.path.getsize(exe), os.path.getsize(signed)))
    check(os.listdir(os.path.dirname(signed)) == ["ov_installer.exe"], "nothing is left beside the signed file")

    verified = verify(signed, cert)
    check(verified.returncode == 0 and "Signature verification: ok" in verified.stdout,
          "osslsigncode verifies the signature against the signer: " + verified.stdout + verified.stderr)
    check(re.search(r"^Message digest algorithm\s*:\s*SHA256\s*$", verified.stdout, re.M) is not None,
          "the signature's digest is SHA-256")
    check("URL description: " + PRODUCT_PAGE + "\n" in verified.stdout, "the signature names the product page")
    check("Text description: Kelvara 2\n" in verified.stdout, "the signature names the product")
    check(run("osslsigncode", "verify", "-in", signed).returncode != 0,
          "a signer no trusted certificate vouches for is refused")

    # The signature is the certificate table and the only thing after the image.
    signed_pe = pefile.PE(signed, fast_load=True)
    table = signed_pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    check(table.VirtualAddress == signed_pe.get_overlay_data_start_offset() and
          table.VirtualAddress + table.Size == os.path.getsize(signed),
          "the certificate table (%d bytes from %d) follows the image and ends the file"
          % (table.Size, table.VirtualAddress))
    rsrc = next(s for s in signed_pe.sections if s.Name.rstrip(b"\0") == b".rsrc")
    changed_at = rsrc.PointerToRawData + rsrc.Misc_VirtualSize // 2
    signed_pe.close()

    tampered = os.path.join(work, "tampered.exe")
    shutil.copyfile(signed, tampered)
    with open(tampered, "r+b") as f:
        f.seek(changed_at)
        byte = f.read(1)[0]
        f.seek(changed_at)
        f.write(bytes([byte ^ 0x01]))
    refused = verify(tampered, cert)
    check(refused.returncode != 0 and "MISMATCH" in refused.stdout,
          "one changed byte in .rsrc breaks the signature: " + refused.stdout)

    # Without a usable certificate, or with the wrong password, the file stays as it was.
    plain = os.path.join(work, "plain", "ov_installer.exe")
    os.makedirs(os.path.dirname(plain))
    shutil.copyfile(exe, plain)
    for settings, says in (({}, "no certificate: set OV_SIGN_PFX"),
                           ({"OV_SIGN_PFX": os.path.join(work, "none.pfx")}, "which is not a file"),
                           ({"OV_SIGN_PFX": pfx, "OV_SIGN_PASSWORD": "wrong"}, "could not sign")):
        done = sign(plain, **settings)
        check(done.returncode == 1 and says in done.stderr,
              "signing with %r fails saying %r: %r" % (settings, says, done.stderr))
        check(filecmp.cmp(plain, exe, shallow=False), "signing with %r leaves the file untouched" % settings)
        check(os.listdir(os.path.dirname(plain)) == ["ov_installer.exe"], "nothing is left beside the file")
    return signed


def check_signed_copy_installs(signed):
    """The signed copy starts under Wine and unpacks every format it carries."""
    program = WineProgram(signed)
    try:
        prefix = program.new_prefix()
        done = run(*program.command, "install", "all", env=program.environment(prefix, program.base), timeout=300)
        check((done.returncode, done.stdout) == (0, "VST3: installed\nCLAP: installed\nAAX: installed\n"),
              "the signed copy installs all: %d %r %r" % (done.returncode, done.stdout, done.stderr))
        common = os.path.join(prefix, "drive_c", "Program Files", "Common Files")
        for bundle in ("VST3/Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3", "CLAP/Kelvara 2.clap",
                       "Avid/Audio/Plug-Ins/Kelvara 2.aaxplugin/Contents/x64/Kelvara 2.aaxplugin"):
            check(os.path.isfile(os.path.join(common, bundle)), bundle + " is installed")
    finally:
        program.close()


if not resources_only:
    work = tempfile.mkdtemp(prefix="ov-sign-")
    try:
        check_signed_copy_installs(check_signing(work))
    finally:
        shutil.rmtree(work, ignore_errors=True)

print("%d passed, %d failed" % (passed, failed))
sys.exit(1 if failed else 0)
