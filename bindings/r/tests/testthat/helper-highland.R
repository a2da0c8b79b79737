highland_file <- function() system.file("extdata", "highland.tvk", package = "tavrik")

# tavrik-batch when the build names it; its results document on a copy of file, with args.
batch_json <- function(file, ...) {
    batch <- Sys.getenv("TAVRIK_BATCH")
    skip_if(batch == "", "TAVRIK_BATCH names no tavrik-batch")
    json <- tempfile(fileext = ".json")
    status <- system2(batch, c(shQuote(file), ..., "--json", shQuote(json)), stdout = FALSE,
                      stderr = FALSE)
    expect_equal(status, 0L)
    readChar(json, file.size(json), useBytes = TRUE)
}

read_text <- function(file) readChar(file, file.size(file), useBytes = TRUE)
