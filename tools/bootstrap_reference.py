#!/usr/bin/env python3
"""Independent reference for the bootstrap's generator, used when test data are made.

Writes the data file that one bootstrap replicate analyses: the header of the input file
unchanged, then for every population in header order its records drawn with replacement, in
the order drawn. Analysing that file gives, to the last bit, the statistics of that
replicate. With --draws it prints the first draws of a replicate's stream instead.

  tools/bootstrap_reference.py --seed 42 --replicate 7 examples/highland.tvk OUT.tvk
  tools/bootstrap_reference.py --seed 42 --replicate 0 --draws 5
"""
import argparse
import csv

MASK = (1 << 64) - 1
GOLDEN = 0x9E3779B97F4A7C15


def mix(z):
    z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK
    z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK
    return z ^ (z >> 31)


class SplitMix64:
    def __init__(self, state):
        self.state = state & MASK

    def next(self):
        self.state = (self.state + GOLDEN) & MASK
        return mix(self.state)


def stream(seed, replicate):
    return SplitMix64(mix((mix(seed & MASK) + replicate) & MASK))


def uniform_below(gen, n):
    threshold = (1 << 64) % n
    while True:
        x = gen.next()
        if x >= threshold:
            return x % n


def read_tvk(path):
    """Header lines and the record lines, as text; fields split like the data file reader's."""
    with open(path, encoding="latin-1", newline="") as f:
        lines = [line.rstrip("\r\n") for line in f]
    pop_count = int(lines[1].split(",")[0])
    codes = []
    for line in lines[2:2 + pop_count]:
        fields = next(csv.reader([line], skipinitialspace=True))
        codes.append(int(fields[1]))
    header = lines[:3 + pop_count]
    records = [line for line in lines[3 + pop_count:] if line.strip()]
    return header, codes, records


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--seed", type=int, required=True)
    ap.add_argument("--replicate", type=int, required=True)
    ap.add_argument("--draws", type=int)
    ap.add_argument("data", nargs="?")
    ap.add_argument("out", nargs="?")
    a = ap.parse_args()
    gen = stream(a.seed, a.replicate)
    if a.draws:
        for _ in range(a.draws):
            print(gen.next())
        return
    header, codes, records = read_tvk(a.data)
    by_code = {c: [] for c in codes}
    for line in records:
        code = int(float(line.split(",")[0]))
        if code in by_code:
            by_code[code].append(line)
    out = list(header)
    for code in codes:
        pop = by_code[code]
        for _ in range(len(pop)):
            out.append(pop[uniform_below(gen, len(pop))])
    with open(a.out, "w", encoding="latin-1", newline="") as f:
        f.write("\r\n".join(out) + "\r\n")


if __name__ == "__main__":
    main()
