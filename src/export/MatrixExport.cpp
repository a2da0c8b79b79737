#include "export/MatrixExport.h"

#include "export/ExportNames.h"
#include "report/NumberFormat.h"

#include <algorithm>
#include <cassert>

// Rows and columns count from 0 here; the pair lines run over i < j in row-major order.

namespace tavrik {

namespace {

constexpr std::string_view lineEnd = "\r\n";
constexpr std::string_view valuePattern = "0.000000;-0.000000";

// The names as the layout writes them: quoted where they hold its separator or a quote.
std::vector<std::string> fileNames(const std::vector<std::string>& names, std::string_view sep)
{
    std::vector<std::string> out;
    out.reserve(names.size());
    for (const std::string& name : names) {
        out.push_back(sep == "," ? commaFileName(name) : spaceFileName(name));
    }
    return out;
}

void writeList(std::string& out,
               const Matrix& m,
               const std::vector<std::string>& storedNames,
               bool rType,
               std::string_view sep)
{
    const std::vector<std::string> names = fileNames(storedNames, sep);
    const std::size_t g = names.size();
    out.append("Popi").append(sep).append("Popj").append(sep);
    out.append(rType ? "r(ij)" : "D2(ij)").append(lineEnd);
    // A distance matrix has a zero diagonal: only the similarity list carries it.
    if (rType) {
        for (std::size_t i = 0; i < g; ++i) {
            out.append(names[i]).append(sep).append(names[i]).append(sep);
            out.append(formatNumber(m(i, i), "0.000000")).append(lineEnd);
        }
    }
    for (std::size_t i = 0; i + 1 < g; ++i) {
        for (std::size_t j = i + 1; j < g; ++j) {
            out.append(names[i]).append(sep).append(names[j]).append(sep);
            out.append(formatNumber(m(i, j), valuePattern)).append(lineEnd);
        }
    }
}

void writeSquare(std::string& out,
                 const Matrix& m,
                 const std::vector<std::string>& storedNames,
                 std::string_view sep)
{
    const std::vector<std::string> names = fileNames(storedNames, sep);
    const std::size_t g = names.size();
    out.append("Population");
    for (const std::string& name : names) {
        out.append(sep).append(name);
    }
    out.append(lineEnd);
    for (std::size_t i = 0; i < g; ++i) {
        out.append(names[i]);
        for (std::size_t j = 0; j < g; ++j) {
            out.append(sep).append(formatNumber(m(i, j), valuePattern));
        }
        out.append(lineEnd);
    }
}

void writeNtSys(std::string& out,
                const Matrix& m,
                const std::vector<std::string>& names,
                bool rType)
{
    const std::size_t g = names.size();
    // The leading code tells NT-SYS the matrix type: 3 similarity, 2 dissimilarity.
    const std::string count = formatNumber(static_cast<double>(g), "###");
    out.append(rType ? "3 " : "2 ").append(count).append("L ").append(count).append(" 0");
    out.append(lineEnd);
    for (std::size_t i = 0; i < g; ++i) {
        if (i > 0) {
            out += ' ';
        }
        out.append(ntSysLabel(names[i]));
    }
    out.append(lineEnd);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j <= i; ++j) {
            if (j > 0) {
                out += ' ';
            }
            out.append(formatNumber(m(i, j), valuePattern));
        }
        out.append(lineEnd);
    }
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

void writePhylip(std::string& out, const Matrix& m, const std::vector<std::string>& names)
{
    const std::size_t g = names.size();
    const bool strict = std::all_of(names.begin(), names.end(), [](const std::string& name) {
        return name.size() <= phylipNameWidth && std::none_of(name.begin(), name.end(), isBlank);
    });
    out.append(std::to_string(g)).append(lineEnd);
    for (std::size_t i = 0; i < g; ++i) {
        std::string name = names[i];
        if (strict) {
            name.resize(phylipNameWidth, ' ');
        } else {
            std::replace_if(name.begin(), name.end(), isBlank, '_');
        }
        out.append(name);
        for (std::size_t j = 0; j < g; ++j) {
            out.append(" ").append(formatNumber(m(i, j), valuePattern));
        }
        out.append(lineEnd);
    }
}

} // namespace

std::string matrixFileText(const Matrix& m,
                           const std::vector<std::string>& names,
                           MatrixKind kind,
                           MatrixLayout layout)
{
    assert(m.rows() == names.size() && m.cols() == names.size());
    const bool rType = isRType(kind);
    std::string out;
    switch (layout) {
    case MatrixLayout::ListSpace:
        writeList(out, m, names, rType, " ");
        break;
    case MatrixLayout::ListComma:
        writeList(out, m, names, rType, ",");
        break;
    case MatrixLayout::SquareSpace:
        writeSquare(out, m, names, " ");
        break;
    case MatrixLayout::SquareComma:
        writeSquare(out, m, names, ",");
        break;
    case MatrixLayout::NtSys:
        writeNtSys(out, m, names, rType);
        break;
    case MatrixLayout::Phylip:
        assert(!rType);
        writePhylip(out, m, names);
        break;
    }
    return out;
}

std::string matrixFileText(const AnalysisResults& results, MatrixKind kind, MatrixLayout layout)
{
    const Matrix* m = &results.rMatrix;
    switch (kind) {
    case MatrixKind::R:
        break;
    case MatrixKind::DSquare:
        m = &results.dSquare;
        break;
    case MatrixKind::ScaledR:
        m = &results.scaledRMatrix;
        break;
    case MatrixKind::ScaledDSquare:
        m = &results.scaledDSquare;
        break;
    }
    return matrixFileText(*m, results.populationNames, kind, layout);
}

std::string_view matrixFileFilter(MatrixLayout layout)
{
    switch (layout) {
    case MatrixLayout::ListSpace:
    case MatrixLayout::SquareSpace:
        return textFileFilter;
    case MatrixLayout::ListComma:
    case MatrixLayout::SquareComma:
        return csvFileFilter;
    case MatrixLayout::NtSys:
        return ntSysFileFilter;
    case MatrixLayout::Phylip:
        return phylipFileFilter;
    }
    return textFileFilter;
}

} // namespace tavrik
