# The analyses of a finished run: the heritability sweep, the bootstrap, the Mantel test and
# the neighbor-joining tree. Each works on the run the "tavrik" object holds.

check_run <- function(x) {
    if (!inherits(x, "tavrik")) {
        stop("'x' must be the result of tavrik()", call. = FALSE)
    }
}

# A number as the plain decimal the range text wants (0.05, not 5e-02).
decimal <- function(v) {
    if (!is.numeric(v) || length(v) != 1L || !is.finite(v)) {
        stop("'from', 'to' and 'step' must be single numbers", call. = FALSE)
    }
    format(v, scientific = FALSE, digits = 15L, trim = TRUE)
}

tavrik_sweep <- function(x, from = 0.2, to = 1, step = 0.05) {
    check_run(x)
    range <- if (is.character(from) && missing(to) && missing(step)) {
        from
    } else {
        paste(decimal(from), decimal(to), decimal(step), sep = ":")
    }
    out <- .engine_sweep(x$run, range)
    out$run <- x$run
    class(out) <- "tavrik_sweep"
    out
}

print.tavrik_sweep <- function(x, ...) {
    print(x$table, ...)
    invisible(x)
}

as.data.frame.tavrik_sweep <- function(x, ...) x$table

tavrik_bootstrap <- function(x, replicates = 1000, seed = 20261207,
                             interval = c("bca", "percentile", "basic")) {
    check_run(x)
    interval <- match.arg(interval)
    if (!is.numeric(replicates) || length(replicates) != 1L || !is.numeric(seed) ||
        length(seed) != 1L) {
        stop("'replicates' and 'seed' must be single whole numbers", call. = FALSE)
    }
    out <- .engine_bootstrap(x$run, replicates, seed, interval)
    out$run <- x$run
    class(out) <- "tavrik_bootstrap"
    out
}

print.tavrik_bootstrap <- function(x, ...) {
    cat(text_lines(x$report))
    invisible(x)
}

as.data.frame.tavrik_bootstrap <- function(x, ...) x$statistics

# The CSV text of a distance matrix with the populations along its first row and column.
distance_csv <- function(d) {
    d <- as.matrix(d)
    labels <- rownames(d)
    if (is.null(labels) || !identical(labels, colnames(d))) {
        stop("the geography must be a file name, or a dist or square matrix named by population",
             call. = FALSE)
    }
    quoted <- paste0("\"", gsub("\"", "\"\"", labels, fixed = TRUE), "\"")
    values <- matrix(sprintf("%.17g", d), nrow(d))
    paste0(paste(c("", quoted), collapse = ","), "\n",
           paste(quoted, apply(values, 1L, paste, collapse = ","), sep = ",", collapse = "\n"),
           "\n")
}

tavrik_mantel <- function(x, geography, permutations = 9999, seed = 20261207,
                          method = c("pearson", "spearman"),
                          alternative = c("greater", "two.sided")) {
    check_run(x)
    method <- match.arg(method)
    alternative <- match.arg(alternative)
    if (!is.numeric(permutations) || length(permutations) != 1L || !is.numeric(seed) ||
        length(seed) != 1L) {
        stop("'permutations' and 'seed' must be single whole numbers", call. = FALSE)
    }
    if (is.character(geography) && length(geography) == 1L) {
        out <- .engine_mantel(x$run, path.expand(geography), FALSE, "", permutations, seed,
                              method == "spearman", alternative == "two.sided")
    } else {
        name <- paste(deparse(substitute(geography), width.cutoff = 500L), collapse = " ")
        out <- .engine_mantel(x$run, distance_csv(geography), TRUE, name, permutations, seed,
                              method == "spearman", alternative == "two.sided")
    }
    class(out) <- "tavrik_mantel"
    out
}

print.tavrik_mantel <- function(x, ...) {
    cat(text_lines(x$report))
    invisible(x)
}

tavrik_tree <- function(x, bootstrap = NULL, scaled = FALSE) {
    check_run(x)
    hold <- NULL
    if (!is.null(bootstrap)) {
        if (!inherits(bootstrap, "tavrik_bootstrap")) {
            stop("'bootstrap' must be the result of tavrik_bootstrap()", call. = FALSE)
        }
        hold <- bootstrap$hold
    }
    tree <- .engine_tree(x$run, isTRUE(scaled), hold)
    if (!requireNamespace("ape", quietly = TRUE)) {
        return(tree$newick)
    }
    phylo <- read_phylo(tree$newick)
    if (!is.null(tree$consensus)) {
        attr(phylo, "consensus") <- read_phylo(tree$consensus)
    }
    phylo
}

# ape keeps the quotes of a quoted Newick label ('Saundry Fell'); the tips are the populations.
read_phylo <- function(newick) {
    phylo <- ape::read.tree(text = newick)
    quoted <- grepl("^'.*'$", phylo$tip.label)
    inner <- substr(phylo$tip.label[quoted], 2L, nchar(phylo$tip.label[quoted]) - 1L)
    phylo$tip.label[quoted] <- gsub("''", "'", inner, fixed = TRUE)
    phylo
}
