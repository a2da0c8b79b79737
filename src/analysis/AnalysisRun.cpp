#include "analysis/AnalysisRun.h"

#include "analysis/AnalysisReport.h"
#include "analysis/DataPasses.h"
#include "analysis/Eigen.h"
#include "analysis/FiniteValues.h"
#include "analysis/MatrixListing.h"
#include "analysis/PrincipalCoords.h"
#include "analysis/RMatrix.h"
#include "analysis/RunMemory.h"
#include "analysis/ScaledMatrix.h"
#include "analysis/VtAnalysis.h"
#include "analysis/WorkerPool.h"
#include "datafile/DataFileReader.h"
#include "io/TextEncoding.h"
#include "report/ReportWriter.h"

#include <algorithm>
#include <new>
#include <optional>
#include <thread>
#include <utility>

namespace tavrik {

// Indices are 0-based throughout; populations and variables are taken in file order,
// whatever order they were chosen in.

namespace {

struct Compacted
{
    PassSetup setup;
    std::vector<float> popSizes; // chosen populations, as the file gives them
};

Compacted compact(const DataFileHeader& header, const Selection& sel)
{
    Compacted c;
    for (std::size_t i = 0; i < header.populations.size(); ++i) {
        if (sel.popSelected[i]) {
            c.setup.popNames.push_back(header.populations[i].name);
            c.setup.popCodes.push_back(header.populations[i].code);
            c.popSizes.push_back(header.populations[i].size);
        }
    }
    for (std::size_t k = 0; k < header.varNames.size(); ++k) {
        if (sel.varSelected[k]) {
            c.setup.varNames.push_back(header.varNames[k]);
            c.setup.varPositions.push_back(k);
        }
    }
    c.setup.fileVarCount = header.varNames.size();
    c.setup.popWeights = populationWeights(c.popSizes);
    return c;
}

// The weights divide by the chosen populations' total census size, summed as the weights sum it.
Status checkCensusTotal(const std::vector<float>& popSizes)
{
    double total = 0.0;
    for (const float size : popSizes) {
        total += static_cast<double>(size);
    }
    if (total != 0.0) {
        return Done{};
    }
    return Error::analysis(
        "The chosen populations have a total census size of 0, so they cannot be "
        "weighted (a population's weight is its census size divided by that total). "
        "Give them census sizes above 0 in the data file, or choose populations whose "
        "sizes do not sum to 0.",
        {},
        0,
        "census size");
}

// 1 when every population of the file has the size of the first (compared as floats).
std::int16_t matrixCountFromSizes(const DataFileHeader& header)
{
    const auto& pops = header.populations;
    std::size_t equal = 0;
    for (std::size_t i = 1; i < pops.size(); ++i) {
        if (pops[i].size == pops[0].size) {
            ++equal;
        }
    }
    return pops.empty() || equal == pops.size() - 1 ? 1 : 2;
}

// The choice against the open data file, and the memory the run will need.
Status checkChoice(const RunInput& input)
{
    const DataSet& ds = input.dataSet;
    const Selection& sel = input.selection;
    if (sel.popSelected.size() != static_cast<std::size_t>(ds.popCount) ||
        sel.varSelected.size() != static_cast<std::size_t>(ds.varCount)) {
        return Error::usage("The choice of populations and variables does not match the open data "
                            "file; choose them again.");
    }
    const long g = sel.selPopCount();
    const long t = sel.selVarCount();
    if (g < 2) {
        return Error::usage("An analysis needs at least two populations; " + std::to_string(g) +
                            " chosen.");
    }
    if (t < 1) {
        return Error::usage("An analysis needs at least one variable; none chosen.");
    }
    return checkRunMemory(static_cast<std::size_t>(g),
                          static_cast<std::size_t>(t),
                          input.settings.scaledAnalysis && !ds.equalSizes,
                          input.memoryBytes != 0 ? input.memoryBytes : physicalMemoryBytes());
}

struct ReadPlan
{
    unsigned threads = 1;
    std::size_t blockBytes = ParallelRecordReader::defaultBlockBytes;
};

ReadPlan readPlanFor(const RunInput& input)
{
    return {input.threads != 0 ? input.threads : std::max(1u, std::thread::hardware_concurrency()),
            input.readBlockBytes != 0 ? input.readBlockBytes
                                      : ParallelRecordReader::defaultBlockBytes};
}

// What the first pass read, and what the second must find again.
struct FirstPass
{
    DataFileHeader header;
    Compacted chosen;
    FileStamp stamp;
    long records = 0;
    std::uint64_t fileBytes = 0;
    std::optional<PassAccumulator> acc;
    std::optional<RecordCache> cache;
};

// Each pass opens the file, reads its header again (the file may have been edited since File
// Open) and streams the records; the file is closed when the pass ends.
Result<FirstPass> readFirstPass(const RunInput& input, const ReadPlan& plan, ProgressSink& progress)
{
    const DataSet& ds = input.dataSet;
    auto reader = DataFileReader::open(pathFromText(ds.dataPath));
    if (!reader) {
        return reader.error();
    }
    FirstPass first;
    first.stamp = reader->fileStamp();
    auto h = readRunHeader(*reader, ds.dataPath, ds.popCount, ds.varCount);
    if (!h) {
        return h.error();
    }
    first.header = std::move(*h);
    first.chosen = compact(first.header, input.selection);
    if (auto st = checkCensusTotal(first.chosen.popSizes); !st) {
        return st.error();
    }
    first.acc.emplace(first.chosen.setup);
    first.cache.emplace(first.chosen.setup.varPositions.size(),
                        input.memoryBudget.value_or(defaultMemoryBudget()));
    auto read = readPass(*reader,
                         ds.dataPath,
                         1,
                         *first.acc,
                         progress,
                         &*first.cache,
                         plan.threads,
                         plan.blockBytes);
    if (!read) {
        return read.error();
    }
    if (reader->fileStamp() != first.stamp) {
        return dataFileChanged(ds.dataPath);
    }
    first.records = *read;
    first.fileBytes = reader->sizeBytes();
    return first;
}

// The second pass must read what the first read: the same file, header and records, else the
// results would mix two files.
Status rereadSecondPass(const DataSet& ds,
                        const ReadPlan& plan,
                        const FirstPass& first,
                        PassAccumulator& acc,
                        ProgressSink& progress)
{
    const std::string& dataPath = ds.dataPath;
    auto reader = reopenRunFile(dataPath, first.stamp);
    if (!reader) {
        return reader.error();
    }
    auto h = readRunHeader(*reader, dataPath, ds.popCount, ds.varCount);
    if (h && *h != first.header) {
        return dataFileChanged(dataPath);
    }
    Result<long> read =
        h ? readPass(*reader, dataPath, 2, acc, progress, nullptr, plan.threads, plan.blockBytes)
          : Result<long>(h.error());
    if (read.ok() || read.error().kind != ErrorKind::Cancelled) {
        // a file that changed under the pass explains any error it met
        if (reader->fileStamp() != first.stamp ||
            (read.ok() && (*read != first.records || !acc.passesSawSameRecords()))) {
            return dataFileChanged(dataPath);
        }
    }
    if (!read) {
        return read.error();
    }
    return Done{};
}

// When the first pass could keep every record within the budget, the second takes them from
// memory and never sees the file again. The cache is let go before the second pass either way.
Status readSecondPass(const RunInput& input,
                      const ReadPlan& plan,
                      FirstPass& first,
                      ProgressSink& progress)
{
    if (first.cache->complete()) {
        Status st = replayPass2(*first.cache, *first.acc, progress, first.fileBytes, plan.threads);
        first.cache.reset();
        return st;
    }
    first.cache.reset();
    return rereadSecondPass(input.dataSet, plan, first, *first.acc, progress);
}

struct PassesRead
{
    DataFileHeader header;
    Compacted chosen;
    FileStamp stamp;
    PassResults passes;
};

Result<PassesRead> runPasses(const RunInput& input, ProgressSink& progress)
{
    const ReadPlan plan = readPlanFor(input);
    auto first = readFirstPass(input, plan, progress);
    if (!first) {
        return first.error();
    }
    if (input.betweenPasses) {
        input.betweenPasses();
    }
    progress.status("...computing...");
    if (auto st = first->acc->finishPass1(); !st) {
        return st.error();
    }
    if (auto st = readSecondPass(input, plan, *first, progress); !st) {
        return st.error();
    }
    progress.status("...computing...");
    if (auto st = first->acc->finishPass2(); !st) {
        return st.error();
    }
    return PassesRead{
        std::move(first->header), std::move(first->chosen), first->stamp, first->acc->results()};
}

// The report's head and its Fst lines.
ReportWriter startReport(const PassesRead& read,
                         const DataSet& ds,
                         const AnalysisSettings& settings,
                         const Relationship& rel,
                         const Clock& clock)
{
    const PassResults& pr = read.passes;
    ReportHeadData head;
    head.dataPath = ds.dataPath;
    head.dataTitle = read.header.title;
    head.filePopCount = read.header.popCount;
    head.fileVarCount = read.header.varCount;
    head.heritability = settings.heritability;
    head.biasCorrection = settings.biasCorrection;
    head.varNames = read.chosen.setup.varNames;
    head.popNames = read.chosen.setup.popNames;
    head.sampleSizes = pr.sampleSizes;
    head.popSizes = read.chosen.popSizes;
    head.popWeights = read.chosen.setup.popWeights;
    head.totalSampleSize = pr.totalSampleSize;
    head.matrixCount = matrixCountFromSizes(read.header);
    head.leftOut = pr.leftOut;

    ReportWriter report;
    writeReportHead(report, head, rel, clock);
    writeFstLines(report, rel, settings.biasCorrection);
    return report;
}

Result<VtValues> velbrandTorvane(const PassResults& pr,
                                 const Relationship& rel,
                                 const std::vector<std::string>& popNames,
                                 ReportWriter& report)
{
    VtValues vt = computeVt(pr.observedVariance, pr.meanWithinVariance, rel.r, rel.fstUnbiased);
    if (!allFinite(vt.expectedVariance) || !allFinite(vt.residualVariance)) {
        return notFinite("the Velbrand-Torvane analysis", "expected variance");
    }
    writeVtSection(report, popNames, rel.r, pr.observedVariance, vt, pr.meanWithinVariance);
    return vt;
}

// Empty matrices when the run makes one matrix only.
Result<ScaledMatrices> checkedScaledMatrices(const Relationship& rel,
                                             const std::vector<double>& popWeights,
                                             bool biasCorrection,
                                             std::int16_t matrixCount)
{
    ScaledMatrices scaled;
    if (matrixCount == 2) {
        scaled = computeScaledMatrices(rel.r, popWeights, biasCorrection);
        if (!allFinite(scaled.scaledRMatrix) || !allFinite(scaled.scaledDSquare)) {
            return notFinite("the scaled R matrix", "scaled R matrix");
        }
    }
    return scaled;
}

// Index 0: the R matrix; 1: the scaled R matrix, left as zeros and empty without it.
struct Coordinates
{
    Matrix scores[2];
    std::vector<double> shares[2];
    std::vector<double> eigenvalues[2];
    std::int16_t eigenvaluesListed[2] = {0, 0};
};

Result<Coordinates> principalCoordinates(const Relationship& rel,
                                         const ScaledMatrices& scaled,
                                         std::int16_t matrixCount,
                                         const std::vector<std::string>& popNames,
                                         ReportWriter& report,
                                         ProgressSink& progress)
{
    const std::size_t g = popNames.size();
    Coordinates pc;
    pc.scores[0] = Matrix(g, 2);
    pc.scores[1] = Matrix(g, 2);
    for (int pass = 1; pass <= matrixCount; ++pass) {
        const char* const statusLine =
            pass == 1 ? "...performing PCA..." : "...performing PCA on scaled matrix...";
        progress.status(statusLine);
        EigenDecomposition eig =
            decompose(pass == 1 ? rel.r : scaled.scaledRMatrix, &progress, statusLine);
        if (eig.cancelled) {
            return cancelledRun();
        }
        if (!eig.converged) {
            return Error::analysis("The principal coordinates analysis did not converge.");
        }
        const auto at = static_cast<std::size_t>(pass - 1);
        writePrincipalCoordsSection(report, pass, eig, popNames, pc.scores[at], &pc.shares[at]);
        for (std::size_t k = 0; k < g; ++k) {
            pc.eigenvalues[at].push_back(eig.centredMatrix(k, k));
        }
        pc.eigenvaluesListed[at] = static_cast<std::int16_t>(eig.nonZeroCount);
    }
    return pc;
}

// The report, the listing, and what the text box shows of them: the text parts of the output.
RunOutput finishReport(ReportWriter& report,
                       const std::vector<std::string>& popNames,
                       const Relationship& rel,
                       const ScaledMatrices* scaled,
                       bool showMatrices,
                       ProgressSink& progress)
{
    RunOutput out;
    progress.status("...writing matrices to file...");
    std::string listing = writeMatrixListing(popNames, rel, scaled);
    out.report = report.take();
    ScreenOutcome screen = decideScreen(out.report, listing, showMatrices, outputSizeLimit);
    out.matrixFile = std::move(listing);
    out.screenText = std::move(screen.screenText);
    out.outputFitsScreen = screen.outputFitsScreen;
    out.showMatrices = screen.showMatrices;
    out.warnOutputTooLarge = screen.warnOutputTooLarge;
    return out;
}

RunBasis runBasis(const PassesRead& read, const AnalysisSettings& settings, Relationship& rel)
{
    RunBasis basis;
    basis.setup = read.chosen.setup;
    basis.passes = read.passes;
    basis.popSizes = read.chosen.popSizes;
    basis.heritability = settings.heritability;
    basis.biasCorrection = settings.biasCorrection;
    basis.scaledAnalysis = settings.scaledAnalysis;
    basis.dataTitle = read.header.title;
    basis.dataStamp = read.stamp;
    basis.fst = rel.fst;
    basis.fstUnbiased = rel.fstUnbiased;
    basis.fstSe = rel.fstSe;
    basis.uncorrectedDiagonal = std::move(rel.uncorrectedDiagonal);
    basis.seDiagonal = rel.seDiagonal;
    basis.seR = std::move(rel.seR);
    basis.seDSquare = rel.seDSquare;
    return basis;
}

AnalysisResults analysisResults(const PassesRead& read,
                                Relationship&& rel,
                                ScaledMatrices&& scaled,
                                std::int16_t matrixCount,
                                Coordinates&& pc,
                                VtValues&& vt)
{
    AnalysisResults res;
    res.rMatrix = std::move(rel.r);
    res.dSquare = std::move(rel.dSquare);
    if (matrixCount == 2) {
        res.scaledRMatrix = std::move(scaled.scaledRMatrix);
        res.scaledDSquare = std::move(scaled.scaledDSquare);
    }
    res.pcScores = std::move(pc.scores[0]);
    res.scaledPcScores = std::move(pc.scores[1]);
    res.pcShares = std::move(pc.shares[0]);
    res.scaledPcShares = std::move(pc.shares[1]);
    res.eigenvalues = std::move(pc.eigenvalues[0]);
    res.scaledEigenvalues = std::move(pc.eigenvalues[1]);
    res.eigenvaluesListed = pc.eigenvaluesListed[0];
    res.scaledEigenvaluesListed = pc.eigenvaluesListed[1];
    res.populationNames = read.chosen.setup.popNames;
    res.observedVariance = read.passes.observedVariance;
    res.expectedVariance = std::move(vt.expectedVariance);
    res.residualVariance = std::move(vt.residualVariance);
    return res;
}

// The data set as the run re-read its header.
DataSet runDataSet(const DataSet& ds, const DataFileHeader& header)
{
    DataSet out = ds;
    out.popNames.clear();
    for (const auto& p : header.populations) {
        out.popNames.push_back(p.name);
    }
    out.varNames = header.varNames;
    return out;
}

Result<RunOutput> runStages(const RunInput& input, const Clock& clock, ProgressSink& progress)
{
    const AnalysisSettings& settings = input.settings;
    if (auto st = checkChoice(input); !st) {
        return st.error();
    }
    progress.status("...computing...");
    auto read = runPasses(input, progress);
    if (!read) {
        return read.error();
    }
    const PassSetup& setup = read->chosen.setup;
    auto rel = relationshipAt(
        read->passes, setup, settings.heritability, settings.biasCorrection, progress);
    if (!rel) {
        return rel.error();
    }
    ReportWriter report = startReport(*read, input.dataSet, settings, *rel, clock);
    auto vt = velbrandTorvane(read->passes, *rel, setup.popNames, report);
    if (!vt) {
        return vt.error();
    }
    const std::int16_t matrixCount =
        settings.scaledAnalysis ? matrixCountFromSizes(read->header) : std::int16_t{1};
    auto scaled =
        checkedScaledMatrices(*rel, setup.popWeights, settings.biasCorrection, matrixCount);
    if (!scaled) {
        return scaled.error();
    }
    auto pc = principalCoordinates(*rel, *scaled, matrixCount, setup.popNames, report, progress);
    if (!pc) {
        return pc.error();
    }

    RunOutput out = finishReport(report,
                                 setup.popNames,
                                 *rel,
                                 matrixCount == 2 ? &*scaled : nullptr,
                                 settings.showMatrices,
                                 progress);
    out.dataSet = runDataSet(input.dataSet, read->header);
    out.matrixCount = matrixCount;
    out.basis = runBasis(*read, settings, *rel);
    out.results = analysisResults(
        *read, std::move(*rel), std::move(*scaled), matrixCount, std::move(*pc), std::move(*vt));
    return out;
}

} // namespace

Error dataFileChanged(const std::string& dataPath)
{
    return Error::dataFile(dataFileChangedMessage, dataPath);
}

Result<DataFileReader> reopenRunFile(const std::string& dataPath, const FileStamp& stamp)
{
    auto reader = DataFileReader::open(pathFromText(dataPath));
    if (reader && reader->fileStamp() != stamp) {
        return dataFileChanged(dataPath);
    }
    return reader;
}

Result<RunOutput> runAnalysis(const RunInput& input, const Clock& clock, ProgressSink& progress)
{
    // Memory the system will not give ends the run with a message, never the program.
    try {
        return runStages(input, clock, progress);
    } catch (const std::bad_alloc&) {
        return memoryShortage("this analysis");
    }
}

void applyRunOutput(ProgramState& state, RunOutput&& output)
{
    state.dataSet = std::move(output.dataSet);
    if (output.matrixCount != 2) {
        // a run without the scaled analysis leaves the previous scaled matrices in place
        output.results.scaledRMatrix = std::move(state.results.scaledRMatrix);
        output.results.scaledDSquare = std::move(state.results.scaledDSquare);
    }
    state.results = std::move(output.results);
    state.matrixCount = output.matrixCount;
    state.outputFitsScreen = output.outputFitsScreen;
    state.settings.showMatrices = output.showMatrices;
    state.matrixFile = std::move(output.matrixFile);
    state.askSaveName = true;
}

} // namespace tavrik
