#!/usr/bin/env python3
"""Independent reference values for the Mantel test's unit tests (not run at test time).

Plain Python, no third-party modules. Distances on the sphere come from the angle between
the two points' unit vectors (atan2 of the cross and dot products), not from the haversine
formula the program uses. The correlation is computed from the textbook formula and the
p-value exactly, by trying every order of the six populations (6! = 720).

Run:  python3 tests/data/mantel_reference.py
"""
import itertools
import math

R = 6371.0


def unit(lat, lon):
    p, l = math.radians(lat), math.radians(lon)
    return (math.cos(p) * math.cos(l), math.cos(p) * math.sin(l), math.sin(p))


def great_circle(a, b):
    u, v = unit(*a), unit(*b)
    cross = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
    dot = sum(x * y for x, y in zip(u, v))
    return R * math.atan2(math.sqrt(sum(c * c for c in cross)), dot)


CITY_PAIRS = {
    "London-Paris": ((51.5074, -0.1278), (48.8566, 2.3522)),
    "New York-Los Angeles": ((40.7128, -74.0060), (34.0522, -118.2437)),
    "Sydney-Santiago": ((-33.8688, 151.2093), (-33.4489, -70.6693)),
    "Quito-Singapore": ((-0.1807, -78.4678), (1.3521, 103.8198)),
}

# The six populations of mantel_six_coordinates.csv.
COORDS = {
    "Aven": (57.10, -4.20),
    "Brisk": (56.80, -3.90),
    "Corran": (57.60, -5.10),
    "Dunmore": (56.20, -4.70),
    "Eskdale": (55.90, -3.10),
    "Fintry": (58.30, -3.40),
}
NAMES = list(COORDS)

# The run's D-square matrix of the test, upper triangle row by row (two values tie).
DSQ_UPPER = [0.91, 0.35, 0.74, 1.12, 0.88,
             1.03, 0.52, 0.47, 1.40,
             0.61, 0.85, 0.74,
             0.66, 0.97,
             1.20]


def upper(m):
    n = len(m)
    return [m[i][j] for i in range(n) for j in range(i + 1, n)]


def sym(up, n):
    m = [[0.0] * n for _ in range(n)]
    k = 0
    for i in range(n):
        for j in range(i + 1, n):
            m[i][j] = m[j][i] = up[k]
            k += 1
    return m


def pearson(x, y):
    n = len(x)
    mx, my = sum(x) / n, sum(y) / n
    sxy = sum((a - mx) * (b - my) for a, b in zip(x, y))
    sxx = sum((a - mx) ** 2 for a in x)
    syy = sum((b - my) ** 2 for b in y)
    return sxy / math.sqrt(sxx * syy)


def ranks(v):
    out = [0.0] * len(v)
    for i, a in enumerate(v):
        less = sum(1 for b in v if b < a)
        equal = sum(1 for b in v if b == a)
        out[i] = less + (equal + 1) / 2.0
    return out


def exact(x_up, geo, n, rank):
    xs = ranks(x_up) if rank else x_up
    g = sym(ranks(upper(geo)), n) if rank else geo
    r0 = pearson(xs, upper(g))
    reached = 0
    total = 0
    for perm in itertools.permutations(range(n)):
        gp = [g[perm[i]][perm[j]] for i in range(n) for j in range(i + 1, n)]
        total += 1
        if pearson(xs, gp) >= r0 - 1e-12:
            reached += 1
    return r0, reached, total


def main():
    for name, (a, b) in CITY_PAIRS.items():
        print(f"{name}: {great_circle(a, b):.9f} km")
    n = len(NAMES)
    geo = [[great_circle(COORDS[a], COORDS[b]) for b in NAMES] for a in NAMES]
    print("geographic upper triangle:", ", ".join(f"{v:.9f}" for v in upper(geo)))
    for rank in (False, True):
        r0, reached, total = exact(DSQ_UPPER, geo, n, rank)
        label = "Spearman" if rank else "Pearson"
        print(f"{label}: r = {r0:.15f}, exact p = {reached}/{total} = {reached / total:.15f}")


if __name__ == "__main__":
    main()
