#!/usr/bin/env python3
"""Independent model of one TAVRIK 5.0 analysis run, used to produce the golden report files.

It is written apart from the C++ program on purpose: the golden tests compare the two to the
last printed digit. Python floats are IEEE doubles, so every formula below keeps the operation
order of the program's rules (sums in index order from zero, products left to right). The
heritability and the population sizes are 32-bit floats, emulated with struct.

Indices in the formulas count from 1; the lists here count from 0.

Usage:
  tavrik_reference.py DATA.tvk [--heritability H] [--no-bias-correction] [--scaled]
                      [--show-matrices] [--population NAME ...] [--variable NAME ...]
                      [--epoch SECONDS] [--data-path TEXT]
                      [--report FILE] [--matrices FILE] [--screen FILE] [--flags FILE]
  tavrik_reference.py --case CASE.case [--report FILE] [--matrices FILE] [--screen FILE]

A case file holds one setting per line, "key value": data, heritability, bias (0/1),
scaled (0/1), show-matrices (0/1), epoch, and any number of population and variable lines.
Without population (variable) lines every population (variable) is chosen.
"""

import argparse
import datetime
import decimal
import math
import os
import struct
import sys

decimal.getcontext().prec = 1000

OUTPUT_SIZE_LIMIT = 24000
PIVOT_TOLERANCE = 1e-10
JACOBI_EPSILON = 7.450580596e-09
NON_ZERO_THRESHOLD = 5e-07
PLOT_SYMBOLS = (
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ" "abcdefghijklmnopqrstuvwxyz" "0123456789"
)


class RunError(Exception):
    pass




def _f32_bits(x):
    return struct.unpack("<I", struct.pack("<f", x))[0]


def _f32_from_bits(b):
    return struct.unpack("<f", struct.pack("<I", b))[0]


def to_float32(x):
    """Nearest float32 of a double (one rounding)."""
    return struct.unpack("<f", struct.pack("<f", x))[0]


def decimal_text_to_float32(text):
    """The float32 nearest to the exact decimal value of text (ties to even), without the
    double rounding of going through a double first."""
    exact = decimal.Decimal(text.strip())
    cand = to_float32(float(exact))
    if cand == 0.0 or math.isinf(cand):
        return cand
    bits = _f32_bits(cand)
    best, best_err = None, None
    for b in (bits - 1, bits, bits + 1):
        v = _f32_from_bits(b)
        if math.isinf(v) or math.isnan(v):
            continue
        err = abs(decimal.Decimal(v) - exact)
        if best is None or err < best_err or (err == best_err and (b & 1) == 0):
            best, best_err = v, err
    return best




def _fixed_abs(x, decimals):
    q = decimal.Decimal(abs(x)).quantize(
        decimal.Decimal(1).scaleb(-decimals), rounding=decimal.ROUND_HALF_UP
    )
    return format(q, "f")


def fmt(x, pattern):
    """Fixed patterns: halves away from zero on the exact binary value, sign taken from the
    unrounded value (negative zero is not negative)."""
    neg = x < 0
    if pattern in ("0.000000", "0.000", "0.0000"):
        return ("-" if neg else "") + _fixed_abs(x, len(pattern) - 2)
    if pattern in (" 0.000;-0.000", " 0.0000;-0.0000", " 0.000000;-0.000000"):
        decimals = len(pattern.split(";")[0]) - 3
        return ("-" if neg else " ") + _fixed_abs(x, decimals)
    if pattern in ("0.000;-0.000", "0.000000;-0.000000"):
        decimals = len(pattern.split(";")[0]) - 2
        return ("-" if neg else "") + _fixed_abs(x, decimals)
    if pattern == "###.0":
        s = _fixed_abs(x, 1)
        if s.startswith("0."):
            s = s[1:]
        return ("-" if neg else "") + s
    if pattern in ("###", "####", "#####", "############"):
        s = _fixed_abs(x, 0)
        if s == "0":
            return ""
        return ("-" if neg else "") + s
    raise ValueError("unknown pattern " + pattern)




class Writer:
    """Items concatenated; tab(n) moves to 1-based column n, on a new line when passed."""

    def __init__(self):
        self.parts = []
        self.col = 1

    def text(self, s):
        assert "\n" not in s and "\r" not in s
        self.parts.append(s)
        self.col += len(s)
        return self

    def num(self, n):
        n = int(n)
        return self.text((" " if n >= 0 else "-") + str(abs(n)) + " ")

    def tab(self, n):
        if self.col > n:
            self.end()
        if self.col < n:
            self.text(" " * (n - self.col))
        return self

    def end(self):
        self.parts.append("\r\n")
        self.col = 1
        return self

    def empty(self, count=1):
        for _ in range(count):
            self.end()
        return self

    def line(self, s=""):
        return self.text(s).end()

    def str(self):
        return "".join(self.parts)




