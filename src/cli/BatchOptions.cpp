#include "cli/BatchOptions.h"

#include "analysis/Bootstrap.h"
#include "state/HeritabilityText.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace tavrik {

namespace {

constexpr std::size_t maxReplicates = 10000000;
static_assert(defaultBootstrapSeed == 20261207, "the help text of --seed names the default");

// Returns the text of the complaint, or an empty text when the value was taken.
using ApplyOption = std::string (*)(BatchOptions&, std::string_view value);

// The help text lists the options by section; the section also says where an option belongs:
// to a run of the analysis (Analysis, Results), to the CSV import, or to both.
enum class Section { Analysis, Results, Import, General };

struct OptionSpec
{
    std::string_view name;      // without the leading "--"
    std::string_view valueName; // empty for an option that takes no value
    std::string_view help;
    Section section;
    ApplyOption apply;
    bool alsoImport = false; // an Analysis option that the import takes too
};

std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

std::string setPath(std::optional<std::string>& slot, std::string_view option, std::string_view v)
{
    if (v.empty()) {
        return "--" + std::string(option) + " needs a file name";
    }
    slot = std::string(v);
    return {};
}

// One row per option: adding an option is adding a row. The help text is built from it.
const OptionSpec optionTable[] = {
    {"heritability",
     "H",
     "heritability of the traits, 0 < H <= 1 (default 1)",
     Section::Analysis,
     [](BatchOptions& o, std::string_view v) -> std::string {
         const std::optional<float> h = parseHeritability(v);
         if (!h) {
             return "heritability " + quoted(v) + " is not a number in the range 0 < H <= 1";
         }
         o.settings.heritability = *h;
         return {};
     }},
    {"no-bias-correction",
     {},
     "do not correct r(ii) and the distances for sampling bias",
     Section::Analysis,
     [](BatchOptions& o, std::string_view) -> std::string {
         o.settings.biasCorrection = 0;
         return {};
     }},
    {"scaled",
     {},
     "also analyse the R matrix scaled by the population weights (only when the census "
     "sizes differ)",
     Section::Analysis,
     [](BatchOptions& o, std::string_view) -> std::string {
         o.settings.scaledAnalysis = 1;
         return {};
     }},
    {"show-matrices",
     {},
     "append the matrix listing to the report when both fit in 24000 bytes",
     Section::Analysis,
     [](BatchOptions& o, std::string_view) -> std::string {
         o.settings.showMatrices = 1;
         return {};
     }},
    {"population",
     "NAME",
     "use the population of this exact name; repeat for more (default: all)",
     Section::Analysis,
     [](BatchOptions& o, std::string_view v) -> std::string {
         o.populations.emplace_back(v);
         return {};
     }},
    {"variable",
     "NAME",
     "use the variable of this exact name; repeat for more (default: all)",
     Section::Analysis,
     [](BatchOptions& o, std::string_view v) -> std::string {
         o.variables.emplace_back(v);
         return {};
     },
     true},
    {"report",
     "FILE",
     "write the report to FILE; - is standard output (the default)",
     Section::Analysis,
     [](BatchOptions& o, std::string_view v) -> std::string {
         if (v.empty()) {
             return "--report needs a file name";
         }
         o.reportPath = v;
         return {};
     }},
    {"listing",
     "FILE",
     "write the matrix listing to FILE; - is standard output",
     Section::Analysis,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.listingPath, "listing", v);
     }},
    {"progress",
     {},
     "print the progress lines on standard error",
     Section::Analysis,
     [](BatchOptions& o, std::string_view) -> std::string {
         o.progress = true;
         return {};
     }},
    {"memory-budget",
     "SIZE",
     "memory for keeping the records between the two passes, so that the data file is read "
     "once: bytes, or with a K, M or G suffix; 0 reads the file twice (default: a quarter of "
     "the physical memory, at most 4G)",
     Section::Analysis,
     [](BatchOptions& o, std::string_view v) -> std::string {
         const std::optional<std::uint64_t> size = parseByteSize(v);
         if (!size) {
             return "--memory-budget " + quoted(v) +
                    ": expected a size in bytes, optionally with K, M or G (as 512M)";
         }
         o.memoryBudget = *size;
         return {};
     }},
    {"save-output",
     "FILE",
     "the report, one line end, then the matrix listing unless --show-matrices put it in "
     "the report: the file the desktop's Save Output As writes",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.saveOutputPath, "save-output", v);
     }},
    {"matrix",
     "WHICH:LAYOUT:FILE",
     "one matrix in one layout (see below); repeat for more",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         Result<MatrixRequest> request = parseMatrixRequest(v);
         if (!request) {
             return request.error().message;
         }
         o.matrices.push_back(std::move(*request));
         return {};
     }},
    {"pc-scores",
     "FILE",
     "scores on the first two principal coordinates of the R matrix (CSV)",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.pcScoresPath, "pc-scores", v);
     }},
    {"scaled-pc-scores",
     "FILE",
     "the same for the scaled R matrix (needs --scaled)",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.scaledPcScoresPath, "scaled-pc-scores", v);
     }},
    {"vt-results",
     "FILE",
     "r(ii) and the observed, expected and residual within-group variances of every "
     "population (CSV)",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.vtResultsPath, "vt-results", v);
     }},
    {"chart",
     "FILE",
     "the first two principal coordinates as a 7 x 7 inch chart; FILE ends in .png (300 "
     "dots per inch) or .svg (only in builds with Qt)",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         if (!isChartFileName(v)) {
             return "--chart " + quoted(v) + ": the file name must end in .png or .svg";
         }
         o.chartPath = std::string(v);
         return {};
     }},
    {"chart-matrix",
     "r|scaled-r",
     "what --chart draws: the coordinates of the R matrix (r, the default) or of the scaled "
     "R matrix (scaled-r, which needs --scaled and census sizes that differ)",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         if (v == "r") {
             o.chartMatrix = MatrixKind::R;
         } else if (v == "scaled-r") {
             o.chartMatrix = MatrixKind::ScaledR;
         } else {
             return "--chart-matrix " + quoted(v) + ": expected r or scaled-r";
         }
         return {};
     }},
    {"json",
     "FILE",
     "every number of the run in one JSON document: settings, populations, matrices with "
     "their standard errors, Fst, Velbrand-Torvane values, principal coordinates, and the "
     "sweep and bootstrap when asked for",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.jsonPath, "json", v);
     }},
    {"vt-chart",
     "FILE",
     "every population's residual within-group variance against its r(ii) as a 7 x 7 inch "
     "chart, filled markers above the zero line, open ones below; FILE ends in .png (300 dots "
     "per inch) or .svg (only in builds with Qt)",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         if (!isChartFileName(v)) {
             return "--vt-chart " + quoted(v) + ": the file name must end in .png or .svg";
         }
         o.vtChartPath = std::string(v);
         return {};
     }},
    {"heritability-sweep",
     "FROM:TO:STEP",
     "recompute Fst, unbiased Fst, its se and every unbiased r(ii) for the heritabilities "
     "FROM, FROM+STEP, ... up to TO (plain decimals, e.g. 0.2:1:0.05); needs --sweep-output",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         auto points = heritabilityRange(v);
         if (!points) {
             return points.error().message;
         }
         o.sweepSpec = std::string(v);
         o.sweepPoints = std::move(*points);
         return {};
     }},
    {"sweep-output",
     "FILE",
     "the heritability sweep as CSV, one line per heritability",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.sweepOutputPath, "sweep-output", v);
     }},
    {"sweep-chart",
     "FILE",
     "the heritability sweep's Fst and unbiased Fst as a 7 x 5 inch line chart; FILE ends in "
     ".png (300 dots per inch) or .svg (only in builds with Qt); needs --heritability-sweep",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         if (!isChartFileName(v)) {
             return "--sweep-chart " + quoted(v) + ": the file name must end in .png or .svg";
         }
         o.sweepChartPath = std::string(v);
         return {};
     }},
    {"bootstrap",
     "N",
     "N bootstrap replicates (records resampled within each population); the summary "
     "follows the report",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         std::size_t n = 0;
         const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
         if (ec != std::errc{} || end != v.data() + v.size() || n < 2 || n > maxReplicates) {
             return "--bootstrap " + quoted(v) +
                    ": expected a whole number of replicates from 2 "
                    "to " +
                    std::to_string(maxReplicates);
         }
         o.bootstrapReplicates = n;
         return {};
     }},
    {"seed",
     "S",
     "seed of the generator of the bootstrap and of the Mantel test's permutations, a whole "
     "number from 0 to 2^64-1 (default 20261207)",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         std::uint64_t seed = 0;
         const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seed);
         if (ec != std::errc{} || end != v.data() + v.size() || v.empty()) {
             return "--seed " + quoted(v) +
                    ": expected a whole number from 0 to "
                    "18446744073709551615";
         }
         o.bootstrapSeed = seed;
         return {};
     }},
    {"bootstrap-output",
     "FILE",
     "the bootstrap standard errors and the 2.5% and 97.5% percentiles as CSV",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.bootstrapOutputPath, "bootstrap-output", v);
     }},
    {"mantel",
     "FILE.csv",
     "Mantel test of the D-square matrix (and the scaled one) against geography: FILE.csv "
     "holds population,latitude,longitude or a square distance matrix; the summary follows "
     "the report",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.mantelPath, "mantel", v);
     }},
    {"permutations",
     "N|all",
     "permutations of the Mantel test, 1 to 10000000 (default 9999), or all: every order of "
     "at most 9 populations, for an exact p-value",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         if (v == "all") {
             o.mantelExhaustive = true;
             o.mantelPermutations.reset();
             return {};
         }
         std::size_t n = 0;
         const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
         if (ec != std::errc{} || end != v.data() + v.size() || n < 1 ||
             n > maxMantelPermutations) {
             return "--permutations " + quoted(v) + ": expected a whole number from 1 to " +
                    std::to_string(maxMantelPermutations) + ", or all";
         }
         o.mantelPermutations = n;
         o.mantelExhaustive = false;
         return {};
     }},
    {"mantel-method",
     "pearson|spearman",
     "the Mantel test's correlation: Pearson's r of the distances (the default) or Spearman's "
     "of their ranks",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         if (v == "pearson") {
             o.mantelMethod = MantelMethod::Pearson;
         } else if (v == "spearman") {
             o.mantelMethod = MantelMethod::Spearman;
         } else {
             return "--mantel-method " + quoted(v) + ": expected pearson or spearman";
         }
         return {};
     }},
    {"mantel-output",
     "FILE",
     "the Mantel test's summary and the distances of every pair of populations (text)",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.mantelOutputPath, "mantel-output", v);
     }},
    {"threads",
     "N",
     "threads that read the data file and run the bootstrap and the Mantel test (default: "
     "every core; 1 reads the file sequentially); the results do not depend on it",
     Section::Results,
     [](BatchOptions& o, std::string_view v) -> std::string {
         unsigned n = 0;
         const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
         if (ec != std::errc{} || end != v.data() + v.size() || n < 1 || n > 1024) {
             return "--threads " + quoted(v) + ": expected a whole number from 1 to 1024";
         }
         o.threads = n;
         return {};
     }},
    {"import-csv",
     "IN.csv",
     "convert IN.csv, one row per individual under a header row of column names, into a "
     "data file; no analysis is run",
     Section::Import,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.importCsv, "import-csv", v);
     }},
    {"population-column",
     "NAME",
     "the column that gives each row's population (required)",
     Section::Import,
     [](BatchOptions& o, std::string_view v) -> std::string {
         if (v.empty()) {
             return "--population-column needs a column name";
         }
         o.populationColumn = std::string(v);
         return {};
     }},
    {"output",
     "OUT.tvk",
     "the data file to write (required); - is standard output",
     Section::Import,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.outputPath, "output", v);
     }},
    {"census-sizes",
     "FILE",
     "CSV of population name and census size, one row per population (default: 100 for "
     "every population)",
     Section::Import,
     [](BatchOptions& o, std::string_view v) -> std::string {
         return setPath(o.censusSizesPath, "census-sizes", v);
     }},
    {"title",
     "TEXT",
     "title of the data set (default: the CSV file's name without its extension)",
     Section::Import,
     [](BatchOptions& o, std::string_view v) -> std::string {
         o.title = std::string(v);
         return {};
     }},
    {"leave-out-bad-rows",
     {},
     "leave out the rows with a value that is not a number or no population, instead of "
     "stopping",
     Section::Import,
     [](BatchOptions& o, std::string_view) -> std::string {
         o.leaveOutBadRows = true;
         return {};
     }},
    {"help",
     {},
     "show this help and exit",
     Section::General,
     [](BatchOptions& o, std::string_view) -> std::string {
         o.help = true;
         return {};
     }},
    {"version",
     {},
     "show the version and exit",
     Section::General,
     [](BatchOptions& o, std::string_view) -> std::string {
         o.version = true;
         return {};
     }},
};

