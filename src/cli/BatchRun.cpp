#include "cli/BatchRun.h"

#include "analysis/AnalysisRun.h"
#include "analysis/Bootstrap.h"
#include "analysis/HeritabilitySweep.h"
#include "analysis/Mantel.h"
#include "chart/ChartTitles.h"
#include "chart/SweepChartLayout.h"
#include "cli/BatchProgress.h"
#include "cli/OutputFiles.h"
#include "datafile/DataFileReader.h"
#include "datafile/GeographyFile.h"
#include "export/MantelText.h"
#include "export/MatrixExport.h"
#include "export/ResamplingText.h"
#include "export/ResultCsv.h"
#include "export/ResultJson.h"
#include "export/SavedOutput.h"
#include "io/AtomicFile.h"
#include "io/TextEncoding.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace tavrik {

namespace {

// Names a message lists before it says how many more there are.
constexpr std::size_t namesListed = 5;

// "A", "B", "C", "D", "E" and 12 more: names from the file, quoted as every message quotes
// them (control characters replaced, long names cut).
std::string joinNames(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < namesListed; ++i) {
        text += (i == 0 ? "" : ", ") + quoteFound(names[i]);
    }
    if (names.size() > namesListed) {
        text += " and " + std::to_string(names.size() - namesListed) + " more";
    }
    return text;
}

// Sets flags[p] for the file positions named in wanted (all positions when wanted is empty)
// and appends a complaint for every unknown or shared name.
void flagByName(const std::vector<std::string>& fileNames,
                const std::vector<std::string>& wanted,
                std::string_view kind,
                std::vector<bool>& flags,
                std::vector<std::string>& complaints)
{
    flags.assign(fileNames.size(), false);
    if (wanted.empty()) {
        flags.assign(fileNames.size(), true);
        return;
    }
    for (const std::string& name : wanted) {
        std::vector<std::size_t> positions;
        for (std::size_t p = 0; p < fileNames.size(); ++p) {
            if (fileNames[p] == name) {
                positions.push_back(p);
            }
        }
        if (positions.empty()) {
            complaints.push_back("no " + std::string(kind) + " named " + quoteFound(name) +
                                 " in the data file (it has " + joinNames(fileNames) + ")");
        } else if (positions.size() > 1) {
            // Positions are reported 1-based, as a user counts the entries of the file.
            complaints.push_back(std::string(kind) + " name " + quoteFound(name) +
                                 " is ambiguous: " + std::string(kind) + "s " +
                                 std::to_string(positions[0] + 1) + " and " +
                                 std::to_string(positions[1] + 1) + " of the data file share it");
        } else {
            flags[positions.front()] = true;
        }
    }
}

// Every output the run is asked to write, with the option that names it: report, listing,
// saved output, matrices in the order given, scores, results. Standard output included.
std::vector<std::pair<std::string, std::string>> outputs(const BatchOptions& options)
{
    std::vector<std::pair<std::string, std::string>> targets;
    const auto add = [&targets](std::string option, const std::optional<std::string>& path) {
        if (path) {
            targets.emplace_back(std::move(option), *path);
        }
    };
    add("--report", std::optional<std::string>(options.reportPath));
    add("--listing", options.listingPath);
    add("--save-output", options.saveOutputPath);
    for (const MatrixRequest& m : options.matrices) {
        add("--matrix " + m.given, m.path);
    }
    add("--pc-scores", options.pcScoresPath);
    add("--scaled-pc-scores", options.scaledPcScoresPath);
    add("--vt-results", options.vtResultsPath);
    add("--chart", options.chartPath);
    add("--json", options.jsonPath);
    add("--vt-chart", options.vtChartPath);
    add("--sweep-output", options.sweepOutputPath);
    add("--sweep-chart", options.sweepChartPath);
    add("--bootstrap-output", options.bootstrapOutputPath);
    add("--mantel-output", options.mantelOutputPath);
    return targets;
}

// The outputs that are files: standard output is none.
std::vector<std::pair<std::string, std::string>> outputTargets(const BatchOptions& options)
{
    auto targets = outputs(options);
    std::erase_if(targets, [](const auto& named) { return named.second == standardOutputPath; });
    return targets;
}

