// Command line of tavrik-batch: the option table, its parser and the help text. Parsing only
// checks the form of each option; names are matched against the data file later.
#pragma once

#include "analysis/HeritabilitySweep.h"
#include "analysis/Mantel.h"
#include "export/MatrixExport.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

// "-" as an output path means standard output.
inline constexpr std::string_view standardOutputPath = "-";

// One --matrix WHICH:LAYOUT:FILE.
struct MatrixRequest
{
    MatrixKind kind = MatrixKind::R;
    MatrixLayout layout = MatrixLayout::SquareSpace;
    std::string path;
    std::string given; // the option as typed, for messages
};

struct BatchOptions
{
    AnalysisSettings settings;            // file-open defaults unless an option changes them
    std::vector<std::string> populations; // names as given; empty = every population
    std::vector<std::string> variables;   // names as given; empty = every variable (or column)
    std::string reportPath{standardOutputPath};
    std::optional<std::string> listingPath;
    bool progress = false;
    std::optional<std::uint64_t> memoryBudget; // absent: the run's default
    bool help = false;
    bool version = false;
    std::string dataFile; // empty when help or version was asked for, or with importCsv

    // Result files of the run, written only when it succeeded.
    std::optional<std::string> saveOutputPath;
    std::vector<MatrixRequest> matrices; // in the order given
    std::optional<std::string> pcScoresPath;
    std::optional<std::string> scaledPcScoresPath;
    std::optional<std::string> vtResultsPath;
    std::optional<std::string> chartPath;   // ends in .png or .svg, any case
    std::optional<MatrixKind> chartMatrix;  // R or ScaledR; absent: R
    std::optional<std::string> jsonPath;    // every number of the run in one JSON document
    std::optional<std::string> vtChartPath; // ends in .png or .svg, any case

    // Further analyses of the run's results.
    std::optional<std::string> sweepRange; // FROM:TO:STEP as given
    std::vector<SweepPoint> sweepPoints;
    std::optional<std::string> sweepOutputPath;
    std::optional<std::string> sweepChartPath; // ends in .png or .svg, any case
    std::optional<std::size_t> bootstrapReplicates;
    std::optional<std::uint64_t> bootstrapSeed; // absent: the default seed; the Mantel test's too
    std::optional<std::string> bootstrapOutputPath;
    std::optional<IntervalKind> bootstrapInterval; // absent: BCa
    std::optional<std::string> treePath;           // the neighbor-joining tree, Newick
    std::optional<MatrixKind> treeMatrix;          // DSquare or ScaledDSquare; absent: DSquare
    std::optional<std::string> consensusPath;      // the bootstrap's consensus tree, Newick
    std::optional<std::string> treeChartPath;      // ends in .png or .svg, any case
    std::optional<std::string> treeRoot;           // as given: "midpoint" or a population's name
    std::optional<std::string> mantelPath;         // the geography file
    std::optional<std::string> mantelControlPath;  // the partial test's control file
    std::optional<std::size_t> mantelPermutations;
    bool mantelExhaustive = false; // --permutations all
    std::optional<MantelMethod> mantelMethod;
    std::optional<std::string> mantelOutputPath;
    std::optional<MantelAlternative> mantelAlternative;
    std::optional<PhylipNames> phylipNames; // absent: codes when a name does not fit
    unsigned threads = 0;                   // 0: every core

    // Conversion of a CSV table into a data file instead of a run.
    std::optional<std::string> importCsv;
    std::optional<std::string> populationColumn;
    std::optional<std::string> outputPath;
    std::optional<std::string> censusSizesPath;
    std::optional<std::string> title;
    bool leaveOutBadRows = false;
};

// Parses the arguments after the program name. Options and DATAFILE may come in any order;
// "--" ends the options. A value may be given as "--name VALUE" or "--name=VALUE".
// Errors are of kind Usage and name the offending argument. Options of the run and options of
// the CSV import do not mix; a scaled result requested without --scaled is refused here.
Result<BatchOptions> parseBatchOptions(std::span<const std::string_view> args);

// Reads a heritability: the whole text must be one decimal number (exponent allowed) and the
// value, rounded to a 32-bit float, must lie in (0, 1].
std::optional<float> parseHeritability(std::string_view text);

// Whether path names a chart file: its extension is .png or .svg, in any case.
bool isChartFileName(std::string_view path);

// Reads WHICH:LAYOUT:FILE; FILE is everything after the second colon and may hold colons.
Result<MatrixRequest> parseMatrixRequest(std::string_view text);

// Reads a size in bytes: digits, optionally followed by K, M or G (binary: 1024, 1024^2,
// 1024^3, either case). Absent when the text is anything else or the size overflows.
std::optional<std::uint64_t> parseByteSize(std::string_view text);

std::string batchUsage();

} // namespace tavrik