class Fields:
    """Sequential field reader: commas and line ends separate fields, blanks before a field
    are skipped, quoted text runs to the next quote, numbers also end at a blank."""

    def __init__(self, text, path):
        if text.startswith("\ufeff"):
            text = text[1:]
        self.s = text.replace("\r\n", "\n").replace("\r", "\n")
        self.i = 0
        self.path = path

    def _skip_space(self):
        while self.i < len(self.s) and self.s[self.i] in " \t\n":
            self.i += 1

    def _skip_delim(self):
        while self.i < len(self.s) and self.s[self.i] in " \t":
            self.i += 1
        if self.i < len(self.s) and self.s[self.i] == ",":
            self.i += 1

    def at_end(self):
        self._skip_space()
        return self.i >= len(self.s)

    def text(self):
        self._skip_space()
        if self.i >= len(self.s):
            raise RunError("%s: file ends inside the header" % self.path)
        if self.s[self.i] == '"':
            end = self.s.find('"', self.i + 1)
            if end < 0:
                end = len(self.s)
            value = self.s[self.i + 1 : end]
            self.i = end + 1
            while self.i < len(self.s) and self.s[self.i] not in ",\n":
                self.i += 1
            if self.i < len(self.s) and self.s[self.i] == ",":
                self.i += 1
            return value
        start = self.i
        while self.i < len(self.s) and self.s[self.i] not in ",\n":
            self.i += 1
        value = self.s[start : self.i].rstrip(" \t")
        if self.i < len(self.s) and self.s[self.i] == ",":
            self.i += 1
        return value

    def raw_number(self):
        self._skip_space()
        start = self.i
        while self.i < len(self.s) and self.s[self.i] not in ", \t\n":
            self.i += 1
        token = self.s[start : self.i]
        self._skip_delim()
        if not token:
            raise RunError("%s: expected a number" % self.path)
        return token

    def number(self):
        token = self.raw_number()
        try:
            return float(token)
        except ValueError:
            raise RunError("%s: expected a number, found %r" % (self.path, token))


def read_data_file(path):
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-8")
    fields = Fields(text, path)
    title = fields.text()
    pop_count = int(fields.number())
    var_count = int(fields.number())
    pops = []
    for _ in range(pop_count):
        name = fields.text()
        code = int(fields.number())
        size = decimal_text_to_float32(fields.raw_number())
        pops.append((name, code, size))
    var_names = [fields.text() for _ in range(var_count)]
    records = []
    while not fields.at_end():
        code = fields.number()
        values = [fields.number() for _ in range(var_count)]
        records.append((code, values))
    return title, pops, var_names, records




