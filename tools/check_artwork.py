#!/usr/bin/env python3
"""Checks the embedded artwork and texts against the conventions that the drawing code and the
release-notes panel rely on:

 - every resources/*.svg is well-formed SVG that JUCE's SVG parser draws as intended: only
   paths, basic shapes, groups and a <style> element; no text, gradients, filters, masks,
   clip paths, images or external references; artwork inside the viewBox;
 - the single-colour icons and the wordmark are opaque #000000 (the envelope #1D1D1B), set with
   fill/stroke attributes, so that Drawable::replaceColour can recolour them;
 - the 32 x 32 format icons have several layers, all but one hidden through a display:none
   class, and a fully transparent rectangle over the whole box;
 - the wordmark's viewBox is 0 0 1000 131 and its letters fill it;
 - CHANGELOG.md and EULA.txt have the exact text forms that the panels expect.

Usage: tools/check_artwork.py [RESOURCES_DIR]    (default: the resources/ folder of this tree)
Exits 0 when everything holds, 1 with one line per violation otherwise.
"""
import math
import os
import re
import sys
import xml.etree.ElementTree as ET

# Run from the source tree by the tests: leave no compiled copies of its helpers there.
sys.dont_write_bytecode = True
from artwork_texts import check_changelog, check_eula  # noqa: E402
from svg_geometry import IDENTITY, NUMBER, apply, mat_mul, number, parse_transform, shape_points  # noqa: E402

SVG_NS = "http://www.w3.org/2000/svg"
problems = []
checked = []


def fail(name, message):
    problems.append(f"{name}: {message}")


# ---- what each known file must be ------------------------------------------------------------

BLACK = {"#000000"}
FORMAT_ICONS = {"icon_vst3.svg", "icon_clap.svg", "icon_aax.svg"}
EXPECTED = {
    # file: (viewBox, allowed colours, colours that must all appear)
    "icon_vst3.svg": ("0 0 32 32", BLACK, BLACK),
    "icon_clap.svg": ("0 0 32 32", BLACK, BLACK),
    "icon_aax.svg": ("0 0 32 32", BLACK, BLACK),
    "icon_eula.svg": ("0 0 256 256", BLACK, BLACK),
    "icon_manual.svg": ("0 0 256 256", BLACK, BLACK),
    "icon_web.svg": ("0 0 256 256", BLACK, BLACK),
    "icon_help.svg": ("0 0 256 256", BLACK, BLACK),
    "icon_changelog.svg": ("0 0 256 256", BLACK, BLACK),
    "icon_install.svg": ("0 0 256 256", BLACK, BLACK),
    "icon_discord.svg": ("0 0 256 256", BLACK, BLACK),
    "icon_mail.svg": ("0 0 256 256", {"#1D1D1B"}, {"#1D1D1B"}),
    "icon_success.svg": ("0 0 256 256", {"#86CF7A", "#FFFFFF"}, {"#86CF7A", "#FFFFFF"}),
    "icon_warning.svg": ("0 0 256 256", {"#E08A2A", "#FFFFFF"}, {"#E08A2A", "#FFFFFF"}),
    "logo_orvanta.svg": ("0 0 1000 131", BLACK, BLACK),
}
REQUIRED = sorted(EXPECTED)

ALLOWED_TAGS = {"svg", "g", "path", "rect", "circle", "ellipse", "line", "polyline", "polygon",
                "style", "title", "desc"}
SHAPES = {"path", "rect", "circle", "ellipse", "line", "polyline", "polygon"}
FORBIDDEN_ATTRS = {"filter", "mask", "clip-path", "href", "src", "marker-start", "marker-mid",
                   "marker-end"}


def local(tag):
    return tag.split("}", 1)[1] if "}" in tag else tag


