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

// Characters that tree programs read as part of a tree or a comment.
bool isReserved(char c)
{
    return std::string_view("():;,[]'\"").find(c) != std::string_view::npos;
}

// The longest start of name with at most width bytes that does not cut a UTF-8 sequence.
std::string leadingBytes(const std::string& name, std::size_t width)
{
    std::size_t n = std::min(width, name.size());
    while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) {
        --n;
    }
    return name.substr(0, n);
}

} // namespace

PhylipFile phylipFile(const Matrix& m, const std::vector<std::string>& names, PhylipNames mode)
{
    const std::size_t g = names.size();
    assert(m.rows() == g && m.cols() == g);
    PhylipFile file;
    std::vector<std::string> labels(g);
    for (std::size_t i = 0; i < g; ++i) {
        labels[i] = names[i];
        std::replace_if(labels[i].begin(), labels[i].end(), isBlank, '_');
        if (std::any_of(labels[i].begin(), labels[i].end(), isReserved)) {
            std::replace_if(labels[i].begin(), labels[i].end(), isReserved, '_');
            file.renamed.push_back({names[i], labels[i]});
        }
    }
    const bool fits = std::all_of(labels.begin(), labels.end(), [](const std::string& label) {
        return label.size() <= phylipNameWidth;
    });
    std::vector<std::string> sorted = labels;
    std::sort(sorted.begin(), sorted.end());
    const bool distinct = std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
    if (mode == PhylipNames::Codes && !(fits && distinct)) {
        // a readable start of the name and the population's number, 10 bytes in all
        const std::size_t digits = std::to_string(g).size();
        file.nameMap = "Code,Name\r\n";
        for (std::size_t i = 0; i < g; ++i) {
            std::string number = std::to_string(i + 1);
            number.insert(0, digits - number.size(), '0');
            labels[i] = leadingBytes(labels[i], phylipNameWidth - digits) + number;
            file.nameMap += labels[i] + "," + commaFileName(names[i]) + "\r\n";
        }
    }
    std::string& out = file.text;
    out.append(std::to_string(g)).append(lineEnd);
    for (std::size_t i = 0; i < g; ++i) {
        std::string label = labels[i];
        if (label.size() < phylipNameWidth) {
            label.resize(phylipNameWidth, ' ');
        }
        out.append(label);
        for (std::size_t j = 0; j < g; ++j) {
            out.append(" ").append(formatNumber(m(i, j), valuePattern));
        }
        out.append(lineEnd);
    }
    return file;
}

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
        out = phylipFile(m, names, PhylipNames::Codes).text;
        break;
    }
    return out;
}

const Matrix& resultMatrix(const AnalysisResults& results, MatrixKind kind)
{
    switch (kind) {
    case MatrixKind::R:
        break;
    case MatrixKind::DSquare:
        return results.dSquare;
    case MatrixKind::ScaledR:
        return results.scaledRMatrix;
    case MatrixKind::ScaledDSquare:
        return results.scaledDSquare;
    }
    return results.rMatrix;
}

std::string matrixFileText(const AnalysisResults& results, MatrixKind kind, MatrixLayout layout)
{
    return matrixFileText(resultMatrix(results, kind), results.populationNames, kind, layout);
}

std::vector<std::string> phylipNotes(const PhylipFile& file, const std::string& path)
{
    std::vector<std::string> notes;
    for (const PhylipRename& r : file.renamed) {
        notes.push_back("Population \"" + r.name +
                        "\" holds characters that tree programs reserve; " + path + " names it " +
                        r.label + ".");
    }
    if (!file.nameMap.empty()) {
        notes.push_back("The population names do not all fit in 10 bytes: " + path +
                        " holds 10-byte codes, and " + phylipNameMapPath(path) +
                        " maps them to the names.");
    }
    return notes;
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
