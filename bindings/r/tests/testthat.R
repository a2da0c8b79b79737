library(testthat)
library(tavrik)

test_check("tavrik")