def run(
    path,
    heritability=1.0,
    bias=1,
    scaled=0,
    show_matrices=0,
    pop_choice=None,
    var_choice=None,
    epoch=1765000000,
    data_path_text=None,
):
    h2 = to_float32(heritability)
    title, pops, var_names, records = read_data_file(path)
    P, V = len(pops), len(var_names)

    matrix_count = 2
    same = 0
    for i in range(1, P):
        if pops[i][2] == pops[0][2]:
            same += 1
    if same == P - 1:
        matrix_count = 1

    pop_flags = [pop_choice is None or p[0] in pop_choice for p in pops]
    var_flags = [var_choice is None or v in var_choice for v in var_names]
    names = [p[0] for p, f in zip(pops, pop_flags) if f]
    codes = [p[1] for p, f in zip(pops, pop_flags) if f]
    sizes = [p[2] for p, f in zip(pops, pop_flags) if f]
    var_pos = [k for k in range(V) if var_flags[k]]
    sel_var_names = [var_names[k] for k in var_pos]
    g, t = len(names), len(var_pos)
    if g < 2 or t < 1:
        raise RunError("choose at least two populations and one variable")

    S = 0.0
    for s in sizes:
        S = S + s
    if S == 0:
        raise RunError("The chosen populations have a total census size of 0")
    w = [sizes[i] / S for i in range(g)]

    n = [0.0] * g
    m = [[0.0] * t for _ in range(g)]
    sum1 = [0.0] * t
    # the total variance sums deviations from the first chosen record's values, K(k)
    shift = None
    dsum1 = [0.0] * t
    dsum2 = [0.0] * t

    def find(c):
        j = -1
        for i in range(g):
            if codes[i] == c:
                j = i
        return j

    for c, x in records:
        j = find(c)
        if j >= 0:
            if shift is None:
                shift = [x[var_pos[k]] for k in range(t)]
            n[j] = n[j] + 1
            for k in range(t):
                v = x[var_pos[k]]
                sum1[k] = sum1[k] + v
                d = v - shift[k]
                dsum1[k] = dsum1[k] + d
                dsum2[k] = dsum2[k] + d * d
                m[j][k] = m[j][k] + v

    N = 0.0
    for i in range(g):
        N = N + n[i]
    for i in range(g):
        owner = find(codes[i])
        if n[i] == 0 and owner != i:
            raise RunError(
                "population %s has no records of its own: it shares code %d with population %s"
                % (names[i], codes[i], names[owner])
            )
        if n[i] < 2:
            raise RunError("population %s has fewer than two records" % names[i])
    total_var = [(dsum2[k] - dsum1[k] * dsum1[k] / N) / (N - 1) for k in range(t)]
    grand_mean = [0.0] * t
    for k in range(t):
        grand_mean[k] = sum1[k] / N
        for i in range(g):
            m[i][k] = m[i][k] / n[i]
    for k in range(t):
        if not total_var[k] > 0:
            raise RunError("variable %s has no variance" % sel_var_names[k])
    for i in range(g):
        for k in range(t):
            m[i][k] = (m[i][k] - grand_mean[k]) / math.sqrt(total_var[k])

    s_within = [[0.0] * t for _ in range(g)]
    C = [[0.0] * t for _ in range(t)]
    for c, x in records:
        j = find(c)
        if j >= 0:
            i = j
            z = [(x[var_pos[k]] - grand_mean[k]) / math.sqrt(total_var[k]) for k in range(t)]
            e = [z[k] - m[i][k] for k in range(t)]
            for k in range(t):
                s_within[i][k] = s_within[i][k] + e[k] * e[k] / (n[i] - 1)
            for k in range(t):
                for l in range(k + 1):
                    C[k][l] = C[k][l] + e[k] * w[i] * e[l] / (n[i] - 1)
    for k in range(t):
        for l in range(k + 1):
            C[l][k] = C[k][l]
    observed = []
    for i in range(g):
        acc = 0.0
        for k in range(t):
            acc = acc + s_within[i][k]
        observed.append(acc / t)
    acc = 0.0
    for k in range(t):
        acc = acc + C[k][k]
    mean_within = acc / t

    # Gauss-Jordan: A = h2 * C (h2 widened from float), B starts as the identity
    A = [[h2 * C[k][l] for l in range(t)] for k in range(t)]
    B = [[1.0 if i == j else 0.0 for j in range(t)] for i in range(t)]
    for j in range(t):
        r = j
        while abs(A[r][j]) < PIVOT_TOLERANCE:
            if r == t - 1:
                raise RunError("Matrix could not be inverted")
            r += 1
        for k in range(t):
            A[r][k], A[j][k] = A[j][k], A[r][k]
            B[r][k], B[j][k] = B[j][k], B[r][k]
        d = 1.0 / A[j][j]
        for k in range(t):
            A[j][k] = d * A[j][k]
            B[j][k] = d * B[j][k]
        for q in range(t):
            if q == j:
                continue
            f = -A[q][j]
            for k in range(t):
                A[q][k] = f * A[j][k] + A[q][k]
                B[q][k] = f * B[j][k] + B[q][k]
    Ginv = B

    # centroid, R matrix, Fst and the standard errors of the diagonal (before the report head)
    for k in range(t):
        ck = 0.0
        for i in range(g):
            ck = ck + w[i] * m[i][k]
        for i in range(g):
            m[i][k] = m[i][k] - ck
    d = m
    T = [[0.0] * g for _ in range(t)]
    for k in range(t):
        for i in range(g):
            acc = 0.0
            for l in range(t):
                acc = acc + Ginv[k][l] * d[i][l]
            T[k][i] = acc
    Q = [[0.0] * g for _ in range(g)]
    for i in range(g):
        for j in range(g):
            acc = 0.0
            for l in range(t):
                acc = acc + d[i][l] * T[l][j]
            Q[i][j] = acc
    s = 0.0
    for i in range(g):
        s = s + w[i] * Q[i][i]
    fst = s / (s + 2 * t)
    R = [[Q[i][j] * (1 - fst) / (2 * t) for j in range(g)] for i in range(g)]
    bias_term = [0.0] * g
    if bias == 1:
        fst_unbiased = 0.0
        for i in range(g):
            bias_term[i] = 1 / (2 * n[i])
            u = R[i][i] - bias_term[i]
            if u < 0:
                u = 0.0
            fst_unbiased = fst_unbiased + w[i] * u
    else:
        fst_unbiased = fst

    def sqrt0(x):
        return math.sqrt(x) if x > 0 else 0.0

    se_diag = [sqrt0(2 * R[i][i] * (1 - fst) / (t * n[i])) for i in range(g)]
    acc = 0.0
    for i in range(g):
        acc = acc + 2 * (w[i] * w[i]) * R[i][i] / (t * n[i])
    # the cube through pow (one rounding), then times the sum
    fst_se = sqrt0(math.pow(1 - fst, 3) * acc)
    biased_diag = [R[i][i] for i in range(g)]

    # off-diagonal standard errors, the bias correction of the diagonal, D-square
    seR = [[0.0] * g for _ in range(g)]
    seD = [[0.0] * g for _ in range(g)]
    for i in range(g - 1):
        for j in range(i + 1, g):
            seR[i][j] = sqrt0((1 - fst) / (2 * t) * (R[i][i] / n[j] + R[j][j] / n[i]))
    for i in range(g - 1):
        for j in range(i, g):
            e_ = R[i][i] + R[j][j] - 2 * R[i][j]
            seD[i][j] = sqrt0(2 * (1 - fst) / t * e_ * (1 / n[i] + 1 / n[j]))
    if bias == 1:
        for i in range(g):
            v = R[i][i] - 1 / (2 * n[i])
            R[i][i] = v if v > 0 else 0.0
    D = [[0.0] * g for _ in range(g)]
    for i in range(g - 1):
        for j in range(i, g):
            v = R[i][i] + R[j][j] - 2 * R[i][j]
            if v < 0 and bias == 1:
                v = 0.0
            D[i][j] = v
            D[j][i] = v

    # Velbrand-Torvane
    expected = [mean_within * (1 - R[i][i]) / (1 - fst_unbiased) for i in range(g)]
    residual = [observed[i] - expected[i] for i in range(g)]

    # scaled matrices
    if scaled == 0:
        matrix_count = 1
    Rs = Ds = None
    if matrix_count == 2:
        gd = float(g)
        Rs = [
            [gd * math.sqrt(w[i]) * math.sqrt(w[j]) * R[i][j] for j in range(g)]
            for i in range(g)
        ]
        Ds = [[0.0] * g for _ in range(g)]
        for i in range(g - 1):
            for j in range(i, g):
                v = (Rs[j][j] + Rs[i][i]) - 2 * Rs[i][j]
                if v < 0 and bias == 1:
                    v = 0.0
                Ds[i][j] = v
                Ds[j][i] = v

    out = Writer()
    when = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc)
    out.line("TAVRIK 5.0")
    out.line(format_date(when) + "     " + format_time(when))
    out.empty(2)
    out.line("Data file = " + (data_path_text if data_path_text is not None else path))
    out.empty()
    out.line("Data set: " + title)
    out.empty()
    out.text("Data available for: ").num(P).text(" populations and ").num(V)
    out.line(" variables")
    out.text(" Data selected for: ").num(g).text(" populations and ").num(t)
    out.line(" variables")
    out.empty()
    out.line("Heritability = " + fmt(h2, "0.000"))
    out.empty()
    if bias == 1:
        out.line("Correction for sampling bias was requested, and any")
        out.line("negative r(ii) or distance values were set equal to zero")
    else:
        out.line("No correction for sampling bias")
    out.empty(2)
    out.line("Variables used in this analysis:")
    out.empty()
    cols = (1, 16, 31, 46, 61)
    for k in range(t):
        out.tab(cols[k % 5]).text(sel_var_names[k])
        if k % 5 == 4:
            out.end()
    if t % 5 != 0:
        out.end()
        out.empty()
    else:
        out.empty(2)
    out.line("Populations used in this analysis:")
    out.empty()
    if matrix_count_file(pops) == 2:
        out.tab(16).text("Sample").tab(25).line("Population")
        out.text("Population").tab(17).text("size").tab(28).text("size").tab(38)
        out.line("Weight")
        out.empty()
        for i in range(g):
            out.text(names[i]).tab(17).text(fmt(n[i], "####"))
            out.tab(27).text(fmt(sizes[i], "############"))
            out.tab(39).line(fmt(w[i], "0.000"))
        out.empty()
        out.text("Total").tab(17).line(fmt(N, "#####"))
    else:
        out.tab(16).line("Sample")
        out.text("Population").tab(17).line("size")
        out.empty()
        for i in range(g):
            out.text(names[i]).tab(17).line(fmt(n[i], "####"))
        out.empty()
        out.text("Total").tab(17).line(fmt(N, "#####"))
        out.empty()
        out.line("All populations are equally weighted")
    out.empty(2)
    out.line("Diagonals of the R Matrix:")
    out.empty()
    if bias == 1:
        out.text("Population").tab(18).text("Biased r(ii)").tab(35).text("Unbiased r(ii)")
        out.tab(57).line("se")
        out.empty()
        for i in range(g):
            u = biased_diag[i] - bias_term[i]
            if u < 0:
                u = 0.0
            out.text(names[i]).tab(20).text(fmt(biased_diag[i], "0.000000"))
            out.tab(38).text(fmt(u, "0.000000")).tab(54).line(fmt(se_diag[i], "0.000000"))
    else:
        out.text("Population").tab(18).text("Biased r(ii)").tab(38).line("se")
        out.empty()
        for i in range(g):
            out.text(names[i]).tab(19).text(fmt(biased_diag[i], "0.000000"))
            out.tab(35).line(fmt(se_diag[i], "0.000000"))
    out.empty()
    if bias == 1:
        out.line("            Fst = " + fmt(fst, "0.000000"))
        out.line("   Unbiased Fst = " + fmt(fst_unbiased, "0.000000"))
    else:
        out.line("            Fst = " + fmt(fst_unbiased, "0.000000"))
    out.line("             se = " + fmt(fst_se, "0.000000"))
    out.empty()
    if bias == 1:
        out.line("All further analyses are based on the unbiased R matrix")
        out.empty()
    out.empty()

    out.line("Velbrand-Torvane Analysis:")
    out.empty()
    out.line("Mean Within-group Phenotypic Variance = " + fmt(mean_within, "0.000"))
    out.empty()
    out.tab(27).line("Within-group Phenotypic Variance")
    out.tab(27).line("--------------------------------")
    out.text("Population").tab(18).text("r(ii)").tab(28).text("Observed").tab(39)
    out.text("Expected").tab(50).line("Residual")
    out.empty()
    for i in range(g):
        out.text(names[i]).tab(16).text(fmt(R[i][i], "0.000000"))
        out.tab(30).text(fmt(observed[i], "0.000")).tab(41).text(fmt(expected[i], "0.000"))
        out.tab(51).line(fmt(residual[i], " 0.000;-0.000"))
    above = [i for i in range(g) if R[i][i] > 1.0]
    if above:
        out.empty()
        for i in above:
            out.line("Note: r(ii) of " + names[i] + " is above 1, so its expected variance is "
                     "below zero and not meaningful")
    out.empty(2)

    pc_scores = []
    for pass_no in range(1, matrix_count + 1):
        lam, vec, nz = decompose(R if pass_no == 1 else Rs, g)
        pc_scores.append(write_pca_section(out, pass_no, lam, vec, nz, names, g))
    report = out.str()

    mf = Writer()
    mf.line("R Matrix:")
    mf.line("(standard errors in parentheses)")
    mf.empty()
    for i in range(g):
        mf.tab(16).text(names[i]).tab(31).text(fmt(R[i][i], " 0.000000;-0.000000"))
        mf.text("  (").text(fmt(se_diag[i], "0.000000")).line(")")
    mf.empty()
    for i in range(g - 1):
        for j in range(i + 1, g):
            mf.text(names[i]).tab(16).text(names[j]).tab(31)
            mf.text(fmt(R[i][j], " 0.000000;-0.000000"))
            mf.text("  (").text(fmt(seR[i][j], "0.000000")).line(")")
    mf.empty(2)
    mf.line("D-Square Matrix:")
    mf.line("(standard errors in parentheses)")
    mf.empty()
    for i in range(g - 1):
        for j in range(i + 1, g):
            mf.text(names[i]).tab(16).text(names[j]).tab(31)
            mf.text(fmt(D[i][j], " 0.000000;-0.000000"))
            mf.text("  (").text(fmt(seD[i][j], "0.000000")).line(")")
    mf.empty(2)
    if matrix_count == 2:
        mf.line("The following matrices are based on the scaling method")
        mf.line("described by Velbrand (1996) where the R matrix is")
        mf.line("scaled as R(i,j) = g * sqrt[W(i)] * sqrt[W(j)] * R(i,j)")
        mf.empty()
        mf.line("Scaled R Matrix:")
        mf.empty()
        for i in range(g):
            mf.tab(16).text(names[i]).tab(31).line(fmt(Rs[i][i], " 0.000000;-0.000000"))
        mf.empty()
        for i in range(g - 1):
            for j in range(i + 1, g):
                mf.text(names[i]).tab(16).text(names[j]).tab(31)
                mf.line(fmt(Rs[i][j], " 0.000000;-0.000000"))
        mf.empty(2)
        mf.line("D-Square Matrix Based on Scaled R Matrix:")
        mf.empty()
        for i in range(g - 1):
            for j in range(i + 1, g):
                mf.text(names[i]).tab(16).text(names[j]).tab(31)
                mf.line(fmt(Ds[i][j], " 0.000000;-0.000000"))
        mf.empty(2)
    matrices = mf.str()

    fits = len(report.encode("utf-8")) + len(matrices.encode("utf-8")) < OUTPUT_SIZE_LIMIT
    screen = report
    if fits and show_matrices:
        screen = report + matrices
    return {
        "report": report,
        "matrices": matrices,
        "screen": screen,
        "matrixCount": matrix_count,
        "outputFitsScreen": 1 if fits else 0,
        "warn": (not fits) and bool(show_matrices),
        "showMatrices": 1 if (show_matrices and fits) else 0,
        "rMatrix": R,
        "dSquare": D,
        "scaledRMatrix": Rs,
        "scaledDSquare": Ds,
        "pcScores": pc_scores,
        "names": names,
        "observed": observed,
        "expected": expected,
        "residual": residual,
    }