// An output must never replace the data file, nor another output of the same run (a device
// such as /dev/null may take any number of them), and every target must be writable: all this
// is known before the analysis starts.
Status checkOutputTargets(const BatchOptions& options, const std::filesystem::path& dataPath)
{
    const auto targets = outputTargets(options);
    if (options.jsonPath == standardOutputPath) {
        // a JSON reader takes one document: nothing may share the stream with it
        for (const auto& [option, path] : outputs(options)) {
            if (path == standardOutputPath && option != "--json") {
                return Error::usage("--json -: " + option +
                                    " also writes to standard output, and a JSON reader takes "
                                    "the document alone; give one of them a file" +
                                    (option == "--report" ? " (the report goes to standard output "
                                                            "unless --report names a file)"
                                                          : ""));
            }
        }
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const auto& [option, path] = targets[i];
        if (namesSameFile(path, dataPath)) {
            return Error::usage(option + " " + path + " would replace the data file", path);
        }
        if (options.mantelPath && namesSameFile(path, *options.mantelPath)) {
            return Error::usage(option + " " + path + " would replace the geography file", path);
        }
        for (std::size_t j = 0; j < i && !isCharacterDevice(path); ++j) {
            if (namesSameFile(path, targets[j].second)) {
                return Error::usage(
                    targets[j].first + " and " + option + " name the same file " + path, path);
            }
        }
    }
    for (const auto& named : targets) {
        if (Result<OutputTarget> target = checkOutputTarget(named.second); !target) {
            return target.error();
        }
    }
    return Done{};
}

// The scaled matrices exist only when the run analysed the scaled R matrix (matrixCount 2):
// with --scaled, that is when the census sizes of the data file differ. Their scores are
// available after any run with --scaled, as in the desktop's Output menu (zero when the sizes
// are all equal).
Status checkScaledMatrices(const BatchOptions& options, std::int16_t matrixCount)
{
    if (matrixCount == 2) {
        return Done{};
    }
    for (const MatrixRequest& m : options.matrices) {
        if (m.kind == MatrixKind::ScaledR || m.kind == MatrixKind::ScaledDSquare) {
            return Error::usage("--matrix " + m.given +
                                ": every population of the data file has the same census size, "
                                "so the run computes no scaled matrices");
        }
    }
    if (options.chartMatrix == MatrixKind::ScaledR) {
        // The desktop's chart offers only the matrices the run analysed; all points of the
        // scaled scores would sit on the origin.
        return Error::usage(
            "--chart-matrix scaled-r: every population of the data file has the same "
            "census size, so the run analyses no scaled R matrix");
    }
    return Done{};
}

// A phylip file whose names do not fit is written with codes and a name map beside it, which
// standard output cannot have.
Result<PhylipFile>
phylipOutput(const MatrixRequest& m, const AnalysisResults& results, PhylipNames names)
{
    PhylipFile file = phylipFile(resultMatrix(results, m.kind), results.populationNames, names);
    if (!file.nameMap.empty() && m.path == standardOutputPath) {
        return Error::usage("--matrix " + m.given +
                            ": a population name does not fit in 10 bytes, so the file holds codes "
                            "and a name map file beside it; give a file name, or --phylip-names "
                            "relaxed");
    }
    return file;
}

} // namespace

void printBatchMessage(std::ostream& err, std::string_view message)
{
    constexpr std::string_view messagePrefix = "tavrik-batch: ";
    // Every line gets the prefix, so a multi-line complaint stays greppable. A file name or an
    // option value that reached the text unquoted is escaped here, as a quoted name already is.
    while (!message.empty()) {
        const std::size_t nl = message.find('\n');
        err << messagePrefix << escapedText(message.substr(0, nl)) << '\n';
        if (nl == std::string_view::npos) {
            break;
        }
        message.remove_prefix(nl + 1);
    }
    err.flush();
}

int exitStatusFor(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::Usage:
        return static_cast<int>(BatchExit::Usage);
    case ErrorKind::DataFile:
        return static_cast<int>(BatchExit::DataFile);
    case ErrorKind::Analysis:
    case ErrorKind::Io:
    case ErrorKind::Cancelled:
        return static_cast<int>(BatchExit::CannotProceed);
    }
    return static_cast<int>(BatchExit::CannotProceed);
}

Result<Clock> reportClock(const char* sourceDateEpoch)
{
    if (sourceDateEpoch == nullptr || *sourceDateEpoch == '\0') {
        return systemClock();
    }
    return sourceDateClock(sourceDateEpoch);
}

