#include "analysis/MatrixListing.h"

#include "report/NumberFormat.h"
#include "report/ReportWriter.h"

namespace tavrik {

// Populations are 0-based; columns 1-based. Pairs run (1,2), (1,3), ..., (g-1,g).

namespace {

constexpr const char* valuePattern = " 0.000000;-0.000000";
constexpr const char* sePattern = "0.000000";

void writeDiagonal(ReportWriter& out,
                   const std::vector<std::string>& names,
                   const Matrix& m,
                   const std::vector<double>* se)
{
    for (std::size_t i = 0; i < names.size(); ++i) {
        out.tab(16).text(names[i]).tab(31).text(formatNumber(m(i, i), valuePattern));
        if (se != nullptr) {
            out.text("  (").text(formatNumber((*se)[i], sePattern)).text(")");
        }
        out.endLine();
    }
}

void writePairs(ReportWriter& out,
                const std::vector<std::string>& names,
                const Matrix& m,
                const Matrix* se)
{
    const std::size_t g = names.size();
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i + 1; j < g; ++j) {
            out.text(names[i]).tab(16).text(names[j]).tab(31).text(
                formatNumber(m(i, j), valuePattern));
            if (se != nullptr) {
                out.text("  (").text(formatNumber((*se)(i, j), sePattern)).text(")");
            }
            out.endLine();
        }
    }
}

} // namespace

std::string writeMatrixListing(const std::vector<std::string>& names,
                               const Relationship& rel,
                               const ScaledMatrices* scaled)
{
    ReportWriter out;
    out.text("R Matrix:").endLine();
    out.text("(standard errors in parentheses)").endLine();
    out.endLine();
    writeDiagonal(out, names, rel.r, &rel.seDiagonal);
    out.endLine();
    writePairs(out, names, rel.r, &rel.seR);
    out.endLine();
    out.endLine();
    out.text("D-Square Matrix:").endLine();
    out.text("(standard errors in parentheses)").endLine();
    out.endLine();
    writePairs(out, names, rel.dSquare, &rel.seDSquare);
    out.endLine();
    out.endLine();
    if (scaled != nullptr) {
        out.text("The following matrices are based on the scaling method").endLine();
        out.text("described by Velbrand (1996) where the R matrix is").endLine();
        out.text("scaled as R(i,j) = g * sqrt[W(i)] * sqrt[W(j)] * R(i,j)").endLine();
        out.endLine();
        out.text("Scaled R Matrix:").endLine();
        out.endLine();
        writeDiagonal(out, names, scaled->scaledRMatrix, nullptr);
        out.endLine();
        writePairs(out, names, scaled->scaledRMatrix, nullptr);
        out.endLine();
        out.endLine();
        out.text("D-Square Matrix Based on Scaled R Matrix:").endLine();
        out.endLine();
        writePairs(out, names, scaled->scaledDSquare, nullptr);
        out.endLine();
        out.endLine();
    }
    return out.take();
}

ScreenOutcome decideScreen(const std::string& report,
                           const std::string& listing,
                           bool showMatrices,
                           std::size_t limitBytes)
{
    ScreenOutcome s;
    s.outputFitsScreen = report.size() + listing.size() < limitBytes;
    s.showMatrices = showMatrices;
    s.screenText = report;
    if (s.outputFitsScreen && showMatrices) {
        s.screenText += listing;
    }
    if (!s.outputFitsScreen && showMatrices) {
        s.warnOutputTooLarge = true;
        s.showMatrices = false;
    }
    return s;
}

} // namespace tavrik
