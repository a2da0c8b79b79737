# The analysis of a data frame, its result's methods, and .tvk files in and out. The numbers
# and texts all come from the engine; this file only turns R's columns into the engine's table
# and its results into R objects.

# The engine's table of a data frame: populations as text in their order, the census sizes in
# that order (empty: equal sizes), the chosen variables as doubles. Records without a
# population are left out, as a run leaves out records whose code names no population.
table_of <- function(data, population, variables, census) {
    if (!is.data.frame(data)) {
        stop("'data' must be a data frame, not ", class(data)[1L], call. = FALSE)
    }
    if (!is.character(population) || length(population) != 1L || is.na(population)) {
        stop("'population' must be the name of one column of 'data'", call. = FALSE)
    }
    if (!population %in% names(data)) {
        stop("'data' has no column named \"", population, "\" for the populations",
             call. = FALSE)
    }
    pop <- data[[population]]
    if (is.factor(pop)) {
        order <- levels(droplevels(pop))
    } else if (is.character(pop)) {
        order <- unique(pop[!is.na(pop)])
    } else {
        stop("the population column \"", population, "\" must be a factor or character, not ",
             class(pop)[1L], call. = FALSE)
    }
    pop <- as.character(pop)
    keep <- !is.na(pop)

    if (is.null(variables)) {
        variables <- setdiff(names(data), population)
    }
    if (!is.character(variables) || length(variables) == 0L) {
        stop("'variables' must name at least one column of 'data'", call. = FALSE)
    }
    absent <- setdiff(variables, names(data))
    if (length(absent) > 0L) {
        stop("'data' has no column named ", paste0("\"", absent, "\"", collapse = ", "),
             call. = FALSE)
    }
    columns <- lapply(variables, function(v) {
        column <- data[[v]]
        if (!is.numeric(column)) {
            stop("the variable \"", v, "\" is not numeric: its column holds ",
                 class(column)[1L], " values", call. = FALSE)
        }
        as.double(column[keep])
    })
    names(columns) <- variables

    if (is.null(census)) {
        census <- attr(data, "census")
    }
    sizes <- numeric(0)
    if (!is.null(census)) {
        if (!is.numeric(census) || is.null(names(census))) {
            stop("'census' must be a numeric vector named by population", call. = FALSE)
        }
        lacking <- setdiff(order, names(census))
        if (length(lacking) > 0L) {
            stop("'census' has no size for the population ",
                 paste0("\"", lacking, "\"", collapse = ", "), call. = FALSE)
        }
        sizes <- as.double(census[order])
    }
    list(population = pop[keep], populations = order, census = sizes, variables = columns)
}

tavrik <- function(data, population, variables = NULL, census = NULL, heritability = 1,
                   bias_correction = TRUE, scaled = FALSE) {
    name <- attr(data, "path")
    if (is.null(name)) {
        name <- paste(deparse(substitute(data), width.cutoff = 500L), collapse = " ")
    }
    title <- attr(data, "title")
    if (is.null(title)) {
        title <- ""
    }
    if (!is.numeric(heritability) || length(heritability) != 1L || is.na(heritability)) {
        stop("'heritability' must be one number above 0 and at most 1", call. = FALSE)
    }
    if (!is.logical(bias_correction) || length(bias_correction) != 1L || is.na(bias_correction) ||
        !is.logical(scaled) || length(scaled) != 1L || is.na(scaled)) {
        stop("'bias_correction' and 'scaled' must be TRUE or FALSE", call. = FALSE)
    }
    t <- table_of(data, population, variables, census)
    out <- .engine_run(name, title, t$population, t$populations, t$census, t$variables,
                       heritability, bias_correction, scaled, Sys.getenv("SOURCE_DATE_EPOCH"))
    out$call <- match.call()
    class(out) <- "tavrik"
    out
}

# Newlines as R prints them: the engine's texts end their lines as the program's files do.
text_lines <- function(text) gsub("\r\n", "\n", text, fixed = TRUE)

