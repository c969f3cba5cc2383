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
NUMBER = re.compile(r"[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?")


def local(tag):
    return tag.split("}", 1)[1] if "}" in tag else tag


def number(text, default=None):
    if text is None:
        return default
    m = re.fullmatch(r"\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)(px)?\s*", text)
    return float(m.group(1)) if m else None


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


# ---- geometry: bounds of what is drawn, transforms included -----------------------------------

def mat_mul(a, b):
    # a then b, matrices as (a, b, c, d, e, f): x' = a x + c y + e, y' = b x + d y + f
    return (b[0] * a[0] + b[2] * a[1], b[1] * a[0] + b[3] * a[1],
            b[0] * a[2] + b[2] * a[3], b[1] * a[2] + b[3] * a[3],
            b[0] * a[4] + b[2] * a[5] + b[4], b[1] * a[4] + b[3] * a[5] + b[5])


IDENTITY = (1.0, 0.0, 0.0, 1.0, 0.0, 0.0)


def parse_transform(text):
    m_total = IDENTITY
    for name, args in re.findall(r"(matrix|translate|scale|rotate|skewX|skewY)\s*\(([^)]*)\)", text or ""):
        v = [float(x) for x in NUMBER.findall(args)]
        if name == "matrix" and len(v) == 6:
            m = tuple(v)
        elif name == "translate" and v:
            m = (1, 0, 0, 1, v[0], v[1] if len(v) > 1 else 0)
        elif name == "scale" and v:
            m = (v[0], 0, 0, v[1] if len(v) > 1 else v[0], 0, 0)
        elif name == "rotate" and v:
            a = math.radians(v[0])
            m = (math.cos(a), math.sin(a), -math.sin(a), math.cos(a), 0, 0)
            if len(v) == 3:
                m = mat_mul(mat_mul((1, 0, 0, 1, -v[1], -v[2]), m), (1, 0, 0, 1, v[1], v[2]))
        elif name == "skewX" and v:
            m = (1, 0, math.tan(math.radians(v[0])), 1, 0, 0)
        elif name == "skewY" and v:
            m = (1, math.tan(math.radians(v[0])), 0, 1, 0, 0)
        else:
            return None
        # SVG applies the rightmost transform first
        m_total = mat_mul(m, m_total)
    return m_total


def apply(m, x, y):
    return (m[0] * x + m[2] * y + m[4], m[1] * x + m[3] * y + m[5])


def cubic_extrema(p0, p1, p2, p3):
    ts = [0.0, 1.0]
    a = -p0 + 3 * p1 - 3 * p2 + p3
    b = 2 * (p0 - 2 * p1 + p2)
    c = p1 - p0
    if abs(a) < 1e-12:
        if abs(b) > 1e-12:
            ts.append(-c / b)
    else:
        disc = b * b - 4 * a * c
        if disc >= 0:
            r = math.sqrt(disc)
            ts += [(-b + r) / (2 * a), (-b - r) / (2 * a)]
    out = []
    for t in ts:
        if 0.0 <= t <= 1.0:
            u = 1 - t
            out.append(u ** 3 * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t ** 3 * p3)
    return out


def arc_points(x1, y1, rx, ry, phi, large, sweep, x2, y2):
    """Extreme points of an SVG elliptical arc (endpoint parameterisation)."""
    pts = [(x1, y1), (x2, y2)]
    rx, ry = abs(rx), abs(ry)
    if rx == 0 or ry == 0 or (x1 == x2 and y1 == y2):
        return pts
    cp, sp = math.cos(math.radians(phi)), math.sin(math.radians(phi))
    dx, dy = (x1 - x2) / 2, (y1 - y2) / 2
    x1p, y1p = cp * dx + sp * dy, -sp * dx + cp * dy
    lam = (x1p / rx) ** 2 + (y1p / ry) ** 2
    if lam > 1:
        rx, ry = rx * math.sqrt(lam), ry * math.sqrt(lam)
    num = rx * rx * ry * ry - rx * rx * y1p * y1p - ry * ry * x1p * x1p
    den = rx * rx * y1p * y1p + ry * ry * x1p * x1p
    k = math.sqrt(max(0.0, num / den)) if den else 0.0
    if large == sweep:
        k = -k
    cxp, cyp = k * rx * y1p / ry, -k * ry * x1p / rx
    cx = cp * cxp - sp * cyp + (x1 + x2) / 2
    cy = sp * cxp + cp * cyp + (y1 + y2) / 2

    def angle(ux, uy, vx, vy):
        a = math.atan2(ux * vy - uy * vx, ux * vx + uy * vy)
        return a

    t1 = angle(1, 0, (x1p - cxp) / rx, (y1p - cyp) / ry)
    dt = angle((x1p - cxp) / rx, (y1p - cyp) / ry, (-x1p - cxp) / rx, (-y1p - cyp) / ry)
    if not sweep and dt > 0:
        dt -= 2 * math.pi
    elif sweep and dt < 0:
        dt += 2 * math.pi
    steps = 720
    for i in range(steps + 1):
        t = t1 + dt * i / steps
        ex, ey = rx * math.cos(t), ry * math.sin(t)
        pts.append((cx + cp * ex - sp * ey, cy + sp * ex + cp * ey))
    return pts