def matrix_count_file(pops):
    """1 when every population of the file has the size of the first one, else 2."""
    same = sum(1 for p in pops[1:] if p[2] == pops[0][2])
    return 1 if same == len(pops) - 1 else 2


DAYS = ["Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"]
MONTHS = [
    "January", "February", "March", "April", "May", "June", "July", "August",
    "September", "October", "November", "December",
]


def format_date(d):
    return "%s, %s %02d, %04d" % (DAYS[d.weekday()], MONTHS[d.month - 1], d.day, d.year)


def format_time(d):
    h = d.hour % 12
    if h == 0:
        h = 12
    return "%d:%02d %s" % (h, d.minute, "AM" if d.hour < 12 else "PM")




def decompose(A, g):
    # row, column and grand means: each sum in index order, divided once at the end
    cm = [[A[i][j] - (A[i][i] + A[j][j]) / 2 for j in range(g)] for i in range(g)]
    row_mean = [0.0] * g
    col_mean = [0.0] * g
    for i in range(g):
        acc = 0.0
        for j in range(g):
            acc = acc + cm[i][j]
        row_mean[i] = acc / g
    for j in range(g):
        acc = 0.0
        for i in range(g):
            acc = acc + cm[i][j]
        col_mean[j] = acc / g
    acc = 0.0
    for i in range(g):
        for j in range(g):
            acc = acc + cm[i][j]
    grand = acc / (g * g)
    for i in range(g):
        for j in range(g):
            cm[i][j] = cm[i][j] - row_mean[i] - col_mean[j] + grand

    row_max_col = [0] * g
    row_max = [0.0] * g
    vec = [[1.0 if i == j else 0.0 for j in range(g)] for i in range(g)]
    for i in range(g - 1):
        row_max[i] = 0.0
        for j in range(i + 1, g):
            if abs(cm[i][j]) >= row_max[i]:
                row_max[i] = abs(cm[i][j])
                row_max_col[i] = j
    tol = 1e37

    while True:
        pivot_max = 0.0
        p = q = 0
        for i in range(g - 1):
            if i == 0 or row_max[i] > pivot_max:
                pivot_max = row_max[i]
                p = i
                q = row_max_col[i]
        if pivot_max <= 0:
            break
        if tol <= 0 or pivot_max <= tol:
            smallest = abs(cm[0][0])
            for i in range(g):
                if abs(cm[i][i]) < smallest:
                    smallest = abs(cm[i][i])
            tol = JACOBI_EPSILON * smallest
            if tol >= pivot_max:
                break
        app, aqq, apq = cm[p][p], cm[q][q], cm[p][q]
        sgn = 2.0 if app >= aqq else -2.0
        r = math.sqrt((app - aqq) * (app - aqq) + 4 * (apq * apq))
        tt = sgn * apq / (abs(app - aqq) + r)
        c = 1 / math.sqrt(1 + tt * tt)
        s = c * tt
        new_pp = c * c * (app + tt * (2 * apq + tt * aqq))
        new_qq = c * c * (aqq - tt * (2 * apq - tt * app))
        cm[p][p] = new_pp
        cm[q][q] = new_qq
        cm[p][q] = 0.0
        if cm[p][p] < cm[q][q]:
            cm[p][p], cm[q][q] = cm[q][q], cm[p][p]
            if s >= 0:
                c, s = abs(s), -c
            else:
                c, s = abs(s), c
        for i in range(g - 1):
            if i == p or i == q:
                continue
            if row_max_col[i] == p or row_max_col[i] == q:
                col = row_max_col[i]
                saved = cm[i][col]
                cm[i][col] = 0.0
                row_max[i] = 0.0
                for j in range(i + 1, g):
                    if abs(cm[i][j]) >= row_max[i]:
                        row_max[i] = abs(cm[i][j])
                        row_max_col[i] = j
                cm[i][col] = saved
        row_max[p] = 0.0
        row_max[q] = 0.0
        for i in range(g):
            if i == p or i == q:
                continue
            if i < p:
                xr, xc, yr, yc = i, p, i, q
            elif i < q:
                xr, xc, yr, yc = p, i, i, q
            else:
                xr, xc, yr, yc = p, i, q, i
            x, y = cm[xr][xc], cm[yr][yc]
            xn = c * x + s * y
            yn = c * y - s * x
            cm[xr][xc] = xn
            if abs(xn) > row_max[xr]:
                row_max[xr] = abs(xn)
                row_max_col[xr] = xc
            cm[yr][yc] = yn
            if abs(yn) > row_max[yr]:
                row_max[yr] = abs(yn)
                row_max_col[yr] = yc
        for i in range(g):
            u, v = vec[i][p], vec[i][q]
            vec[i][p] = c * u + s * v
            vec[i][q] = c * v - s * u

    diag = [cm[k][k] for k in range(g)]
    # largest first; sorted() is stable, so equal eigenvalues keep their diagonal order
    order = sorted(range(g), key=lambda k: -diag[k])
    lam = [diag[k] for k in order]
    vec = [[row[k] for k in order] for row in vec]
    nz = sum(1 for k in range(g) if lam[k] > NON_ZERO_THRESHOLD)
    return lam, vec, nz


