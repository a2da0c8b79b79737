#include "state/PortableMath.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <random>
#include <string>

namespace tavrik {
namespace {

std::uint64_t bitsOf(double x)
{
    std::uint64_t u = 0;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

double fromHex(const char* text)
{
    return std::strtod(text, nullptr);
}

// distance in units in the last place, counting across zero and binade edges
std::int64_t ulpsApart(double a, double b)
{
    const auto ordered = [](double x) {
        const auto i = static_cast<std::int64_t>(bitsOf(x));
        return i < 0 ? std::numeric_limits<std::int64_t>::min() - i : i;
    };
    const std::int64_t d = ordered(a) - ordered(b);
    return d < 0 ? -d : d;
}

struct Sweep
{
    std::string name;
    std::function<double(double)> ours;
    std::function<double(double)> system;
    std::function<double(std::mt19937_64&)> pick;
    std::int64_t allowedUlps;
    // Some systems reduce sine and cosine arguments with a pi of 66 bits (mingw's x87 fsin and
    // fcos): near the zeros of the functions only this absolute bound holds for them.
    double absoluteSlack = 0.0;
};

// Most arguments give the same bits as the system's library; none may be further than its
// allowance. The ranges are those the analyses pass: CDF arguments, probabilities, angles
// within a half turn, the haversine's root in [0, 1].
TEST(PortableMath, AgreesWithTheSystemLibraryOverTheArgumentsTheAnalysesPass)
{
    constexpr double pi = std::numbers::pi;
    const auto uniform = [](double low, double high) {
        return [=](std::mt19937_64& random) {
            return std::uniform_real_distribution<double>(low, high)(random);
        };
    };
    const auto anyPositive = [](std::mt19937_64& random) {
        const std::uint64_t bits = random() >> 2; // subnormals included, below the infinities
        double x = 0.0;
        std::memcpy(&x, &bits, sizeof x);
        return x;
    };
    const Sweep sweeps[] = {
        {"exp", portable::exp, [](double x) { return std::exp(x); }, uniform(-745.0, 709.0), 1},
        {"log", portable::log, [](double x) { return std::log(x); }, uniform(0.0, 1.0), 1},
        {"log near 1", portable::log, [](double x) { return std::log(x); }, uniform(0.9, 1.1), 1},
        {"log anywhere", portable::log, [](double x) { return std::log(x); }, anyPositive, 1},
        {"sin", portable::sin, [](double x) { return std::sin(x); }, uniform(-pi, pi), 1, 0x1p-60},
        {"cos", portable::cos, [](double x) { return std::cos(x); }, uniform(-pi, pi), 1, 0x1p-60},
        {"asin", portable::asin, [](double x) { return std::asin(x); }, uniform(0.0, 1.0), 1},
        // both this erfc and the system's are up to 2.5 ulp from exact near |x| = 1
        {"erfc", portable::erfc, [](double x) { return std::erfc(x); }, uniform(-8.0, 27.0), 6},
    };
    std::mt19937_64 random(20260114);
    for (const Sweep& s : sweeps) {
        int differing = 0;
        int beyond = 0;
        double first = 0.0;
        for (int k = 0; k < 200000; ++k) {
            const double x = s.pick(random);
            const double ours = s.ours(x);
            const double system = s.system(x);
            const std::int64_t apart = ulpsApart(ours, system);
            if (apart > s.allowedUlps && !(std::fabs(ours - system) <= s.absoluteSlack)) {
                first = beyond++ == 0 ? x : first;
            }
            differing += apart != 0 ? 1 : 0;
        }
        EXPECT_EQ(beyond, 0) << s.name << ", first at " << std::hexfloat << first;
        EXPECT_LT(differing, 200000 / 10) << s.name; // a last-bit difference, not a habit
    }
}

TEST(PortableMath, GivesTheExactValuesAtTheSpecialArguments)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(portable::exp(0.0), 1.0);
    EXPECT_EQ(portable::exp(-inf), 0.0);
    EXPECT_EQ(portable::exp(inf), inf);
    EXPECT_EQ(portable::exp(710.0), inf);
    EXPECT_EQ(portable::exp(-746.0), 0.0);
    EXPECT_TRUE(std::isnan(portable::exp(nan)));

    EXPECT_EQ(bitsOf(portable::log(1.0)), bitsOf(0.0));
    EXPECT_EQ(portable::log(0.0), -inf);
    EXPECT_EQ(portable::log(-0.0), -inf);
    EXPECT_EQ(portable::log(inf), inf);
    EXPECT_TRUE(std::isnan(portable::log(-1.0)));
    EXPECT_TRUE(std::isnan(portable::log(nan)));

    EXPECT_EQ(portable::erfc(0.0), 1.0);
    EXPECT_EQ(portable::erfc(inf), 0.0);
    EXPECT_EQ(portable::erfc(-inf), 2.0);
    EXPECT_EQ(portable::erfc(28.0), 0.0);
    EXPECT_EQ(portable::erfc(-28.0), 2.0);
    EXPECT_TRUE(std::isnan(portable::erfc(nan)));

    EXPECT_EQ(bitsOf(portable::sin(0.0)), bitsOf(0.0));
    EXPECT_EQ(bitsOf(portable::sin(-0.0)), bitsOf(-0.0));
    EXPECT_EQ(portable::sin(std::numbers::pi / 2), 1.0);
    EXPECT_EQ(portable::cos(0.0), 1.0);
    EXPECT_EQ(portable::cos(std::numbers::pi), -1.0);
    EXPECT_EQ(portable::asin(0.0), 0.0);
    EXPECT_EQ(portable::asin(1.0), std::numbers::pi / 2);
    EXPECT_EQ(portable::asin(-1.0), -std::numbers::pi / 2);
    EXPECT_TRUE(std::isnan(portable::asin(std::nextafter(1.0, 2.0))));
    // beyond the reduction the program needs, and at infinity: NaN, never a wrong number
    EXPECT_TRUE(std::isnan(portable::sin(1e7)));
    EXPECT_TRUE(std::isnan(portable::cos(-1e7)));
    EXPECT_TRUE(std::isnan(portable::sin(inf)));
}

// Correctly rounded values (worked to 300 bits elsewhere), and values that a build which
// fuses multiply-adds or reorders the arithmetic gets wrong in the last bit: a platform that
// computes differently fails here.
TEST(PortableMath, GivesTheSameBitsOnEveryPlatform)
{
    const struct
    {
        const char* name;
        double (*f)(double);
        double x;
        const char* bits;
    } cases[] = {
        {"exp", portable::exp, 1.0, "0x1.5bf0a8b145769p+1"},
        {"exp", portable::exp, -740.0, "0x0.0000000000055p-1022"},
        {"exp", portable::exp, 709.0, "0x1.d422d2be5dc9bp+1022"},
        {"exp", portable::exp, -34.384, "0x1.507aafe56694ep-50"},
        {"exp", portable::exp, 113.176, "0x1.36803f5296294p+163"},
        {"log", portable::log, 2.0, "0x1.62e42fefa39efp-1"},
        {"log", portable::log, 0.025, "-0x1.d82d33b32720dp+1"},
        {"log", portable::log, 1e-300, "-0x1.5963447f87fb5p+9"},
        {"log", portable::log, 5e-324, "-0x1.74385446d71c3p+9"},
        {"erfc", portable::erfc, 1.0, "0x1.4226162fbddd5p-3"},
        {"erfc", portable::erfc, 0.5, "0x1.eb02147ce245cp-2"},
        {"erfc", portable::erfc, -1.3859038243496777, "0x1.f333333333333p+0"}, // 2 x 0.975
        {"erfc", portable::erfc, 26.0, "0x1.284bfe1cdea24p-981"},
        {"erfc", portable::erfc, 2.4695, "0x1.f5f4143e193f9p-12"},
        {"erfc", portable::erfc, 4.1025, "0x1.c2d1032e399f3p-28"},
        {"sin", portable::sin, std::numbers::pi, "0x1.1a62633145c07p-53"},
        {"sin", portable::sin, 0.6885, "0x1.4550797fddc42p-1"},
        {"sin", portable::sin, -2.4028, "-0x1.58c756b0443e6p-1"},
        {"cos", portable::cos, std::numbers::pi / 2, "0x1.1a62633145c07p-54"},
        {"cos", portable::cos, -1.1024, "0x1.ce4a75e6a4015p-2"},
        {"cos", portable::cos, -1.2623, "0x1.36e9cfa585cdap-2"},
        {"asin", portable::asin, 0.5, "0x1.0c152382d7366p-1"},
        {"asin", portable::asin, 0.376, "0x1.8aba26560ef64p-2"},
        {"asin", portable::asin, 0.504, "0x1.0e73588af8411p-1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bitsOf(c.f(c.x)), bitsOf(fromHex(c.bits)))
            << c.name << "(" << c.x << ") = " << std::hexfloat << c.f(c.x) << ", not " << c.bits;
    }

    // and the bits of 20000 results per function, over the ranges the analyses pass, as one
    // FNV-1a digest: arguments from the standard's fixed mt19937_64 sequence, scaled exactly
    const auto digest = [](double (*f)(double), double low, double high) {
        std::mt19937_64 random(5489);
        std::uint64_t h = 0xcbf29ce484222325ULL;
        for (int k = 0; k < 20000; ++k) {
            const double x = low + (high - low) * (static_cast<double>(random() >> 11) * 0x1p-53);
            h = (h ^ bitsOf(f(x))) * 0x100000001b3ULL;
        }
        return h;
    };
    constexpr double pi = std::numbers::pi;
    EXPECT_EQ(digest(portable::exp, -745.0, 709.0), 0x722ee8edd0cd535eULL) << "exp";
    EXPECT_EQ(digest(portable::log, 0.0, 1.0), 0xa7cd0bf296e68694ULL) << "log";
    EXPECT_EQ(digest(portable::log, 0.9, 1.1), 0x83d1b63e69b97556ULL) << "log near 1";
    EXPECT_EQ(digest(portable::erfc, -8.0, 27.0), 0x56473f57a2db2b87ULL) << "erfc";
    EXPECT_EQ(digest(portable::erfc, -1.5, 1.5), 0x578b811e10ed4c5eULL) << "erfc near 0";
    EXPECT_EQ(digest(portable::sin, -pi, pi), 0x380600cd1fcc7062ULL) << "sin";
    EXPECT_EQ(digest(portable::cos, -pi, pi), 0xb227b40f349ac79dULL) << "cos";
    EXPECT_EQ(digest(portable::asin, 0.0, 1.0), 0xc557d2328769137bULL) << "asin";
}

} // namespace
} // namespace tavrik
