#!/usr/bin/env python3
"""Writes the bundled example data sets (highland.tvk, islands.tvk) into this folder.

The data are simulated, not measured: each population draws its individuals from a
multivariate normal distribution whose correlations come from a small factor model (overall
size, face, breadth), and whose means are shifted from a common base by a fraction of the
within-population standard deviation. The shifts are chosen so that Fst comes out at a few
percent, as it does for such measurements between neighbouring human populations.
Populations and places are invented. The output depends only on the fixed seeds, so running
the script again reproduces the committed files byte for byte.

    python3 examples/make_examples.py
"""

import math
import os
import random


class Normal:
    """Standard normal deviates by the Box-Muller method on top of random.random(), whose
    sequence for an integer seed is fixed across Python versions."""

    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.spare = None

    def draw(self):
        if self.spare is not None:
            value, self.spare = self.spare, None
            return value
        u1 = 1.0 - self.rng.random()  # in (0, 1]: log() is defined
        u2 = self.rng.random()
        radius = math.sqrt(-2.0 * math.log(u1))
        self.spare = radius * math.sin(2.0 * math.pi * u2)
        return radius * math.cos(2.0 * math.pi * u2)


def quoted(text):
    return '"' + text + '"' if "," in text else text


def simulate(design, seed):
    """Returns the records as (code, values) in the order design['order'] asks for."""
    normal = Normal(seed)
    traits = design["traits"]
    records = []
    for code, _name, _size, n, shift in design["populations"]:
        # Population mean = base + shift in units of the within SD; shift holds one value per
        # trait plus a general size shift added to every trait in proportion to its size loading.
        spread = design["spread"]
        size_shift = shift[-1]
        means = [t["mean"] + spread * (shift[k] + size_shift * t["load"][0]) * t["sd"]
                 for k, t in enumerate(traits)]
        for _ in range(n):
            factors = [normal.draw() for _ in range(3)]
            values = []
            for k, t in enumerate(traits):
                common = sum(l * f for l, f in zip(t["load"], factors))
                unique = math.sqrt(1.0 - sum(l * l for l in t["load"])) * normal.draw()
                values.append(means[k] + (common + unique) * t["sd"])
            records.append((code, values))
    if design["order"] == "survey":
        # Individuals in the order a field team met them: populations interleaved.
        random.Random(seed + 1).shuffle(records)
    return records


def write_data_set(path, design, seed):
    records = simulate(design, seed)
    lines = [quoted(design["title"]),
             f"{len(design['populations'])}, {len(design['traits'])}"]
    for code, name, size, _n, _shift in design["populations"]:
        lines.append(f"{quoted(name)}, {code}, {size}")
    lines.append(", ".join(t["name"] for t in design["traits"]))
    for code, values in records:
        fields = [f"{v:.{t['decimals']}f}" for v, t in zip(values, design["traits"])]
        lines.append(f"{code}, " + ", ".join(fields))
    with open(path, "w", newline="\n", encoding="utf-8") as out:
        out.write("\n".join(lines) + "\n")
    print(f"{os.path.basename(path)}: {len(design['populations'])} populations, "
          f"{len(design['traits'])} variables, {len(records)} records")


# Within-population means and standard deviations in mm, with loadings on three factors:
# overall size, face height, breadth of the skull and face.
def trait(name, mean, sd, load, decimals=1):
    return {"name": name, "mean": mean, "sd": sd, "load": load, "decimals": decimals}


HIGHLAND = {
    "title": "Highland valleys, adult men: cranial and body measurements (mm)",
    "traits": [
        trait("Stature", 1664.0, 58.0, (0.85, 0.00, 0.00)),
        trait("Sitting height", 868.0, 30.0, (0.75, 0.00, 0.05)),
        trait("Head length", 189.5, 6.4, (0.25, 0.05, -0.10)),
        trait("Head breadth", 148.2, 5.6, (0.20, 0.00, 0.45)),
        trait("Face height", 121.4, 6.2, (0.30, 0.55, 0.10)),
        trait("Nose height", 53.1, 3.6, (0.25, 0.55, 0.00), decimals=2),
        trait("Nose breadth", 35.8, 2.7, (0.10, 0.20, 0.30), decimals=2),
        trait("Bizygomatic", 137.6, 5.4, (0.30, 0.35, 0.50)),
    ],
    # code, name, census size, records, shifts per trait (within SDs) and a general size shift
    "populations": [
        (1, "Ostvarrin", 1840, 58, (0.10, 0.05, -0.15, 0.20, 0.05, -0.10, 0.15, 0.10, 0.10)),
        (2, "Kelmoth", 960, 44, (-0.05, 0.10, 0.20, -0.15, 0.15, 0.20, -0.20, -0.05, -0.15)),
        (3, "Harnavel", 4120, 71, (0.00, -0.05, 0.05, 0.10, -0.10, 0.00, 0.05, 0.15, 0.20)),
        (4, "Tullibrack", 530, 37, (0.15, 0.00, -0.25, 0.30, -0.20, -0.15, 0.25, 0.20, -0.25)),
        (5, "Saundry Fell", 2750, 63, (-0.10, -0.10, 0.10, -0.05, 0.10, 0.05, -0.05, -0.10, 0.05)),
        (6, "Mirrowdale", 1210, 49, (0.05, 0.15, 0.00, -0.20, 0.25, 0.15, -0.10, -0.15, -0.05)),
    ],
    "spread": 2.2,  # scales every shift: Fst grows with its square
    "order": "by population",
}

ISLANDS = {
    "title": "Outer islands survey, adult women, body measurements (mm)",
    "traits": [
        trait("Stature", 1558.0, 55.0, (0.85, 0.00, 0.00)),
        trait("Sitting height", 826.0, 28.0, (0.75, 0.00, 0.05)),
        trait("Arm span", 1572.0, 64.0, (0.80, 0.00, 0.15)),
        trait("Biacromial", 352.0, 16.0, (0.45, 0.00, 0.45)),
        trait("Head length", 182.3, 6.0, (0.25, 0.35, -0.10)),
        trait("Head breadth", 143.6, 5.2, (0.20, 0.00, 0.50)),
    ],
    "populations": [
        (11, "Skarra", 400, 41, (0.20, 0.05, 0.10, -0.10, 0.25, -0.15, 0.10)),
        (12, "Vellisay", 400, 36, (-0.15, -0.10, -0.05, 0.20, -0.10, 0.25, -0.10)),
        (21, "Holm Orran", 400, 45, (0.05, 0.15, 0.00, 0.05, -0.20, 0.10, 0.20)),
        (22, "Faraby", 400, 33, (-0.10, 0.00, -0.20, -0.15, 0.15, -0.20, -0.20)),
        (31, "Lunnevoe", 400, 39, (0.00, -0.10, 0.15, 0.10, -0.05, 0.05, 0.00)),
    ],
    "spread": 1.8,
    "order": "survey",
}


def main():
    folder = os.path.dirname(os.path.abspath(__file__))
    write_data_set(os.path.join(folder, "highland.tvk"), HIGHLAND, seed=5021)
    write_data_set(os.path.join(folder, "islands.tvk"), ISLANDS, seed=7340)


if __name__ == "__main__":
    main()