def write_pca_section(out, pass_no, lam, vec, nz, names, g):
    if pass_no == 1:
        out.line("Principal Coordinates Analysis of R Matrix:")
    else:
        out.line("Principal Coordinates Analysis of Scaled R Matrix:")
        out.line("The R matrix has been scaled by square roots of population weights,")
        out.line("as R(ij) = g * sqrt[W(i)] * sqrt[W(j)] * R(ij) -- see Velbrand ")
        out.line("(Trait Studies 41:17-32, 1996)")
    out.empty()
    if nz == 0:
        raise RunError("no eigenvalue above 5E-07: not modelled by the reference")
    out.text("There are ").num(nz).line(" non-zero eigenvalues, listed below:")
    out.empty()
    for k in range(nz):
        out.tab(4).line(fmt(lam[k], "0.0000"))
    out.empty()
    negative = [v for v in lam[:g] if v < -5e-07]
    if negative:
        s = 0.0
        for v in negative:
            s = s + v
        out.line("Note: " + str(len(negative)) + " negative eigenvalue" +
                 ("s" if len(negative) > 1 else "") + ", sum " + fmt(s, "0.0000") +
                 "; the shares below are of the listed eigenvalues")
        out.empty()
    total = 0.0
    for k in range(nz):
        total = total + lam[k]
    # an eigenvalue that is not listed has no share
    pf = lam[0] / total * 100
    ps = lam[1] / total * 100 if nz >= 2 else 0.0
    pft = (lam[0] + lam[1]) / total * 100 if nz >= 2 else pf
    out.line("The first eigenvalue accounts for " + fmt(pf, "###.0") + " % of the variation")
    out.line("The second eigenvalue accounts for " + fmt(ps, "###.0") + " % of the variation")
    out.empty()
    out.line(
        "The first two eigenvalues collectively account for "
        + fmt(pft, "###.0")
        + " % of the variation"
    )
    out.empty()
    for i in range(g):
        for k in range(nz):
            root = math.sqrt(lam[k]) if lam[k] > 0 else 0.0
            vec[i][k] = root * vec[i][k]
        # a coordinate whose eigenvalue is not listed is 0
        for k in range(nz, 2):
            vec[i][k] = 0.0
    out.line("First two eigenvectors (scaled by the square root of their eigenvalues):")
    out.empty()
    out.tab(22).text("I").tab(33).line("II")
    out.empty()
    scores = []
    for i in range(g):
        x, y = vec[i][0], vec[i][1]
        out.text(names[i]).tab(18).text(fmt(x, " 0.0000;-0.0000"))
        out.tab(30).line(fmt(y, " 0.0000;-0.0000"))
        scores.append((x, y))
    out.empty(2)

    pmax, pmin = -99999.0, 99999.0
    for x, y in scores:
        if x > pmax:
            pmax = x
        if y > pmax:
            pmax = y
        if x < pmin:
            pmin = x
        if y < pmin:
            pmin = y
    prange = pmax - pmin
    if prange == 0:
        raise RunError("all plotted values equal: not modelled by the reference")
    grid = [[" "] * 20 for _ in range(20)]  # grid[column][row], 0-based
    symbols = []
    count = 0
    for x, y in scores:
        col = int(math.floor(1 + 19 * (x - pmin) / prange + 0.5))
        row = int(math.floor(1 + 19 * (y - pmin) / prange + 0.5))
        if grid[col - 1][row - 1] == " ":
            if count >= len(PLOT_SYMBOLS):
                raise RunError("more than 62 cells: not modelled by the reference")
            grid[col - 1][row - 1] = PLOT_SYMBOLS[count]
            count += 1
        symbols.append(grid[col - 1][row - 1])
    cc = int(math.floor(1 + 19 * (0 - pmin) / prange + 0.5))
    if grid[cc - 1][cc - 1] == " ":
        grid[cc - 1][cc - 1] = "+"

    frame = " " * 10 + ":" + "-" * 39 + ":"
    out.line("Plot of First Two Scaled Eigenvectors:")
    out.empty()
    out.line(frame)
    for row in range(20, 0, -1):
        line = " " * 10 + ":"
        for col in range(1, 20):
            line += grid[col - 1][row - 1] + " "
        line += grid[19][row - 1] + ":"
        out.line(line)
    out.line(frame)
    out.empty()
    out.text("Population").tab(16).line("Symbol")
    out.empty()
    for i in range(g):
        out.text(names[i]).tab(18).line(symbols[i])
    out.empty()
    centre = grid[cc - 1][cc - 1]
    if centre != "+":
        out.line("The symbol " + centre + " also marks the centroid")
    else:
        out.text("Centroid").tab(18).line("+")
    out.empty(2)
    return scores




