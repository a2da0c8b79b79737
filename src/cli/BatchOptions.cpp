#include "cli/BatchOptions.h"

#include "analysis/Bootstrap.h"
#include "io/TextEncoding.h"
#include "state/HeritabilityText.h"
#include "state/NumberText.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <functional>
#include <system_error>
#include <utility>

namespace tavrik {

namespace {

constexpr std::size_t maxReplicates = 10000000;
static_assert(defaultBootstrapSeed == 20261207, "the help text of --seed names the default");

// The help text lists the options by section; the section also says where an option belongs:
// to a run of the analysis (Analysis, Results), to the CSV import, or to both. An option's
// CLI11 group is the heading of its section.
enum class Section { Analysis, Results, Import, General };

std::string heading(Section section)
{
    constexpr std::string_view headings[] = {
        "Analysis options:",
        "Result files, written only when the run succeeds (- is standard output):",
        "Import options:",
        "Other options:",
    };
    return std::string(headings[static_cast<std::size_t>(section)]);
}

// --variable belongs to the Analysis section, yet the import takes it too.
constexpr std::string_view sharedOption = "--variable";

// Our complaint about the command line. The options' callbacks throw it as soon as CLI11 has
// read the option, so that the first bad value on the line is the one named;
// parseBatchOptions turns it into a usage error.
struct Refusal
{
    std::string message;
};

// A value from the command line, whole and with its controls escaped, in double quotes.
std::string inQuotes(std::string_view text)
{
    return "\"" + escapedText(text) + "\"";
}

// A whole number from min to max, written in digits only.
template <typename Number>
std::optional<Number> wholeNumber(std::string_view text, Number min, Number max)
{
    Number n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc{} || end != text.data() + text.size() || text.empty() || n < min ||
        n > max) {
        return std::nullopt;
    }
    return n;
}

// Adds the options to a CLI11 application, section by section, in the order of the help text.
struct OptionTable
{
    CLI::App& app;
    std::string group; // the heading of the section being filled

    void flag(const std::string& name, const std::string& help, std::function<void()> set)
    {
        app.add_flag_callback("--" + name, std::move(set), help)->group(group)->trigger_on_parse();
    }

    // take checks the value: it throws a Refusal or keeps it.
    void value(const std::string& name,
               const std::string& valueName,
               const std::string& help,
               std::function<void(const std::string&)> take)
    {
        app.add_option_function<std::string>("--" + name, std::move(take), help)
            ->type_name(valueName)
            ->group(group)
            ->trigger_on_parse();
    }

    // An option whose value must not be empty: "--NAME needs " what, otherwise.
    template <typename Slot>
    void nonEmpty(const std::string& name,
                  const std::string& valueName,
                  const std::string& help,
                  Slot& slot,
                  const std::string& what = "a file name")
    {
        value(name, valueName, help, [name, what, &slot](const std::string& v) {
            if (v.empty()) {
                throw Refusal{"--" + name + " needs " + what};
            }
            slot = v;
        });
    }

    // An option that names a file: "--NAME needs a file name" when it is empty.
    template <typename Slot> void file(const std::string& name, const std::string& help, Slot& slot)
    {
        nonEmpty(name, "FILE", help, slot);
    }

    // An option whose value parse reads; one it cannot read is refused as
    // --NAME "VALUE": expected.
    template <typename T, typename Parse>
    void parsed(const std::string& name,
                const std::string& valueName,
                const std::string& help,
                std::optional<T>& slot,
                Parse parse,
                const std::string& expected)
    {
        value(name, valueName, help, [name, parse, expected, &slot](const std::string& v) {
            slot = parse(v);
            if (!slot) {
                throw Refusal{"--" + name + " " + inQuotes(v) + ": " + expected};
            }
        });
    }

    // A chart's file, whose name must end in .png or .svg.
    void
    chartFile(const std::string& name, const std::string& help, std::optional<std::string>& slot)
    {
        parsed(
            name,
            "FILE",
            help,
            slot,
            [](std::string_view v) {
                return isChartFileName(v) ? std::optional<std::string>(v) : std::nullopt;
            },
            "the file name must end in .png or .svg");
    }

