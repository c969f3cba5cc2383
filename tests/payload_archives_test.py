#!/usr/bin/python3
"""Checks the three payload archives (vst3.zip, clap.zip, aax.zip) that the
installer embeds.

Usage: /usr/bin/python3 tests/payload_archives_test.py [RESOURCES_FOLDER]

The archives are examined with tools that share no code with the generator
(tools/make_payloads.sh): Info-ZIP's unzip/zipinfo for the entry list and the
compression methods, pefile and exiftool for the modules, ImageMagick's identify
and a parser of our own for the icon. When the mingw-w64 compiler is present the
generator is run once more into a scratch folder and its output must equal the
given archives byte for byte.

Prints one line per failed check, and a final "N passed, M failed" line; the exit
status is 0 only when nothing failed.
"""

import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

try:
    import pefile
except ImportError:  # reported as a failure of every module check below
    pefile = None

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT = "Kelvara 2"


def product_version():
    """The product's version where the installer states it, core/ProductDefinition.h: the
    payloads' sources must agree with that one constant."""
    with open(os.path.join(ROOT, "core", "ProductDefinition.h"), encoding="utf-8") as f:
        found = re.search(r'\bproductVersion\s*=\s*"(\d+)\.(\d+)\.(\d+)"', f.read())
    if not found:
        sys.exit("core/ProductDefinition.h states no productVersion")
    return ".".join(found.groups())


VERSION = product_version()                    # as the installer shows it, such as 2.4.3
VERSION4 = VERSION + ".0"                      # the modules' fixed file version
VERSION_NUMBERS = tuple(int(n) for n in VERSION4.split("."))
EXIFTOOL = "/usr/bin/exiftool" if os.path.exists("/usr/bin/exiftool") else "exiftool"

VST3_MODULE = "Kelvara 2.vst3\\Contents\\x86_64-win\\Kelvara 2.vst3"
CLAP_MODULE = "Kelvara 2.clap"
AAX_MODULE = "Kelvara 2.aaxplugin\\Contents\\x64\\Kelvara 2.aaxplugin"

EXPECTED_ENTRIES = {
    "vst3.zip": [
        "Kelvara 2.vst3\\Contents\\",
        "Kelvara 2.vst3\\desktop.ini",
        "Kelvara 2.vst3\\Plugin.ico",
        "Kelvara 2.vst3\\Contents\\Resources\\moduleinfo.json",
        VST3_MODULE,
    ],
    "clap.zip": [
        CLAP_MODULE,
    ],
    "aax.zip": [
        "Kelvara 2.aaxplugin\\Contents\\",
        "Kelvara 2.aaxplugin\\desktop.ini",
        "Kelvara 2.aaxplugin\\Plugin.ico",
        AAX_MODULE,
    ],
}

# archive -> (module entry, has version resource, exported entry functions)
MODULES = {
    "vst3.zip": (VST3_MODULE, True, {"KvGetModuleFactory", "KvModuleEnter", "KvModuleLeave"}),
    "clap.zip": (CLAP_MODULE, False, {"kv_clap_module_open", "kv_clap_module_close", "kv_clap_module_describe"}),
    "aax.zip": (AAX_MODULE, True, {"KvAaxDescribeModule", "KvAaxCreateInstance", "KvAaxReleaseInstance"}),
}

ALLOWED_IMPORTS = {"kernel32.dll", "msvcrt.dll"}
ICON_SIZES = [16, 32, 48, 256]
MAX_ARCHIVE_BYTES = 1024 * 1024


class Results:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, condition, what, detail=""):
        if condition:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAIL: {what}" + (f": {detail}" if detail else ""))
        return condition


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def read_entries(path):
    with zipfile.ZipFile(path) as archive:
        return archive.infolist(), {info.filename: archive.read(info) for info in archive.infolist()}


# --------------------------------------------------------------- archive layout