def values_text(res):
    """Kept results, one "name rows cols" line and then one line per row; repr() gives the
    shortest text that reads back as the same double."""
    g = len(res["rMatrix"])
    pcs = res["pcScores"]
    zeros = [(0.0, 0.0)] * g
    blocks = [
        ("rMatrix", res["rMatrix"]),
        ("dSquare", res["dSquare"]),
        ("pcScores", [list(r) for r in pcs[0]]),
        ("scaledPcScores", [list(r) for r in (pcs[1] if len(pcs) > 1 else zeros)]),
        ("observedVariance", [[v] for v in res["observed"]]),
        ("expectedVariance", [[v] for v in res["expected"]]),
        ("residualVariance", [[v] for v in res["residual"]]),
    ]
    if res["matrixCount"] == 2:
        blocks.insert(2, ("scaledRMatrix", res["scaledRMatrix"]))
        blocks.insert(3, ("scaledDSquare", res["scaledDSquare"]))
    lines = []
    for name, rows in blocks:
        lines.append("%s %d %d" % (name, len(rows), len(rows[0])))
        for row in rows:
            lines.append(" ".join(repr(float(v)) for v in row))
    return "\n".join(lines) + "\n"


def comma_name(name):
    """A name in a comma-separated file: quoted when it holds a comma, a quote, CR or LF."""
    if any(ch in name for ch in ',"\r\n'):
        return '"' + name.replace('"', '""') + '"'
    return name


