#include "export/ResamplingText.h"

#include "export/ExportNames.h"
#include "report/NumberFormat.h"
#include "report/TextColumns.h"
#include "state/NumberText.h"

#include <cmath>

namespace tavrik {

namespace {} // namespace

std::string statisticName(StatisticKind kind)
{
    switch (kind) {
    case StatisticKind::Fst:
        return "Fst";
    case StatisticKind::FstUnbiased:
        return "Unbiased Fst";
    case StatisticKind::RDiagonal:
        return "r(ii)";
    case StatisticKind::DSquare:
        return "D-square";
    }
    return {};
}

std::string exactNumberText(double value)
{
    if (!std::isfinite(value)) {
        return "NA";
    }
    return shortestText(value);
}

std::string sweepCsvText(const SweepTable& table)
{
    // without the correction the unbiased Fst is Fst again: no column claims otherwise
    std::string out =
        table.biasCorrection ? "Heritability,Fst,Unbiased Fst,Fst se" : "Heritability,Fst,Fst se";
    for (const std::string& name : table.popNames) {
        out += "," + commaFileName("r[ii] " + name);
    }
    out += "\r\n";
    for (const SweepRow& row : table.rows) {
        out += row.point.text + "," + exactNumberText(row.fst) + "," +
               (table.biasCorrection ? exactNumberText(row.fstUnbiased) + "," : "") +
               exactNumberText(row.fstSe);
        for (const double r : row.rDiagonal) {
            out += "," + exactNumberText(r);
        }
        out += "\r\n";
    }
    return out;
}

std::string intervalKeyword(IntervalKind kind)
{
    switch (kind) {
    case IntervalKind::Percentile:
        return "percentile";
    case IntervalKind::Basic:
        return "basic";
    case IntervalKind::Bca:
        return "bca";
    }
    return {};
}

std::string intervalDefinition(const BootstrapResult& result)
{
    switch (result.interval) {
    case IntervalKind::Percentile:
        return "Percentile interval: the 2.5 % and 97.5 % points of the replicates";
    case IntervalKind::Basic:
        return "Basic interval: 2 x estimate minus the 97.5 % and the 2.5 % points of the "
               "replicates";
    case IntervalKind::Bca:
        return "BCa interval: bias-corrected and accelerated points of the replicates (Efron "
               "1987); acceleration from a jackknife " +
               (result.jackknifeGrouped ? "over " + std::to_string(result.jackknifeGroups) +
                                              " groups of records (record k in group k mod " +
                                              std::to_string(result.jackknifeGroups) + ")"
                                        : std::string("leaving out one record at a time"));
    }
    return {};
}

namespace {

std::string intervalTitle(IntervalKind kind)
{
    return kind == IntervalKind::Bca ? "BCa" : intervalKeyword(kind);
}

std::string statisticLabel(const BootstrapStatistic& s)
{
    std::string label = statisticName(s.kind);
    if (!s.population.empty()) {
        label += " " + s.population;
    }
    if (!s.population2.empty()) {
        label += " / " + s.population2;
    }
    return label;
}

// The lines that say where the intervals cannot be trusted, each ended by CR LF.
std::string bootstrapNotes(const BootstrapResult& result)
{
    std::string out;
    const std::size_t dropped = result.singular + result.failed;
    if (dropped > 0) {
        out += "Note: " + std::to_string(dropped) + " of the " + std::to_string(result.replicates) +
               " replicates could not be analysed and were left out; the intervals are "
               "conditional on the " +
               std::to_string(result.used) + " replicates that could be computed\r\n";
    }
    for (const SmallPopulation& p : result.smallPopulations) {
        out += "Note: " + p.name + " has only " + std::to_string(p.records) +
               (p.records == 1 ? " record" : " records") + "; with fewer than " +
               std::to_string(fewRecordsLimit) +
               " records in a population the intervals are unreliable\r\n";
    }
    for (const BootstrapStatistic& s : result.statistics) {
        const bool watched = s.kind != StatisticKind::DSquare;
        if (watched && std::isfinite(s.bias) && std::isfinite(s.bootstrapSe) &&
            std::fabs(s.bias) > notedBiasShare * s.bootstrapSe) {
            out += "Note: the bootstrap mean of " + statisticLabel(s) + " lies " +
                   formatNumber(std::fabs(s.bias) / s.bootstrapSe, "0.000") +
                   " bootstrap standard errors " + (s.bias > 0.0 ? "above" : "below") +
                   " the estimate: it is biased under resampling, and its interval is "
                   "unreliable\r\n";
        }
    }
    if (result.jackknifeFailed > 0) {
        out += "Note: " + std::to_string(result.jackknifeFailed) + " of the " +
               std::to_string(result.jackknifeGroups) +
               " jackknife estimates could not be computed and were left out of the "
               "acceleration\r\n";
    }
    bool missing = false;
    for (const BootstrapStatistic& s : result.statistics) {
        missing = missing || !std::isfinite(s.lower) || !std::isfinite(s.upper);
    }
    if (missing && result.used > 0) {
        out += "Note: NA marks an interval that cannot be formed (every replicate on one side "
               "of the estimate, or a jackknife without spread)\r\n";
    }
    return out;
}

} // namespace

std::string bootstrapCsvText(const BootstrapResult& result)
{
    const std::string bounds = result.interval == IntervalKind::Percentile ? "P2.5,P97.5"
                               : result.interval == IntervalKind::Basic
                                   ? "Basic lower (2E-P97.5),Basic upper (2E-P2.5)"
                                   : "BCa lower,BCa upper";
    std::string out = "Statistic,Population,Population2,Estimate,Analytic se,Bootstrap "
                      "mean,Bias,Bootstrap se," +
                      bounds + ",Interval,Seed,Replicates,Used,Not invertible,Other failures\r\n";
    const std::string run = intervalKeyword(result.interval) + "," + std::to_string(result.seed) +
                            "," + std::to_string(result.replicates) + "," +
                            std::to_string(result.used) + "," + std::to_string(result.singular) +
                            "," + std::to_string(result.failed);
    for (const BootstrapStatistic& s : result.statistics) {
        out += statisticName(s.kind) + "," + commaFileName(s.population) + "," +
               commaFileName(s.population2) + "," + exactNumberText(s.estimate) + "," +
               exactNumberText(s.analyticSe) + "," + exactNumberText(s.bootstrapMean) + "," +
               exactNumberText(s.bias) + "," + exactNumberText(s.bootstrapSe) + "," +
               exactNumberText(s.lower) + "," + exactNumberText(s.upper) + "," + run + "\r\n";
    }
    return out;
}

std::string bootstrapSummaryText(const BootstrapResult& result)
{
    constexpr std::size_t labelWidth = 34;
    constexpr std::size_t valueWidth = 13;
    std::string out = "\r\nBootstrap of the R matrix: " + std::to_string(result.replicates) +
                      " replicates, seed " + std::to_string(result.seed) + "; 95 % " +
                      intervalTitle(result.interval) + " intervals\r\n";
    out += intervalDefinition(result) + "\r\n";
    out += "Replicates used: " + std::to_string(result.used) +
           "; matrix could not be inverted: " + std::to_string(result.singular) +
           "; other failures: " + std::to_string(result.failed) + "\r\n";
    if (!result.firstFailure.empty()) {
        out += "First failed " + result.firstFailure + "\r\n";
    }
    out += bootstrapNotes(result);
    out += "\r\n" + padRight("Statistic", labelWidth) + padLeft("Estimate", valueWidth) +
           padLeft("Analytic se", valueWidth) + padLeft("Boot. mean", valueWidth) +
           padLeft("Bias", valueWidth) + padLeft("Bootstrap se", valueWidth) +
           padLeft("Lower 95 %", valueWidth) + padLeft("Upper 95 %", valueWidth) + "\r\n\r\n";
    for (const BootstrapStatistic& s : result.statistics) {
        out +=
            padRight(statisticLabel(s), labelWidth) + padLeft(fixedText(s.estimate), valueWidth) +
            padLeft(fixedText(s.analyticSe), valueWidth) +
            padLeft(fixedText(s.bootstrapMean), valueWidth) +
            padLeft(fixedText(s.bias), valueWidth) + padLeft(fixedText(s.bootstrapSe), valueWidth) +
            padLeft(fixedText(s.lower), valueWidth) + padLeft(fixedText(s.upper), valueWidth) +
            "\r\n";
    }
    return out;
}

} // namespace tavrik
