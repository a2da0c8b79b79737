# Expected partial Mantel tests for tests/analysis/MantelTest.cpp, from vegan::mantel.partial.
#   Rscript tools/reference/mantel_partial_reference.R > tests/data/mantel_partial_reference.txt
# Each case: the three distance matrices (A, tested against B with C held constant), vegan's
# plain and partial statistics, and the exact p of the partial test: every order of A's
# populations tried once (the identity among them), counting the partial r that reach the
# observed one (two-sided: |r| reaches |r|), with vegan's own formula for each order.
suppressPackageStartupMessages({
  library(vegan)
  library(permute)
})
set.seed(20261208)

euclid <- function(n, k) as.matrix(dist(matrix(rnorm(n * k), n)))

partial <- function(rxy, rxz, ryz) (rxy - rxz * ryz) / sqrt(1 - rxz^2) / sqrt(1 - ryz^2)

write_case <- function(name, a, b, c, method, two_sided) {
  n <- nrow(a)
  cat("case", name, method, if (two_sided) "two-sided" else "greater", "\n")
  for (m in list(list("A", a), list("B", b), list("C", c))) {
    for (i in seq_len(n)) cat(m[[1]], sprintf("%.17g", m[[2]][i, ]), "\n")
  }
  plain <- mantel(as.dist(a), as.dist(b), method = method, permutations = 0)$statistic
  stat <- mantel.partial(as.dist(a), as.dist(b), as.dist(c), method = method,
                         permutations = 0)$statistic
  cat("plain", sprintf("%.17g", plain), "\n")
  cat("partial", sprintf("%.17g", stat), "\n")
  if (n <= 7) {
    ydis <- as.vector(as.dist(b))
    zdis <- as.vector(as.dist(c))
    ryz <- cor(ydis, zdis, method = method)
    orders <- allPerms(n, control = how(observed = TRUE))
    reached <- 0
    for (k in seq_len(nrow(orders))) {
      take <- orders[k, ]
      x <- as.vector(as.dist(a[take, take]))
      r <- partial(cor(x, ydis, method = method), cor(x, zdis, method = method), ryz)
      hit <- if (two_sided) abs(r) >= abs(stat) - 1e-12 else r >= stat - 1e-12
      if (hit) reached <- reached + 1
    }
    cat("exact", reached, nrow(orders), "\n")
  }
  cat("end\n")
}

# six populations: the control shares part of the geography, the matrix follows both
b <- euclid(6, 2)
c <- b + euclid(6, 2)
a <- 0.5 * b + c + euclid(6, 3)
write_case("six", a, b, c, "pearson", FALSE)
# seven, ranks, both sides
b <- euclid(7, 2)
c <- euclid(7, 2) + 0.3 * b
a <- b + euclid(7, 2)
write_case("seven", a, b, c, "spearman", TRUE)
# a matrix that follows only the control: the partial r is near 0 where the plain r is not
b <- euclid(6, 2)
c <- b + 0.2 * euclid(6, 2)
a <- c + 0.01 * euclid(6, 2)
write_case("control", a, b, c, "pearson", TRUE)
# twelve populations: the statistics only
b <- euclid(12, 2)
c <- euclid(12, 2) + b
a <- b + euclid(12, 4)
write_case("twelve", a, b, c, "spearman", FALSE)
