// The fixed-width stand-in font of the chart layout tests: a text is 0.5 x size wide per
// character and 1.2 x size high, so that every size can be worked out by hand.
#pragma once

#include "chart/ChartLayout.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik::test {

inline constexpr double tolerance = 1e-9; // points; the transforms are a few multiplications

inline ChartSize fixedWidth(std::string_view utf8, ChartFont font)
{
    std::size_t characters = 0;
    for (unsigned char c : utf8) {
        characters += (c & 0xC0) != 0x80 ? 1 : 0;
    }
    const double size = ChartStyle{}.fontSize(font);
    return {0.5 * size * static_cast<double>(characters), 1.2 * size};
}

inline std::vector<std::string> tickLabels(const std::vector<ChartTick>& ticks)
{
    std::vector<std::string> labels;
    for (const ChartTick& t : ticks) {
        labels.push_back(t.label);
    }
    return labels;
}

} // namespace tavrik::test
