#include "chart/ChartAxes.h"

#include <cmath>

namespace tavrik {

int tickDecimals(double step)
{
    const int magnitude = static_cast<int>(std::floor(std::log10(step) + 1e-9));
    return std::max(0, -magnitude);
}

std::vector<double> tickMultiples(double lo, double hi, double step)
{
    std::vector<double> values;
    for (auto k = static_cast<long>(std::ceil(lo / step - 1e-9));
         static_cast<double>(k) <= hi / step + 1e-9;
         ++k) {
        values.push_back(static_cast<double>(k) * step);
    }
    return values;
}

} // namespace tavrik
