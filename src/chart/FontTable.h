// The charts' font as numbers, for laying out and writing charts without a font engine: the
// advance widths, pair kerning and vertical metrics of the regular and bold faces (generated
// into FontTableData.cpp by tools/font_table.py), and a TextMeasure that sums them the way the
// desktop's font engine measures the same texts.
#pragma once

#include "chart/ChartLayout.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tavrik {

// Design units throughout; a face's size in points scales them by size / unitsPerEm.
struct GlyphAdvance
{
    char32_t codePoint = 0;
    std::uint16_t advance = 0;
};

struct KernPair
{
    char32_t first = 0;
    char32_t second = 0;
    std::int16_t adjustment = 0; // added to the first glyph's advance
};

struct FontFace
{
    int unitsPerEm = 0;
    int ascender = 0;       // above the baseline
    int descender = 0;      // below it, positive
    int missingAdvance = 0; // of a character the face lacks, unless East Asian (a full em)
    std::span<const GlyphAdvance> advances; // ascending code points
    std::span<const KernPair> kerning;      // ascending first, then second
};

extern const FontFace sansRegular;
extern const FontFace sansBold;

// The family names an SVG file gives for the face: the one the desktop asks for first.
inline constexpr std::string_view chartFontFamily = "Arial";

// The code point at pos in utf8, pos moved past it; a byte that starts no well-formed sequence
// is U+FFFD and moves pos by one.
char32_t nextCodePoint(std::string_view utf8, std::size_t& pos);

// Metrics in points at size points, in the font engine's steps of 1/64 point: a glyph's
// advance rounded down, a kerning adjustment, the ascent and the descent to the nearest step.
double textAdvance(const FontFace& face, std::string_view utf8, double size);
double fontAscent(const FontFace& face, double size);
double fontDescent(const FontFace& face, double size);

// The face a role's text is set in: the title in bold, the rest regular.
const FontFace& chartFace(ChartFont role);

// Sizes of texts in the chart's fonts at the style's sizes: the advance, and the ascent plus
// the descent as the height.
TextMeasure fontTableMeasure(const ChartStyle& style = {});

} // namespace tavrik