def space_name(name):
    """A name in a space-separated file: quoted when it holds a blank or a quote."""
    if any(ch in name for ch in ' \t"'):
        return '"' + name.replace('"', '""') + '"'
    return name


def ntsys_label(name):
    """NT-SYS separates labels by blanks: each blank becomes an underscore."""
    return name.replace(" ", "_").replace("\t", "_")


def matrix_file(M, names, r_type, layout):
    g = len(names)
    value = "0.000000;-0.000000"
    lines = []
    if layout in ("list-space", "list-comma"):
        sep = " " if layout == "list-space" else ","
        shown = [space_name(n) if sep == " " else comma_name(n) for n in names]
        lines.append("Popi" + sep + "Popj" + sep + ("r(ij)" if r_type else "D2(ij)"))
        if r_type:
            for i in range(g):
                lines.append(shown[i] + sep + shown[i] + sep + fmt(M[i][i], "0.000000"))
        for i in range(g - 1):
            for j in range(i + 1, g):
                lines.append(shown[i] + sep + shown[j] + sep + fmt(M[i][j], value))
    elif layout in ("square-space", "square-comma"):
        sep = " " if layout == "square-space" else ","
        shown = [space_name(n) if sep == " " else comma_name(n) for n in names]
        lines.append(sep.join(["Population"] + shown))
        for i in range(g):
            lines.append(sep.join([shown[i]] + [fmt(M[i][j], value) for j in range(g)]))
    else:
        count = fmt(g, "###")
        lines.append(("3 " if r_type else "2 ") + count + "L " + count + " 0")
        lines.append(" ".join(ntsys_label(n) for n in names))
        for i in range(g):
            lines.append(" ".join(fmt(M[i][j], value) for j in range(i + 1)))
    return "".join(line + "\r\n" for line in lines)


