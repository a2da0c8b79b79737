// The few elementary functions the analyses need, computed from + - * / and sqrt alone in a
// fixed order, so that every platform and every C library gives the same bits (the system's
// libm differs in the last bit between systems, and on one system between CPUs with and
// without fused multiply-add). Each is within about one ulp of the exact value.
#pragma once

namespace tavrik::portable {

// e^x for every x; underflows to 0 below about -745 and overflows to inf above about 709.78.
double exp(double x);
// The natural logarithm: -inf at 0, NaN below 0, inf at inf.
double log(double x);
// The complementary error function, 1 - erf(x), for every x: 2 at -inf, 0 at inf.
double erfc(double x);
// Sine and cosine of an angle in radians. The argument is reduced exactly enough for
// |x| < 2^20 pi/2 (about 1.6e6); beyond that, and at +-inf, the result is NaN.
double sin(double x);
double cos(double x);
// The arcsine in radians, in [-pi/2, pi/2]; NaN outside [-1, 1].
double asin(double x);

} // namespace tavrik::portable
