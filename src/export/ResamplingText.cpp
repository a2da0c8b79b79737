#include "export/ResamplingText.h"

#include "export/ExportNames.h"
#include "report/NumberFormat.h"

#include <charconv>
#include <cmath>

namespace tavrik {

namespace {

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

std::string fixedText(double value)
{
    return std::isfinite(value) ? formatNumber(value, "0.000000") : "NA";
}

std::string padRight(std::string text, std::size_t width)
{
    if (text.size() < width) {
        text.resize(width, ' ');
    } else {
        text += ' ';
    }
    return text;
}

std::string padLeft(const std::string& text, std::size_t width)
{
    return text.size() < width ? std::string(width - text.size(), ' ') + text : " " + text;
}

} // namespace

std::string exactNumberText(double value)
{
    if (!std::isfinite(value)) {
        return "NA";
    }
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc{} ? std::string(buffer, end) : "NA";
}

std::string sweepCsvText(const SweepTable& table)
{
    std::string out = "Heritability,Fst,Unbiased Fst,Fst se";
    for (const std::string& name : table.popNames) {
        out += "," + commaFileName("r[ii] " + name);
    }
    out += "\r\n";
    for (const SweepRow& row : table.rows) {
        out += row.point.text + "," + exactNumberText(row.fst) + "," +
               exactNumberText(row.fstUnbiased) + "," + exactNumberText(row.fstSe);
        for (const double r : row.rDiagonal) {
            out += "," + exactNumberText(r);
        }
        out += "\r\n";
    }
    return out;
}

std::string bootstrapCsvText(const BootstrapResult& result)
{
    std::string out =
        "Statistic,Population,Population2,Estimate,Analytic se,Bootstrap se,P2.5,P97.5\r\n";
    for (const BootstrapStatistic& s : result.statistics) {
        out += statisticName(s.kind) + "," + commaFileName(s.population) + "," +
               commaFileName(s.population2) + "," + exactNumberText(s.estimate) + "," +
               exactNumberText(s.analyticSe) + "," + exactNumberText(s.bootstrapSe) + "," +
               exactNumberText(s.lower) + "," + exactNumberText(s.upper) + "\r\n";
    }
    return out;
}

std::string bootstrapSummaryText(const BootstrapResult& result)
{
    constexpr std::size_t labelWidth = 34;
    constexpr std::size_t valueWidth = 13;
    std::string out = "\r\nBootstrap of the R matrix: " + std::to_string(result.replicates) +
                      " replicates, seed " + std::to_string(result.seed) + "\r\n";
    out += "Replicates used: " + std::to_string(result.used) +
           "; matrix could not be inverted: " + std::to_string(result.singular) +
           "; other failures: " + std::to_string(result.failed) + "\r\n";
    if (!result.firstFailure.empty()) {
        out += "First failed " + result.firstFailure + "\r\n";
    }
    out += "\r\n" + padRight("Statistic", labelWidth) + padLeft("Estimate", valueWidth) +
           padLeft("Analytic se", valueWidth) + padLeft("Bootstrap se", valueWidth) +
           padLeft("2.5 %", valueWidth) + padLeft("97.5 %", valueWidth) + "\r\n\r\n";
    for (const BootstrapStatistic& s : result.statistics) {
        std::string label = statisticName(s.kind);
        if (!s.population.empty()) {
            label += " " + s.population;
        }
        if (!s.population2.empty()) {
            label += " / " + s.population2;
        }
        out += padRight(label, labelWidth) + padLeft(fixedText(s.estimate), valueWidth) +
               padLeft(fixedText(s.analyticSe), valueWidth) +
               padLeft(fixedText(s.bootstrapSe), valueWidth) +
               padLeft(fixedText(s.lower), valueWidth) + padLeft(fixedText(s.upper), valueWidth) +
               "\r\n";
    }
    return out;
}

} // namespace tavrik