    // An option whose value is one of two words, shown as first|second in the help text and
    // refused as --NAME "VALUE": expected first or second.
    template <typename T>
    void either(const std::string& name,
                const std::string& help,
                std::optional<T>& slot,
                std::pair<std::string, T> first,
                std::pair<std::string, T> second)
    {
        parsed(
            name,
            first.first + "|" + second.first,
            help,
            slot,
            [first, second](std::string_view v) -> std::optional<T> {
                if (v == first.first || v == second.first) {
                    return v == first.first ? first.second : second.second;
                }
                return std::nullopt;
            },
            "expected " + first.first + " or " + second.first);
    }
};

void describeAnalysisOptions(OptionTable& t, BatchOptions& o)
{
    t.value("heritability",
            "H",
            "heritability of the traits, 0 < H <= 1 (default 1)",
            [&o](const std::string& v) {
                const std::optional<float> h = parseHeritability(v);
                if (!h) {
                    throw Refusal{"heritability " + inQuotes(v) +
                                  " is not a number in the range 0 < H <= 1"};
                }
                o.settings.heritability = *h;
            });
    t.flag("no-bias-correction", "do not correct r(ii) and the distances for sampling bias", [&o] {
        o.settings.biasCorrection = false;
    });
    t.flag("scaled",
           "also analyse the R matrix scaled by the population weights (only when the census "
           "sizes differ)",
           [&o] { o.settings.scaledAnalysis = true; });
    t.flag("show-matrices",
           "append the matrix listing to the report when both fit in 24000 bytes",
           [&o] { o.settings.showMatrices = true; });
    t.value("population",
            "NAME",
            "use the population of this exact name; repeat for more (default: all)",
            [&o](const std::string& v) { o.populations.push_back(v); });
    t.value("variable",
            "NAME",
            "use the variable of this exact name; repeat for more (default: all)",
            [&o](const std::string& v) { o.variables.push_back(v); });
    t.file("report", "write the report to FILE; - is standard output (the default)", o.reportPath);
    t.file("listing", "write the matrix listing to FILE; - is standard output", o.listingPath);
    t.flag("progress",
           "print the progress lines on standard error, at most about ten a second",
           [&o] { o.progress = true; });
    t.parsed("memory-budget",
             "SIZE",
             "memory for keeping the records between the two passes, so that the data file is "
             "read once: bytes, or with a K, M or G suffix; 0 reads the file twice (default: a "
             "quarter of the physical memory, at most 4G)",
             o.memoryBudget,
             parseByteSize,
             "expected a size in bytes, optionally with K, M or G (as 512M)");
}

void describeResultFiles(OptionTable& t, BatchOptions& o)
{
    t.file("save-output",
           "the report, one line end, then the matrix listing unless --show-matrices put it in "
           "the report: the file the desktop's Save Output As writes",
           o.saveOutputPath);
    t.value("matrix",
            "WHICH:LAYOUT:FILE",
            "one matrix in one layout (see below); repeat for more",
            [&o](const std::string& v) {
                Result<MatrixRequest> request = parseMatrixRequest(v);
                if (!request) {
                    throw Refusal{request.error().message};
                }
                o.matrices.push_back(std::move(*request));
            });
    t.either("phylip-names",
             "names in phylip files that do not fit in 10 bytes: 10-byte codes with a name map "
             "FILE.names.csv beside the file (codes, the default), or written whole (relaxed)",
             o.phylipNames,
             {"codes", PhylipNames::Codes},
             {"relaxed", PhylipNames::Relaxed});
    t.file("pc-scores",
           "scores on the first two principal coordinates of the R matrix (CSV)",
           o.pcScoresPath);
    t.file("scaled-pc-scores",
           "the same for the scaled R matrix (needs --scaled)",
           o.scaledPcScoresPath);
    t.file("vt-results",
           "r(ii) and the observed, expected and residual within-group variances of every "
           "population (CSV)",
           o.vtResultsPath);
    t.chartFile("chart",
                "the first two principal coordinates as a 7 x 7 inch chart; FILE ends in .png (300 "
                "dots per inch) or .svg (a build without Qt writes .svg only)",
                o.chartPath);
    t.either("chart-matrix",
             "what --chart draws: the coordinates of the R matrix (r, the default) or of the "
             "scaled R matrix (scaled-r, which needs --scaled and census sizes that differ)",
             o.chartMatrix,
             {"r", MatrixKind::R},
             {"scaled-r", MatrixKind::ScaledR});
    t.file("json",
           "every number of the run in one JSON document: settings, populations, matrices with "
           "their standard errors, Fst, Velbrand-Torvane values, principal coordinates, and the "
           "sweep and bootstrap when asked for",
           o.jsonPath);
    t.chartFile(
        "vt-chart",
        "every population's residual within-group variance against its r(ii) as a 7 x 7 "
        "inch chart, filled markers above the zero line, open ones below; FILE ends in .png "
        "(300 dots per inch) or .svg (a build without Qt writes .svg only)",
        o.vtChartPath);
}

void describeSweepAndBootstrap(OptionTable& t, BatchOptions& o)
{
    t.value("heritability-sweep",
            "FROM:TO:STEP",
            "recompute Fst, unbiased Fst, its se and every unbiased r(ii) for the heritabilities "
            "FROM, FROM+STEP, ... up to TO (plain decimals, e.g. 0.2:1:0.05); needs "
            "--sweep-output",
            [&o](const std::string& v) {
                auto points = heritabilityRange(v);
                if (!points) {
                    throw Refusal{points.error().message};
                }
                o.sweepRange = v;
                o.sweepPoints = std::move(*points);
            });
    t.file("sweep-output",
           "the heritability sweep as CSV, one line per heritability",
           o.sweepOutputPath);
    t.chartFile(
        "sweep-chart",
        "the heritability sweep's Fst and unbiased Fst as a 7 x 5 inch line chart; FILE "
        "ends in .png (300 dots per inch) or .svg (a build without Qt writes .svg only); needs "
        "--heritability-sweep",
        o.sweepChartPath);
    t.parsed(
        "bootstrap",
        "N",
        "N bootstrap replicates (records resampled within each population); the summary "
        "follows the report",
        o.bootstrapReplicates,
        [](std::string_view v) { return wholeNumber<std::size_t>(v, 2, maxReplicates); },
        "expected a whole number of replicates from 2 to " + std::to_string(maxReplicates));
    t.parsed(
        "seed",
        "S",
        "seed of the generator of the bootstrap and of the Mantel test's permutations, a whole "
        "number from 0 to 2^64-1 (default 20261207)",
        o.bootstrapSeed,
        [](std::string_view v) { return wholeNumber<std::uint64_t>(v, 0, UINT64_MAX); },
        "expected a whole number from 0 to 18446744073709551615");
    t.file("bootstrap-output",
           "the bootstrap's estimates, means, biases, standard errors and intervals as CSV",
           o.bootstrapOutputPath);
    t.parsed(
        "bootstrap-interval",
        "percentile|basic|bca",
        "the bootstrap's 95% interval: bias-corrected and accelerated (bca, the default), the "
        "2.5% and 97.5% points of the replicates (percentile), or 2 x estimate minus them "
        "(basic)",
        o.bootstrapInterval,
        [](std::string_view v) -> std::optional<IntervalKind> {
            if (v == "percentile") {
                return IntervalKind::Percentile;
            }
            if (v == "basic") {
                return IntervalKind::Basic;
            }
            if (v == "bca") {
                return IntervalKind::Bca;
            }
            return std::nullopt;
        },
        "expected percentile, basic or bca");
}

// The neighbor-joining tree, its consensus and its chart.
void describeTreeOptions(OptionTable& t, BatchOptions& o)
{
    t.file("tree",
           "the neighbor-joining tree of the D-square matrix in Newick form; after --bootstrap N "
           "every inner branch carries the percent of replicate trees that hold its split, and "
           "the report lists them",
           o.treePath);
    t.either("tree-matrix",
             "what --tree is made of: the D-square matrix (d2, the default) or the scaled one "
             "(scaled-d2, which needs --scaled and census sizes that differ)",
             o.treeMatrix,
             {"d2", MatrixKind::DSquare},
             {"scaled-d2", MatrixKind::ScaledDSquare});
    t.file("consensus",
           "the majority-rule consensus of the bootstrap's replicate trees, with the percent of "
           "each split, in Newick form (needs --tree and --bootstrap N)",
           o.consensusPath);
    t.chartFile(
        "tree-chart",
        "the tree of --tree as a chart 7 inches wide, with the support values after "
        "--bootstrap N; FILE ends in .png (300 dpi) or .svg (a build without Qt writes .svg "
        "only)",
        o.treeChartPath);
    t.nonEmpty("tree-root",
               "midpoint|NAME",
               "where --tree-chart roots the tree: at the midpoint of its longest path (the "
               "default) or on the chosen population NAME",
               o.treeRoot,
               "midpoint or a population's name");
}

// The Mantel test, and the threads that it, the bootstrap and the reader use.
void describeMantelAndThreads(OptionTable& t, BatchOptions& o)
{
    t.nonEmpty("mantel",
               "FILE.csv",
               "Mantel test of the D-square matrix (and the scaled one) against geography: "
               "FILE.csv holds population,latitude,longitude or a square distance matrix; the "
               "summary follows the report",
               o.mantelPath);
    t.nonEmpty("mantel-control",
               "FILE.csv",
               "the partial Mantel test too: the distances of FILE.csv (in the forms of --mantel) "
               "held constant, r(D-square, geography | control) with the same permutations",
               o.mantelControlPath);
    t.value("permutations",
            "N|all",
            "permutations of the Mantel test, 1 to 10000000 (default 9999), or all: every order "
            "of at most 9 populations, for an exact p-value",
            [&o](const std::string& v) {
                if (v == "all") {
                    o.mantelExhaustive = true;
                    o.mantelPermutations.reset();
                    return;
                }
                const std::optional<std::size_t> n =
                    wholeNumber<std::size_t>(v, 1, maxMantelPermutations);
                if (!n) {
                    throw Refusal{"--permutations " + inQuotes(v) +
                                  ": expected a whole number from 1 to " +
                                  std::to_string(maxMantelPermutations) + ", or all"};
                }
                o.mantelPermutations = n;
                o.mantelExhaustive = false;
            });
    t.either("mantel-method",
             "the Mantel test's correlation: Pearson's r of the distances (the default) or "
             "Spearman's of their ranks",
             o.mantelMethod,
             {"pearson", MantelMethod::Pearson},
             {"spearman", MantelMethod::Spearman});
    t.either("mantel-alternative",
             "the Mantel test's p: permutations whose r reaches the observed r (greater, the "
             "default) or whose |r| reaches the observed |r| (two-sided)",
             o.mantelAlternative,
             {"greater", MantelAlternative::Greater},
             {"two-sided", MantelAlternative::TwoSided});
    t.file("mantel-output",
           "the Mantel test's summary and the distances of every pair of populations (text)",
           o.mantelOutputPath);
    t.value("threads",
            "N",
            "threads that read the data file and run the bootstrap and the Mantel test (default: "
            "every core; 1 reads the file sequentially); the results do not depend on it",
            [&o](const std::string& v) {
                const std::optional<unsigned> n = wholeNumber(v, 1u, 1024u);
                if (!n) {
                    throw Refusal{"--threads " + inQuotes(v) +
                                  ": expected a whole number from 1 to 1024"};
                }
                o.threads = *n;
            });
}

void describeImportOptions(OptionTable& t, BatchOptions& o)
{
    t.nonEmpty("import-csv",
               "IN.csv",
               "convert IN.csv, one row per individual under a header row of column names, into a "
               "data file; no analysis is run",
               o.importCsv);
    t.nonEmpty("population-column",
               "NAME",
               "the column that gives each row's population (required)",
               o.populationColumn,
               "a column name");
    t.nonEmpty("output",
               "OUT.tvk",
               "the data file to write (required); - is standard output",
               o.outputPath);
    t.file("census-sizes",
           "CSV of population name and census size, one row per population (default: 100 for "
           "every population)",
           o.censusSizesPath);
    t.value("title",
            "TEXT",
            "title of the data set (default: the CSV file's name without its extension)",
            [&o](const std::string& v) { o.title = v; });
    t.flag("leave-out-bad-rows",
           "leave out the rows with a value that is not a number or no population, instead of "
           "stopping",
           [&o] { o.leaveOutBadRows = true; });
}

void describeOptions(CLI::App& app, BatchOptions& o)
{
    app.set_help_flag(); // ours is a plain flag, and the help text is ours too
    app.allow_extras();  // the operands are left to us
    OptionTable t{app, heading(Section::Analysis)};
    describeAnalysisOptions(t, o);
    t.group = heading(Section::Results);
    describeResultFiles(t, o);
    describeSweepAndBootstrap(t, o);
    describeTreeOptions(t, o);
    describeMantelAndThreads(t, o);
    t.group = heading(Section::Import);
    describeImportOptions(t, o);
    t.group = heading(Section::General);
    t.flag("help", "show this help and exit", [&o] { o.help = true; });
    t.flag("version", "show the version and exit", [&o] { o.version = true; });
}

// The arguments as CLI11 is to read them, in reverse order, and the complaint about the first
// one it must not see: an unknown option, a flag given a value, an option without its value
// at the end. CLI11 reads "--name=" as "--name" followed by the next argument, so every
// "--name=VALUE" is split here. The arguments after the complaint are left out: a bad value
// before it is named first, as the line is read.
struct CommandLine
{
    std::vector<std::string> reversed;
    std::optional<std::string> complaint;
};

CommandLine commandLineFor(const CLI::App& app, std::span<const std::string_view> args)
{
    CommandLine line;
    std::vector<std::string>& out = line.reversed;
    for (std::size_t i = 0; i < args.size() && !line.complaint; ++i) {
        const std::string_view arg = args[i];
        if (arg == "--") {
            out.insert(out.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
            break;
        }
        const std::size_t eq = arg.find('=');
        const std::string name(arg.substr(0, eq));
        const CLI::Option* option = arg.starts_with("--") ? app.get_option_no_throw(name) : nullptr;
        const bool takesValue = option != nullptr && !option->get_type_name().empty();
        if (option == nullptr && arg != "-" && arg.starts_with('-')) {
            line.complaint = "unknown option " + inQuotes(arg);
        } else if (option == nullptr) {
            out.emplace_back(arg);
        } else if (eq != std::string_view::npos && !takesValue) {
            line.complaint = "option " + name + " takes no value";
        } else if (eq != std::string_view::npos) {
            out.push_back(name);
            out.emplace_back(arg.substr(eq + 1));
        } else if (takesValue && i + 1 == args.size()) {
            line.complaint = "option " + name + " needs a value (" + option->get_type_name() + ")";
        } else {
            out.push_back(name);
            if (takesValue) {
                out.emplace_back(args[++i]);
            }
        }
    }
    std::reverse(out.begin(), out.end());
    return line;
}

bool isScaled(MatrixKind kind)
{
    return kind == MatrixKind::ScaledR || kind == MatrixKind::ScaledDSquare;
}

// What the import needs and refuses; firstRunOnly is the first option given that only a run
// takes (empty when there is none).
Status checkImportCombination(const BatchOptions& options,
                              const std::vector<std::string>& operands,
                              const std::string& firstRunOnly)
{
    if (!firstRunOnly.empty()) {
        return Error::usage("option " + firstRunOnly +
                            " belongs to an analysis run and cannot be used with --import-csv");
    }
    if (!operands.empty()) {
        return Error::usage("--import-csv takes no data file, found also " +
                            inQuotes(operands.front()));
    }
    if (!options.populationColumn) {
        return Error::usage("--import-csv needs --population-column NAME, the column that "
                            "gives each row's population");
    }
    if (!options.outputPath) {
        return Error::usage("--import-csv needs --output FILE, the data file to write");
    }
    return Done{};
}

// The tree's options: what qualifies --tree needs it, and the bootstrap's support exists for the
// D-square tree only.
Status checkTreeOptions(const BatchOptions& options)
{
    if (options.treeMatrix && !options.treePath) {
        return Error::usage("--tree-matrix chooses what --tree is made of, and --tree FILE is "
                            "missing");
    }
    if (options.consensusPath && (!options.treePath || !options.bootstrapReplicates)) {
        return Error::usage(options.treePath ? "--consensus needs --bootstrap N"
                                             : "--consensus needs --tree FILE");
    }
    if (options.treeMatrix == MatrixKind::ScaledDSquare && options.bootstrapReplicates) {
        return Error::usage("--tree-matrix scaled-d2: the bootstrap resamples the D-square "
                            "matrix only, so a tree of the scaled one would have no support; "
                            "use d2 or leave out --bootstrap");
    }
    if (options.treeChartPath && !options.treePath) {
        return Error::usage("--tree-chart draws the tree of --tree, and --tree FILE is missing");
    }
    if (options.treeRoot && !options.treeChartPath) {
        return Error::usage("--tree-root roots the tree of --tree-chart, and --tree-chart FILE "
                            "is missing");
    }
    return Done{};
}

// An option that only qualifies another is refused without it.
Status checkQualifiedOptions(const BatchOptions& options)
{
    if (options.sweepRange.has_value() != options.sweepOutputPath.has_value()) {
        return Error::usage(options.sweepRange ? "--heritability-sweep needs --sweep-output FILE"
                                               : "--sweep-output needs --heritability-sweep "
                                                 "FROM:TO:STEP");
    }
    if (options.sweepChartPath && !options.sweepRange) {
        return Error::usage("--sweep-chart needs --heritability-sweep FROM:TO:STEP");
    }
    if (!options.bootstrapReplicates && options.bootstrapOutputPath) {
        return Error::usage("--bootstrap-output needs --bootstrap N");
    }
    if (!options.bootstrapReplicates && options.bootstrapInterval) {
        return Error::usage("--bootstrap-interval needs --bootstrap N");
    }
    if (options.phylipNames &&
        std::none_of(options.matrices.begin(), options.matrices.end(), [](const auto& m) {
            return m.layout == MatrixLayout::Phylip;
        })) {
        return Error::usage("--phylip-names needs --matrix WHICH:phylip:FILE");
    }
    if (!options.bootstrapReplicates && !options.mantelPath && options.bootstrapSeed) {
        return Error::usage("--seed needs --bootstrap N or --mantel FILE.csv");
    }
    if (!options.mantelPath) {
        const char* needsMantel = options.mantelPermutations || options.mantelExhaustive
                                      ? "--permutations"
                                  : options.mantelMethod      ? "--mantel-method"
                                  : options.mantelAlternative ? "--mantel-alternative"
                                  : options.mantelOutputPath  ? "--mantel-output"
                                  : options.mantelControlPath ? "--mantel-control"
                                                              : nullptr;
        if (needsMantel != nullptr) {
            return Error::usage(std::string(needsMantel) + " needs --mantel FILE.csv");
        }
    }
    if (options.chartMatrix && !options.chartPath) {
        return Error::usage(
            "--chart-matrix chooses what --chart draws, and --chart FILE is missing");
    }
    return checkTreeOptions(options);
}

// The scaled matrices and their scores exist only after a run with --scaled.
Status checkScaledRequests(const BatchOptions& options)
{
    if (!options.settings.scaledAnalysis) {
        for (const MatrixRequest& m : options.matrices) {
            if (isScaled(m.kind)) {
                return Error::usage("--matrix " + m.given +
                                    ": the scaled matrices are computed only when --scaled is "
                                    "given");
            }
        }
        if (options.scaledPcScoresPath) {
            return Error::usage("--scaled-pc-scores: the scaled R matrix is analysed only when "
                                "--scaled is given");
        }
        if (options.chartMatrix == MatrixKind::ScaledR) {
            return Error::usage("--chart-matrix scaled-r: the scaled R matrix is analysed only "
                                "when --scaled is given");
        }
        if (options.treeMatrix == MatrixKind::ScaledDSquare) {
            return Error::usage("--tree-matrix scaled-d2: the scaled matrices are computed only "
                                "when --scaled is given");
        }
    }
    return Done{};
}

// The checks that need every option: what the import needs and refuses, or what a run needs.
// firstRunOnly and firstImportOnly are the first options given that only a run, or only the
// import, takes (empty when there is none).
Status checkCombination(const BatchOptions& options,
                        const std::vector<std::string>& operands,
                        const std::string& firstRunOnly,
                        const std::string& firstImportOnly)
{
    if (options.importCsv) {
        return checkImportCombination(options, operands, firstRunOnly);
    }
    if (!firstImportOnly.empty()) {
        return Error::usage("option " + firstImportOnly +
                            " belongs to the CSV import and needs --import-csv");
    }
    if (operands.empty()) {
        return Error::usage("no data file given");
    }
    if (operands.size() > 1) {
        return Error::usage("one data file expected, found also " + inQuotes(operands[1]));
    }
    if (Status qualified = checkQualifiedOptions(options); !qualified) {
        return qualified;
    }
    return checkScaledRequests(options);
}

// Appends text to out as lines of at most width columns, the first starting at column indent
// (the caller has filled it), later ones indented to it. Words longer than a line stay whole.
void appendWrapped(std::string& out, std::string_view text, std::size_t indent, std::size_t width)
{
    std::size_t column = indent;
    bool lineEmpty = true;
    while (!text.empty()) {
        const std::size_t blank = text.find(' ');
        const std::string_view word = text.substr(0, blank);
        text.remove_prefix(blank == std::string_view::npos ? text.size() : blank + 1);
        if (!lineEmpty && column + 1 + word.size() > width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    out += '\n';
}

} // namespace

bool isChartFileName(std::string_view path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return extension == ".png" || extension == ".svg";
}

Result<MatrixRequest> parseMatrixRequest(std::string_view text)
{
    struct NamedKind
    {
        std::string_view name;
        MatrixKind kind;
    };
    static constexpr NamedKind kinds[] = {
        {"r", MatrixKind::R},
        {"d2", MatrixKind::DSquare},
        {"scaled-r", MatrixKind::ScaledR},
        {"scaled-d2", MatrixKind::ScaledDSquare},
    };
    struct NamedLayout
    {
        std::string_view name;
        MatrixLayout layout;
    };
    static constexpr NamedLayout layouts[] = {
        {"list-space", MatrixLayout::ListSpace},
        {"list-comma", MatrixLayout::ListComma},
        {"square-space", MatrixLayout::SquareSpace},
        {"square-comma", MatrixLayout::SquareComma},
        {"ntsys", MatrixLayout::NtSys},
        {"phylip", MatrixLayout::Phylip},
    };

    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) {
        return Error::usage("--matrix needs WHICH:LAYOUT:FILE, found " + inQuotes(text));
    }
    MatrixRequest request;
    request.given = std::string(text);
    const std::string_view which = text.substr(0, first);
    const std::string_view layout = text.substr(first + 1, second - first - 1);
    request.path = std::string(text.substr(second + 1));

    const auto* kind = std::find_if(std::begin(kinds),
                                    std::end(kinds),
                                    [which](const NamedKind& k) { return k.name == which; });
    if (kind == std::end(kinds)) {
        return Error::usage("--matrix " + inQuotes(text) + ": unknown matrix " + inQuotes(which) +
                            "; WHICH is r, d2, scaled-r or scaled-d2");
    }
    const auto* named = std::find_if(std::begin(layouts),
                                     std::end(layouts),
                                     [layout](const NamedLayout& l) { return l.name == layout; });
    if (named == std::end(layouts)) {
        return Error::usage("--matrix " + inQuotes(text) + ": unknown layout " + inQuotes(layout) +
                            "; LAYOUT is list-space, list-comma, square-space, square-comma, "
                            "ntsys or phylip");
    }
    if (!layoutFitsKind(named->layout, kind->kind)) {
        return Error::usage("--matrix " + inQuotes(text) +
                            ": the phylip layout holds distances only; WHICH is d2 or scaled-d2");
    }
    if (request.path.empty()) {
        return Error::usage("--matrix " + inQuotes(text) + " names no file");
    }
    request.kind = kind->kind;
    request.layout = named->layout;
    return request;
}

std::optional<float> parseHeritability(std::string_view text)
{
    double value = 0.0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, ec] = readNumber(first, last, value);
    if (ec != std::errc{} || end != last || text.empty()) {
        return std::nullopt;
    }
    // Values far outside the range are refused before the cast, which would be undefined
    // beyond the float range. The rest is judged on the 32-bit float, as the Options dialog
    // judges it: decimal -> double -> float, then 0 < h <= 1.
    if (!(value > 0.0) || value > 2.0) {
        return std::nullopt;
    }
    const auto h = static_cast<float>(value);
    if (!heritabilityAccepted(h)) {
        return std::nullopt;
    }
    return h;
}

std::optional<std::uint64_t> parseByteSize(std::string_view text)
{
    std::uint64_t number = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc{} || ptr == text.data()) {
        return std::nullopt;
    }
    const std::string_view suffix(ptr, static_cast<std::size_t>(text.data() + text.size() - ptr));
    int shift = 0;
    if (suffix == "K" || suffix == "k") {
        shift = 10;
    } else if (suffix == "M" || suffix == "m") {
        shift = 20;
    } else if (suffix == "G" || suffix == "g") {
        shift = 30;
    } else if (!suffix.empty()) {
        return std::nullopt;
    }
    if (shift > 0 && number > (UINT64_MAX >> shift)) {
        return std::nullopt;
    }
    return number << shift;
}