Result<Selection> selectByName(const DataSet& dataSet,
                               const std::vector<std::string>& populations,
                               const std::vector<std::string>& variables)
{
    Selection selection;
    std::vector<std::string> complaints;
    flagByName(dataSet.popNames, populations, "population", selection.popSelected, complaints);
    flagByName(dataSet.varNames, variables, "variable", selection.varSelected, complaints);
    if (complaints.empty()) {
        if (selection.selPopCount() < 2) {
            complaints.push_back("at least 2 populations must be selected, found " +
                                 std::to_string(selection.selPopCount()));
        }
        if (selection.selVarCount() < 1) {
            complaints.push_back("no variables have been selected (the data file has none)");
        }
    }
    if (!complaints.empty()) {
        std::string message;
        for (std::size_t i = 0; i < complaints.size() && i < namesListed; ++i) {
            message += (i == 0 ? "" : "\n") + complaints[i];
        }
        if (complaints.size() > namesListed) {
            message += "\nand " + std::to_string(complaints.size() - namesListed) +
                       " more names that are unknown or shared";
        }
        return Error::usage(std::move(message), dataSet.dataPath);
    }
    return selection;
}

int runBatch(const BatchOptions& options,
             const Clock& clock,
             std::ostream& out,
             std::ostream& err,
             const ChartDrawer& chart,
             const SweepChartDrawer& sweepChart)
{
    if (options.chartPath && !chart) {
        printBatchMessage(err,
                          "--chart: this tavrik-batch was built without chart support (it needs "
                          "Qt); use --pc-scores FILE for the coordinates");
        return static_cast<int>(BatchExit::Usage);
    }
    if (options.vtChartPath && !chart) {
        printBatchMessage(err,
                          "--vt-chart: this tavrik-batch was built without chart support (it "
                          "needs Qt); use --vt-results FILE for the values");
        return static_cast<int>(BatchExit::Usage);
    }
    if (options.sweepChartPath && !sweepChart) {
        printBatchMessage(err,
                          "--sweep-chart: this tavrik-batch was built without chart support (it "
                          "needs Qt); the values are in the --sweep-output file");
        return static_cast<int>(BatchExit::Usage);
    }
    std::error_code ec;
    std::filesystem::path dataPath = std::filesystem::absolute(options.dataFile, ec);
    if (ec) {
        dataPath = options.dataFile;
    }
    dataPath = dataPath.lexically_normal();

    if (Status targets = checkOutputTargets(options, dataPath); !targets) {
        printBatchMessage(err, targets.error().message);
        return exitStatusFor(targets.error().kind);
    }
    Result<DataSet> loaded = loadDataSet(dataPath);
    if (!loaded) {
        printBatchMessage(err, loaded.error().message);
        return exitStatusFor(loaded.error().kind);
    }
    if (options.settings.scaledAnalysis) {
        // Refused before the run: its census sizes already tell whether it will scale.
        Status scaled = checkScaledMatrices(options, loaded->equalSizes ? 1 : 2);
        if (!scaled) {
            printBatchMessage(err, scaled.error().message);
            return exitStatusFor(scaled.error().kind);
        }
    }
    RunInput input;
    input.dataSet = std::move(loaded.value());
    input.dataSet.dataPath = dataPath.string();
    input.settings = options.settings;
    input.memoryBudget = options.memoryBudget;
    input.threads = options.threads;

    Result<Selection> selection =
        selectByName(input.dataSet, options.populations, options.variables);
    if (!selection) {
        printBatchMessage(err, selection.error().message);
        return exitStatusFor(selection.error().kind);
    }
    input.selection = std::move(selection.value());

    // The geography is read, and matched to the chosen populations, before the run: a file
    // that cannot serve stops the batch before the long part.
    std::optional<Geography> geography;
    if (options.mantelPath) {
        Result<Geography> geo = readGeography(*options.mantelPath);
        if (!geo) {
            printBatchMessage(err, geo.error().message);
            return exitStatusFor(geo.error().kind);
        }
        std::vector<std::string> chosen;
        for (std::size_t p = 0; p < input.dataSet.popNames.size(); ++p) {
            if (input.selection.popSelected[p]) {
                chosen.push_back(input.dataSet.popNames[p]);
            }
        }
        if (options.mantelExhaustive && chosen.size() > exhaustiveMantelLimit) {
            printBatchMessage(err,
                              "--permutations all: every order can be tried for at most " +
                                  std::to_string(exhaustiveMantelLimit) + " populations, and " +
                                  std::to_string(chosen.size()) +
                                  " are chosen; give a number of permutations instead");
            return static_cast<int>(BatchExit::Usage);
        }
        std::vector<std::string> notes;
        if (Result<Matrix> matched = distancesFor(*geo, chosen, notes); !matched) {
            printBatchMessage(err, matched.error().message);
            return exitStatusFor(matched.error().kind);
        }
        geography = std::move(*geo);
    }

    NullProgress quiet;
    StderrProgress toStderr(err);
    ProgressSink& progress =
        options.progress ? static_cast<ProgressSink&>(toStderr) : static_cast<ProgressSink&>(quiet);
    Result<RunOutput> run = runAnalysis(input, clock, progress);
    toStderr.flush(); // the line the run ended on, before any message
    if (!run) {
        printBatchMessage(err, run.error().message);
        return exitStatusFor(run.error().kind);
    }
    if (run->warnOutputTooLarge) {
        printBatchMessage(err,
                          "warning: output too large to fit on screen; the R and distance matrices "
                          "are not appended to the report (write them with --listing FILE)");
    }

    std::vector<PendingOutput> files;
    std::string toStdout;
    auto route = [&](const std::string& path, const std::string& text) {
        if (path == standardOutputPath) {
            toStdout += text;
        } else {
            files.push_back({path, text});
        }
    };
    if (Status scaled = checkScaledMatrices(options, run->matrixCount); !scaled) {
        printBatchMessage(err, scaled.error().message);
        return exitStatusFor(scaled.error().kind);
    }
    const AnalysisResults& results = run->results;
    std::string reportText = run->screenText;
    std::optional<SweepTable> sweepTable;
    std::optional<BootstrapResult> bootstrapResult;
    std::optional<MantelResult> mantelResult;
    if (options.sweepRange) {
        Result<SweepTable> sweep = heritabilitySweep(run->basis, options.sweepPoints);
        if (!sweep) {
            printBatchMessage(err, sweep.error().message);
            return exitStatusFor(sweep.error().kind);
        }
        route(*options.sweepOutputPath, sweepCsvText(*sweep));
        sweepTable = std::move(*sweep);
        if (options.sweepChartPath) {
            Result<std::string> drawn =
                sweepChart(*options.sweepChartPath, *sweepTable, std::string(sweepChartTitle));
            if (!drawn) {
                printBatchMessage(err, drawn.error().message);
                return exitStatusFor(drawn.error().kind);
            }
            files.push_back({*options.sweepChartPath, std::move(*drawn)});
        }
    }
    if (options.bootstrapReplicates) {
        Result<RecordTable> records =
            loadChosenRecords(input.dataSet, run->basis, bootstrapMemoryBudget);
        if (!records) {
            printBatchMessage(err, records.error().message);
            return exitStatusFor(records.error().kind);
        }
        BootstrapSettings settings;
        settings.replicates = *options.bootstrapReplicates;
        settings.seed = options.bootstrapSeed.value_or(defaultBootstrapSeed);
        settings.threads = options.threads;
        settings.interval = options.bootstrapInterval.value_or(IntervalKind::Bca);
        Result<BootstrapResult> boot = runBootstrap(*records, run->basis, settings);
        if (!boot) {
            printBatchMessage(err, boot.error().message);
            return exitStatusFor(boot.error().kind);
        }
        // after the report, never inside it: the report's own bytes stay as they are
        reportText += bootstrapSummaryText(*boot);
        if (options.bootstrapOutputPath) {
            route(*options.bootstrapOutputPath, bootstrapCsvText(*boot));
        }
        bootstrapResult = std::move(*boot);
    }
    if (geography) {
        // the names were matched before the run, so only the test itself can fail here
        Result<MantelInput> mantelInput =
            mantelInputFrom(results, run->matrixCount == 2, *geography);
        if (!mantelInput) {
            printBatchMessage(err, mantelInput.error().message);
            return exitStatusFor(mantelInput.error().kind);
        }
        MantelSettings settings;
        settings.method = options.mantelMethod.value_or(MantelMethod::Pearson);
        settings.permutations = options.mantelPermutations.value_or(defaultMantelPermutations);
        settings.exhaustive = options.mantelExhaustive;
        settings.alternative = options.mantelAlternative.value_or(MantelAlternative::Greater);
        settings.seed = options.bootstrapSeed.value_or(defaultBootstrapSeed);
        settings.threads = options.threads;
        Result<MantelResult> mantel = runMantel(*mantelInput, settings);
        if (!mantel) {
            printBatchMessage(err, mantel.error().message);
            return exitStatusFor(mantel.error().kind);
        }
        // after the report (and the bootstrap's summary), never inside it
        reportText += mantelSummaryText(*mantel);
        if (options.mantelOutputPath) {
            route(*options.mantelOutputPath, mantelOutputText(*mantel));
        }
        mantelResult = std::move(*mantel);
    }
    route(options.reportPath, reportText);
    if (options.listingPath) {
        route(*options.listingPath, run->matrixFile);
    }
    if (options.saveOutputPath) {
        // Save Output As right after the run: the text box holds the screen text; the listing
        // follows unless the run left it on screen.
        const bool withListing =
            appendListing(SaveKind::SaveOutputAs, true, run->outputFitsScreen, run->showMatrices);
        route(*options.saveOutputPath,
              savedOutputText(toCrLf(run->screenText), run->matrixFile, withListing));
    }
    for (const MatrixRequest& m : options.matrices) {
        if (m.layout == MatrixLayout::Phylip) {
            Result<PhylipFile> phylip =
                phylipOutput(m, results, options.phylipNames.value_or(PhylipNames::Codes));
            if (!phylip) {
                printBatchMessage(err, phylip.error().message);
                return exitStatusFor(phylip.error().kind);
            }
            const std::string shown = m.path == standardOutputPath ? "standard output" : m.path;
            for (const std::string& note : phylipNotes(*phylip, shown)) {
                printBatchMessage(err, "note: " + note);
            }
            route(m.path, phylip->text);
            if (!phylip->nameMap.empty()) {
                files.push_back({phylipNameMapPath(m.path), phylip->nameMap});
            }
            continue;
        }
        route(m.path, matrixFileText(results, m.kind, m.layout));
    }
    if (options.pcScoresPath) {
        route(*options.pcScoresPath, scoresCsvText(results.pcScores, results.populationNames));
    }
    if (options.scaledPcScoresPath) {
        route(*options.scaledPcScoresPath,
              scoresCsvText(results.scaledPcScores, results.populationNames));
    }
    if (options.vtResultsPath) {
        route(*options.vtResultsPath, velbrandTorvaneCsvText(results));
    }
    if (options.jsonPath) {
        route(*options.jsonPath,
              resultJsonText({input.dataSet,
                              run->basis,
                              results,
                              run->matrixCount,
                              sweepTable ? &*sweepTable : nullptr,
                              bootstrapResult ? &*bootstrapResult : nullptr,
                              mantelResult ? &*mantelResult : nullptr}));
    }
    if (options.chartPath) {
        const ChartKind kind = options.chartMatrix == MatrixKind::ScaledR
                                   ? ChartKind::ScaledPrincipalCoords
                                   : ChartKind::PrincipalCoords;
        Result<std::string> drawn = chart(*options.chartPath, results, kind, chartTitle(kind));
        if (!drawn) {
            printBatchMessage(err, drawn.error().message);
            return exitStatusFor(drawn.error().kind);
        }
        files.push_back({*options.chartPath, std::move(*drawn)});
    }
    if (options.vtChartPath) {
        Result<std::string> drawn = chart(*options.vtChartPath,
                                          results,
                                          ChartKind::VelbrandTorvane,
                                          chartTitle(ChartKind::VelbrandTorvane));
        if (!drawn) {
            printBatchMessage(err, drawn.error().message);
            return exitStatusFor(drawn.error().kind);
        }
        files.push_back({*options.vtChartPath, std::move(*drawn)});
    }
    // Standard output is written, and found complete, before any file is put in place: a
    // closed or full standard output, or a reader gone, leaves every file as it was.
    const auto writeStdout = [&out, &toStdout]() -> Status {
        errno = 0;
        out.write(toStdout.data(), static_cast<std::streamsize>(toStdout.size()));
        out.flush();
        if (out) {
            return Done{};
        }
        const int reason = errno;
        return Error::io("cannot write to standard output" +
                         (reason != 0 ? ": " + std::string(std::strerror(reason)) : "") +
                         "; the output files are left as they were");
    };
    if (Status written = writeOutputs(files, writeStdout); !written) {
        printBatchMessage(err, written.error().message);
        return exitStatusFor(written.error().kind);
    }
    return static_cast<int>(BatchExit::Done);
}

} // namespace tavrik
