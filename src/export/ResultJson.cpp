#include "export/ResultJson.h"

#include "export/ResamplingText.h"
#include "state/NumberText.h"
#include "state/Version.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <nlohmann/json.hpp>

// Populations and variables count from 0 here, in the order of the run's choice (file order).

namespace tavrik {

namespace {

// Members keep the order in which they are set, so the document reads as the schema lists it.
using Json = nlohmann::ordered_json;

constexpr std::string_view formatName = "tavrik-results";
constexpr int formatVersion = 1;
constexpr std::string_view noCorrectionNote = "no correction for sampling bias was requested";

Json number(double v)
{
    return std::isfinite(v) ? Json(v) : Json(nullptr);
}

// The double whose shortest text is the float's shortest text: 0.55f is written 0.55.
Json floatNumber(float v)
{
    if (!std::isfinite(v)) {
        return nullptr;
    }
    const std::string text = shortestText(v);
    double widened = 0.0;
    const auto read = readNumber(text.data(), text.data() + text.size(), widened);
    assert(read.ec == std::errc{});
    return read.ec == std::errc{} ? widened : static_cast<double>(v);
}

// Counts that the run keeps as doubles (n(i), N, records left out) are whole numbers.
Json count(double v)
{
    return std::isfinite(v) ? Json(static_cast<std::int64_t>(v)) : Json(nullptr);
}

Json numbers(const std::vector<double>& values)
{
    Json list = Json::array();
    for (const double v : values) {
        list.push_back(number(v));
    }
    return list;
}

// The upper-left rows x cols block of m, one array per row.
Json rows(const Matrix& m, std::size_t rowCount, std::size_t colCount)
{
    assert(m.rows() >= rowCount && m.cols() >= colCount);
    Json out = Json::array();
    for (std::size_t i = 0; i < rowCount; ++i) {
        Json row = Json::array();
        for (std::size_t j = 0; j < colCount; ++j) {
            row.push_back(number(m(i, j)));
        }
        out.push_back(std::move(row));
    }
    return out;
}

// A standard-error matrix the run fills above the diagonal only: mirrored below it, with the
// given diagonal.
Json symmetricRows(const Matrix& upper, const std::vector<double>& diagonal)
{
    const std::size_t g = diagonal.size();
    assert(upper.rows() >= g && upper.cols() >= g);
    Json out = Json::array();
    for (std::size_t i = 0; i < g; ++i) {
        Json row = Json::array();
        for (std::size_t j = 0; j < g; ++j) {
            row.push_back(number(i == j ? diagonal[i] : upper(std::min(i, j), std::max(i, j))));
        }
        out.push_back(std::move(row));
    }
    return out;
}

Json principalCoordinates(const std::vector<double>& eigenvalues,
                          std::int16_t listed,
                          const std::vector<double>& shares,
                          const Matrix& scores,
                          std::size_t g)
{
    Json pc;
    pc["eigenvalues"] = numbers(eigenvalues);
    pc["nonZeroEigenvalues"] = listed;
    pc["shares"] = numbers(shares);
    pc["scores"] = rows(scores, g, 2);
    return pc;
}

Json optionalName(const std::string& name)
{
    return name.empty() ? Json(nullptr) : Json(name);
}

Json sweepJson(const SweepTable& sweep, bool biasCorrection)
{
    Json out;
    out["populations"] = sweep.popNames;
    out["fstUnbiasedNote"] = biasCorrection ? Json(nullptr) : Json(noCorrectionNote);
    Json points = Json::array();
    for (const SweepRow& row : sweep.rows) {
        Json point;
        point["heritability"] = floatNumber(row.point.heritability);
        point["fst"] = number(row.fst);
        point["fstUnbiased"] = biasCorrection ? number(row.fstUnbiased) : Json(nullptr);
        point["fstSe"] = number(row.fstSe);
        point["rDiagonal"] = numbers(row.rDiagonal);
        points.push_back(std::move(point));
    }
    out["points"] = std::move(points);
    return out;
}

Json bootstrapJson(const BootstrapResult& boot, bool biasCorrection)
{
    Json out;
    out["seed"] = boot.seed;
    out["replicates"] = boot.replicates;
    out["used"] = boot.used;
    out["singular"] = boot.singular;
    out["failed"] = boot.failed;
    out["firstFailure"] = optionalName(boot.firstFailure);
    out["interval"] = intervalKeyword(boot.interval);
    out["intervalDefinition"] = intervalDefinition(boot);
    out["confidenceLevel"] = 0.95;
    if (boot.interval == IntervalKind::Bca) {
        Json& jack = out["jackknife"];
        jack["estimates"] = boot.jackknifeGroups;
        jack["grouped"] = boot.jackknifeGrouped;
        jack["failed"] = boot.jackknifeFailed;
    } else {
        out["jackknife"] = nullptr;
    }
    Json small = Json::array();
    for (const SmallPopulation& p : boot.smallPopulations) {
        Json one;
        one["population"] = p.name;
        one["records"] = p.records;
        small.push_back(std::move(one));
    }
    out["fewRecords"] = std::move(small);
    out["unbiasedFstNote"] = biasCorrection ? Json(nullptr) : Json(noCorrectionNote);
    Json statistics = Json::array();
    for (const BootstrapStatistic& s : boot.statistics) {
        Json stat;
        stat["statistic"] = statisticName(s.kind);
        stat["population"] = optionalName(s.population);
        stat["population2"] = optionalName(s.population2);
        stat["estimate"] = number(s.estimate);
        stat["analyticSe"] = number(s.analyticSe);
        stat["bootstrapMean"] = number(s.bootstrapMean);
        stat["bias"] = number(s.bias);
        stat["bootstrapSe"] = number(s.bootstrapSe);
        stat["lower"] = number(s.lower);
        stat["upper"] = number(s.upper);
        stat["lowerLevel"] = number(s.lowerLevel);
        stat["upperLevel"] = number(s.upperLevel);
        if (boot.interval == IntervalKind::Bca) {
            stat["z0"] = number(s.z0);
            stat["acceleration"] = number(s.acceleration);
        }
        statistics.push_back(std::move(stat));
    }
    out["statistics"] = std::move(statistics);
    return out;
}

Json mantelJson(const MantelResult& m)
{
    Json out;
    out["method"] = m.method == MantelMethod::Spearman ? "spearman" : "pearson";
    out["permutations"] = m.permutations;
    out["exhaustive"] = m.exhaustive;
    out["alternative"] = m.alternative == MantelAlternative::TwoSided ? "two-sided" : "greater";
    out["seed"] = m.seed;
    out["geographyFile"] = m.geographyName;
    out["greatCircleKm"] = m.greatCircle;
    out["notes"] = m.notes;
    out["geographic"] = numbers(m.geographic);
    Json matrices = Json::array();
    for (const MantelMatrixResult& mr : m.matrices) {
        Json one;
        one["matrix"] = mr.name;
        one["r"] = number(mr.r);
        one["p"] = number(mr.p);
        one["reached"] = mr.atLeast;
        one["values"] = numbers(mr.values);
        if (mr.partial) {
            Json partial;
            partial["rControl"] = number(mr.partial->rControl);
            partial["r"] = number(mr.partial->r);
            partial["p"] = number(mr.partial->p);
            partial["reached"] = mr.partial->atLeast;
            one["partial"] = std::move(partial);
        }
        matrices.push_back(std::move(one));
    }
    out["matrices"] = std::move(matrices);
    if (!m.controlName.empty()) {
        Json control;
        control["file"] = m.controlName;
        control["greatCircleKm"] = m.controlGreatCircle;
        control["rGeographic"] = number(m.rGeographicControl);
        control["distances"] = numbers(m.control);
        out["control"] = std::move(control);
    }
    return out;
}

// A double in the shortest form that reads back to it; a whole number keeps a ".0" so that it
// still reads as a floating-point value.
std::string jsonNumberText(double v)
{
    if (!std::isfinite(v)) {
        return "null";
    }
    std::string text = shortestText(v);
    if (text.find_first_of(".eE") == std::string::npos) {
        text += ".0";
    }
    return text;
}

void writeJson(const Json& v, std::size_t level, std::string& out);

// An object's members or an array's elements one to a line, indented by two blanks per level;
// an empty one as {} or [].
void writeMembers(const Json& v, std::size_t level, std::string& out)
{
    const bool object = v.is_object();
    if (v.empty()) {
        out += object ? "{}" : "[]";
        return;
    }
    out += object ? "{\n" : "[\n";
    const std::string inner((level + 1) * 2, ' ');
    bool first = true;
    for (const auto& [key, member] : v.items()) {
        out += first ? "" : ",\n";
        first = false;
        out += inner;
        if (object) {
            out += Json(key).dump(-1, ' ', false, Json::error_handler_t::replace) + ": ";
        }
        writeJson(member, level + 1, out);
    }
    out += "\n" + std::string(level * 2, ' ') + (object ? "}" : "]");
}

// The layout of dump(2); only the doubles are written differently.
void writeJson(const Json& v, std::size_t level, std::string& out)
{
    switch (v.type()) {
    case Json::value_t::object:
    case Json::value_t::array:
        writeMembers(v, level, out);
        return;
    case Json::value_t::number_float:
        out += jsonNumberText(v.get<double>());
        return;
    default:
        out += v.dump(-1, ' ', false, Json::error_handler_t::replace);
        return;
    }
}

Json dataFileJson(const JsonRun& run)
{
    Json data;
    data["path"] = run.dataSet.dataPath;
    data["title"] = run.basis.dataTitle;
    data["populationCount"] = run.dataSet.popCount;
    data["variableCount"] = run.dataSet.varCount;
    return data;
}

Json settingsJson(const RunBasis& basis)
{
    Json settings;
    settings["heritability"] = floatNumber(basis.heritability);
    // the 32-bit value the run computed with, exactly
    settings["heritabilityUsed"] = static_cast<double>(basis.heritability);
    settings["biasCorrection"] = basis.biasCorrection;
    settings["scaledAnalysis"] = basis.scaledAnalysis;
    return settings;
}

Json variablesJson(const RunBasis& basis)
{
    const PassSetup& setup = basis.setup;
    Json variables = Json::array();
    for (std::size_t k = 0; k < setup.varNames.size(); ++k) {
        Json v;
        v["name"] = setup.varNames[k];
        v["grandMean"] = number(basis.passes.grandMeans[k]);
        v["totalVariance"] = number(basis.passes.totalVariances[k]);
        variables.push_back(std::move(v));
    }
    return variables;
}

Json populationsJson(const RunBasis& basis)
{
    const PassSetup& setup = basis.setup;
    const PassResults& passes = basis.passes;
    Json populations = Json::array();
    for (std::size_t i = 0; i < setup.popNames.size(); ++i) {
        Json p;
        p["name"] = setup.popNames[i];
        p["code"] = setup.popCodes[i];
        p["sampleSize"] = count(passes.sampleSizes[i]);
        p["censusSize"] = floatNumber(basis.popSizes[i]);
        p["weight"] = number(setup.popWeights[i]);
        p["recordsLeftOut"] = count(passes.leftOut[i]);
        populations.push_back(std::move(p));
    }
    return populations;
}

Json fstJson(const RunBasis& basis)
{
    Json fst;
    fst["fst"] = number(basis.fst);
    fst["unbiased"] = basis.biasCorrection ? number(basis.fstUnbiased) : Json(nullptr);
    fst["unbiasedNote"] = basis.biasCorrection ? Json(nullptr) : Json(noCorrectionNote);
    fst["se"] = number(basis.fstSe);
    return fst;
}

// The R matrix, D-square and Velbrand-Torvane members of the document, in that order.
void addMatrices(const RunBasis& basis, const AnalysisResults& res, std::size_t g, Json& doc)
{
    Json& r = doc["rMatrix"];
    r["values"] = rows(res.rMatrix, g, g);
    r["standardErrors"] = symmetricRows(basis.seR, basis.seDiagonal);
    r["uncorrectedDiagonal"] = numbers(basis.uncorrectedDiagonal);

    Json& d = doc["dSquare"];
    d["values"] = rows(res.dSquare, g, g);
    d["standardErrors"] = symmetricRows(basis.seDSquare, std::vector<double>(g, 0.0));

    Json& vt = doc["velbrandTorvane"];
    vt["meanWithinVariance"] = number(basis.passes.meanWithinVariance);
    vt["observedVariance"] = numbers(res.observedVariance);
    vt["expectedVariance"] = numbers(res.expectedVariance);
    vt["residualVariance"] = numbers(res.residualVariance);
}

// The scaled R matrix's results; null when the run had no scaled analysis.
Json scaledJson(const AnalysisResults& res, int matrixCount, std::size_t g)
{
    if (matrixCount != 2) {
        return nullptr;
    }
    Json scaled;
    scaled["rMatrix"] = rows(res.scaledRMatrix, g, g);
    scaled["dSquare"] = rows(res.scaledDSquare, g, g);
    scaled["principalCoordinates"] = principalCoordinates(res.scaledEigenvalues,
                                                          res.scaledEigenvaluesListed,
                                                          res.scaledPcShares,
                                                          res.scaledPcScores,
                                                          g);
    return scaled;
}

} // namespace

std::string resultJsonText(const JsonRun& run)
{
    const RunBasis& basis = run.basis;
    const AnalysisResults& res = run.results;
    const std::size_t g = basis.setup.popNames.size();
    assert(res.populationNames.size() == g && basis.passes.sampleSizes.size() == g);

    Json doc;
    doc["format"] = formatName;
    doc["formatVersion"] = formatVersion;
    doc["program"] = programTitle;
    doc["dataFile"] = dataFileJson(run);
    doc["settings"] = settingsJson(basis);
    doc["variables"] = variablesJson(basis);
    doc["populations"] = populationsJson(basis);
    doc["totalSampleSize"] = count(basis.passes.totalSampleSize);
    doc["fst"] = fstJson(basis);
    addMatrices(basis, res, g, doc);
    doc["principalCoordinates"] =
        principalCoordinates(res.eigenvalues, res.eigenvaluesListed, res.pcShares, res.pcScores, g);
    doc["scaled"] = scaledJson(res, run.matrixCount, g);

    if (run.sweep != nullptr) {
        doc["heritabilitySweep"] = sweepJson(*run.sweep, basis.biasCorrection);
    }
    if (run.bootstrap != nullptr) {
        doc["bootstrap"] = bootstrapJson(*run.bootstrap, basis.biasCorrection);
    }
    if (run.mantel != nullptr) {
        doc["mantel"] = mantelJson(*run.mantel);
    }

    // Names are UTF-8 by the time they get here; anything else is replaced, never thrown.
    std::string text;
    writeJson(doc, 0, text);
    text += '\n';
    return text;
}

} // namespace tavrik
