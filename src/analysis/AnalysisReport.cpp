#include "analysis/AnalysisReport.h"

#include "report/NumberFormat.h"
#include "report/ReportHeader.h"

namespace tavrik {

// Populations and variables are 0-based here; report columns are 1-based.

namespace {

void writeVariableList(ReportWriter& out, const std::vector<std::string>& names)
{
    constexpr int columns[] = {1, 16, 31, 46, 61};
    constexpr std::size_t perLine = 5;
    for (std::size_t k = 0; k < names.size(); ++k) {
        out.tab(columns[k % perLine]).text(names[k]);
        if (k % perLine == perLine - 1) {
            out.endLine();
        }
    }
    // The first of these ends a line left open, so a short last line gets one empty line
    // after it and a full one two.
    out.endLine();
    out.endLine();
}

void writePopulationTable(ReportWriter& out, const ReportHeadData& h)
{
    const bool weighted = h.matrixCount != 1;
    if (weighted) {
        out.tab(16).text("Sample").tab(25).text("Population").endLine();
        out.text("Population").tab(17).text("size").tab(28).text("size").tab(38).text("Weight");
        out.endLine();
    } else {
        out.tab(16).text("Sample").endLine();
        out.text("Population").tab(17).text("size").endLine();
    }
    out.endLine();
    for (std::size_t i = 0; i < h.popNames.size(); ++i) {
        out.text(h.popNames[i]).tab(17).text(formatNumber(h.sampleSizes[i], "####"));
        if (weighted) {
            out.tab(27)
                .text(formatNumber(static_cast<double>(h.popSizes[i]), "############"))
                .tab(39)
                .text(formatNumber(h.popWeights[i], "0.000"));
        }
        out.endLine();
    }
    out.endLine();
    out.text("Total").tab(17).text(formatNumber(h.totalSampleSize, "#####")).endLine();
    // Only a run that left records out says so: the report of a complete file is unchanged.
    double leftOut = 0.0;
    for (const double n : h.leftOut) {
        leftOut += n;
    }
    if (leftOut > 0.0) {
        out.text("Records left out for missing values: " +
                 std::to_string(static_cast<long>(leftOut)))
            .endLine();
        for (std::size_t i = 0; i < h.leftOut.size(); ++i) {
            if (h.leftOut[i] > 0.0) {
                out.text(h.popNames[i]).tab(17).text(formatNumber(h.leftOut[i], "####")).endLine();
            }
        }
    }
    if (!weighted) {
        out.endLine();
        out.text("All populations are equally weighted").endLine();
    }
}

void writeDiagonalTable(ReportWriter& out, const ReportHeadData& h, const Relationship& rel)
{
    if (h.biasCorrection) {
        out.text("Population")
            .tab(18)
            .text("Biased r(ii)")
            .tab(35)
            .text("Unbiased r(ii)")
            .tab(57)
            .text("se")
            .endLine();
        out.endLine();
        for (std::size_t i = 0; i < h.popNames.size(); ++i) {
            const double rii = rel.uncorrectedDiagonal[i];
            double u = rii - rel.biasTerm[i];
            if (u < 0.0) {
                u = 0.0;
            }
            out.text(h.popNames[i])
                .tab(20)
                .text(formatNumber(rii, "0.000000"))
                .tab(38)
                .text(formatNumber(u, "0.000000"))
                .tab(54)
                .text(formatNumber(rel.seDiagonal[i], "0.000000"))
                .endLine();
        }
    } else {
        out.text("Population").tab(18).text("Biased r(ii)").tab(38).text("se").endLine();
        out.endLine();
        for (std::size_t i = 0; i < h.popNames.size(); ++i) {
            out.text(h.popNames[i])
                .tab(19)
                .text(formatNumber(rel.uncorrectedDiagonal[i], "0.000000"))
                .tab(35)
                .text(formatNumber(rel.seDiagonal[i], "0.000000"))
                .endLine();
        }
    }
}

} // namespace

void writeReportHead(ReportWriter& out,
                     const ReportHeadData& h,
                     const Relationship& rel,
                     const Clock& clock)
{
    writeTitleLines(out, h.dataPath, h.dataTitle, clock);
    out.text("Data available for: ")
        .number(h.filePopCount)
        .text(" populations and ")
        .number(h.fileVarCount)
        .text(" variables")
        .endLine();
    out.text(" Data selected for: ")
        .number(static_cast<long>(h.popNames.size()))
        .text(" populations and ")
        .number(static_cast<long>(h.varNames.size()))
        .text(" variables")
        .endLine();
    out.endLine();
    out.text("Heritability = ")
        .text(formatNumber(static_cast<double>(h.heritability), "0.000"))
        .endLine();
    out.endLine();
    if (h.biasCorrection) {
        out.text("Correction for sampling bias was requested, and any").endLine();
        out.text("negative r(ii) or distance values were set equal to zero").endLine();
    } else {
        out.text("No correction for sampling bias").endLine();
    }
    out.endLine();
    out.endLine();
    out.text("Variables used in this analysis:").endLine();
    out.endLine();
    writeVariableList(out, h.varNames);
    out.text("Populations used in this analysis:").endLine();
    out.endLine();
    writePopulationTable(out, h);
    out.endLine();
    out.endLine();
    out.text("Diagonals of the R Matrix:").endLine();
    out.endLine();
    writeDiagonalTable(out, h, rel);
}

void writeFstLines(ReportWriter& out, const Relationship& rel, bool biasCorrection)
{
    out.endLine();
    if (biasCorrection) {
        out.text("            Fst = ").text(formatNumber(rel.fst, "0.000000")).endLine();
        out.text("   Unbiased Fst = ").text(formatNumber(rel.fstUnbiased, "0.000000")).endLine();
    } else {
        out.text("            Fst = ").text(formatNumber(rel.fstUnbiased, "0.000000")).endLine();
    }
    out.text("             se = ").text(formatNumber(rel.fstSe, "0.000000")).endLine();
    out.endLine();
    if (biasCorrection) {
        out.text("All further analyses are based on the unbiased R matrix").endLine();
        out.endLine();
    }
    out.endLine();
}

} // namespace tavrik
