#include "report/TextColumns.h"

#include "report/NumberFormat.h"

#include <cmath>

namespace tavrik {

std::string fixedText(double value)
{
    return std::isfinite(value) ? formatNumber(value, "0.000000") : "NA";
}

std::string padRight(std::string text, std::size_t width)
{
    if (text.size() < width) {
        text.resize(width, ' ');
    } else {
        text += ' ';
    }
    return text;
}

std::string padLeft(const std::string& text, std::size_t width)
{
    return text.size() < width ? std::string(width - text.size(), ' ') + text : " " + text;
}

} // namespace tavrik
