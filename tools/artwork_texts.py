"""The text forms that the release-notes and licence panels expect of CHANGELOG.md and EULA.txt.
Each check hands what it finds to fail (name, message)."""
import re


# ---- CHANGELOG.md ----------------------------------------------------------------------------

def version_key(v):
    return tuple(int(p) for p in v.split(".")) + (0,) * (4 - len(v.split(".")))


def check_changelog(path, fail):
    name = "CHANGELOG.md"
    data = open(path, "rb").read()
    if data.startswith(b"\xef\xbb\xbf"):
        fail(name, "starts with a byte-order mark")
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        fail(name, f"is not UTF-8 ({e})")
        return
    if not data.endswith(b"\r\n"):
        fail(name, "the last line must end with CR LF")
    bare_lf = len(re.findall(rb"(?<!\r)\n", data))
    bare_cr = len(re.findall(rb"\r(?!\n)", data))
    if bare_lf or bare_cr:
        fail(name, f"every line must end with CR LF ({bare_lf} bare LF, {bare_cr} bare CR)")
    lines = text.split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    if not lines or lines[0] != "# Kelvara 2 \u2014 Changelog":
        fail(name, 'the first line must be "# Kelvara 2 \u2014 Changelog" (em dash between spaces)')
    headings = []
    bullets_under = {}
    for no, line in enumerate(lines, 1):
        if "\t" in line or line != line.rstrip():
            fail(name, f"line {no} has a tab or trailing white space")
        if no == 1:
            continue
        if line.startswith("### "):
            fail(name, f'line {no} is a "### " heading')
        elif line.startswith("## "):
            m = re.fullmatch(r"## v(\d+(?:\.\d+){1,3})", line)
            if not m:
                fail(name, f'line {no}: release headings read "## v" and a version number')
                continue
            headings.append((no, m.group(1)))
            bullets_under[m.group(1)] = 0
            if lines[no - 2] != "":
                fail(name, f"line {no}: a release heading needs an empty line before it")
        elif line.startswith("#"):
            fail(name, f"line {no}: only the first line is a level-1 heading")
        elif line == "":
            if lines[no - 2] == "":
                fail(name, f"line {no}: more than one empty line in a row")
        elif line.startswith("- "):
            if not headings:
                fail(name, f"line {no}: bullet before the first release heading")
            else:
                bullets_under[headings[-1][1]] += 1
            if line.count("**") % 2:
                fail(name, f"line {no}: unbalanced ** in a bullet")
            if line.count("`") % 2:
                fail(name, f"line {no}: unbalanced backquote in a bullet")
        else:
            fail(name, f'line {no}: neither a heading, a "- " bullet nor empty')
    if len(lines) > 1 and lines[1] != "":
        fail(name, "the title line must be followed by one empty line")
    if lines and lines[-1] == "":
        fail(name, "the text ends with an empty line")
    versions = [v for _, v in headings]
    if len(versions) != 9:
        fail(name, f"there must be nine release headings, found {len(versions)}")
    if versions and versions[0] != "2.4":
        fail(name, f'the first release heading must be "## v2.4", not "## v{versions[0]}"')
    if versions and versions[-1] != "2.1.0":
        fail(name, f'the last release heading must be "## v2.1.0", not "## v{versions[-1]}"')
    for a, b in zip(versions, versions[1:]):
        if version_key(a) <= version_key(b):
            fail(name, f"releases must be newest first: v{a} comes before v{b}")
    for v, n in bullets_under.items():
        if n < 2:
            fail(name, f"release v{v} needs several bullets, has {n}")


# ---- EULA.txt --------------------------------------------------------------------------------

def check_eula(path, fail):
    name = "EULA.txt"
    data = open(path, "rb").read()
    bad = sorted({b for b in data if not (0x20 <= b <= 0x7E or b == 0x0A)})
    if bad:
        fail(name, "only printable ASCII and LF are allowed; found bytes " + ", ".join(f"0x{b:02X}" for b in bad))
    if b"\r" in data:
        fail(name, "has carriage returns")
    if data.endswith(b"\n"):
        fail(name, "must not end with a line feed")
    lines = data.decode("ascii", "replace").split("\n")
    empty = [i for i, l in enumerate(lines) if l == ""]
    paragraphs = [l for l in lines if l != ""]
    if len(lines) != 18:
        fail(name, f"must have 18 lines, has {len(lines)}")
    if len(empty) != 7:
        fail(name, f"must have 7 empty lines, has {len(empty)}")
    if len(paragraphs) != 11:
        fail(name, f"must have 11 paragraphs, has {len(paragraphs)}")
    if lines and (lines[0] == "" or lines[-1] == ""):
        fail(name, "must start and end with a paragraph, not an empty line")
    for a, b in zip(empty, empty[1:]):
        if b == a + 1:
            fail(name, f"lines {a + 1} and {b + 1}: two empty lines in a row")
    for i, l in enumerate(lines, 1):
        if l and l != l.strip():
            fail(name, f"line {i} has leading or trailing spaces")
    if paragraphs:
        first = paragraphs[0]
        if first != lines[0] or first != first.upper() or not re.search(r"[A-Z]", first):
            fail(name, "the first paragraph must be the first line, in capitals")
        if "INSTALL" not in first or "ACCEPT" not in first:
            fail(name, "the first paragraph must say that installing means accepting the agreement")
        for i, p in enumerate(paragraphs[1:], 2):
            if p == p.upper():
                fail(name, f"paragraph {i} is all capitals; only the first one is")