def exports_text(res):
    """Every export file of the run, each after a "### label" line, in a fixed order."""
    names = res["names"]
    parts = []

    def add(label, text):
        parts.append("### " + label + "\n" + text)

    def scores(pcs):
        out = "Population,PC1,PC2\r\n"
        for name, (x, y) in zip(names, pcs):
            out += comma_name(name) + "," + fmt(x, " 0.0000;-0.0000") + ","
            out += fmt(y, " 0.0000;-0.0000") + "\r\n"
        return out

    g = len(names)
    pcs = res["pcScores"]
    add("pcScores.csv", scores(pcs[0]))
    add("scaledPcScores.csv", scores(pcs[1] if len(pcs) > 1 else [(0.0, 0.0)] * g))
    vt = "Population,r[ii],ObsVar,ExpVar,ResVar\r\n"
    for i in range(g):
        vt += ",".join(
            [
                comma_name(names[i]),
                fmt(res["rMatrix"][i][i], "0.000000"),
                fmt(res["observed"][i], "0.000"),
                fmt(res["expected"][i], "0.000"),
                fmt(res["residual"][i], "0.000;-0.000"),
            ]
        ) + "\r\n"
    add("vt.csv", vt)
    kinds = [("R", res["rMatrix"], True), ("DSquare", res["dSquare"], False)]
    if res["matrixCount"] == 2:
        kinds += [
            ("ScaledR", res["scaledRMatrix"], True),
            ("ScaledDSquare", res["scaledDSquare"], False),
        ]
    for kind, M, r_type in kinds:
        for layout in ("list-space", "list-comma", "square-space", "square-comma", "ntsys"):
            add(kind + "." + layout, matrix_file(M, names, r_type, layout))
    return "".join(parts)


def read_case(case_path):
    opts = {"population": [], "variable": []}
    with open(case_path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\r\n")
            if not line.strip():
                continue
            key, _, value = line.partition(" ")
            if key in ("population", "variable"):
                opts[key].append(value)
            else:
                opts[key] = value
    return opts


def main(argv):
    ap = argparse.ArgumentParser(description="Reference model of one analysis run.")
    ap.add_argument("data", nargs="?")
    ap.add_argument("--case")
    ap.add_argument("--heritability", default="1")
    ap.add_argument("--no-bias-correction", action="store_true")
    ap.add_argument("--scaled", action="store_true")
    ap.add_argument("--show-matrices", action="store_true")
    ap.add_argument("--population", nargs="+", action="extend")
    ap.add_argument("--variable", nargs="+", action="extend")
    ap.add_argument("--epoch", type=int, default=1765000000)
    ap.add_argument("--data-path", help="text printed after 'Data file = '")
    ap.add_argument("--report")
    ap.add_argument("--matrices")
    ap.add_argument("--screen")
    ap.add_argument("--flags", help="file for matrixCount, outputFitsScreen, showMatrices, warning")
    ap.add_argument("--values", help="file for the kept results, every double to the last bit")
    ap.add_argument("--exports", help="file for every export file of the run, one after another")
    a = ap.parse_args(argv)

    if a.case:
        c = read_case(a.case)
        data = os.path.join(os.path.dirname(a.case), c["data"])
        kwargs = dict(
            heritability=decimal_text_to_float32(c.get("heritability", "1")),
            bias=int(c.get("bias", "1")),
            scaled=int(c.get("scaled", "0")),
            show_matrices=int(c.get("show-matrices", "0")),
            pop_choice=c["population"] or None,
            var_choice=c["variable"] or None,
            epoch=int(c.get("epoch", "1765000000")),
            data_path_text=c["data"],
        )
    else:
        if not a.data:
            ap.error("a data file or --case is required")
        data = a.data
        kwargs = dict(
            heritability=decimal_text_to_float32(a.heritability),
            bias=0 if a.no_bias_correction else 1,
            scaled=1 if a.scaled else 0,
            show_matrices=1 if a.show_matrices else 0,
            pop_choice=a.population,
            var_choice=a.variable,
            epoch=a.epoch,
            data_path_text=a.data_path,
        )
    try:
        res = run(data, **kwargs)
    except RunError as e:
        print("tavrik_reference: " + str(e), file=sys.stderr)
        return 1
    wrote = False
    if a.values:
        with open(a.values, "wb") as f:
            f.write(values_text(res).encode("ascii"))
    if a.exports:
        with open(a.exports, "wb") as f:
            f.write(exports_text(res).encode("utf-8"))
    if a.flags:
        with open(a.flags, "wb") as f:
            f.write(
                (
                    "matrixCount %d\noutputFitsScreen %d\nshowMatrices %d\nwarnOutputTooLarge %d\n"
                    % (
                        res["matrixCount"],
                        res["outputFitsScreen"],
                        res["showMatrices"],
                        1 if res["warn"] else 0,
                    )
                ).encode("ascii")
            )
    for key, target in (("report", a.report), ("matrices", a.matrices), ("screen", a.screen)):
        if target:
            with open(target, "wb") as f:
                f.write(res[key].encode("utf-8"))
            wrote = True
    if not wrote:
        sys.stdout.buffer.write(res["report"].encode("utf-8"))
        sys.stdout.buffer.write(res["matrices"].encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