def check_layout(r, name, path, infos):
    expected = EXPECTED_ENTRIES[name]
    names = [info.filename for info in infos]
    r.check(names == expected, f"{name}: entry names and order (zipfile)", f"got {names}")

    listing = run(["unzip", "-Z1", path])
    r.check(listing.returncode == 0, f"{name}: unzip -Z1 runs", listing.stderr.strip())
    unzip_names = listing.stdout.splitlines()
    r.check(unzip_names == expected, f"{name}: entry names and order (unzip -Z1)", f"got {unzip_names}")
    r.check(unzip_names == names, f"{name}: unzip -Z1 and zipfile agree", f"{unzip_names} vs {names}")

    integrity = run(["unzip", "-tq", path])
    # unzip warns (status 1) about the backslash separators; 2 and above are errors.
    r.check(integrity.returncode in (0, 1) and "No errors detected" in integrity.stdout,
            f"{name}: unzip -t finds no CRC or format errors", (integrity.stdout + integrity.stderr).strip())

    for info in infos:
        is_folder = info.filename.endswith("\\")
        if is_folder:
            r.check(info.compress_type == zipfile.ZIP_STORED, f"{name}: folder entry {info.filename!r} stored",
                    f"method {info.compress_type}")
            r.check(info.file_size == 0, f"{name}: folder entry {info.filename!r} is empty", f"{info.file_size} bytes")
            r.check(info.external_attr & 0x10 != 0, f"{name}: folder entry {info.filename!r} has the directory attribute",
                    hex(info.external_attr))
        else:
            r.check(info.compress_type == zipfile.ZIP_DEFLATED, f"{name}: file entry {info.filename!r} deflated",
                    f"method {info.compress_type}")
            r.check(info.external_attr & 0x10 == 0, f"{name}: file entry {info.filename!r} not marked as a directory",
                    hex(info.external_attr))
            r.check(info.file_size > 0, f"{name}: file entry {info.filename!r} has content")
        r.check(info.flag_bits & 0x1 == 0, f"{name}: entry {info.filename!r} not encrypted")

    # Compression methods as Info-ZIP's zipinfo reports them, entry by entry.
    verbose = run(["unzip", "-Zv", path])
    r.check(verbose.returncode == 0, f"{name}: unzip -Zv runs", verbose.stderr.strip())
    methods = {}
    current = None
    lines = verbose.stdout.splitlines()
    for i, line in enumerate(lines):
        if line.startswith("Central directory entry #"):
            # The entry's name is the first non-empty line after the underline.
            j = i + 2
            while j < len(lines) and not lines[j].strip():
                j += 1
            current = lines[j].strip() if j < len(lines) else None
        elif current is not None and line.strip().startswith("compression method:"):
            methods[current] = line.split(":", 1)[1].strip()
            current = None
    for entry in expected:
        want = "none (stored)" if entry.endswith("\\") else "deflated"
        r.check(methods.get(entry) == want, f"{name}: unzip -Zv compression method of {entry!r}",
                f"got {methods.get(entry)!r}, expected {want!r}")


# ---------------------------------------------------------------------- modules