struct NamedKind
{
    std::string_view name;
    MatrixKind kind;
    std::string_view described; // for messages
};
constexpr NamedKind matrixKinds[] = {
    {"r", MatrixKind::R, "the R matrix"},
    {"d2", MatrixKind::DSquare, "the D-square matrix"},
    {"scaled-r", MatrixKind::ScaledR, "the scaled R matrix"},
    {"scaled-d2", MatrixKind::ScaledDSquare, "the scaled D-square matrix"},
};

struct NamedLayout
{
    std::string_view name;
    MatrixLayout layout;
};
constexpr NamedLayout matrixLayouts[] = {
    {"list-space", MatrixLayout::ListSpace},
    {"list-comma", MatrixLayout::ListComma},
    {"square-space", MatrixLayout::SquareSpace},
    {"square-comma", MatrixLayout::SquareComma},
    {"ntsys", MatrixLayout::NtSys},
    {"phylip", MatrixLayout::Phylip},
};

const OptionSpec* findOption(std::string_view name)
{
    for (const OptionSpec& entry : optionTable) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

Error usageError(std::string message)
{
    return Error{ErrorKind::Usage, std::move(message), {}, 0, {}};
}

std::string optionName(const OptionSpec& entry)
{
    return "--" + std::string(entry.name);
}

bool isScaled(MatrixKind kind)
{
    return kind == MatrixKind::ScaledR || kind == MatrixKind::ScaledDSquare;
}

// The checks that need every option: what the import needs and refuses, or what a run needs.
Status checkCombination(const BatchOptions& options,
                        const std::vector<std::string_view>& operands,
                        const OptionSpec* firstRunOnly,
                        const OptionSpec* firstImportOnly)
{
    if (options.importCsv) {
        if (firstRunOnly != nullptr) {
            return usageError("option " + optionName(*firstRunOnly) +
                              " belongs to an analysis run and cannot be used with --import-csv");
        }
        if (!operands.empty()) {
            return usageError("--import-csv takes no data file, found also " +
                              quoted(operands.front()));
        }
        if (!options.populationColumn) {
            return usageError("--import-csv needs --population-column NAME, the column that "
                              "gives each row's population");
        }
        if (!options.outputPath) {
            return usageError("--import-csv needs --output FILE, the data file to write");
        }
        return Done{};
    }
    if (firstImportOnly != nullptr) {
        return usageError("option " + optionName(*firstImportOnly) +
                          " belongs to the CSV import and needs --import-csv");
    }
    if (operands.empty()) {
        return usageError("no data file given");
    }
    if (operands.size() > 1) {
        return usageError("one data file expected, found also " + quoted(operands[1]));
    }
    if (options.sweepSpec.has_value() != options.sweepOutputPath.has_value()) {
        return usageError(options.sweepSpec ? "--heritability-sweep needs --sweep-output FILE"
                                            : "--sweep-output needs --heritability-sweep "
                                              "FROM:TO:STEP");
    }
    if (options.sweepChartPath && !options.sweepSpec) {
        return usageError("--sweep-chart needs --heritability-sweep FROM:TO:STEP");
    }
    if (!options.bootstrapReplicates && options.bootstrapOutputPath) {
        return usageError("--bootstrap-output needs --bootstrap N");
    }
    if (!options.bootstrapReplicates && !options.mantelPath && options.bootstrapSeed) {
        return usageError("--seed needs --bootstrap N or --mantel FILE.csv");
    }
    if (!options.mantelPath) {
        const char* needsMantel = options.mantelPermutations || options.mantelExhaustive
                                      ? "--permutations"
                                  : options.mantelMethod     ? "--mantel-method"
                                  : options.mantelOutputPath ? "--mantel-output"
                                                             : nullptr;
        if (needsMantel != nullptr) {
            return usageError(std::string(needsMantel) + " needs --mantel FILE.csv");
        }
    }
    if (options.chartMatrix && !options.chartPath) {
        return usageError("--chart-matrix chooses what --chart draws, and --chart FILE is missing");
    }
    // The scaled matrices and their scores exist only after a run with --scaled.
    if (options.settings.scaledAnalysis == 0) {
        for (const MatrixRequest& m : options.matrices) {
            if (isScaled(m.kind)) {
                return usageError("--matrix " + m.given +
                                  ": the scaled matrices are computed only when --scaled is "
                                  "given");
            }
        }
        if (options.scaledPcScoresPath) {
            return usageError("--scaled-pc-scores: the scaled R matrix is analysed only when "
                              "--scaled is given");
        }
        if (options.chartMatrix == MatrixKind::ScaledR) {
            return usageError("--chart-matrix scaled-r: the scaled R matrix is analysed only "
                              "when --scaled is given");
        }
    }
    return Done{};
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
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos) {
        return usageError("--matrix needs WHICH:LAYOUT:FILE, found " + quoted(text));
    }
    MatrixRequest request;
    request.given = std::string(text);
    const std::string_view which = text.substr(0, first);
    const std::string_view layout = text.substr(first + 1, second - first - 1);
    request.path = std::string(text.substr(second + 1));

    const auto kind = std::find_if(std::begin(matrixKinds),
                                   std::end(matrixKinds),
                                   [which](const NamedKind& k) { return k.name == which; });
    if (kind == std::end(matrixKinds)) {
        return usageError("--matrix " + quoted(text) + ": unknown matrix " + quoted(which) +
                          "; WHICH is r, d2, scaled-r or scaled-d2");
    }
    const auto named = std::find_if(std::begin(matrixLayouts),
                                    std::end(matrixLayouts),
                                    [layout](const NamedLayout& l) { return l.name == layout; });
    if (named == std::end(matrixLayouts)) {
        return usageError("--matrix " + quoted(text) + ": unknown layout " + quoted(layout) +
                          "; LAYOUT is list-space, list-comma, square-space, square-comma, "
                          "ntsys or phylip");
    }
    if (!layoutFitsKind(named->layout, kind->kind)) {
        return usageError("--matrix " + quoted(text) +
                          ": the phylip layout holds distances only; WHICH is d2 or scaled-d2");
    }
    if (request.path.empty()) {
        return usageError("--matrix " + quoted(text) + " names no file");
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
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
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

Result<BatchOptions> parseBatchOptions(std::span<const std::string_view> args)
{
    BatchOptions options;
    std::vector<std::string_view> operands;
    bool optionsEnded = false;
    const OptionSpec* firstRunOnly = nullptr;
    const OptionSpec* firstImportOnly = nullptr;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            return usageError("unknown option " + quoted(arg));
        }
        std::string_view name = arg.substr(2);
        std::optional<std::string_view> inlineValue;
        if (const std::size_t eq = name.find('='); eq != std::string_view::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const OptionSpec* entry = findOption(name);
        if (entry == nullptr) {
            return usageError("unknown option " + quoted(arg));
        }
        std::string_view value;
        if (entry->valueName.empty()) {
            if (inlineValue) {
                return usageError("option --" + std::string(name) + " takes no value");
            }
        } else if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return usageError("option --" + std::string(name) + " needs a value (" +
                              std::string(entry->valueName) + ")");
        }
        if (std::string complaint = entry->apply(options, value); !complaint.empty()) {
            return usageError(std::move(complaint));
        }
        const bool runOnly = (entry->section == Section::Analysis && !entry->alsoImport) ||
                             entry->section == Section::Results;
        if (runOnly && firstRunOnly == nullptr) {
            firstRunOnly = entry;
        }
        if (entry->section == Section::Import && firstImportOnly == nullptr) {
            firstImportOnly = entry;
        }
    }

    if (options.help || options.version) {
        return options;
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

std::string batchUsage()
{
    constexpr std::size_t helpColumn = 30;
    constexpr std::size_t lineWidth = 79;
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
    const auto section = [&](Section which, std::string_view heading) {
        text += "\n" + std::string(heading) + "\n";
        for (const OptionSpec& entry : optionTable) {
            if (entry.section == which) {
                std::string left = optionName(entry);
                if (!entry.valueName.empty()) {
                    left += " " + std::string(entry.valueName);
                }
                row(std::move(left), entry.help);
            }
        }
    };
    section(Section::Analysis, "Analysis options:");
    section(Section::Results,
            "Result files, written only when the run succeeds (- is standard output):");
    text += "\n  ";
    appendWrapped(text,
                  "WHICH is r, d2, scaled-r or scaled-d2; the scaled matrices need --scaled "
                  "and census sizes that differ.",
                  2,
                  lineWidth);
    text += "  ";
    appendWrapped(text,
                  "LAYOUT is list-space, list-comma, square-space, square-comma, ntsys or "
                  "phylip (d2 and scaled-d2 only).",
                  2,
                  lineWidth);
    section(Section::Import, "Import options:");
    row("--variable NAME",
        "a column to import as a variable; repeat for more, in the order the data file is to "
        "list them (default: every numeric column but the population column)");
    section(Section::General, "Other options:");
    text += "\n"
            "Exit status: 0 done; 1 the analysis cannot proceed or an output file cannot be\n"
            "written; 2 a usage error; 3 the data file, the CSV file, the census file or the\n"
            "geography file cannot be read, or the geography lacks a chosen population.\n"
            "With SOURCE_DATE_EPOCH set, the report's date and time are that instant in UTC.\n";
    return text;
}

} // namespace tavrik
