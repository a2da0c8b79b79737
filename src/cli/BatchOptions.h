// Command line of tavrik-batch: the option table, its parser and the help text. Parsing only
// checks the form of each option; names are matched against the data file later.
#pragma once

#include "state/ProgramState.h"
#include "state/Result.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

// "-" as an output path means standard output.
inline constexpr std::string_view standardOutputPath = "-";

struct BatchOptions
{
    AnalysisSettings settings;            // file-open defaults unless an option changes them
    std::vector<std::string> populations; // names as given; empty = every population
    std::vector<std::string> variables;   // names as given; empty = every variable
    std::string reportPath{standardOutputPath};
    std::optional<std::string> listingPath;
    bool progress = false;
    bool help = false;
    bool version = false;
    std::string dataFile; // empty only when help or version was asked for
};

// Parses the arguments after the program name. Options and DATAFILE may come in any order;
// "--" ends the options. A value may be given as "--name VALUE" or "--name=VALUE".
// Errors are of kind Usage and name the offending argument.
Result<BatchOptions> parseBatchOptions(std::span<const std::string_view> args);

// Reads a heritability: the whole text must be one decimal number (exponent allowed) and the
// value, rounded to a 32-bit float, must lie in (0, 1].
std::optional<float> parseHeritability(std::string_view text);

std::string batchUsage();

} // namespace tavrik
