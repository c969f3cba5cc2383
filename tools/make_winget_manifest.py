#!/usr/bin/env python3
"""Writes winget's multi-file manifest (manifest version 1.10.0) for a built ov_installer.exe:

    python3 tools/make_winget_manifest.py EXE URL OUTDIR

EXE is the executable as it will be published, URL the address it is downloaded from, OUTDIR
the folder for the three files: the version file, the installer file and the default locale.
The product's name, version, maker and addresses come from core/ProductDefinition.h; the
architecture, the SHA-256 and the rights the executable asks for come from the executable.
In a fork of winget-pkgs the files go to manifests/o/Orvanta/Kelvara2/2.4.3/ (the script
prints that folder)."""
import hashlib
import os
import re
import struct
import sys
from urllib.parse import urlsplit

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
PRODUCT_DEFINITION = os.path.join(ROOT, "core", "ProductDefinition.h")

MANIFEST_VERSION = "1.10.0"
LOCALE = "en-US"
TOOL_LINE = "# Created with tools/make_winget_manifest.py of ov_installer"

# The exit codes of the command line that winget can tell its users something specific about;
# 1 (a format failed) and 2 (usage) stay generic failures.
EXPECTED_RETURN_CODES = [(3, "packageInUse"), (4, "diskFull"), (5, "downgrade")]

SILENT_SWITCH = "install all"
LOG_SWITCH = '--log "<LOGPATH>"'

PE_MACHINES = {0x8664: "x64", 0x014C: "x86", 0xAA64: "arm64", 0x01C4: "arm"}


class ManifestError(Exception):
    pass


# ---- what the product and the executable say ------------------------------------------------

