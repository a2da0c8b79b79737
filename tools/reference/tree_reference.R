# Expected neighbor-joining trees for tests/analysis/TreeReferenceTest.cpp, from ape::nj.
#   Rscript tools/reference/tree_reference.R > tests/data/nj_reference.txt
# Each case: its distance matrix, then every branch of ape's tree as the populations below it
# (one side of the split the branch makes) and its length. The test compares splits and
# lengths, which do not depend on how either program orders a tree's text.
suppressPackageStartupMessages(library(ape))
set.seed(20261207)

write_case <- function(name, d) {
  n <- nrow(d)
  labels <- rownames(d)
  cat("case", name, "\n")
  cat("names", labels, "\n")
  for (i in seq_len(n)) cat("row", sprintf("%.17g", d[i, ]), "\n")
  tree <- nj(as.dist(d))
  for (e in seq_len(nrow(tree$edge))) {
    child <- tree$edge[e, 2]
    below <- if (child <= n) tree$tip.label[child] else extract.clade(tree, child)$tip.label
    cat("branch", sprintf("%.17g", tree$edge.length[e]), below, "\n")
  }
  cat("end\n")
}

named <- function(d) {
  rownames(d) <- colnames(d) <- paste0("P", seq_len(nrow(d)))
  d
}

# the worked example of the method
five <- matrix(c(0, 5, 9, 9, 8, 5, 0, 10, 10, 9, 9, 10, 0, 8, 7, 9, 10, 8, 0, 3, 8, 9, 7, 3, 0), 5)
write_case("five", named(five))
# squared Euclidean distances of random points: D-square-like, with negative lengths now and then
for (n in c(6, 9, 14)) {
  x <- matrix(rnorm(n * 3), n)
  write_case(paste0("points", n), named(as.matrix(dist(x))^2))
}
# a matrix far from any tree
m <- matrix(runif(64, 0.1, 3), 8)
m <- (m + t(m)) / 2
diag(m) <- 0
write_case("noisy8", named(m))
