"""Bounds of what an SVG element draws: numbers, transforms, path data and basic shapes, with
the extremes of curves and arcs, as the artwork check needs them."""
import math
import re

NUMBER = re.compile(r"[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?")


def number(text, default=None):
    if text is None:
        return default
    m = re.fullmatch(r"\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)(px)?\s*", text)
    return float(m.group(1)) if m else None


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