def product_definition(path=PRODUCT_DEFINITION):
    """The string constants of the product definition header, by name."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    constants = dict(re.findall(r'inline\s+constexpr\s+const\s+char\s*\*\s*(\w+)\s*=\s*"([^"\\]*)"\s*;', text))
    needed = ("makerName", "rawProductName", "productVersion", "productPageAddress", "manualAddress",
              "copyrightYears")
    missing = [name for name in needed if not constants.get(name)]
    if missing:
        raise ManifestError("%s has no %s" % (path, ", ".join(missing)))
    return constants


def display_product_name(raw_name):
    """As ProductDefinition::displayProductName: the first underscore becomes a space."""
    return raw_name.replace("_", " ", 1)


def pe_architecture(data):
    """The winget architecture of a PE image's machine type."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise ManifestError("not a Windows executable (no MZ header)")
    (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ManifestError("not a Windows executable (no PE signature)")
    (machine,) = struct.unpack_from("<H", data, pe_offset + 4)
    if machine not in PE_MACHINES:
        raise ManifestError("unknown PE machine type 0x%04X" % machine)
    return PE_MACHINES[machine]


def elevation_requirement(data):
    """An executable whose embedded manifest asks for administrator rights starts elevated
    through UAC on its own: winget need not be elevated. Anything less cannot write below
    C:\\Program Files, so winget must run it from an elevated shell."""
    match = re.search(rb'<requestedExecutionLevel\b[^>]*\blevel\s*=\s*["\'](\w+)["\']', data)
    if match and match.group(1) == b"requireAdministrator":
        return "elevatesSelf"
    return "elevationRequired"


# ---- the three files --------------------------------------------------------------------------

def package_identifier(maker, product):
    return "%s.%s" % (re.sub(r"[^A-Za-z0-9]", "", maker), re.sub(r"[^A-Za-z0-9]", "", product))


def publisher_url(address):
    parts = urlsplit(address)
    return "%s://%s" % (parts.scheme, parts.netloc)


def manifests(exe, url, definition=None):
    """The three manifests as (file name, manifest type, ordered content)."""
    definition = definition or product_definition()
    with open(exe, "rb") as f:
        data = f.read()
    architecture = pe_architecture(data)

    maker = definition["makerName"]
    product = display_product_name(definition["rawProductName"])
    version = definition["productVersion"]
    identifier = package_identifier(maker, product)
    product_code = "%s %s" % (maker, product)    # the Uninstall subkey's name
    head = [("PackageIdentifier", identifier), ("PackageVersion", version)]

    version_file = head + [
        ("DefaultLocale", LOCALE),
        ("ManifestType", "version"),
        ("ManifestVersion", MANIFEST_VERSION),
    ]

    installer_file = head + [
        ("InstallerType", "exe"),
        ("Scope", "machine"),
        ("InstallModes", ["interactive", "silent", "silentWithProgress"]),
        ("InstallerSwitches", [
            ("Silent", SILENT_SWITCH),
            ("SilentWithProgress", SILENT_SWITCH),
            ("Log", LOG_SWITCH),
        ]),
        ("ExpectedReturnCodes", [[("InstallerReturnCode", code), ("ReturnResponse", response)]
                                 for code, response in EXPECTED_RETURN_CODES]),
        ("UpgradeBehavior", "install"),
        # The install folders come from the settings file; there is no switch for them.
        ("UnsupportedArguments", ["location"]),
        ("ElevationRequirement", elevation_requirement(data)),
        ("ProductCode", product_code),
        ("AppsAndFeaturesEntries", [[
            ("DisplayName", product),
            ("Publisher", maker),
            ("DisplayVersion", version),
            ("ProductCode", product_code),
            ("InstallerType", "exe"),
        ]]),
        ("Installers", [[
            ("Architecture", architecture),
            ("InstallerUrl", url),
            ("InstallerSha256", hashlib.sha256(data).hexdigest().upper()),
        ]]),
        ("ManifestType", "installer"),
        ("ManifestVersion", MANIFEST_VERSION),
    ]

    locale_file = head + [
        ("PackageLocale", LOCALE),
        ("Publisher", maker),
        ("PublisherUrl", publisher_url(definition["productPageAddress"])),
        ("Author", maker),
        ("PackageName", product),
        ("PackageUrl", definition["productPageAddress"]),
        ("License", "Proprietary"),
        ("Copyright", "Copyright (c) %s %s" % (definition["copyrightYears"], maker)),
        ("ShortDescription", "The %s audio plug-in in VST3, CLAP and AAX formats." % product),
        ("Description", "The Plugin Manager installs, updates and removes %s in the VST3, CLAP and AAX "
                        "formats: in its window, or without one through its command line, as in "
                        "\"install all\"." % product),
        ("Moniker", re.sub(r"[^a-z0-9]+", "-", product.lower()).strip("-")),
        ("Tags", ["audio", "plugin", "vst3", "clap", "aax"]),
        ("Documentations", [[("DocumentLabel", "Manual"), ("DocumentUrl", definition["manualAddress"])]]),
        ("ManifestType", "defaultLocale"),
        ("ManifestVersion", MANIFEST_VERSION),
    ]

    return [
        (identifier + ".yaml", "version", version_file),
        (identifier + ".installer.yaml", "installer", installer_file),
        ("%s.locale.%s.yaml" % (identifier, LOCALE), "defaultLocale", locale_file),
    ]


# ---- YAML as winget's own manifests are written -------------------------------------------------

_PLAIN = re.compile(r"[A-Za-z][A-Za-z0-9 ._,()+-]*|https?://[^\s#'\"]+|\d+(\.\d+){2,}|[0-9A-Fa-f]{64}")
_NOT_STRINGS = {"y", "n", "yes", "no", "on", "off", "true", "false", "null"}


def scalar(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    # Plain only where every YAML reader sees the same string: no number, boolean or null, and
    # nothing a reader could take for syntax; everything else single-quoted.
    plain = (_PLAIN.fullmatch(value) and value == value.strip() and value.lower() not in _NOT_STRINGS
             and not re.fullmatch(r"[0-9]+([eE][0-9]+)?", value))
    return value if plain else "'" + value.replace("'", "''") + "'"


def _is_mapping(value):
    return isinstance(value, list) and value and all(isinstance(item, tuple) for item in value)


def yaml_lines(mapping, indent=""):
    lines = []
    for key, value in mapping:
        if _is_mapping(value):
            lines.append("%s%s:" % (indent, key))
            lines += yaml_lines(value, indent + "  ")
        elif isinstance(value, list):
            lines.append("%s%s:" % (indent, key))
            for item in value:
                if _is_mapping(item):
                    inner = yaml_lines(item, indent + "  ")
                    lines.append(indent + "- " + inner[0][len(indent) + 2:])
                    lines += inner[1:]
                else:
                    lines.append("%s- %s" % (indent, scalar(item)))
        else:
            lines.append("%s%s: %s" % (indent, key, scalar(value)))
    return lines


def schema_address(manifest_type):
    return "https://aka.ms/winget-manifest.%s.%s.schema.json" % (manifest_type.lower(), MANIFEST_VERSION)


def manifest_text(manifest_type, content):
    header = [TOOL_LINE, "# yaml-language-server: $schema=" + schema_address(manifest_type), ""]
    return "\n".join(header + yaml_lines(content)) + "\n"


def write_manifests(exe, url, outdir):
    """Writes the three files into outdir and returns their paths."""
    if not re.fullmatch(r"https?://\S+", url):
        raise ManifestError("the download address must be an http or https URL: %s" % url)
    files = manifests(exe, url)     # everything is read and checked before anything is written
    os.makedirs(outdir, exist_ok=True)
    written = []
    for name, manifest_type, content in files:
        path = os.path.join(outdir, name)
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write(manifest_text(manifest_type, content))
        written.append(path)
    return written


def main(argv):
    if argv[1:] in (["-h"], ["--help"]):
        print(__doc__.strip())
        return 0
    if len(argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    exe, url, outdir = argv[1:]
    try:
        written = write_manifests(exe, url, outdir)
    except (ManifestError, OSError) as error:
        print("make_winget_manifest: %s" % error, file=sys.stderr)
        return 1
    definition = product_definition()
    identifier = package_identifier(definition["makerName"], display_product_name(definition["rawProductName"]))
    print("\n".join(written))
    print("In winget-pkgs: manifests/%s/%s/%s/" % (identifier[0].lower(), identifier.replace(".", "/"),
                                                   definition["productVersion"]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
