# Every number as tavrik-batch gives it for the same file, to the last bit.

test_that("a data file gives the batch program's document and numbers", {
    file <- file.path(tempdir(), "highland.tvk")
    file.copy(highland_file(), file, overwrite = TRUE)
    file <- normalizePath(file)
    json <- batch_json(file, "--heritability", "0.55", "--scaled")
    x <- tavrik(read_tvk(file), "Population", heritability = 0.55, scaled = TRUE)
    expect_identical(x$json, json)

    skip_if_not_installed("jsonlite")
    doc <- jsonlite::parse_json(json, simplifyVector = TRUE)
    same <- function(a, b) expect_identical(unname(a), b)
    same(x$R, doc$rMatrix$values)
    same(x$R_se, doc$rMatrix$standardErrors)
    same(x$D2, doc$dSquare$values)
    same(x$D2_se, doc$dSquare$standardErrors)
    same(x$Fst, c(doc$fst$fst, doc$fst$unbiased, doc$fst$se))
    same(x$vt$residual, doc$velbrandTorvane$residualVariance)
    same(x$pcoa$eigenvalues, doc$principalCoordinates$eigenvalues)
    same(x$pcoa$scores, doc$principalCoordinates$scores)
    same(x$weights, doc$populations$weight)
    same(x$n, as.double(doc$populations$sampleSize))
    same(x$scaled$D2, doc$scaled$dSquare)
    same(x$scaled$pcoa$scores, doc$scaled$principalCoordinates$scores)
    expect_identical(rownames(x$R), doc$populations$name)
})

test_that("the sweep, bootstrap and Mantel test give the batch program's numbers", {
    file <- file.path(tempdir(), "highland.tvk")
    file.copy(highland_file(), file, overwrite = TRUE)
    file <- normalizePath(file)
    geo <- system.file("extdata", "highland_geography.csv", package = "tavrik")
    x <- tavrik(read_tvk(file), "Population", bias_correction = FALSE)
    expect_identical(tavrik_sweep(x, 0.3, 1, 0.35)$json,
                     batch_json(file, "--no-bias-correction", "--heritability-sweep", "0.3:1:0.35",
                                "--sweep-output", shQuote(tempfile(fileext = ".csv"))))
    expect_identical(tavrik_bootstrap(x, 30, seed = 5, interval = "percentile")$json,
                     batch_json(file, "--no-bias-correction", "--bootstrap", "30", "--seed", "5",
                                "--bootstrap-interval", "percentile"))
    expect_identical(tavrik_mantel(x, geo, permutations = 99, seed = 3)$json,
                     batch_json(file, "--no-bias-correction", "--mantel", shQuote(geo),
                                "--permutations", "99", "--seed", "3"))
})
