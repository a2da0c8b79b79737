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
// line, then per population its name and its whole row. When every name has at most
// phylipNameWidth bytes and no blank or tab, names are padded with spaces to that width
// (strict form); otherwise every name is written whole with each blank or tab replaced by
// '_' (relaxed form). One space follows the name and separates the values. It suits the
// D-square matrices only; callers refuse it for R matrices.
std::string matrixFileText(const Matrix& m,
                           const std::vector<std::string>& names,
                           MatrixKind kind,
                           MatrixLayout layout);
// The run's own matrix of that kind, with the run's population names.
std::string matrixFileText(const AnalysisResults& results, MatrixKind kind, MatrixLayout layout);

// File dialog filter for a layout, in the toolkit's "Description (*.EXT)" form.
std::string_view matrixFileFilter(MatrixLayout layout);

inline constexpr std::string_view textFileFilter = "Text Files (*.TXT)";
inline constexpr std::string_view csvFileFilter = "CSV Files (*.CSV)";
inline constexpr std::string_view ntSysFileFilter = "NT-SYS Files (*.NTS)";
inline constexpr std::string_view phylipFileFilter = "PHYLIP Distance Files (*.DIST)";

inline constexpr std::size_t phylipNameWidth = 10; // bytes of a name in strict PHYLIP

// Whether a layout may hold a matrix of that kind (PHYLIP holds distances only).
constexpr bool layoutFitsKind(MatrixLayout layout, MatrixKind kind)
{
    return layout != MatrixLayout::Phylip || !isRType(kind);
}

} // namespace tavrik