def check_module(r, name, entry, data, has_version, exports, scratch):
    label = f"{name}: module {entry!r}"
    if not r.check(pefile is not None, f"{label}: pefile available for /usr/bin/python3",
                   "apt-get install python3-pefile"):
        return
    try:
        pe = pefile.PE(data=data)
    except pefile.PEFormatError as error:
        r.check(False, f"{label}: parses as a PE file", str(error))
        return

    r.check(pe.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"], f"{label}: machine is AMD64",
            hex(pe.FILE_HEADER.Machine))
    r.check(pe.OPTIONAL_HEADER.Magic == pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS, f"{label}: PE32+ optional header",
            hex(pe.OPTIONAL_HEADER.Magic))
    r.check(pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"] != 0, f"{label}: is a DLL",
            hex(pe.FILE_HEADER.Characteristics))
    r.check(pe.OPTIONAL_HEADER.AddressOfEntryPoint != 0, f"{label}: has an entry point (DllMain)")
    r.check(pe.FILE_HEADER.TimeDateStamp == 0, f"{label}: no link timestamp", hex(pe.FILE_HEADER.TimeDateStamp))
    r.check(10_000 <= len(data) <= 512 * 1024, f"{label}: size within 10 KB .. 512 KB", f"{len(data)} bytes")

    exported = set()
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        exported = {symbol.name.decode() for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols if symbol.name}
    r.check(exported == exports, f"{label}: exported entry functions", f"got {sorted(exported)}")

    imported = set()
    if hasattr(pe, "DIRECTORY_ENTRY_IMPORT"):
        imported = {item.dll.decode().lower() for item in pe.DIRECTORY_ENTRY_IMPORT}
    r.check(imported and imported <= ALLOWED_IMPORTS, f"{label}: imports only kernel32 and msvcrt",
            f"got {sorted(imported)}")

    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    module_file = os.path.join(scratch, name + ".module")
    with open(module_file, "wb") as f:
        f.write(data)
    exif = run([EXIFTOOL, "-s3", "-FileVersionNumber", "-ProductVersionNumber", "-CompanyName", "-ProductName",
                "-FileVersion", "-ProductVersion", module_file])
    r.check(exif.returncode == 0, f"{label}: exiftool runs", exif.stderr.strip())

    if has_version:
        if r.check(bool(fixed), f"{label}: has a VS_FIXEDFILEINFO (pefile)"):
            info = fixed[0]
            file_version = (info.FileVersionMS >> 16, info.FileVersionMS & 0xFFFF,
                            info.FileVersionLS >> 16, info.FileVersionLS & 0xFFFF)
            product_version = (info.ProductVersionMS >> 16, info.ProductVersionMS & 0xFFFF,
                               info.ProductVersionLS >> 16, info.ProductVersionLS & 0xFFFF)
            r.check(file_version == VERSION_NUMBERS, f"{label}: file version {VERSION4} (pefile)", str(file_version))
            r.check(product_version == VERSION_NUMBERS, f"{label}: product version {VERSION4} (pefile)", str(product_version))

        strings = {}
        tables = []
        translations = []
        for file_info in getattr(pe, "FileInfo", []) or []:
            for block in file_info:
                for table in getattr(block, "StringTable", []):
                    tables.append(table.LangID.decode().upper())
                    strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
                for var in getattr(block, "Var", []):
                    if b"Translation" in var.entry:
                        translations.append(var.entry[b"Translation"].lower())
        r.check(tables == ["040904E4"], f"{label}: one string table, 040904E4 (pefile)", f"got {tables}")
        r.check(translations == ["0x0409 0x04e4"], f"{label}: translation 0x0409 1252 (pefile)", f"got {translations}")
        for key, want in (("CompanyName", "Orvanta"), ("FileDescription", "Kelvara 2"), ("FileVersion", VERSION4),
                          ("ProductName", "Kelvara 2"), ("ProductVersion", VERSION)):
            r.check(strings.get(key) == want, f"{label}: string {key} (pefile)", f"got {strings.get(key)!r}")
        r.check(bool(strings.get("LegalCopyright")), f"{label}: string LegalCopyright present")

        lines = exif.stdout.splitlines()
        r.check(lines[:1] == [VERSION4], f"{label}: exiftool FileVersionNumber is {VERSION4}", f"got {lines[:1]}")
        r.check(lines == [VERSION4, VERSION4, "Orvanta", "Kelvara 2", VERSION4, VERSION],
                f"{label}: exiftool version strings", f"got {lines}")
    else:
        r.check(not fixed, f"{label}: has no version resource (pefile)")
        r.check(exif.stdout.strip() == "", f"{label}: exiftool finds no version information",
                f"got {exif.stdout.strip()!r}")


# ------------------------------------------------------------------------- icon

