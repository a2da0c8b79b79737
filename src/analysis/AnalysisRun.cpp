#include "analysis/AnalysisRun.h"

#include "analysis/AnalysisReport.h"
#include "analysis/DataPasses.h"
#include "analysis/Eigen.h"
#include "analysis/Inversion.h"
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
#include <cmath>
#include <new>
#include <optional>
#include <thread>
#include <utility>

namespace tavrik {

// Indices are 0-based throughout; populations and variables are taken in file order,
// whatever order they were chosen in.

namespace {

Error notFinite(const std::string& what, const std::string& field)
{
    return Error::analysis(
        "The analysis met a value that is not a finite number in " + what +
            "; the data values may be too large or too close together to analyse.",
        {},
        0,
        field);
}

bool allFinite(const Matrix& m)
{
    for (const double v : m.data()) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

bool allFinite(const std::vector<double>& v)
{
    for (const double x : v) {
        if (!std::isfinite(x)) {
            return false;
        }
    }
    return true;
}

// First population i whose row or column of m holds a value that is not finite.
std::string populationWithNonFinite(const Matrix& m, const std::vector<std::string>& names)
{
    for (std::size_t i = 0; i < m.rows(); ++i) {
        for (std::size_t j = 0; j < m.cols(); ++j) {
            if (!std::isfinite(m(i, j))) {
                return names[i];
            }
        }
    }
    return {};
}

Status checkRelationship(const Relationship& rel, const std::vector<std::string>& names)
{
    if (!std::isfinite(rel.fst) || !std::isfinite(rel.fstUnbiased) || !std::isfinite(rel.fstSe)) {
        return notFinite("Fst", "Fst");
    }
    for (const Matrix* m : {&rel.r, &rel.dSquare, &rel.seR, &rel.seDSquare}) {
        if (!allFinite(*m)) {
            const std::string name = populationWithNonFinite(*m, names);
            return notFinite("the R matrix of population " + quoteFound(name),
                             "population " + name);
        }
    }
    if (!allFinite(rel.seDiagonal)) {
        return notFinite("the standard errors of the R matrix", "R matrix");
    }
    return Done{};
}

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

Error dataFileChanged(const std::string& dataPath)
{
    return Error::dataFile(dataFileChangedMessage, dataPath);
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

Result<RunOutput> runStages(const RunInput& input, const Clock& clock, ProgressSink& progress);

} // namespace

Result<RunOutput> runAnalysis(const RunInput& input, const Clock& clock, ProgressSink& progress)
{
    // Memory the system will not give ends the run with a message, never the program.
    try {
        return runStages(input, clock, progress);
    } catch (const std::bad_alloc&) {
        return memoryShortage("this analysis");
    }
}

namespace {

Result<RunOutput> runStages(const RunInput& input, const Clock& clock, ProgressSink& progress)
{
    const DataSet& ds = input.dataSet;
    const Selection& sel = input.selection;
    const AnalysisSettings& settings = input.settings;
    const bool bias = settings.biasCorrection;

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
    if (auto st =
            checkRunMemory(static_cast<std::size_t>(g),
                           static_cast<std::size_t>(t),
                           settings.scaledAnalysis && !ds.equalSizes,
                           input.memoryBytes != 0 ? input.memoryBytes : physicalMemoryBytes());
        !st) {
        return st.error();
    }

    progress.status("...computing...");

    // Each pass opens the file, reads its header again (the file may have been edited since
    // File Open) and streams the records; the file is closed when the pass ends. The second
    // pass must read what the first read: the same file, header and records, else the results
    // would mix two files. When the first pass could keep every record within the budget, the
    // second takes them from memory and never sees the file again.
    const unsigned threads =
        input.threads != 0 ? input.threads : std::max(1u, std::thread::hardware_concurrency());
    const std::size_t blockBytes =
        input.readBlockBytes != 0 ? input.readBlockBytes : ParallelRecordReader::defaultBlockBytes;
    DataFileHeader header;
    Compacted chosen;
    std::optional<PassAccumulator> acc;
    std::optional<RecordCache> cache;
    FileStamp stamp;
    long records = 0;
    std::uint64_t fileBytes = 0;
    {
        auto reader = DataFileReader::open(ds.dataPath);
        if (!reader) {
            return reader.error();
        }
        stamp = reader->fileStamp();
        auto h = readRunHeader(*reader, ds.dataPath, ds.popCount, ds.varCount);
        if (!h) {
            return h.error();
        }
        header = std::move(*h);
        chosen = compact(header, sel);
        if (auto st = checkCensusTotal(chosen.popSizes); !st) {
            return st.error();
        }
        acc.emplace(chosen.setup);
        cache.emplace(chosen.setup.varPositions.size(),
                      input.memoryBudget.value_or(defaultMemoryBudget()));
        auto read = readPass(*reader, ds.dataPath, 1, *acc, progress, &*cache, threads, blockBytes);
        if (!read) {
            return read.error();
        }
        if (reader->fileStamp() != stamp) {
            return dataFileChanged(ds.dataPath);
        }
        records = *read;
        fileBytes = reader->sizeBytes();
    }
    if (input.betweenPasses) {
        input.betweenPasses();
    }
    progress.status("...computing...");
    if (auto st = acc->finishPass1(); !st) {
        return st.error();
    }
    if (cache->complete()) {
        Status st = replayPass2(*cache, *acc, progress, fileBytes, threads);
        cache.reset();
        if (!st) {
            return st.error();
        }
    } else {
        cache.reset();
        auto reader = DataFileReader::open(ds.dataPath);
        if (!reader) {
            return reader.error();
        }
        if (reader->fileStamp() != stamp) {
            return dataFileChanged(ds.dataPath);
        }
        auto h = readRunHeader(*reader, ds.dataPath, ds.popCount, ds.varCount);
        if (h && *h != header) {
            return dataFileChanged(ds.dataPath);
        }
        Result<long> read =
            h ? readPass(*reader, ds.dataPath, 2, *acc, progress, nullptr, threads, blockBytes)
              : Result<long>(h.error());
        if (read.ok() || read.error().kind != ErrorKind::Cancelled) {
            // a file that changed under the pass explains any error it met
            if (reader->fileStamp() != stamp ||
                (read.ok() && (*read != records || !acc->passesSawSameRecords()))) {
                return dataFileChanged(ds.dataPath);
            }
        }
        if (!read) {
            return read.error();
        }
    }
    progress.status("...computing...");
    if (auto st = acc->finishPass2(); !st) {
        return st.error();
    }

    RunOutput out;
    out.dataSet = ds;
    out.dataSet.popNames.clear();
    for (const auto& p : header.populations) {
        out.dataSet.popNames.push_back(p.name);
    }
    out.dataSet.varNames = header.varNames;
    std::int16_t matrixCount = matrixCountFromSizes(header);

    const PassResults& pr = acc->results();
    const auto tu = static_cast<std::size_t>(t);

    // geneticCov = heritability x pooled covariance, the 32-bit heritability widened to double.
    const auto h2 = static_cast<double>(settings.heritability);
    Matrix geneticCov(tu, tu);
    for (std::size_t k = 0; k < tu; ++k) {
        for (std::size_t l = 0; l < tu; ++l) {
            geneticCov(k, l) = h2 * pr.pooledCov(k, l);
        }
    }

    if (progress.cancelled()) {
        return cancelledRun();
    }
    progress.status("...inverting matrix...");
    auto inverse = invertMatrix(std::move(geneticCov));
    if (!inverse) {
        return inverse.error();
    }
    if (!allFinite(*inverse)) {
        return notFinite("the inverse of the pooled covariance matrix", "inverse");
    }

    progress.status("...computing matrices...");
    Relationship rel =
        computeRelationship(pr.popMeans, pr.sampleSizes, chosen.setup.popWeights, *inverse, bias);

    ReportHeadData head;
    head.dataPath = ds.dataPath;
    head.dataTitle = header.title;
    head.filePopCount = header.popCount;
    head.fileVarCount = header.varCount;
    head.heritability = settings.heritability;
    head.biasCorrection = bias;
    head.varNames = chosen.setup.varNames;
    head.popNames = chosen.setup.popNames;
    head.sampleSizes = pr.sampleSizes;
    head.popSizes = chosen.popSizes;
    head.popWeights = chosen.setup.popWeights;
    head.totalSampleSize = pr.totalSampleSize;
    head.matrixCount = matrixCount;
    head.leftOut = pr.leftOut;

    completeRelationship(rel, pr.sampleSizes, tu, bias);
    if (auto st = checkRelationship(rel, chosen.setup.popNames); !st) {
        return st.error();
    }

    ReportWriter report;
    writeReportHead(report, head, rel, clock);
    writeFstLines(report, rel, bias);

    VtValues vt = computeVt(pr.observedVariance, pr.meanWithinVariance, rel.r, rel.fstUnbiased);
    if (!allFinite(vt.expectedVariance) || !allFinite(vt.residualVariance)) {
        return notFinite("the Velbrand-Torvane analysis", "expected variance");
    }
    writeVtSection(
        report, chosen.setup.popNames, rel.r, pr.observedVariance, vt, pr.meanWithinVariance);

    if (!settings.scaledAnalysis) {
        matrixCount = 1;
    }
    ScaledMatrices scaled;
    if (matrixCount == 2) {
        scaled = computeScaledMatrices(rel.r, chosen.setup.popWeights, bias);
        if (!allFinite(scaled.scaledRMatrix) || !allFinite(scaled.scaledDSquare)) {
            return notFinite("the scaled R matrix", "scaled R matrix");
        }
    }

    const auto gu = static_cast<std::size_t>(g);
    Matrix pcScores(gu, 2);
    Matrix scaledPcScores(gu, 2);
    std::vector<double> pcShares;
    std::vector<double> scaledPcShares;
    std::vector<double> eigenvalues[2];
    std::int16_t eigenvaluesListed[2] = {0, 0};
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
        writePrincipalCoordsSection(report,
                                    pass,
                                    eig,
                                    chosen.setup.popNames,
                                    pass == 1 ? pcScores : scaledPcScores,
                                    pass == 1 ? &pcShares : &scaledPcShares);
        const auto at = static_cast<std::size_t>(pass - 1);
        for (std::size_t k = 0; k < gu; ++k) {
            eigenvalues[at].push_back(eig.centredMatrix(k, k));
        }
        eigenvaluesListed[at] = static_cast<std::int16_t>(eig.nonZeroCount);
    }

    progress.status("...writing matrices to file...");
    std::string listing =
        writeMatrixListing(chosen.setup.popNames, rel, matrixCount == 2 ? &scaled : nullptr);

    out.report = report.take();
    ScreenOutcome screen =
        decideScreen(out.report, listing, settings.showMatrices, outputSizeLimit);
    out.matrixFile = std::move(listing);
    out.screenText = std::move(screen.screenText);
    out.outputFitsScreen = screen.outputFitsScreen;
    out.showMatrices = screen.showMatrices;
    out.warnOutputTooLarge = screen.warnOutputTooLarge;
    out.matrixCount = matrixCount;

    out.basis.setup = chosen.setup;
    out.basis.passes = pr;
    out.basis.popSizes = chosen.popSizes;
    out.basis.heritability = settings.heritability;
    out.basis.biasCorrection = bias;
    out.basis.scaledAnalysis = settings.scaledAnalysis;
    out.basis.dataTitle = header.title;
    out.basis.dataStamp = stamp;
    out.basis.fst = rel.fst;
    out.basis.fstUnbiased = rel.fstUnbiased;
    out.basis.fstSe = rel.fstSe;
    out.basis.uncorrectedDiagonal = std::move(rel.uncorrectedDiagonal);
    out.basis.seDiagonal = rel.seDiagonal;
    out.basis.seR = std::move(rel.seR);
    out.basis.seDSquare = rel.seDSquare;

    AnalysisResults& res = out.results;
    res.rMatrix = std::move(rel.r);
    res.dSquare = std::move(rel.dSquare);
    if (matrixCount == 2) {
        res.scaledRMatrix = std::move(scaled.scaledRMatrix);
        res.scaledDSquare = std::move(scaled.scaledDSquare);
    }
    res.pcScores = std::move(pcScores);
    res.scaledPcScores = std::move(scaledPcScores);
    res.pcShares = std::move(pcShares);
    res.scaledPcShares = std::move(scaledPcShares);
    res.eigenvalues = std::move(eigenvalues[0]);
    res.scaledEigenvalues = std::move(eigenvalues[1]);
    res.eigenvaluesListed = eigenvaluesListed[0];
    res.scaledEigenvaluesListed = eigenvaluesListed[1];
    res.populationNames = chosen.setup.popNames;
    res.observedVariance = pr.observedVariance;
    res.expectedVariance = std::move(vt.expectedVariance);
    res.residualVariance = std::move(vt.residualVariance);
    return out;
}

} // namespace

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