def colour(value):
    """Normalises a colour value to '#RRGGBB', 'none', or None when it cannot be read."""
    v = value.strip()
    if v.lower() == "none":
        return "none"
    m = re.fullmatch(r"#([0-9a-fA-F]{6})", v)
    if m:
        return "#" + m.group(1).upper()
    m = re.fullmatch(r"#([0-9a-fA-F]{3})", v)
    if m:
        return "#" + "".join(c * 2 for c in m.group(1)).upper()
    m = re.fullmatch(r"rgb\(\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*\)", v)
    if m and all(int(x) < 256 for x in m.groups()):
        return "#" + "".join(f"{int(x):02X}" for x in m.groups())
    return None


# ---- one SVG file ----------------------------------------------------------------------------

def check_svg(name, path):
    raw = open(path, "rb").read()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError:
        fail(name, "not UTF-8")
        return
    if "<!DOCTYPE" in text or "<!ENTITY" in text:
        fail(name, "has a DOCTYPE or entity declarations")
    try:
        root = ET.fromstring(raw)
    except ET.ParseError as e:
        fail(name, f"is not well-formed XML ({e})")
        return
    if root.tag != f"{{{SVG_NS}}}svg":
        fail(name, f'root element must be <svg> in the namespace "{SVG_NS}"')
        return

    vb = root.get("viewBox")
    vbn = [float(n) for n in NUMBER.findall(vb or "")]
    if len(vbn) != 4 or vbn[2] <= 0 or vbn[3] <= 0:
        fail(name, "needs a viewBox of four numbers with a positive size")
        return
    for att in ("width", "height"):
        if number(root.get(att)) is None or number(root.get(att)) <= 0:
            fail(name, f"needs a positive {att} attribute")
    expected = EXPECTED.get(name)
    if expected and [float(n) for n in expected[0].split()] != vbn:
        fail(name, f'viewBox is "{vb}", expected "{expected[0]}"')
    is_format_icon = name in FORMAT_ICONS or (name.startswith("icon_") and vbn == [0, 0, 32, 32])
    if is_format_icon:
        if number(root.get("width")) != 32 or number(root.get("height")) != 32:
            fail(name, "a format icon is 32 by 32 (width and height)")

    # the style sheet: only display rules, and only before the elements that use it
    hidden_classes = set()
    declared_classes = set()
    style_seen_at = None
    order = list(root.iter())
    for idx, el in enumerate(order):
        if local(el.tag) == "style":
            css = "".join(el.itertext())
            if style_seen_at is None:
                style_seen_at = idx
            if re.search(r"url\s*\(|@import", css):
                fail(name, "the style sheet refers to something outside the file")
            for sel, body in re.findall(r"([^{}]+)\{([^}]*)\}", css):
                props = {}
                for decl in body.split(";"):
                    if ":" in decl:
                        k, v = decl.split(":", 1)
                        props[k.strip().lower()] = v.strip().lower()
                for k in props:
                    if k != "display":
                        fail(name, f'the style sheet sets "{k}"; colours and everything else go in '
                                   "attributes, the style sheet only hides layers")
                for s in sel.split(","):
                    s = s.strip()
                    if not re.fullmatch(r"\.[A-Za-z_][\w-]*", s):
                        fail(name, f'style selector "{s}" is not a plain class selector')
                        continue
                    declared_classes.add(s[1:])
                    if props.get("display") == "none":
                        hidden_classes.add(s[1:])

    parent = {c: p for p in root.iter() for c in p}

    def ancestors(el):
        out = []
        while el in parent:
            el = parent[el]
            out.append(el)
        return out

    def is_hidden(el):
        for e in [el] + ancestors(el):
            if e.get("display", "").strip().lower() == "none":
                return True
            if e.get("class") in hidden_classes:
                return True
            if re.search(r"display\s*:\s*none", e.get("style", ""), re.I):
                return True
        return False

    def inherited(el, att):
        for e in [el] + ancestors(el):
            if att in e.attrib:
                return e.get(att)
        return None

    allowed, required = (expected[1], expected[2]) if expected else (BLACK, BLACK)
    used = set()
    bounds = [math.inf, math.inf, -math.inf, -math.inf]
    clear_rect = False

    for idx, el in enumerate(order):
        tag = local(el.tag)
        if not el.tag.startswith(f"{{{SVG_NS}}}"):
            fail(name, f"element <{el.tag}> is outside the SVG namespace")
            continue
        if tag not in ALLOWED_TAGS:
            fail(name, f"<{tag}> is not allowed (only paths, basic shapes, groups and <style>)")
            continue
        for att, value in el.attrib.items():
            lname = local(att)
            if lname in FORBIDDEN_ATTRS:
                fail(name, f'<{tag}> has a "{lname}" attribute')
            if "url(" in value.replace(" ", ""):
                fail(name, f'<{tag}> {lname}="{value}" refers to something outside the shape')
        if "style" in el.attrib and re.search(r"fill|stroke|opacity|color", el.get("style"), re.I):
            fail(name, f"<{tag}> sets colours in a style attribute; use fill/stroke attributes")
        if "class" in el.attrib:
            cls = el.get("class").strip()
            if not re.fullmatch(r"[A-Za-z_][\w-]*", cls):
                fail(name, f'<{tag}> class="{cls}": JUCE matches one class name only')
            elif cls not in declared_classes:
                fail(name, f'<{tag}> uses class "{cls}", which the style sheet does not declare')
            if style_seen_at is None or style_seen_at > idx:
                fail(name, f'<{tag}> uses class "{cls}" before the <style> element that defines it')
            if "style" in el.attrib:
                fail(name, f"<{tag}> has both class and style; JUCE then ignores the class")

        if tag not in SHAPES:
            continue

        opac = {}
        for att in ("opacity", "fill-opacity", "stroke-opacity"):
            v = inherited(el, att)
            if v is not None:
                n = number(v)
                if n is None:
                    fail(name, f'<{tag}> has an unreadable {att} "{v}"')
                    n = 1.0
                opac[att] = n
        transparent = opac and min(opac.values()) == 0.0

        try:
            pts = shape_points(el, tag)
        except ValueError as e:
            fail(name, f"<{tag}>: {e}")
            pts = []
        m = IDENTITY
        for e in reversed([el] + ancestors(el)):
            if "transform" in e.attrib:
                t = parse_transform(e.get("transform"))
                if t is None:
                    fail(name, f'unreadable transform "{e.get("transform")}"')
                    t = IDENTITY
                m = mat_mul(t, m)

        fill = inherited(el, "fill")
        stroke = inherited(el, "stroke")
        sw = number(inherited(el, "stroke-width"), 1.0) if stroke not in (None, "none") else 0.0

        if transparent:
            # the one shape that may be invisible: a rectangle over the whole viewBox
            x, y = number(el.get("x"), 0.0), number(el.get("y"), 0.0)
            w, h = number(el.get("width"), 0.0), number(el.get("height"), 0.0)
            whole = (tag == "rect" and [x, y, w, h] == vbn and m == IDENTITY
                     and fill is not None and colour(fill) not in (None, "none")
                     and (stroke is None or colour(stroke) == "none"))
            if not whole:
                fail(name, f"<{tag}> is transparent; only a filled rectangle covering the whole "
                           "viewBox may be (everything else is opaque artwork)")
            else:
                clear_rect = True
        else:
            bad = {k: v for k, v in opac.items() if v != 1.0}
            if bad:
                fail(name, f"<{tag}> has partial opacity {bad}; artwork is fully opaque")
            if fill is None:
                fail(name, f'<{tag}> has no fill attribute (give it fill="{sorted(allowed)[0]}" '
                           'or fill="none")')
            for att, v in (("fill", fill), ("stroke", stroke)):
                if v is None:
                    continue
                c = colour(v)
                if c is None:
                    fail(name, f'<{tag}> has an unreadable {att} "{v}"')
                elif c != "none":
                    if c not in allowed:
                        fail(name, f"<{tag}> {att} {v} is not one of {', '.join(sorted(allowed))}")
                    elif v.strip() != c and v.strip().upper() != c:
                        fail(name, f'<{tag}> {att} "{v}": write the colour as "{c}"')
                    used.add(c)
            if fill is not None and colour(fill) == "none" and (stroke is None or colour(stroke) == "none"):
                fail(name, f"<{tag}> draws nothing (no fill and no stroke)")

        if pts:
            corners = []
            xs = [p[0] for p in pts]
            ys = [p[1] for p in pts]
            half = sw / 2.0
            for cx_ in (min(xs) - half, max(xs) + half):
                for cy_ in (min(ys) - half, max(ys) + half):
                    corners.append(apply(m, cx_, cy_))
            bounds[0] = min(bounds[0], min(c[0] for c in corners))
            bounds[1] = min(bounds[1], min(c[1] for c in corners))
            bounds[2] = max(bounds[2], max(c[0] for c in corners))
            bounds[3] = max(bounds[3], max(c[1] for c in corners))

    missing = required - used
    if missing:
        fail(name, f"no artwork in {', '.join(sorted(missing))}")

    if bounds[0] != math.inf:
        vx0, vy0, vx1, vy1 = vbn[0], vbn[1], vbn[0] + vbn[2], vbn[1] + vbn[3]
        eps = 0.01
        if bounds[0] < vx0 - eps or bounds[1] < vy0 - eps or bounds[2] > vx1 + eps or bounds[3] > vy1 + eps:
            fail(name, "artwork reaches outside the viewBox (bounds %.2f %.2f %.2f %.2f)" % tuple(bounds))
        if name == "logo_orvanta.svg":
            if (abs(bounds[0] - vx0) > 0.5 or abs(bounds[2] - vx1) > 0.5
                    or abs(bounds[1] - vy0) > 0.5 or abs(bounds[3] - vy1) > 0.5):
                fail(name, "the letters must fill the viewBox's width and height (bounds %.2f %.2f "
                           "%.2f %.2f)" % tuple(bounds))
    else:
        fail(name, "has no artwork")

    if is_format_icon:
        if not hidden_classes:
            fail(name, "needs a <style> with a class that sets display:none")
        layers = [c for c in root if local(c.tag) == "g"]
        hidden = [g for g in layers if is_hidden(g)]
        visible = [g for g in layers if not is_hidden(g)]
        if len(layers) < 2:
            fail(name, f"needs several alternative layers (<g>), has {len(layers)}")
        if len(visible) != 1:
            fail(name, f"exactly one layer must be visible, {len(visible)} are")
        if not any(g.get("class") in hidden_classes for g in hidden):
            fail(name, "no layer is hidden through the display:none class")
        for g in layers:
            if not any(local(e.tag) in SHAPES for e in g.iter()):
                fail(name, f'layer "{g.get("id", "?")}" is empty')
        loose = [local(c.tag) for c in root if local(c.tag) in SHAPES
                 and number(c.get("fill-opacity"), 1.0) != 0.0 and number(c.get("opacity"), 1.0) != 0.0]
        if loose:
            fail(name, "visible shapes outside the layers: " + ", ".join(loose))
        if not clear_rect:
            fail(name, "needs a fully transparent rectangle covering the whole 32 x 32 box")
    checked.append(name)


# ---- run -------------------------------------------------------------------------------------


def main():
    resources = sys.argv[1] if len(sys.argv) > 1 else os.path.normpath(
        os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "resources"))
    if not os.path.isdir(resources):
        print(f"check_artwork: no such folder: {resources}", file=sys.stderr)
        return 1

    svgs = sorted(f for f in os.listdir(resources) if f.lower().endswith(".svg"))
    for req in REQUIRED:
        if req not in svgs:
            fail(req, "is missing")
    for f in svgs:
        check_svg(f, os.path.join(resources, f))
    for f, fn in (("CHANGELOG.md", check_changelog), ("EULA.txt", check_eula)):
        p = os.path.join(resources, f)
        if os.path.isfile(p):
            fn(p, fail)
            checked.append(f)
        else:
            fail(f, "is missing")

    if problems:
        for p in problems:
            print(f"check_artwork: FAIL {p}")
        print(f"check_artwork: {len(problems)} problem(s) in {resources}")
        return 1
    for c in checked:
        print(f"check_artwork: ok   {c}")
    print(f"check_artwork: all {len(checked)} files in {resources} follow the conventions")
    return 0


if __name__ == "__main__":
    sys.exit(main())
