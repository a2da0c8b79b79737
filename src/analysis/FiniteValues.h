// The check every stage makes before its values go further: a value that is not a finite number
// stops the run with a message naming where it was met.
#pragma once

#include "state/Matrix.h"
#include "state/Result.h"

#include <cmath>
#include <span>
#include <string>

namespace tavrik {

inline bool allFinite(std::span<const double> values)
{
    for (const double v : values) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

inline bool allFinite(const Matrix& m)
{
    return allFinite(m.data());
}

// what: where the value was met ("the scaled R matrix"); field: the error's field.
inline Error notFinite(const std::string& what, const std::string& field)
{
    return Error::analysis(
        "The analysis met a value that is not a finite number in " + what +
            "; the data values may be too large or too close together to analyse.",
        {},
        0,
        field);
}

} // namespace tavrik