def path_points(d):
    tokens = re.findall(r"[MmLlHhVvCcSsQqTtAaZz]|[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?", d)
    pts = []
    i = 0
    cmd = None
    x = y = sx = sy = 0.0
    last_ctrl = None
    counts = {"M": 2, "L": 2, "H": 1, "V": 1, "C": 6, "S": 4, "Q": 4, "T": 2, "A": 7, "Z": 0}

    def take(n):
        nonlocal i
        vals = [float(t) for t in tokens[i:i + n]]
        if len(vals) < n or any(re.fullmatch(r"[A-Za-z]", t) for t in tokens[i:i + n]):
            raise ValueError("path data ends in the middle of a command")
        i += n
        return vals

    while i < len(tokens):
        t = tokens[i]
        if re.fullmatch(r"[A-Za-z]", t):
            cmd = t
            i += 1
            if cmd in "Zz":
                x, y = sx, sy
                pts.append((x, y))
                last_ctrl = None
                continue
        elif cmd is None:
            raise ValueError("path data does not start with a command")
        up = cmd.upper()
        rel = cmd.islower()
        v = take(counts[up])
        ox, oy = (x, y) if rel else (0.0, 0.0)
        if up == "M":
            x, y = ox + v[0], oy + v[1]
            sx, sy = x, y
            pts.append((x, y))
            cmd = "l" if rel else "L"
            last_ctrl = None
        elif up == "L" or up == "T":
            x, y = ox + v[0], oy + v[1]
            pts.append((x, y))
            last_ctrl = None
        elif up == "H":
            x = ox + v[0]
            pts.append((x, y))
        elif up == "V":
            y = (y if rel else 0.0) + v[0]
            pts.append((x, y))
        elif up in "CSQ":
            if up == "C":
                c1 = (ox + v[0], oy + v[1]); c2 = (ox + v[2], oy + v[3]); e = (ox + v[4], oy + v[5])
            elif up == "S":
                c1 = (2 * x - last_ctrl[0], 2 * y - last_ctrl[1]) if last_ctrl else (x, y)
                c2 = (ox + v[0], oy + v[1]); e = (ox + v[2], oy + v[3])
            else:
                q = (ox + v[0], oy + v[1]); e = (ox + v[2], oy + v[3])
                c1 = (x + 2 / 3 * (q[0] - x), y + 2 / 3 * (q[1] - y))
                c2 = (e[0] + 2 / 3 * (q[0] - e[0]), e[1] + 2 / 3 * (q[1] - e[1]))
            xs = cubic_extrema(x, c1[0], c2[0], e[0])
            ys = cubic_extrema(y, c1[1], c2[1], e[1])
            pts += [(px, e[1]) for px in xs] + [(e[0], py) for py in ys]
            last_ctrl = c2
            x, y = e
        elif up == "A":
            e = (ox + v[5], oy + v[6])
            pts += arc_points(x, y, v[0], v[1], v[2], int(v[3]) != 0, int(v[4]) != 0, e[0], e[1])
            x, y = e
            last_ctrl = None
    # for curves only the extreme x and y values are exact; the caller takes their box
    return pts


def shape_points(el, tag):
    a = el.attrib
    if tag == "path":
        return path_points(a.get("d", ""))
    if tag == "rect":
        x, y = number(a.get("x"), 0.0), number(a.get("y"), 0.0)
        w, h = number(a.get("width"), 0.0), number(a.get("height"), 0.0)
        if None in (x, y, w, h):
            raise ValueError("rect with unreadable geometry")
        return [(x, y), (x + w, y + h)]
    if tag == "circle":
        cx, cy, r = number(a.get("cx"), 0.0), number(a.get("cy"), 0.0), number(a.get("r"), 0.0)
        return [(cx - r, cy - r), (cx + r, cy + r)]
    if tag == "ellipse":
        cx, cy = number(a.get("cx"), 0.0), number(a.get("cy"), 0.0)
        rx, ry = number(a.get("rx"), 0.0), number(a.get("ry"), 0.0)
        return [(cx - rx, cy - ry), (cx + rx, cy + ry)]
    if tag == "line":
        return [(number(a.get("x1"), 0.0), number(a.get("y1"), 0.0)),
                (number(a.get("x2"), 0.0), number(a.get("y2"), 0.0))]
    if tag in ("polyline", "polygon"):
        v = [float(n) for n in NUMBER.findall(a.get("points", ""))]
        return list(zip(v[0::2], v[1::2]))
    return []


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


# ---- CHANGELOG.md ----------------------------------------------------------------------------

def version_key(v):
    return tuple(int(p) for p in v.split(".")) + (0,) * (4 - len(v.split(".")))


def check_changelog(path):
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
    checked.append(name)


# ---- EULA.txt --------------------------------------------------------------------------------

def check_eula(path):
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
            fn(p)
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
