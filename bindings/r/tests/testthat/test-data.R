# Data frames as users hold them: a character or factor population column, missing values,
# columns that are not numbers.

test_that("a data frame runs as the data file of the same values", {
    h <- read_tvk(highland_file())
    from_file <- tavrik(h, "Population")
    d <- as.data.frame(h)            # no attributes: equal census sizes, another name
    attributes(d) <- attributes(d)[c("names", "row.names", "class")]
    d$Population <- as.character(d$Population)
    x <- tavrik(d, "Population", census = attr(h, "census"))
    expect_identical(x$R, from_file$R)
    expect_identical(x$Fst, from_file$Fst)
    expect_identical(x$D2_se, from_file$D2_se)
    # rows reordered: populations in order of first appearance, numbers otherwise the same
    shuffled <- d[rev(seq_len(nrow(d))), ]
    y <- tavrik(shuffled, "Population", census = attr(h, "census"))
    expect_identical(rownames(y$R), rev(rownames(x$R)))
    expect_equal(y$Fst, x$Fst, tolerance = 1e-12)
    # a factor's levels give the order; unused levels are dropped
    d$Population <- factor(d$Population, levels = c("Nowhere", rev(rownames(x$R))))
    expect_identical(rownames(tavrik(d, "Population")$R), rev(rownames(x$R)))
    expect_null(tavrik(d, "Population")$scaled)
})

test_that("NA is a missing value: the record is left out when its variable is chosen", {
    h <- read_tvk(highland_file())
    h$Stature[c(2, 5)] <- NA
    h$`Nose height`[7] <- NaN
    x <- tavrik(h, "Population")
    expect_identical(unname(x$left_out[["Ostvarrin"]]), 3)
    y <- tavrik(h, "Population", variables = c("Head length", "Head breadth"))
    expect_identical(sum(y$left_out), 0)
    complete <- h[-c(2, 5, 7), ]
    attr(complete, "census") <- attr(h, "census")
    expect_identical(tavrik(complete, "Population")$R, x$R)
    # a record without a population is left out, as one whose code names none
    h$Population[1] <- NA
    expect_identical(sum(tavrik(h, "Population")$n), sum(x$n) - 1)
})

test_that("what cannot be analysed is named", {
    h <- read_tvk(highland_file())
    h$Face <- as.character(h$`Face height`)
    expect_error(tavrik(h, "Population"), "the variable \"Face\" is not numeric")
    expect_error(tavrik(h, "Pop"), "no column named \"Pop\"")
    expect_error(tavrik(h, "Population", variables = c("Stature", "Weight")),
                 "no column named \"Weight\"")
    expect_error(tavrik(h, "Population", variables = "Stature", heritability = 0),
                 "the heritability must be above 0 and at most 1")
    expect_error(tavrik(h, "Population", variables = "Stature",
                        census = c(Ostvarrin = 10)), "no size for the population \"Kelmoth\"")
    h$Stature[4] <- Inf
    expect_error(tavrik(h, "Population", variables = "Stature"), "record 4 holds an infinite")
    saved <- tempfile()
    saveRDS(tavrik(h, "Population", variables = "Head length"), saved)
    expect_error(tavrik_sweep(readRDS(saved)), "no longer holds its run")
})

test_that("a data frame written as a file reads back the same", {
    h <- read_tvk(highland_file())
    h$Stature[3] <- NA
    file <- tempfile(fileext = ".tvk")
    write_tvk(h, file, "Population", title = "Highland, once more")
    back <- read_tvk(file)
    expect_identical(attr(back, "title"), "Highland, once more")
    expect_identical(attr(back, "census"), attr(h, "census"))
    expect_identical(unclass(back)[names(h)], unclass(h)[names(h)]) # NA stays NA, not NaN
    # a refused table leaves the old file as it was
    h$Stature[4] <- -Inf
    expect_error(write_tvk(h, file, "Population"), "infinite")
    expect_identical(nrow(read_tvk(file)), nrow(h))
    expect_error(read_tvk(file.path(tempdir(), "none.tvk")), "none.tvk")
})