Result<BatchOptions> parseBatchOptions(std::span<const std::string_view> args)
{
    BatchOptions options;
    CLI::App app;
    describeOptions(app, options);
    CommandLine line = commandLineFor(app, args);
    try {
        app.parse(std::move(line.reversed));
    } catch (const Refusal& refusal) {
        return Error::usage(refusal.message);
    } catch (const CLI::ParseError& error) {
        return Error::usage(error.what()); // not expected: the line was checked above
    }
    if (line.complaint) {
        return Error::usage(*line.complaint);
    }
    // What CLI11 left: the operands, and the first "--" if one ended the options.
    std::vector<std::string> operands = app.remaining();
    if (const auto end = std::find(operands.begin(), operands.end(), "--"); end != operands.end()) {
        operands.erase(end);
    }
    if (options.help || options.version) {
        return options;
    }

    std::string firstRunOnly;
    std::string firstImportOnly;
    for (const CLI::Option* option : app.parse_order()) {
        const std::string& group = option->get_group();
        const bool runOnly =
            (group == heading(Section::Analysis) && option->get_name() != sharedOption) ||
            group == heading(Section::Results);
        if (runOnly && firstRunOnly.empty()) {
            firstRunOnly = option->get_name();
        }
        if (group == heading(Section::Import) && firstImportOnly.empty()) {
            firstImportOnly = option->get_name();
        }
    }
    if (Status combined = checkCombination(options, operands, firstRunOnly, firstImportOnly);
        !combined) {
        return combined.error();
    }
    if (!options.importCsv) {
        options.dataFile = operands.front();
    }
    return options;
}

