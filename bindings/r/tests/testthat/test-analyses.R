# The analyses on a run, and the result as other packages take it.

test_that("the run's distances go to hclust, ape and a Mantel test of a matrix", {
    x <- tavrik(read_tvk(highland_file()), "Population")
    d <- as.dist(x)
    expect_identical(as.matrix(d), x$D2)
    expect_s3_class(stats::hclust(d), "hclust")
    df <- as.data.frame(x)
    expect_identical(df$population, rownames(x$R))
    expect_identical(df$pc2, unname(x$pcoa$scores[, 2]))
    # a distance matrix given as a dist object, read as the same matrix in a file
    geo_file <- system.file("extdata", "highland_geography.csv", package = "tavrik")
    km <- tavrik_mantel(x, geo_file, permutations = 99)
    expect_identical(km$tests$matrix[1], "D-square")
    m <- as.matrix(d)
    own <- tavrik_mantel(x, as.dist(m * 2), permutations = 99, method = "spearman")
    expect_equal(own$tests$r[1], 1)
    expect_error(tavrik_mantel(x, unname(m)), "named by population")
})

test_that("a tree with the support of its run's bootstrap", {
    x <- tavrik(read_tvk(highland_file()), "Population")
    b <- tavrik_bootstrap(x, 20, seed = 11)
    expect_identical(tavrik_bootstrap(x, 20, seed = 11)$statistics, b$statistics)
    skip_if_not_installed("ape")
    tree <- tavrik_tree(x, b)
    expect_s3_class(tree, "phylo")
    expect_setequal(tree$tip.label, rownames(x$R))
    other <- tavrik(read_tvk(highland_file()), "Population")
    expect_error(tavrik_tree(other, b), "belongs to another run")
    expect_error(tavrik_tree(x, scaled = TRUE), "scaled")
})
