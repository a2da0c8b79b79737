#include "cli/BatchRun.h"

#include "analysis/AnalysisRun.h"
#include "analysis/Bootstrap.h"
#include "analysis/HeritabilitySweep.h"
#include "analysis/Mantel.h"
#include "analysis/TreeAnalysis.h"
#include "chart/ChartTitles.h"
#include "chart/SvgChart.h"
#include "chart/SweepChartLayout.h"
#include "cli/BatchProgress.h"
#include "cli/OutputFiles.h"
#include "datafile/DataFileReader.h"
#include "datafile/DataSelection.h"
#include "datafile/GeographyFile.h"
#include "export/MantelText.h"
#include "export/MatrixExport.h"
#include "export/ResamplingText.h"
#include "export/ResultCsv.h"
#include "export/ResultJson.h"
#include "export/SavedOutput.h"
#include "export/TreeText.h"
#include "io/AtomicFile.h"
#include "io/Platform.h"
#include "io/TextEncoding.h"

#include <algorithm>
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
    add("--tree", options.treePath);
    add("--consensus", options.consensusPath);
    add("--tree-chart", options.treeChartPath);
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
        if (namesSameFile(pathFromText(path), dataPath)) {
            return Error::usage(option + " " + path + " would replace the data file", path);
        }
        if (options.mantelPath &&
            namesSameFile(pathFromText(path), pathFromText(*options.mantelPath))) {
            return Error::usage(option + " " + path + " would replace the geography file", path);
        }
        if (options.mantelControlPath &&
            namesSameFile(pathFromText(path), pathFromText(*options.mantelControlPath))) {
            return Error::usage(option + " " + path + " would replace the control file", path);
        }
        for (std::size_t j = 0; j < i && !isCharacterDevice(pathFromText(path)); ++j) {
            if (namesSameFile(pathFromText(path), pathFromText(targets[j].second))) {
                return Error::usage(
                    targets[j].first + " and " + option + " name the same file " + path, path);
            }
        }
    }
    for (const auto& named : targets) {
        if (Result<OutputTarget> target = checkOutputTarget(pathFromText(named.second)); !target) {
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
    if (options.treeMatrix == MatrixKind::ScaledDSquare) {
        return Error::usage("--tree-matrix scaled-d2: every population of the data file has the "
                            "same census size, so the run computes no scaled matrices");
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

// Without a chart drawer the chart options are refused before anything is read, and so is a
// chart file in a format that the drawers do not write (a build without Qt writes SVG only).
Status checkChartSupport(const BatchOptions& options,
                         const ChartDrawer& chart,
                         const SweepChartDrawer& sweepChart,
                         const TreeChartDrawer& treeChart,
                         ChartFormats formats)
{
    if (options.chartPath && !chart) {
        return Error::usage("--chart: this tavrik-batch was built without chart support (it needs "
                            "Qt); use --pc-scores FILE for the coordinates");
    }
    if (options.vtChartPath && !chart) {
        return Error::usage("--vt-chart: this tavrik-batch was built without chart support (it "
                            "needs Qt); use --vt-results FILE for the values");
    }
    if (options.sweepChartPath && !sweepChart) {
        return Error::usage("--sweep-chart: this tavrik-batch was built without chart support (it "
                            "needs Qt); the values are in the --sweep-output file");
    }
    if (options.treeChartPath && !treeChart) {
        return Error::usage("--tree-chart: this tavrik-batch was built without chart support (it "
                            "needs Qt); the tree is in the --tree file");
    }
    if (formats == ChartFormats::SvgOnly) {
        const std::pair<const char*, const std::optional<std::string>*> charts[] = {
            {"--chart", &options.chartPath},
            {"--vt-chart", &options.vtChartPath},
            {"--sweep-chart", &options.sweepChartPath},
            {"--tree-chart", &options.treeChartPath},
        };
        for (const auto& [option, path] : charts) {
            if (*path && !isSvgPath(**path)) {
                return Error::usage(std::string(option) + " " + quoteFound(**path) +
                                    ": this tavrik-batch was built without Qt and writes charts "
                                    "as SVG only; give a file name that ends in .svg");
            }
        }
    }
    return Done{};
}

// The data file as the run and its messages name it: absolute where the working folder is
// known, with "." and ".." steps resolved.
std::filesystem::path absoluteDataPath(const std::string& dataFile)
{
    std::error_code ec;
    std::filesystem::path dataPath = std::filesystem::absolute(pathFromText(dataFile), ec);
    if (ec) {
        dataPath = pathFromText(dataFile);
    }
    return dataPath.lexically_normal();
}

// The population that --tree-root names, when it names one, is among the chosen ones: known
// before the run.
Status
checkTreeRoot(const BatchOptions& options, const DataSet& dataSet, const Selection& selection)
{
    if (!options.treeRoot || *options.treeRoot == treeRootMidpoint) {
        return Done{};
    }
    std::vector<std::string> chosen;
    for (std::size_t p = 0; p < dataSet.popNames.size(); ++p) {
        if (selection.popSelected[p]) {
            chosen.push_back(dataSet.popNames[p]);
        }
    }
    if (std::find(chosen.begin(), chosen.end(), *options.treeRoot) != chosen.end()) {
        return Done{};
    }
    return Error::usage("--tree-root " + quoteFound(*options.treeRoot) +
                            ": not one of the chosen populations (" + quotedNameList(chosen) +
                            ") nor midpoint",
                        dataSet.dataPath);
}

// The read stage: the data file's header and the selection that the names choose.
Result<RunInput> loadRunInput(const BatchOptions& options, const std::filesystem::path& dataPath)
{
    Result<DataSet> loaded = loadDataSet(dataPath);
    if (!loaded) {
        return loaded.error();
    }
    if (options.settings.scaledAnalysis) {
        // Refused before the run: its census sizes already tell whether it will scale.
        if (Status scaled = checkScaledMatrices(options, loaded->equalSizes ? 1 : 2); !scaled) {
            return scaled.error();
        }
    }
    RunInput input;
    input.dataSet = std::move(loaded.value());
    input.dataSet.dataPath = pathText(dataPath);
    input.settings = options.settings;
    input.memoryBudget = options.memoryBudget;
    input.threads = options.threads;

    Result<Selection> selection =
        selectByName(input.dataSet, options.populations, options.variables);
    if (!selection) {
        return selection.error();
    }
    input.selection = std::move(selection.value());
    if (Status root = checkTreeRoot(options, input.dataSet, input.selection); !root) {
        return root.error();
    }
    return input;
}

// The Mantel test's files: the geography and the partial test's control.
struct MantelFiles
{
    Geography geography;
    std::optional<Geography> control;
};

// The files are read, and matched to the chosen populations, before the run: a file that
// cannot serve stops the batch before the long part.
Result<MantelFiles> readMantelFiles(const BatchOptions& options, const RunInput& input)
{
    Result<Geography> geo = readGeography(pathFromText(*options.mantelPath));
    if (!geo) {
        return geo.error();
    }
    MantelFiles files{std::move(*geo), std::nullopt};
    if (options.mantelControlPath) {
        Result<Geography> control = readGeography(*options.mantelControlPath);
        if (!control) {
            return control.error();
        }
        files.control = std::move(*control);
    }
    std::vector<std::string> chosen;
    for (std::size_t p = 0; p < input.dataSet.popNames.size(); ++p) {
        if (input.selection.popSelected[p]) {
            chosen.push_back(input.dataSet.popNames[p]);
        }
    }
    if (options.mantelExhaustive && chosen.size() > exhaustiveMantelLimit) {
        return Error::usage("--permutations all: every order can be tried for at most " +
                            std::to_string(exhaustiveMantelLimit) + " populations, and " +
                            std::to_string(chosen.size()) +
                            " are chosen; give a number of permutations instead");
    }
    std::vector<std::string> notes;
    for (const Geography* file : {&files.geography, files.control ? &*files.control : nullptr}) {
        if (file == nullptr) {
            continue;
        }
        if (Result<Matrix> matched = distancesFor(*file, chosen, notes); !matched) {
            return matched.error();
        }
    }
    return files;
}

// The analysis itself, its progress on err when asked for; a report too large for the screen
// is told after it.
Result<RunOutput>
runReported(const RunInput& input, bool showProgress, const Clock& clock, std::ostream& err)
{
    NullProgress quiet;
    StderrProgress toStderr(err);
    ProgressSink& progress =
        showProgress ? static_cast<ProgressSink&>(toStderr) : static_cast<ProgressSink&>(quiet);
    Result<RunOutput> run = runAnalysis(input, clock, progress);
    toStderr.flush(); // the line the run ended on, before any message
    if (run && run->warnOutputTooLarge) {
        printBatchMessage(err,
                          "warning: output too large to fit on screen; the R and distance matrices "
                          "are not appended to the report (write them with --listing FILE)");
    }
    return run;
}

// A heritability sweep and its chart; the chart is drawn at once, so that one that cannot be
// drawn stops the batch before the bootstrap.
struct SweepRun
{
    SweepTable table;
    std::optional<std::string> chart;
};

Result<SweepRun>
runSweep(const BatchOptions& options, const RunBasis& basis, const SweepChartDrawer& sweepChart)
{
    Result<SweepTable> sweep = heritabilitySweep(basis, options.sweepPoints);
    if (!sweep) {
        return sweep.error();
    }
    SweepRun done{std::move(*sweep), std::nullopt};
    if (options.sweepChartPath) {
        // the title of the desktop's sweep window
        Result<std::string> drawn = sweepChart(
            pathFromText(*options.sweepChartPath), done.table, std::string(sweepChartTitle));
        if (!drawn) {
            return drawn.error();
        }
        done.chart = std::move(*drawn);
    }
    return done;
}

Result<BootstrapResult>
runBatchBootstrap(const BatchOptions& options, const DataSet& dataSet, const RunBasis& basis)
{
    Result<RecordTable> records = loadChosenRecords(dataSet, basis, bootstrapMemoryBudget);
    if (!records) {
        return records.error();
    }
    BootstrapSettings settings;
    settings.replicates = *options.bootstrapReplicates;
    settings.seed = options.bootstrapSeed.value_or(defaultBootstrapSeed);
    settings.threads = options.threads;
    settings.interval = options.bootstrapInterval.value_or(IntervalKind::Bca);
    return runBootstrap(*records, basis, settings);
}

Result<MantelResult>
runBatchMantel(const BatchOptions& options, const RunOutput& run, const MantelFiles& files)
{
    // the names were matched before the run, so only the test itself can fail here
    Result<MantelInput> input = mantelInputFrom(run.results,
                                                run.matrixCount == 2,
                                                files.geography,
                                                files.control ? &*files.control : nullptr);
    if (!input) {
        return input.error();
    }
    MantelSettings settings;
    settings.method = options.mantelMethod.value_or(MantelMethod::Pearson);
    settings.permutations = options.mantelPermutations.value_or(defaultMantelPermutations);
    settings.exhaustive = options.mantelExhaustive;
    settings.alternative = options.mantelAlternative.value_or(MantelAlternative::Greater);
    settings.seed = options.bootstrapSeed.value_or(defaultBootstrapSeed);
    settings.threads = options.threads;
    return runMantel(*input, settings);
}

// The tree's chart, rooted where --tree-root says (checked against the chosen populations
// before the run).
Result<std::string>
drawTreeChart(const BatchOptions& options, const TreeRun& tree, const TreeChartDrawer& treeChart)
{
    std::optional<std::size_t> rootTip;
    if (options.treeRoot && *options.treeRoot != treeRootMidpoint) {
        const auto at =
            std::find(tree.tree.names.begin(), tree.tree.names.end(), *options.treeRoot);
        rootTip = static_cast<std::size_t>(at - tree.tree.names.begin());
    }
    return treeChart(pathFromText(*options.treeChartPath),
                     tree.tree,
                     rootTip,
                     std::string(treeChartTitle),
                     tree.matrixName);
}

// The run and the analyses beyond it that the options ask for.
struct BatchAnalyses
{
    RunOutput run;
    std::optional<SweepRun> sweep;
    std::optional<BootstrapResult> bootstrap;
    std::optional<MantelResult> mantel;
    std::optional<TreeRun> tree;
    std::optional<std::string> treeChart; // the file's bytes
};

Result<BatchAnalyses> runBatchAnalyses(const BatchOptions& options,
                                       const RunInput& input,
                                       const std::optional<MantelFiles>& mantelFiles,
                                       const Clock& clock,
                                       const SweepChartDrawer& sweepChart,
                                       const TreeChartDrawer& treeChart,
                                       std::ostream& err)
{
    Result<RunOutput> run = runReported(input, options.progress, clock, err);
    if (!run) {
        return run.error();
    }
    if (Status scaled = checkScaledMatrices(options, run->matrixCount); !scaled) {
        return scaled.error();
    }
    BatchAnalyses analyses{
        std::move(*run), std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    if (options.sweepRange) {
        Result<SweepRun> sweep = runSweep(options, analyses.run.basis, sweepChart);
        if (!sweep) {
            return sweep.error();
        }
        analyses.sweep = std::move(*sweep);
    }
    if (options.bootstrapReplicates) {
        Result<BootstrapResult> boot =
            runBatchBootstrap(options, input.dataSet, analyses.run.basis);
        if (!boot) {
            return boot.error();
        }
        analyses.bootstrap = std::move(*boot);
    }
    if (mantelFiles) {
        Result<MantelResult> mantel = runBatchMantel(options, analyses.run, *mantelFiles);
        if (!mantel) {
            return mantel.error();
        }
        analyses.mantel = std::move(*mantel);
    }
    if (options.treePath) {
        Result<TreeRun> tree = treeOfRun(analyses.run.results,
                                         options.treeMatrix == MatrixKind::ScaledDSquare,
                                         analyses.bootstrap ? &*analyses.bootstrap : nullptr,
                                         analyses.run.basis.biasCorrection);
        if (!tree) {
            return tree.error();
        }
        if (options.consensusPath && !tree->consensus) {
            return Error::analysis("--consensus: no bootstrap replicate gave a tree, so there is "
                                   "no consensus to write");
        }
        analyses.tree = std::move(*tree);
        if (options.treeChartPath) {
            Result<std::string> drawn = drawTreeChart(options, *analyses.tree, treeChart);
            if (!drawn) {
                return drawn.error();
            }
            analyses.treeChart = std::move(*drawn);
        }
    }
    return analyses;
}

// The bytes of every output, in the order they are written: the files, and what goes to
// standard output ("-") one after the other.
struct BatchOutputs
{
    std::vector<PendingOutput> files;
    std::string toStdout;

    void route(const std::string& path, std::string text)
    {
        if (path == standardOutputPath) {
            toStdout += text;
        } else {
            files.push_back({pathFromText(path), std::move(text)});
        }
    }
};

// The sweep's, the bootstrap's and the Mantel test's files, and the report with the summaries
// of the last two after it, never inside it: the report's own bytes stay as they are.
void addReportOutputs(const BatchOptions& options,
                      const BatchAnalyses& analyses,
                      BatchOutputs& outputs)
{
    const RunOutput& run = analyses.run;
    if (analyses.sweep) {
        outputs.route(*options.sweepOutputPath, sweepCsvText(analyses.sweep->table));
        if (analyses.sweep->chart) {
            outputs.files.push_back(
                {pathFromText(*options.sweepChartPath), *analyses.sweep->chart});
        }
    }
    std::string reportText = run.screenText;
    if (analyses.bootstrap) {
        reportText += bootstrapSummaryText(*analyses.bootstrap);
        if (options.bootstrapOutputPath) {
            outputs.route(*options.bootstrapOutputPath, bootstrapCsvText(*analyses.bootstrap));
        }
    }
    if (analyses.tree) {
        if (analyses.bootstrap) {
            reportText += treeSupportText(*analyses.tree);
        }
        outputs.route(*options.treePath, newickText(analyses.tree->tree));
        if (options.consensusPath && analyses.tree->consensus) {
            outputs.route(*options.consensusPath, newickText(*analyses.tree->consensus));
        }
        if (analyses.treeChart) {
            outputs.files.push_back({pathFromText(*options.treeChartPath), *analyses.treeChart});
        }
    }
    if (analyses.mantel) {
        reportText += mantelSummaryText(*analyses.mantel);
        if (options.mantelOutputPath) {
            outputs.route(*options.mantelOutputPath, mantelOutputText(*analyses.mantel));
        }
    }
    outputs.route(options.reportPath, reportText);
    if (options.listingPath) {
        outputs.route(*options.listingPath, run.matrixFile);
    }
    if (options.saveOutputPath) {
        // Save Output As right after the run: the text box holds the screen text; the listing
        // follows unless the run left it on screen.
        const bool withListing =
            appendListing(SaveKind::SaveOutputAs, true, run.outputFitsScreen, run.showMatrices);
        outputs.route(*options.saveOutputPath,
                      savedOutputText(toCrLf(run.screenText), run.matrixFile, withListing));
    }
}

// The matrix files in the order given; the notes on a phylip file's names go to err.
Status addMatrixOutputs(const BatchOptions& options,
                        const AnalysisResults& results,
                        BatchOutputs& outputs,
                        std::ostream& err)
{
    for (const MatrixRequest& m : options.matrices) {
        if (m.layout != MatrixLayout::Phylip) {
            outputs.route(m.path, matrixFileText(results, m.kind, m.layout));
            continue;
        }
        Result<PhylipFile> phylip =
            phylipOutput(m, results, options.phylipNames.value_or(PhylipNames::Codes));
        if (!phylip) {
            return phylip.error();
        }
        const std::string shown = m.path == standardOutputPath ? "standard output" : m.path;
        for (const std::string& note : phylipNotes(*phylip, shown)) {
            printBatchMessage(err, "note: " + note);
        }
        outputs.route(m.path, phylip->text);
        if (!phylip->nameMap.empty()) {
            outputs.files.push_back({pathFromText(phylipNameMapPath(m.path)), phylip->nameMap});
        }
    }
    return Done{};
}

// Scores, the Velbrand-Torvane values and the JSON document.
void addResultFiles(const BatchOptions& options,
                    const DataSet& dataSet,
                    const BatchAnalyses& analyses,
                    BatchOutputs& outputs)
{
    const AnalysisResults& results = analyses.run.results;
    if (options.pcScoresPath) {
        outputs.route(*options.pcScoresPath,
                      scoresCsvText(results.pcScores, results.populationNames));
    }
    if (options.scaledPcScoresPath) {
        outputs.route(*options.scaledPcScoresPath,
                      scoresCsvText(results.scaledPcScores, results.populationNames));
    }
    if (options.vtResultsPath) {
        outputs.route(*options.vtResultsPath, velbrandTorvaneCsvText(results));
    }
    if (options.jsonPath) {
        outputs.route(*options.jsonPath,
                      resultJsonText({dataSet,
                                      analyses.run.basis,
                                      results,
                                      analyses.run.matrixCount,
                                      analyses.sweep ? &analyses.sweep->table : nullptr,
                                      analyses.bootstrap ? &*analyses.bootstrap : nullptr,
                                      analyses.mantel ? &*analyses.mantel : nullptr}));
    }
}

Status addChart(const std::string& path,
                const AnalysisResults& results,
                ChartKind kind,
                const std::string& title,
                const ChartDrawer& chart,
                BatchOutputs& outputs)
{
    Result<std::string> drawn = chart(pathFromText(path), results, kind, title);
    if (!drawn) {
        return drawn.error();
    }
    outputs.files.push_back({pathFromText(path), std::move(*drawn)});
    return Done{};
}

// The principal coordinates' and the Velbrand-Torvane chart, with the titles of the
// desktop's chart window.
Status addCharts(const BatchOptions& options,
                 const AnalysisResults& results,
                 const ChartDrawer& chart,
                 BatchOutputs& outputs)
{
    if (options.chartPath) {
        const ChartKind kind = options.chartMatrix == MatrixKind::ScaledR
                                   ? ChartKind::ScaledPrincipalCoords
                                   : ChartKind::PrincipalCoords;
        if (Status added =
                addChart(*options.chartPath, results, kind, chartTitle(kind), chart, outputs);
            !added) {
            return added;
        }
    }
    if (options.vtChartPath) {
        return addChart(*options.vtChartPath,
                        results,
                        ChartKind::VelbrandTorvane,
                        chartTitle(ChartKind::VelbrandTorvane),
                        chart,
                        outputs);
    }
    return Done{};
}

// Every output's bytes, in the order the options name them.
Result<BatchOutputs> composeOutputs(const BatchOptions& options,
                                    const DataSet& dataSet,
                                    const BatchAnalyses& analyses,
                                    const ChartDrawer& chart,
                                    std::ostream& err)
{
    BatchOutputs outputs;
    addReportOutputs(options, analyses, outputs);
    if (Status matrices = addMatrixOutputs(options, analyses.run.results, outputs, err);
        !matrices) {
        return matrices.error();
    }
    addResultFiles(options, dataSet, analyses, outputs);
    if (Status charts = addCharts(options, analyses.run.results, chart, outputs); !charts) {
        return charts.error();
    }
    return outputs;
}

// Standard output is written, and found complete, before any file is put in place: a closed
// or full standard output, or a reader gone, leaves every file as it was.
Status commitOutputs(const BatchOutputs& outputs, std::ostream& out)
{
    const auto writeStdout = [&out, &outputs]() -> Status {
        errno = 0;
        out.write(outputs.toStdout.data(), static_cast<std::streamsize>(outputs.toStdout.size()));
        out.flush();
        if (out) {
            return Done{};
        }
        const int reason = errno;
        return Error::io("cannot write to standard output" +
                         (reason != 0 ? ": " + std::string(std::strerror(reason)) : "") +
                         "; the output files are left as they were");
    };
    return writeOutputs(outputs.files, writeStdout);
}

// Options, read, run and outputs: every output's bytes, or the error of the first stage that
// failed.
Result<BatchOutputs> batchOutputs(const BatchOptions& options,
                                  const Clock& clock,
                                  const ChartDrawer& chart,
                                  const SweepChartDrawer& sweepChart,
                                  const TreeChartDrawer& treeChart,
                                  ChartFormats formats,
                                  std::ostream& err)
{
    if (Status supported = checkChartSupport(options, chart, sweepChart, treeChart, formats);
        !supported) {
        return supported.error();
    }
    const std::filesystem::path dataPath = absoluteDataPath(options.dataFile);
    if (Status targets = checkOutputTargets(options, dataPath); !targets) {
        return targets.error();
    }
    Result<RunInput> input = loadRunInput(options, dataPath);
    if (!input) {
        return input.error();
    }
    std::optional<MantelFiles> mantelFiles;
    if (options.mantelPath) {
        Result<MantelFiles> files = readMantelFiles(options, *input);
        if (!files) {
            return files.error();
        }
        mantelFiles = std::move(*files);
    }
    Result<BatchAnalyses> analyses =
        runBatchAnalyses(options, *input, mantelFiles, clock, sweepChart, treeChart, err);
    if (!analyses) {
        return analyses.error();
    }
    return composeOutputs(options, input->dataSet, *analyses, chart, err);
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

int runBatch(const BatchOptions& options,
             const Clock& clock,
             std::ostream& out,
             std::ostream& err,
             const ChartDrawer& chart,
             const SweepChartDrawer& sweepChart,
             const TreeChartDrawer& treeChart,
             ChartFormats formats)
{
    const Result<BatchOutputs> outputs =
        batchOutputs(options, clock, chart, sweepChart, treeChart, formats, err);
    const Status done = outputs ? commitOutputs(*outputs, out) : Status(outputs.error());
    if (!done) {
        printBatchMessage(err, done.error().message);
        return exitStatusFor(done.error().kind);
    }
    return static_cast<int>(BatchExit::Done);
}

} // namespace tavrik