std::string batchUsage()
{
    constexpr std::size_t helpColumn = 30;
    constexpr std::size_t lineWidth = 79;
    BatchOptions unused;
    CLI::App app;
    describeOptions(app, unused);

    std::string text =
        "Usage: tavrik-batch [OPTIONS] DATAFILE\n"
        "       tavrik-batch --import-csv IN.csv --population-column NAME --output OUT.tvk\n"
        "                    [IMPORT OPTIONS]\n"
        "\n"
        "Population-genetic analysis of the quantitative traits in DATAFILE (.tvk):\n"
        "R matrix, Fst, D-square distances, Velbrand-Torvane comparison and\n"
        "principal coordinates. The report goes to standard output. The second form\n"
        "converts a CSV table of measurements into a data file instead.\n";
    const auto row = [&text](std::string left, std::string_view help) {
        left.insert(0, "  ");
        if (left.size() + 2 > helpColumn) {
            text += left + "\n";
            left.clear();
        }
        left.resize(helpColumn, ' ');
        text += left;
        appendWrapped(text, help, helpColumn, lineWidth);
    };
    const auto section = [&](Section which) {
        text += "\n" + heading(which) + "\n";
        for (const CLI::Option* option : app.get_options()) {
            if (option->get_group() == heading(which)) {
                const std::string valueName = option->get_type_name();
                row(option->get_name() + (valueName.empty() ? "" : " " + valueName),
                    option->get_description());
            }
        }
    };
    section(Section::Analysis);
    section(Section::Results);
    text += "\n"
            "  WHICH is r, d2, scaled-r or scaled-d2; the scaled matrices need --scaled and\n"
            "  census sizes that differ.\n"
            "  LAYOUT is list-space, list-comma, square-space, square-comma, ntsys or phylip\n"
            "  (d2 and scaled-d2 only).\n";
    section(Section::Import);
    row("--variable NAME",
        "a column to import as a variable; repeat for more, in the order the data file is to "
        "list them (default: every numeric column but the population column)");
    section(Section::General);
    text += "\n"
            "Exit status: 0 done; 1 the analysis cannot proceed or an output file cannot be\n"
            "written; 2 a usage error; 3 the data file, the CSV file, the census file or the\n"
            "geography file cannot be read, or the geography lacks a chosen population.\n"
            "With SOURCE_DATE_EPOCH set, the report's date and time are that instant in UTC.\n";
    return text;
}

} // namespace tavrik