def check_icon(r, name, entry, data, scratch):
    label = f"{name}: {entry!r}"
    if not r.check(len(data) >= 6, f"{label}: holds an icon header"):
        return
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    r.check(reserved == 0 and kind == 1, f"{label}: ICO header (type 1)", f"reserved {reserved}, type {kind}")
    if not r.check(len(data) >= 6 + 16 * count, f"{label}: directory fits in the file"):
        return

    sizes = []
    for index in range(count):
        width, height, colours, _, planes, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * index)
        width = width or 256
        height = height or 256
        sizes.append(width)
        where = f"{label}: image {index} ({width} px)"
        r.check(width == height, f"{where}: square", f"{width}x{height}")
        r.check(bits == 32 and colours == 0, f"{where}: directory says 32 bits per pixel", f"{bits} bits")
        if not r.check(offset + length <= len(data) and length > 0, f"{where}: image data inside the file"):
            continue
        image = data[offset:offset + length]
        alphas = None
        if image.startswith(b"\x89PNG\r\n\x1a\n"):
            ihdr_width, ihdr_height, depth, colour_type = struct.unpack_from(">IIBB", image, 16)
            r.check((ihdr_width, ihdr_height) == (width, height), f"{where}: PNG dimensions",
                    f"{ihdr_width}x{ihdr_height}")
            r.check(depth == 8 and colour_type == 6, f"{where}: PNG is 8-bit RGBA (32-bit)",
                    f"depth {depth}, colour type {colour_type}")
            alphas = png_alphas(image, width, height) if depth == 8 and colour_type == 6 else None
        else:
            header_size, bmp_width, bmp_height, _, bmp_bits, compression = struct.unpack_from("<IiiHHI", image, 0)
            r.check(header_size == 40 and bmp_width == width and bmp_height == 2 * height,
                    f"{where}: bitmap header", f"size {header_size}, {bmp_width}x{bmp_height}")
            r.check(bmp_bits == 32 and compression == 0, f"{where}: bitmap is 32-bit BGRA",
                    f"{bmp_bits} bits, compression {compression}")
            if bmp_bits == 32 and header_size == 40:
                pixels = image[40:40 + width * height * 4]
                alphas = [pixels[i + 3] for i in range(0, len(pixels), 4)]
        if alphas is not None:
            # A rounded square: transparent corners, opaque middle.
            r.check(len(alphas) == width * height and alphas[0] == 0 and alphas[-1] == 0,
                    f"{where}: corners transparent")
            middle = alphas[(height // 2) * width + width // 2] if alphas else 0
            r.check(middle == 255, f"{where}: centre opaque", f"alpha {middle}")

    r.check(sorted(sizes) == ICON_SIZES, f"{label}: sizes 16, 32, 48 and 256", f"got {sizes}")

    identify = shutil.which("identify")
    if identify:
        icon_file = os.path.join(scratch, name + ".ico")
        with open(icon_file, "wb") as f:
            f.write(data)
        result = run([identify, "-format", "%w %h\n", icon_file])
        seen = sorted(int(line.split()[0]) for line in result.stdout.splitlines() if line.strip())
        r.check(result.returncode == 0 and seen == ICON_SIZES, f"{label}: ImageMagick identify sees 16, 32, 48, 256",
                f"got {seen} {result.stderr.strip()}")
    else:
        print(f"note: ImageMagick's identify is missing; {label} checked by the built-in parser only")


def png_alphas(image, width, height):
    """Alpha samples of an 8-bit RGBA PNG, decoded here rather than by any library."""
    pos, idat = 8, b""
    while pos + 8 <= len(image):
        length, kind = struct.unpack_from(">I4s", image, pos)
        if kind == b"IDAT":
            idat += image[pos + 8:pos + 8 + length]
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 4
    prior = bytearray(stride)
    alphas = []
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = row[i - 4] if i >= 4 else 0
            b = prior[i]
            c = prior[i - 4] if i >= 4 else 0
            if kind == 1:
                row[i] = (row[i] + a) & 255
            elif kind == 2:
                row[i] = (row[i] + b) & 255
            elif kind == 3:
                row[i] = (row[i] + ((a + b) >> 1)) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        alphas += row[3::4]
        prior = row
    return alphas


# --------------------------------------------------------- metadata of bundles

def check_desktop_ini(r, name, entry, data, entries):
    label = f"{name}: {entry!r}"
    text = data.decode("ascii", errors="replace")
    r.check(b"\r\n" in data and data.count(b"\n") == data.count(b"\r\n"), f"{label}: CR LF line ends only")
    lines = [line.strip() for line in text.replace("\r\n", "\n").split("\n")]
    section = None
    icon = None
    for line in lines:
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1]
        elif "=" in line and section == ".ShellClassInfo":
            key, value = line.split("=", 1)
            if key.strip().lower() == "iconresource":
                icon = value.strip()
    r.check(icon == "Plugin.ico,0", f"{label}: [.ShellClassInfo] IconResource=Plugin.ico,0", f"got {icon!r}")
    bundle = entry.split("\\", 1)[0]
    r.check(bundle + "\\Plugin.ico" in entries, f"{label}: the icon it names sits beside it")


def check_moduleinfo(r, name, entry, data):
    label = f"{name}: {entry!r}"
    try:
        info = json.loads(data.decode("utf-8"))
    except (UnicodeDecodeError, ValueError) as error:
        r.check(False, f"{label}: parses as JSON", str(error))
        return
    r.check(info.get("Name") == PRODUCT, f"{label}: Name", f"got {info.get('Name')!r}")
    r.check(info.get("Version") == VERSION, f"{label}: Version", f"got {info.get('Version')!r}")
    factory = info.get("Factory Info") or {}
    r.check(factory.get("Vendor") == "Orvanta", f"{label}: Factory Info Vendor", f"got {factory.get('Vendor')!r}")
    r.check(str(factory.get("URL", "")).startswith("https://"), f"{label}: Factory Info URL", repr(factory.get("URL")))
    r.check("@" in str(factory.get("E-Mail", "")), f"{label}: Factory Info E-Mail", repr(factory.get("E-Mail")))
    classes = info.get("Classes") or []
    if r.check(len(classes) == 1, f"{label}: one class", f"got {len(classes)}"):
        cls = classes[0]
        cid = str(cls.get("CID", ""))
        r.check(len(cid) == 32 and all(ch in "0123456789ABCDEF" for ch in cid), f"{label}: class id of 32 hex digits",
                repr(cid))
        for key, want in (("Category", "Audio Module Class"), ("Name", PRODUCT), ("Vendor", "Orvanta"),
                          ("Version", VERSION)):
            r.check(cls.get(key) == want, f"{label}: class {key}", f"got {cls.get(key)!r}")
        r.check("Fx" in (cls.get("Sub Categories") or []), f"{label}: class sub categories include Fx",
                repr(cls.get("Sub Categories")))


# --------------------------------------------------------------- reproduction

def check_reproducible(r, folder, scratch):
    if shutil.which("x86_64-w64-mingw32-gcc") is None:
        print("note: x86_64-w64-mingw32-gcc is missing; the rebuild comparison is skipped")
        return
    rebuilt = os.path.join(scratch, "rebuilt")
    result = run(["bash", os.path.join(ROOT, "tools", "make_payloads.sh"), rebuilt])
    if not r.check(result.returncode == 0, "tools/make_payloads.sh runs", (result.stdout + result.stderr).strip()):
        return
    for name in EXPECTED_ENTRIES:
        with open(os.path.join(folder, name), "rb") as f:
            given = f.read()
        with open(os.path.join(rebuilt, name), "rb") as f:
            fresh = f.read()
        detail = ""
        if given != fresh:
            try:
                _, a = read_entries(os.path.join(folder, name))
                _, b = read_entries(os.path.join(rebuilt, name))
                differing = sorted(k for k in set(a) | set(b) if a.get(k) != b.get(k))
                detail = f"{len(given)} vs {len(fresh)} bytes; entries differing: {differing or 'none (headers only)'}"
            except zipfile.BadZipFile as error:
                detail = str(error)
        r.check(given == fresh, f"{name}: rebuilding gives the same bytes", detail)


def main(argv):
    folder = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(ROOT, "resources"))
    r = Results()
    scratch = tempfile.mkdtemp(prefix="payload_archives_test.")
    try:
        for name in EXPECTED_ENTRIES:
            path = os.path.join(folder, name)
            if not r.check(os.path.isfile(path), f"{name}: present in {folder}"):
                continue
            size = os.path.getsize(path)
            r.check(size < MAX_ARCHIVE_BYTES, f"{name}: smaller than 1 MB", f"{size} bytes")
            try:
                infos, entries = read_entries(path)
            except (zipfile.BadZipFile, zlib.error) as error:
                r.check(False, f"{name}: readable zip archive", str(error))
                continue
            check_layout(r, name, path, infos)

            module, has_version, exports = MODULES[name]
            if r.check(module in entries, f"{name}: holds its module {module!r}"):
                check_module(r, name, module, entries[module], has_version, exports, scratch)

            for entry, data in entries.items():
                if entry.endswith("\\Plugin.ico"):
                    check_icon(r, name, entry, data, scratch)
                elif entry.endswith("\\desktop.ini"):
                    check_desktop_ini(r, name, entry, data, entries)
                elif entry.endswith("\\moduleinfo.json"):
                    check_moduleinfo(r, name, entry, data)
            bundle = EXPECTED_ENTRIES[name][0].split("\\", 1)[0]
            if name != "clap.zip":
                for leaf in ("desktop.ini", "Plugin.ico"):
                    r.check(f"{bundle}\\{leaf}" in entries, f"{name}: holds {bundle}\\{leaf}")
            if name == "vst3.zip":
                r.check(f"{bundle}\\Contents\\Resources\\moduleinfo.json" in entries, f"{name}: holds moduleinfo.json")

        if all(os.path.isfile(os.path.join(folder, name)) for name in EXPECTED_ENTRIES):
            check_reproducible(r, folder, scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)

    print(f"{r.passed} passed, {r.failed} failed")
    return 0 if r.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
