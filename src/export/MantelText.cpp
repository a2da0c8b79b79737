#include "export/MantelText.h"

#include "report/TextColumns.h"

#include <algorithm>

namespace tavrik {

std::string mantelMethodName(MantelMethod method)
{
    return method == MantelMethod::Spearman ? "Spearman" : "Pearson";
}

namespace {

std::string distancesSource(bool greatCircle, const std::string& fileName)
{
    return (greatCircle ? "great-circle km from the coordinates in " : "the distance matrix in ") +
           fileName;
}

// The partial test's lines, after the plain test's table.
std::string
partialSummaryText(const MantelResult& result, std::size_t labelWidth, std::size_t valueWidth)
{
    std::string out =
        "\r\nPartial Mantel test (Smouse, Long and Sokal): r(matrix, geographic | control)\r\n";
    out += "Control distances: " + distancesSource(result.controlGreatCircle, result.controlName) +
           "\r\n";
    out += "r(geographic, control) = " + fixedText(result.rGeographicControl) + "\r\n";
    out += "p as above, from the same orders applied to the populations of the matrix\r\n";
    out += "\r\n" + padRight("Matrix", labelWidth) + padLeft("r(control)", valueWidth) +
           padLeft("r(partial)", valueWidth) + padLeft("p", valueWidth) +
           padLeft("Reached", valueWidth) + "\r\n\r\n";
    for (const MantelMatrixResult& m : result.matrices) {
        out += padRight(m.name, labelWidth) + padLeft(fixedText(m.partial->rControl), valueWidth) +
               padLeft(fixedText(m.partial->r), valueWidth) +
               padLeft(fixedText(m.partial->p), valueWidth) +
               padLeft(std::to_string(m.partial->atLeast), valueWidth) + "\r\n";
    }
    return out;
}

} // namespace

std::string mantelSummaryText(const MantelResult& result)
{
    constexpr std::size_t labelWidth = 20;
    constexpr std::size_t valueWidth = 13;
    const std::string n = std::to_string(result.permutations);
    std::string out =
        "\r\nMantel test against geography: " + mantelMethodName(result.method) + " correlation, ";
    if (result.exhaustive) {
        out += "all " + n + " orders of the " + std::to_string(result.populations.size()) +
               " populations\r\n";
    } else {
        out += n + " permutations, seed " + std::to_string(result.seed) + "\r\n";
    }
    out += "Geographic distances: " + distancesSource(result.greatCircle, result.geographyName) +
           "\r\n";
    const bool twoSided = result.alternative == MantelAlternative::TwoSided;
    const std::string side = twoSided ? "two-sided" : "one-sided, greater";
    const std::string reaches =
        twoSided ? "|r| reaches the observed |r|" : "r reaches the observed r";
    out +=
        result.exhaustive
            ? "p (" + side + ", exact) = orders whose " + reaches + " / " + n + "\r\n"
            : "p (" + side + ") = (permutations whose " + reaches + " + 1) / (" + n + " + 1)\r\n";
    for (const std::string& note : result.notes) {
        out += "Note: " + note + "\r\n";
    }
    out += "\r\n" + padRight("Matrix", labelWidth) + padLeft("r", valueWidth) +
           padLeft("p", valueWidth) + padLeft("Reached", valueWidth) + "\r\n\r\n";
    for (const MantelMatrixResult& m : result.matrices) {
        out += padRight(m.name, labelWidth) + padLeft(fixedText(m.r), valueWidth) +
               padLeft(fixedText(m.p), valueWidth) +
               padLeft(std::to_string(m.atLeast), valueWidth) + "\r\n";
    }
    if (!result.controlName.empty()) {
        out += partialSummaryText(result, labelWidth, valueWidth);
    }
    return out;
}

std::string mantelOutputText(const MantelResult& result)
{
    constexpr std::size_t valueWidth = 17;
    std::string out = mantelSummaryText(result).substr(2); // without the leading empty line
    std::size_t nameWidth = std::string("Population 2").size() + 1;
    for (const std::string& name : result.populations) {
        nameWidth = std::max(nameWidth, name.size() + 1);
    }
    out += "\r\n" + padRight("Population 1", nameWidth) + padRight("Population 2", nameWidth) +
           padLeft(result.greatCircle ? "Geographic km" : "Geographic", valueWidth);
    const bool partial = !result.controlName.empty();
    if (partial) {
        out += padLeft(result.controlGreatCircle ? "Control km" : "Control", valueWidth);
    }
    for (const MantelMatrixResult& m : result.matrices) {
        out += padLeft(m.name, valueWidth);
    }
    out += "\r\n\r\n";
    const std::size_t g = result.populations.size();
    std::size_t k = 0;
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i + 1; j < g; ++j) {
            out += padRight(result.populations[i], nameWidth) +
                   padRight(result.populations[j], nameWidth) +
                   padLeft(fixedText(result.geographic[k]), valueWidth);
            if (partial) {
                out += padLeft(fixedText(result.control[k]), valueWidth);
            }
            for (const MantelMatrixResult& m : result.matrices) {
                out += padLeft(fixedText(m.values[k]), valueWidth);
            }
            out += "\r\n";
            ++k;
        }
    }
    return out;
}

} // namespace tavrik
