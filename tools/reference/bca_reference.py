#!/usr/bin/env python3
"""Expected bootstrap intervals from a second computation, for tests/data/bca_reference.csv.

Each replicate is the data file that tools/bootstrap_reference.py draws for it, analysed by
tavrik-batch (its JSON numbers read back exactly); each jackknife estimate is the analysis of
the file without one record. R's boot::boot.ci then forms the BCa interval from those values,
with the influence values L = mean - theta(i) of the jackknife. boot.ci counts the replicates
strictly below the estimate for z0, as the program does; its own quantile rule (interpolation
on the normal scale at (R + 1) alpha) is replaced by R's quantile type 7, the linear
interpolation between order statistics that the program uses, so that the two sets of limits
are comparable to the last digits. Percentile and basic limits come from quantile type 7.

Needs Rscript with the boot package (Debian: r-base-core, r-cran-boot).

  tools/reference/bca_reference.py --batch build/src/cli/tavrik-batch \
      --seed 21 --replicates 300 tests/data/cli_three_pops.tvk tests/data/bca_reference.csv
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import bootstrap_reference as ref  # noqa: E402

R_SCRIPT = r"""
suppressMessages(library(boot))
args <- commandArgs(trailingOnly = TRUE)
d <- read.csv(args[1], header = FALSE)
kind <- d[[1]]
t0 <- as.numeric(d[kind == "estimate", -1])
t <- as.matrix(d[kind == "replicate", -1])
jack <- as.matrix(d[kind == "jackknife", -1])
# the program's percentile: linear interpolation between order statistics (type 7)
assignInNamespace("norm.inter", function(t, alpha) {
    t <- t[is.finite(t)]
    cbind(alpha, quantile(t, alpha, type = 7, names = FALSE))
}, "boot")
fake <- list(t0 = t0, t = t, R = nrow(t), sim = "ordinary", stype = "i",
             data = matrix(0, nrow(jack), 1), strata = rep(1, nrow(jack)),
             statistic = function(x, i) 0, weights = rep(1 / nrow(jack), nrow(jack)),
             call = quote(boot(data = x, statistic = f, R = 1)))
class(fake) <- "boot"
out <- NULL
for (s in seq_along(t0)) {
    x <- t[, s]
    L <- mean(jack[, s]) - jack[, s]
    a <- sum(L^3) / (6 * sum(L^2)^1.5)
    z0 <- qnorm(sum(x < t0[s]) / length(x))
    bca <- tryCatch(boot.ci(fake, conf = 0.95, type = "bca", index = s, L = L)$bca,
                    error = function(e) NULL)
    q <- quantile(x, c(0.025, 0.975), type = 7, names = FALSE)
    lo <- NA; hi <- NA; alo <- NA; ahi <- NA
    if (!is.null(bca)) {
        alo <- bca[1, 2]; ahi <- bca[1, 3]; lo <- bca[1, 4]; hi <- bca[1, 5]
    }
    out <- rbind(out, c(s, t0[s], z0, a, alo, ahi, lo, hi, q[1], q[2],
                        2 * t0[s] - q[2], 2 * t0[s] - q[1]))
}
colnames(out) <- c("statistic", "estimate", "z0", "acceleration", "lowerLevel", "upperLevel",
                   "bcaLower", "bcaUpper", "percentileLower", "percentileUpper",
                   "basicLower", "basicUpper")
text <- apply(out, c(1, 2), function(v) if (is.na(v)) "NA" else sprintf("%.17g", v))
text[, 1] <- out[, 1]
write.table(text, args[2], sep = ",", quote = FALSE, row.names = FALSE)
"""


def statistics(batch, data, work):
    """Fst, unbiased Fst, r(ii) and the distances above the diagonal, as the bootstrap lists them."""
    out = os.path.join(work, "run.json")
    subprocess.run([batch, data, "--report", os.path.join(work, "run.txt"), "--json", out],
                   check=True, stdout=subprocess.DEVNULL)
    with open(out) as f:
        doc = json.load(f)
    v = [doc["fst"]["fst"]]
    if doc["settings"]["biasCorrection"]:
        v.append(doc["fst"]["unbiased"])
    r = doc["rMatrix"]["values"]
    d = doc["dSquare"]["values"]
    g = len(r)
    v += [r[i][i] for i in range(g)]
    v += [d[i][j] for i in range(g) for j in range(i + 1, g)]
    return v


def write_tvk(path, header, records):
    with open(path, "w", encoding="latin-1", newline="") as f:
        f.write("\r\n".join(header + records) + "\r\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--batch", required=True)
    ap.add_argument("--seed", type=int, required=True)
    ap.add_argument("--replicates", type=int, required=True)
    ap.add_argument("data")
    ap.add_argument("out")
    a = ap.parse_args()
    header, codes, records = ref.read_tvk(a.data)
    by_code = {c: [] for c in codes}
    for line in records:
        code = int(float(line.split(",")[0]))
        if code in by_code:
            by_code[code].append(line)
    in_order = [line for c in codes for line in by_code[c]]
    rows = []
    with tempfile.TemporaryDirectory() as work:
        f = os.path.join(work, "data.tvk")
        rows.append(["estimate"] + statistics(a.batch, a.data, work))
        for r in range(a.replicates):
            gen = ref.stream(a.seed, r)
            drawn = []
            for c in codes:
                pop = by_code[c]
                drawn += [pop[ref.uniform_below(gen, len(pop))] for _ in range(len(pop))]
            write_tvk(f, header, drawn)
            rows.append(["replicate"] + statistics(a.batch, f, work))
        for k in range(len(in_order)):
            write_tvk(f, header, in_order[:k] + in_order[k + 1:])
            rows.append(["jackknife"] + statistics(a.batch, f, work))
        values = os.path.join(work, "values.csv")
        with open(values, "w") as out:
            for row in rows:
                out.write(",".join([row[0]] + [repr(float(x)) for x in row[1:]]) + "\n")
        script = os.path.join(work, "bca.R")
        with open(script, "w") as out:
            out.write(R_SCRIPT)
        result = os.path.join(work, "result.csv")
        subprocess.run(["Rscript", script, values, result], check=True)
        with open(result) as src, open(a.out, "w", newline="") as dst:
            dst.write("# tools/reference/bca_reference.py --seed %d --replicates %d %s\n"
                      % (a.seed, a.replicates, os.path.basename(a.data)))
            dst.write(src.read())


if __name__ == "__main__":
    main()