print.tavrik <- function(x, digits = 4L, ...) {
    g <- nrow(x$R)
    cat("TAVRIK analysis of ", g, " populations, ", length(x$variables), " variables, ",
        sum(x$n), " records", "\n", sep = "")
    cat("Fst ", format(x$Fst[["estimate"]], digits = digits),
        if (!is.na(x$Fst[["unbiased"]])) {
            paste0(", unbiased ", format(x$Fst[["unbiased"]], digits = digits))
        },
        ", standard error ", format(x$Fst[["se"]], digits = digits), "\n", sep = "")
    cat("D-square:\n")
    print(round(x$D2, digits), ...)
    cat("summary() gives the report; $R, $D2, $Fst, $vt, $pcoa hold the numbers\n")
    invisible(x)
}

summary.tavrik <- function(object, ...) {
    structure(object$report, class = "summary.tavrik")
}

print.summary.tavrik <- function(x, ...) {
    cat(text_lines(x))
    invisible(x)
}

plot.tavrik <- function(x, scaled = FALSE, ...) {
    pc <- x$pcoa
    if (scaled) {
        if (is.null(x$scaled)) {
            stop("the run has no scaled analysis: run tavrik() with scaled = TRUE and ",
                 "census sizes that differ", call. = FALSE)
        }
        pc <- x$scaled$pcoa
    }
    axis_label <- function(axis, k) {
        if (length(pc$shares) >= k) {
            sprintf("Principal coordinate %s (%.1f%%)", axis, pc$shares[k])
        } else {
            paste("Principal coordinate", axis)
        }
    }
    s <- pc$scores
    plot(s[, 1L], s[, 2L], xlab = axis_label("I", 1L), ylab = axis_label("II", 2L),
         pch = 19, ...)
    text(s[, 1L], s[, 2L], labels = rownames(s), pos = 3, xpd = TRUE)
    invisible(x)
}

as.dist.tavrik <- function(m, diag = FALSE, upper = FALSE) {
    stats::as.dist(m$D2, diag = diag, upper = upper)
}

as.data.frame.tavrik <- function(x, row.names = NULL, optional = FALSE, ...) {
    pops <- rownames(x$R)
    data.frame(population = pops, n = unname(x$n), census = unname(x$census),
               weight = unname(x$weights), r_ii = unname(diag(x$R)),
               r_ii_se = unname(diag(x$R_se)), observed = x$vt$observed,
               expected = x$vt$expected, residual = x$vt$residual,
               pc1 = unname(x$pcoa$scores[, 1L]), pc2 = unname(x$pcoa$scores[, 2L]),
               row.names = row.names, stringsAsFactors = FALSE)
}

read_tvk <- function(path) {
    if (!is.character(path) || length(path) != 1L || is.na(path)) {
        stop("'path' must be the name of one file", call. = FALSE)
    }
    t <- .engine_read_table(path.expand(path))
    pop <- t$population
    pop[pop == ""] <- NA_character_
    data <- data.frame(Population = factor(pop, levels = t$populations), stringsAsFactors = FALSE)
    for (v in names(t$variables)) {
        column <- t$variables[[v]]
        column[is.na(column)] <- NA_real_ # a missing value is R's NA, not any NaN
        data[[v]] <- column
    }
    attr(data, "census") <- stats::setNames(t$census, t$populations)
    attr(data, "title") <- t$title
    attr(data, "path") <- t$name
    data
}

write_tvk <- function(data, path, population, census = NULL, title = NULL) {
    if (!is.character(path) || length(path) != 1L || is.na(path)) {
        stop("'path' must be the name of one file", call. = FALSE)
    }
    t <- table_of(data, population, NULL, census)
    if (is.null(title)) {
        title <- attr(data, "title")
    }
    if (is.null(title)) {
        title <- tools::file_path_sans_ext(basename(path))
    }
    text <- .engine_table_text(path, title, t$population, t$populations, t$census, t$variables)
    bytes <- charToRaw(enc2utf8(text))
    # a file beside the target, checked, then renamed over it: a failed write leaves the
    # old file as it was
    target <- normalizePath(path.expand(path), mustWork = FALSE)
    partial <- tempfile(".tvk-", tmpdir = dirname(target))
    written <- tryCatch({
        con <- file(partial, "wb")
        tryCatch(writeBin(bytes, con), finally = close(con))
        isTRUE(file.size(partial) == length(bytes))
    }, error = function(e) FALSE, warning = function(w) FALSE)
    if (!written || !file.rename(partial, target)) {
        unlink(partial)
        stop("could not write \"", path, "\"", call. = FALSE)
    }
    invisible(path)
}
