#include "chart/FontTable.h"

#include <algorithm>
#include <cmath>

namespace tavrik {

namespace {

constexpr double stepsPerPoint = 64.0;
constexpr char32_t replacement = 0xFFFD;

double scaled(int units, const FontFace& face, double size)
{
    return units * size * stepsPerPoint / face.unitsPerEm;
}

// East Asian wide characters: another face draws them a full em wide.
bool isWide(char32_t c)
{
    return (c >= 0x1100 && c < 0x1160) || (c >= 0x2E80 && c < 0xA4D0) ||
           (c >= 0xAC00 && c < 0xD7A4) || (c >= 0xF900 && c < 0xFB00) ||
           (c >= 0xFE30 && c < 0xFE50) || (c >= 0xFF00 && c < 0xFF61) ||
           (c >= 0xFFE0 && c < 0xFFE7) || (c >= 0x20000 && c < 0x3FFFE);
}

int advanceOf(const FontFace& face, char32_t c)
{
    if (c >= 0x0300 && c < 0x0370) {
        return 0; // a combining mark sits on the glyph before it
    }
    const auto it = std::lower_bound(
        face.advances.begin(), face.advances.end(), c, [](const GlyphAdvance& g, char32_t code) {
            return g.codePoint < code;
        });
    if (it != face.advances.end() && it->codePoint == c) {
        return it->advance;
    }
    return isWide(c) ? face.unitsPerEm : face.missingAdvance;
}

int kerningOf(const FontFace& face, char32_t first, char32_t second)
{
    const auto it = std::lower_bound(face.kerning.begin(),
                                     face.kerning.end(),
                                     std::pair(first, second),
                                     [](const KernPair& k, const std::pair<char32_t, char32_t>& p) {
                                         return std::pair(k.first, k.second) < p;
                                     });
    return it != face.kerning.end() && it->first == first && it->second == second ? it->adjustment
                                                                                  : 0;
}

} // namespace

char32_t nextCodePoint(std::string_view utf8, std::size_t& pos)
{
    const auto byte = [&utf8](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    const unsigned char lead = byte(pos);
    int length = 0;
    char32_t c = 0;
    char32_t least = 0; // the smallest code point of the sequence's length: no overlong forms
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if (lead >= 0xC2 && lead < 0xE0) {
        length = 2;
        c = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3;
        c = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        length = 4;
        c = lead & 0x07u;
        least = 0x10000;
    } else {
        ++pos;
        return replacement;
    }
    if (utf8.size() - pos < static_cast<std::size_t>(length)) {
        ++pos;
        return replacement;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(pos + static_cast<std::size_t>(k));
        if ((next & 0xC0u) != 0x80u) {
            ++pos;
            return replacement;
        }
        c = (c << 6) | (next & 0x3Fu);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
        ++pos;
        return replacement;
    }
    pos += static_cast<std::size_t>(length);
    return c;
}

double textAdvance(const FontFace& face, std::string_view utf8, double size)
{
    // whole steps summed, so the total is exact whatever the text's length
    double steps = 0.0;
    char32_t previous = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t c = nextCodePoint(utf8, pos);
        if (previous != 0) {
            steps += std::floor(scaled(kerningOf(face, previous, c), face, size) + 0.5);
        }
        steps += std::floor(scaled(advanceOf(face, c), face, size));
        previous = c;
    }
    return steps / stepsPerPoint;
}

double fontAscent(const FontFace& face, double size)
{
    return std::floor(scaled(face.ascender, face, size) + 0.5) / stepsPerPoint;
}

double fontDescent(const FontFace& face, double size)
{
    return std::floor(scaled(face.descender, face, size) + 0.5) / stepsPerPoint;
}

const FontFace& chartFace(ChartFont role)
{
    return role == ChartFont::Title ? sansBold : sansRegular;
}

TextMeasure fontTableMeasure(const ChartStyle& style)
{
    return [style](std::string_view utf8, ChartFont role) {
        const FontFace& face = chartFace(role);
        const double size = style.fontSize(role);
        return ChartSize{textAdvance(face, utf8, size),
                         fontAscent(face, size) + fontDescent(face, size)};
    };
}

} // namespace tavrik
