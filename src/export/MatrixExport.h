// The text of a saved R or D-square matrix in one of the list, square or NT-SYS layouts.
#pragma once

#include "state/Matrix.h"
#include "state/ProgramState.h"

#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

enum class MatrixLayout {
    ListSpace,   // one line per pair, fields separated by one space
    ListComma,   // one line per pair, fields separated by ","
    SquareSpace, // one line per population, one space between fields
    SquareComma, // one line per population, "," between fields
    NtSys,       // lower triangle with the diagonal, for NT-SYS
    Phylip,      // count line, then a name and the full row per population (distances only)
};

// R and ScaledR are similarities (their diagonal matters); DSquare and ScaledDSquare are
// distances with a zero diagonal.
enum class MatrixKind { R, DSquare, ScaledR, ScaledDSquare };

constexpr bool isRType(MatrixKind kind)
{
    return kind == MatrixKind::R || kind == MatrixKind::ScaledR;
}

// m: g x g; names: the g population names in selection order, written as ExportNames.h says
// for the layout (quoted in the list and square layouts, blanks as '_' in NT-SYS labels when
// they would break the file). Every line ends in CR LF.
//
// The PHYLIP layout is the distance matrix that tree programs read: the count on the first
// line, then per population its label and its whole row; phylipFile says how the labels are
// made (matrixFileText uses PhylipNames::Codes and leaves out the name map). It suits the
// D-square matrices only; callers refuse it for R matrices.
std::string matrixFileText(const Matrix& m,
                           const std::vector<std::string>& names,
                           MatrixKind kind,
                           MatrixLayout layout);
// The run's own matrix of that kind, with the run's population names.
std::string matrixFileText(const AnalysisResults& results, MatrixKind kind, MatrixLayout layout);
const Matrix& resultMatrix(const AnalysisResults& results, MatrixKind kind);

// File dialog filter for a layout, in the toolkit's "Description (*.EXT)" form.
std::string_view matrixFileFilter(MatrixLayout layout);

inline constexpr std::string_view textFileFilter = "Text Files (*.TXT)";
inline constexpr std::string_view csvFileFilter = "CSV Files (*.CSV)";
inline constexpr std::string_view ntSysFileFilter = "NT-SYS Files (*.NTS)";
inline constexpr std::string_view phylipFileFilter = "PHYLIP Distance Files (*.DIST)";

inline constexpr std::size_t phylipNameWidth = 10; // bytes of a name in strict PHYLIP

enum class PhylipNames {
    Codes,   // names that do not fit in 10 bytes: every population gets a 10-byte code
    Relaxed, // names that do not fit are written whole, for programs that read them so
};

struct PhylipRename
{
    std::string name;  // the population's name
    std::string label; // as the file writes it
};

struct PhylipFile
{
    std::string text;
    std::string nameMap; // "Code,Name" lines when the file holds codes; empty otherwise
    std::vector<PhylipRename> renamed; // names whose reserved characters became '_'
};

// Blanks in a name become '_', and so do the characters tree programs reserve
// ( ) : ; , [ ] ' " (those populations are listed in renamed). When every label then fits in
// phylipNameWidth bytes and no two are equal, each is padded with spaces to that width (the
// strict layout). Otherwise, with Codes, population i (1-based) gets the label's start and i
// with as many digits as g has, 10 bytes in all, padded; with Relaxed, longer labels are
// written whole. One space follows the label and separates the values.
PhylipFile phylipFile(const Matrix& m, const std::vector<std::string>& names, PhylipNames mode);

// The name map beside a phylip file: FILE.names.csv.
inline std::string phylipNameMapPath(const std::string& path)
{
    return path + ".names.csv";
}

// What the user is told about a phylip file written to path: one sentence per population
// whose reserved characters were replaced, and one when the file holds codes.
std::vector<std::string> phylipNotes(const PhylipFile& file, const std::string& path);

// Whether a layout may hold a matrix of that kind (PHYLIP holds distances only).
constexpr bool layoutFitsKind(MatrixLayout layout, MatrixKind kind)
{
    return layout != MatrixLayout::Phylip || !isRType(kind);
}

} // namespace tavrik
