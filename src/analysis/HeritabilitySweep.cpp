#include "analysis/HeritabilitySweep.h"

#include "io/TextEncoding.h"
#include "state/HeritabilityText.h"
#include "state/NumberText.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace tavrik {

// Indices are 0-based: population i, chosen variable k or l, in file order.

namespace {

// A plain decimal: digits with at most one point and at least one digit. Its value in whole
// units of 10^-decimals goes to units (at most 9 decimals, so nothing overflows).
struct Decimal
{
    std::uint64_t digits = 0; // the digits without the point, as a whole number
    int decimals = 0;
};

bool readDecimal(std::string_view text, Decimal& out)
{
    constexpr int maxDecimals = 9;
    constexpr std::size_t maxDigits = 18;
    bool point = false;
    std::size_t digitCount = 0;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            if (++digitCount > maxDigits) {
                return false;
            }
            out.digits = out.digits * 10 + static_cast<std::uint64_t>(c - '0');
            if (point) {
                ++out.decimals;
            }
        } else {
            return false;
        }
    }
    return digitCount > 0 && out.decimals <= maxDecimals;
}

std::uint64_t powerOfTen(int n)
{
    std::uint64_t p = 1;
    for (int i = 0; i < n; ++i) {
        p *= 10;
    }
    return p;
}

// units / 10^decimals written with exactly that many decimals.
std::string decimalText(std::uint64_t units, int decimals)
{
    std::string digits = std::to_string(units);
    if (decimals == 0) {
        return digits;
    }
    const auto d = static_cast<std::size_t>(decimals);
    if (digits.size() <= d) {
        digits.insert(0, d + 1 - digits.size(), '0');
    }
    digits.insert(digits.size() - d, ".");
    return digits;
}

} // namespace

Result<std::vector<SweepPoint>> heritabilityRange(std::string_view rangeText)
{
    const std::string form = "--heritability-sweep \"" + escapedText(rangeText) + "\": ";
    const std::size_t first = rangeText.find(':');
    const std::size_t second =
        first == std::string_view::npos ? first : rangeText.find(':', first + 1);
    if (second == std::string_view::npos) {
        return Error::usage(form + "expected FROM:TO:STEP, e.g. 0.2:1:0.05");
    }
    Decimal from;
    Decimal to;
    Decimal step;
    const auto notDecimal = [&form](const char* part) {
        return Error::usage(
            form + "FROM, TO and STEP must be plain decimal numbers such as 0.05, with "
                   "at most 9 decimals",
            {},
            0,
            part);
    };
    if (!readDecimal(rangeText.substr(0, first), from)) {
        return notDecimal("FROM");
    }
    if (!readDecimal(rangeText.substr(first + 1, second - first - 1), to)) {
        return notDecimal("TO");
    }
    if (!readDecimal(rangeText.substr(second + 1), step)) {
        return notDecimal("STEP");
    }
    const int decimals = std::max({from.decimals, to.decimals, step.decimals});
    // 18 digits times 10^9 need not fit in 64 bits; what does not fit is far above 1, so it
    // counts as the largest number (a FROM or TO so large is refused, a STEP gives one point).
    const auto inUnits = [decimals](const Decimal& d) {
        const std::uint64_t scale = powerOfTen(decimals - d.decimals);
        return d.digits > UINT64_MAX / scale ? UINT64_MAX : d.digits * scale;
    };
    const std::uint64_t f = inUnits(from);
    const std::uint64_t l = inUnits(to);
    const std::uint64_t s = inUnits(step);
    const std::uint64_t one = powerOfTen(decimals);
    if (f == 0 || f > l || l > one || s == 0) {
        // the field names the first part found wrong
        const char* part = f == 0 ? "FROM" : l > one || f > l ? "TO" : "STEP";
        return Error::usage(form + "expected 0 < FROM <= TO <= 1 and STEP > 0", {}, 0, part);
    }
    const std::uint64_t count = (l - f) / s + 1;
    if (count > maxSweepPoints) {
        return Error::usage(form + "gives " + std::to_string(count) + " heritabilities; at most " +
                                std::to_string(maxSweepPoints) + " are allowed",
                            {},
                            0,
                            "STEP");
    }
    std::vector<SweepPoint> points;
    points.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        SweepPoint p{decimalText(f + i * s, decimals), 0.0f};
        double value = 0.0;
        readNumber(p.text.data(), p.text.data() + p.text.size(), value);
        p.heritability = static_cast<float>(value);
        if (!heritabilityAccepted(p.heritability)) {
            return Error::usage(form + "heritability " + p.text +
                                    " is below the smallest one accepted",
                                {},
                                0,
                                "FROM");
        }
        points.push_back(std::move(p));
    }
    return points;
}

Result<SweepTable> heritabilitySweep(const RunBasis& basis, std::span<const SweepPoint> points)
{
    SweepTable table;
    table.popNames = basis.setup.popNames;
    table.biasCorrection = basis.biasCorrection;
    const std::size_t g = table.popNames.size();
    NullProgress quiet;
    for (const SweepPoint& p : points) {
        auto rel =
            relationshipAt(basis.passes, basis.setup, p.heritability, basis.biasCorrection, quiet);
        if (!rel) {
            Error e = rel.error();
            e.message = "At heritability " + p.text + ": " + e.message;
            e.field = "heritability " + p.text;
            return e;
        }
        SweepRow row;
        row.point = p;
        row.fst = rel->fst;
        row.fstUnbiased = rel->fstUnbiased;
        row.fstSe = rel->fstSe;
        row.rDiagonal.resize(g);
        for (std::size_t i = 0; i < g; ++i) {
            row.rDiagonal[i] = rel->r(i, i);
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

} // namespace tavrik
