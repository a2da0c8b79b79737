// Ported from musl's libm (src/math: exp.c, exp_data.c, log.c, log_data.c, erf.c, sin.c,
// cos.c, __sin.c, __cos.c, __rem_pio2.c, asin.c), keeping its arithmetic in its order and
// only the paths that need no fused multiply-add; floating-point exception flags are not
// raised. Arguments beyond the reach of the cheap reduction of sine and cosine give NaN.
//
// musl: Copyright (c) 2005-2020 Rich Felker, et al. MIT license:
//   Permission is hereby granted, free of charge, to any person obtaining a copy of this
//   software and associated documentation files (the "Software"), to deal in the Software
//   without restriction, including without limitation the rights to use, copy, modify, merge,
//   publish, distribute, sublicense, and/or sell copies of the Software, and to permit persons
//   to whom the Software is furnished to do so, subject to the following conditions:
//   The above copyright notice and this permission notice shall be included in all copies or
//   substantial portions of the Software.
//   THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED,
//   INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR
//   PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE
//   FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR
//   OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER
//   DEALINGS IN THE SOFTWARE.
// exp and log (and their tables): Copyright (c) 2018, Arm Limited. SPDX-License-Identifier: MIT
// erfc, sin, cos and asin come from FreeBSD's msun:
//   Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//   Developed at SunPro, a Sun Microsystems, Inc. business. Permission to use, copy, modify,
//   and distribute this software is freely granted, provided that this notice is preserved.
//   The reduction of sine and cosine arguments was optimized by Bruce D. Evans.

#include "state/PortableMath.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tavrik::portable {
namespace {

static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == sizeof(std::uint64_t));

std::uint64_t bitsOf(double x)
{
    std::uint64_t u = 0;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

double fromBits(std::uint64_t u)
{
    double x = 0.0;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// the sign and exponent bits, as most of the functions branch on them
std::uint32_t highWord(double x)
{
    return static_cast<std::uint32_t>(bitsOf(x) >> 32);
}

double withLowWordCleared(double x)
{
    return fromBits(bitsOf(x) & 0xffffffff00000000ULL);
}

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

// ---- exp: x = k ln2/N + r, e^x = 2^(k/N) e^r, 2^(k/N) from a table of N entries

constexpr int expTableBits = 7;
constexpr std::uint64_t expN = 1U << expTableBits;
constexpr double invLn2N = 0x1.71547652b82fep0 * expN;
constexpr double negLn2hiN = -0x1.62e42fefa0000p-8;
constexpr double negLn2loN = -0x1.cf79abc9e3b3ap-47;
constexpr double roundShift = 0x1.8p52;
constexpr double expC2 = 0x1.ffffffffffdbdp-2;
constexpr double expC3 = 0x1.555555555543cp-3;
constexpr double expC4 = 0x1.55555cf172b91p-5;
constexpr double expC5 = 0x1.1111167a4d017p-7;

// 2^(k/N) ~= H[k] (1 + T[k]) for k in [0, N): [2k] = bits of T[k], [2k+1] = bits of H[k] - (k <<
// 52)/N
constexpr std::array<std::uint64_t, 2 * expN> expTable{
    0x0000000000000000, 0x3ff0000000000000, 0x3c9b3b4f1a88bf6e, 0x3feff63da9fb3335,
    0xbc7160139cd8dc5d, 0x3fefec9a3e778061, 0xbc905e7a108766d1, 0x3fefe315e86e7f85,
    0x3c8cd2523567f613, 0x3fefd9b0d3158574, 0xbc8bce8023f98efa, 0x3fefd06b29ddf6de,
    0x3c60f74e61e6c861, 0x3fefc74518759bc8, 0x3c90a3e45b33d399, 0x3fefbe3ecac6f383,
    0x3c979aa65d837b6d, 0x3fefb5586cf9890f, 0x3c8eb51a92fdeffc, 0x3fefac922b7247f7,
    0x3c3ebe3d702f9cd1, 0x3fefa3ec32d3d1a2, 0xbc6a033489906e0b, 0x3fef9b66affed31b,
    0xbc9556522a2fbd0e, 0x3fef9301d0125b51, 0xbc5080ef8c4eea55, 0x3fef8abdc06c31cc,
    0xbc91c923b9d5f416, 0x3fef829aaea92de0, 0x3c80d3e3e95c55af, 0x3fef7a98c8a58e51,
    0xbc801b15eaa59348, 0x3fef72b83c7d517b, 0xbc8f1ff055de323d, 0x3fef6af9388c8dea,
    0x3c8b898c3f1353bf, 0x3fef635beb6fcb75, 0xbc96d99c7611eb26, 0x3fef5be084045cd4,
    0x3c9aecf73e3a2f60, 0x3fef54873168b9aa, 0xbc8fe782cb86389d, 0x3fef4d5022fcd91d,
    0x3c8a6f4144a6c38d, 0x3fef463b88628cd6, 0x3c807a05b0e4047d, 0x3fef3f49917ddc96,
    0x3c968efde3a8a894, 0x3fef387a6e756238, 0x3c875e18f274487d, 0x3fef31ce4fb2a63f,
    0x3c80472b981fe7f2, 0x3fef2b4565e27cdd, 0xbc96b87b3f71085e, 0x3fef24dfe1f56381,
    0x3c82f7e16d09ab31, 0x3fef1e9df51fdee1, 0xbc3d219b1a6fbffa, 0x3fef187fd0dad990,
    0x3c8b3782720c0ab4, 0x3fef1285a6e4030b, 0x3c6e149289cecb8f, 0x3fef0cafa93e2f56,
    0x3c834d754db0abb6, 0x3fef06fe0a31b715, 0x3c864201e2ac744c, 0x3fef0170fc4cd831,
    0x3c8fdd395dd3f84a, 0x3feefc08b26416ff, 0xbc86a3803b8e5b04, 0x3feef6c55f929ff1,
    0xbc924aedcc4b5068, 0x3feef1a7373aa9cb, 0xbc9907f81b512d8e, 0x3feeecae6d05d866,
    0xbc71d1e83e9436d2, 0x3feee7db34e59ff7, 0xbc991919b3ce1b15, 0x3feee32dc313a8e5,
    0x3c859f48a72a4c6d, 0x3feedea64c123422, 0xbc9312607a28698a, 0x3feeda4504ac801c,
    0xbc58a78f4817895b, 0x3feed60a21f72e2a, 0xbc7c2c9b67499a1b, 0x3feed1f5d950a897,
    0x3c4363ed60c2ac11, 0x3feece086061892d, 0x3c9666093b0664ef, 0x3feeca41ed1d0057,
    0x3c6ecce1daa10379, 0x3feec6a2b5c13cd0, 0x3c93ff8e3f0f1230, 0x3feec32af0d7d3de,
    0x3c7690cebb7aafb0, 0x3feebfdad5362a27, 0x3c931dbdeb54e077, 0x3feebcb299fddd0d,
    0xbc8f94340071a38e, 0x3feeb9b2769d2ca7, 0xbc87deccdc93a349, 0x3feeb6daa2cf6642,
    0xbc78dec6bd0f385f, 0x3feeb42b569d4f82, 0xbc861246ec7b5cf6, 0x3feeb1a4ca5d920f,
    0x3c93350518fdd78e, 0x3feeaf4736b527da, 0x3c7b98b72f8a9b05, 0x3feead12d497c7fd,
    0x3c9063e1e21c5409, 0x3feeab07dd485429, 0x3c34c7855019c6ea, 0x3feea9268a5946b7,
    0x3c9432e62b64c035, 0x3feea76f15ad2148, 0xbc8ce44a6199769f, 0x3feea5e1b976dc09,
    0xbc8c33c53bef4da8, 0x3feea47eb03a5585, 0xbc845378892be9ae, 0x3feea34634ccc320,
    0xbc93cedd78565858, 0x3feea23882552225, 0x3c5710aa807e1964, 0x3feea155d44ca973,
    0xbc93b3efbf5e2228, 0x3feea09e667f3bcd, 0xbc6a12ad8734b982, 0x3feea012750bdabf,
    0xbc6367efb86da9ee, 0x3fee9fb23c651a2f, 0xbc80dc3d54e08851, 0x3fee9f7df9519484,
    0xbc781f647e5a3ecf, 0x3fee9f75e8ec5f74, 0xbc86ee4ac08b7db0, 0x3fee9f9a48a58174,
    0xbc8619321e55e68a, 0x3fee9feb564267c9, 0x3c909ccb5e09d4d3, 0x3feea0694fde5d3f,
    0xbc7b32dcb94da51d, 0x3feea11473eb0187, 0x3c94ecfd5467c06b, 0x3feea1ed0130c132,
    0x3c65ebe1abd66c55, 0x3feea2f336cf4e62, 0xbc88a1c52fb3cf42, 0x3feea427543e1a12,
    0xbc9369b6f13b3734, 0x3feea589994cce13, 0xbc805e843a19ff1e, 0x3feea71a4623c7ad,
    0xbc94d450d872576e, 0x3feea8d99b4492ed, 0x3c90ad675b0e8a00, 0x3feeaac7d98a6699,
    0x3c8db72fc1f0eab4, 0x3feeace5422aa0db, 0xbc65b6609cc5e7ff, 0x3feeaf3216b5448c,
    0x3c7bf68359f35f44, 0x3feeb1ae99157736, 0xbc93091fa71e3d83, 0x3feeb45b0b91ffc6,
    0xbc5da9b88b6c1e29, 0x3feeb737b0cdc5e5, 0xbc6c23f97c90b959, 0x3feeba44cbc8520f,
    0xbc92434322f4f9aa, 0x3feebd829fde4e50, 0xbc85ca6cd7668e4b, 0x3feec0f170ca07ba,
    0x3c71affc2b91ce27, 0x3feec49182a3f090, 0x3c6dd235e10a73bb, 0x3feec86319e32323,
    0xbc87c50422622263, 0x3feecc667b5de565, 0x3c8b1c86e3e231d5, 0x3feed09bec4a2d33,
    0xbc91bbd1d3bcbb15, 0x3feed503b23e255d, 0x3c90cc319cee31d2, 0x3feed99e1330b358,
    0x3c8469846e735ab3, 0x3feede6b5579fdbf, 0xbc82dfcd978e9db4, 0x3feee36bbfd3f37a,
    0x3c8c1a7792cb3387, 0x3feee89f995ad3ad, 0xbc907b8f4ad1d9fa, 0x3feeee07298db666,
    0xbc55c3d956dcaeba, 0x3feef3a2b84f15fb, 0xbc90a40e3da6f640, 0x3feef9728de5593a,
    0xbc68d6f438ad9334, 0x3feeff76f2fb5e47, 0xbc91eee26b588a35, 0x3fef05b030a1064a,
    0x3c74ffd70a5fddcd, 0x3fef0c1e904bc1d2, 0xbc91bdfbfa9298ac, 0x3fef12c25bd71e09,
    0x3c736eae30af0cb3, 0x3fef199bdd85529c, 0x3c8ee3325c9ffd94, 0x3fef20ab5fffd07a,
    0x3c84e08fd10959ac, 0x3fef27f12e57d14b, 0x3c63cdaf384e1a67, 0x3fef2f6d9406e7b5,
    0x3c676b2c6c921968, 0x3fef3720dcef9069, 0xbc808a1883ccb5d2, 0x3fef3f0b555dc3fa,
    0xbc8fad5d3ffffa6f, 0x3fef472d4a07897c, 0xbc900dae3875a949, 0x3fef4f87080d89f2,
    0x3c74a385a63d07a7, 0x3fef5818dcfba487, 0xbc82919e2040220f, 0x3fef60e316c98398,
    0x3c8e5a50d5c192ac, 0x3fef69e603db3285, 0x3c843a59ac016b4b, 0x3fef7321f301b460,
    0xbc82d52107b43e1f, 0x3fef7c97337b9b5f, 0xbc892ab93b470dc9, 0x3fef864614f5a129,
    0x3c74b604603a88d3, 0x3fef902ee78b3ff6, 0x3c83c5ec519d7271, 0x3fef9a51fbc74c83,
    0xbc8ff7128fd391f0, 0x3fefa4afa2a490da, 0xbc8dae98e223747d, 0x3fefaf482d8e67f1,
    0x3c8ec3bc41aa2008, 0x3fefba1bee615a27, 0x3c842b94c3a9eb32, 0x3fefc52b376bba97,
    0x3c8a64a931d185ee, 0x3fefd0765b6e4540, 0xbc8e37bae43be3ed, 0x3fefdbfdad9cbe14,
    0x3c77893b4d91cd9d, 0x3fefe7c1819e90d8, 0x3c5305c14160cc89, 0x3feff3c22b8f71f1,
};

std::uint32_t top12(double x)
{
    return static_cast<std::uint32_t>(bitsOf(x) >> 52);
}

// The result scale (1 + tmp) may overflow or underflow: the bits of scale carry an exponent
// that may have wrapped; k < 0 (as a 32-bit number) means underflow is possible.
double expNearTheLimits(double tmp, std::uint64_t sbits, std::uint64_t ki)
{
    if ((ki & 0x80000000U) == 0) {
        // k > 0: the exponent of scale may have overflowed by at most 460
        sbits -= 1009ULL << 52;
        const double scale = fromBits(sbits);
        return 0x1p1009 * (scale + scale * tmp);
    }
    sbits += 1022ULL << 52;
    const double scale = fromBits(sbits);
    double y = scale + scale * tmp;
    if (y < 1.0) {
        // round to the final precision before scaling into the subnormals: no double rounding
        double lo = scale - y + scale * tmp;
        const double hi = 1.0 + y;
        lo = 1.0 - hi + y + lo;
        y = (hi + lo) - 1.0;
        if (y == 0.0) {
            y = 0.0; // never -0
        }
    }
    return 0x1p-1022 * y;
}

// ---- log: x = 2^k z, log(x) = k ln2 + log(c) + log1p(z/c - 1), c from a table of N entries

constexpr int logTableBits = 7;
constexpr std::uint64_t logN = 1U << logTableBits;
constexpr std::uint64_t logOffset = 0x3fe6000000000000ULL;
constexpr double ln2hi = 0x1.62e42fefa3800p-1;
constexpr double ln2lo = 0x1.ef35793c76730p-45;
// log1p(r) - r for |r| < 1/(2N)
constexpr std::array<double, 5> logPoly{-0x1.0000000000001p-1,
                                        0x1.555555551305bp-2,
                                        -0x1.fffffffeb459p-3,
                                        0x1.999b324f10111p-3,
                                        -0x1.55575e506c89fp-3};
// log1p(r) for x close to 1, in -0x1p-4 0x1.09p-4
constexpr std::array<double, 11> logPolyNearOne{-0x1p-1,
                                                0x1.5555555555577p-2,
                                                -0x1.ffffffffffdcbp-3,
                                                0x1.999999995dd0cp-3,
                                                -0x1.55555556745a7p-3,
                                                0x1.24924a344de3p-3,
                                                -0x1.fffffa4423d65p-4,
                                                0x1.c7184282ad6cap-4,
                                                -0x1.999eb43b068ffp-4,
                                                0x1.78182f7afd085p-4,
                                                -0x1.5521375d145cdp-4};

struct LogEntry
{
    double invc;
    double logc;
};

// c near the centre of each subinterval of [0x1.6p-1, 0x1.6p0), chosen so that k ln2hi + logc
// is exact and z - chi - clo has a rounding error below 2^-66
constexpr std::array<LogEntry, logN> logTable{{
    {0x1.734f0c3e0de9fp+0, -0x1.7cc7f79e69000p-2}, {0x1.713786a2ce91fp+0, -0x1.76feec20d0000p-2},
    {0x1.6f26008fab5a0p+0, -0x1.713e31351e000p-2}, {0x1.6d1a61f138c7dp+0, -0x1.6b85b38287800p-2},
    {0x1.6b1490bc5b4d1p+0, -0x1.65d5590807800p-2}, {0x1.69147332f0cbap+0, -0x1.602d076180000p-2},
    {0x1.6719f18224223p+0, -0x1.5a8ca86909000p-2}, {0x1.6524f99a51ed9p+0, -0x1.54f4356035000p-2},
    {0x1.63356aa8f24c4p+0, -0x1.4f637c36b4000p-2}, {0x1.614b36b9ddc14p+0, -0x1.49da7fda85000p-2},
    {0x1.5f66452c65c4cp+0, -0x1.445923989a800p-2}, {0x1.5d867b5912c4fp+0, -0x1.3edf439b0b800p-2},
    {0x1.5babccb5b90dep+0, -0x1.396ce448f7000p-2}, {0x1.59d61f2d91a78p+0, -0x1.3401e17bda000p-2},
    {0x1.5805612465687p+0, -0x1.2e9e2ef468000p-2}, {0x1.56397cee76bd3p+0, -0x1.2941b3830e000p-2},
    {0x1.54725e2a77f93p+0, -0x1.23ec58cda8800p-2}, {0x1.52aff42064583p+0, -0x1.1e9e129279000p-2},
    {0x1.50f22dbb2bddfp+0, -0x1.1956d2b48f800p-2}, {0x1.4f38f4734ded7p+0, -0x1.141679ab9f800p-2},
    {0x1.4d843cfde2840p+0, -0x1.0edd094ef9800p-2}, {0x1.4bd3ec078a3c8p+0, -0x1.09aa518db1000p-2},
    {0x1.4a27fc3e0258ap+0, -0x1.047e65263b800p-2}, {0x1.4880524d48434p+0, -0x1.feb224586f000p-3},
    {0x1.46dce1b192d0bp+0, -0x1.f474a7517b000p-3}, {0x1.453d9d3391854p+0, -0x1.ea4443d103000p-3},
    {0x1.43a2744b4845ap+0, -0x1.e020d44e9b000p-3}, {0x1.420b54115f8fbp+0, -0x1.d60a22977f000p-3},
    {0x1.40782da3ef4b1p+0, -0x1.cc00104959000p-3}, {0x1.3ee8f5d57fe8fp+0, -0x1.c202956891000p-3},
    {0x1.3d5d9a00b4ce9p+0, -0x1.b81178d811000p-3}, {0x1.3bd60c010c12bp+0, -0x1.ae2c9ccd3d000p-3},
    {0x1.3a5242b75dab8p+0, -0x1.a45402e129000p-3}, {0x1.38d22cd9fd002p+0, -0x1.9a877681df000p-3},
    {0x1.3755bc5847a1cp+0, -0x1.90c6d69483000p-3}, {0x1.35dce49ad36e2p+0, -0x1.87120a645c000p-3},
    {0x1.34679984dd440p+0, -0x1.7d68fb4143000p-3}, {0x1.32f5cceffcb24p+0, -0x1.73cb83c627000p-3},
    {0x1.3187775a10d49p+0, -0x1.6a39a9b376000p-3}, {0x1.301c8373e3990p+0, -0x1.60b3154b7a000p-3},
    {0x1.2eb4ebb95f841p+0, -0x1.5737d76243000p-3}, {0x1.2d50a0219a9d1p+0, -0x1.4dc7b8fc23000p-3},
    {0x1.2bef9a8b7fd2ap+0, -0x1.4462c51d20000p-3}, {0x1.2a91c7a0c1babp+0, -0x1.3b08abc830000p-3},
    {0x1.293726014b530p+0, -0x1.31b996b490000p-3}, {0x1.27dfa5757a1f5p+0, -0x1.2875490a44000p-3},
    {0x1.268b39b1d3bbfp+0, -0x1.1f3b9f879a000p-3}, {0x1.2539d838ff5bdp+0, -0x1.160c8252ca000p-3},
    {0x1.23eb7aac9083bp+0, -0x1.0ce7f57f72000p-3}, {0x1.22a012ba940b6p+0, -0x1.03cdc49fea000p-3},
    {0x1.2157996cc4132p+0, -0x1.f57bdbc4b8000p-4}, {0x1.201201dd2fc9bp+0, -0x1.e370896404000p-4},
    {0x1.1ecf4494d480bp+0, -0x1.d17983ef94000p-4}, {0x1.1d8f5528f6569p+0, -0x1.bf9674ed8a000p-4},
    {0x1.1c52311577e7cp+0, -0x1.adc79202f6000p-4}, {0x1.1b17c74cb26e9p+0, -0x1.9c0c3e7288000p-4},
    {0x1.19e010c2c1ab6p+0, -0x1.8a646b372c000p-4}, {0x1.18ab07bb670bdp+0, -0x1.78d01b3ac0000p-4},
    {0x1.1778a25efbcb6p+0, -0x1.674f145380000p-4}, {0x1.1648d354c31dap+0, -0x1.55e0e6d878000p-4},
    {0x1.151b990275fddp+0, -0x1.4485cdea1e000p-4}, {0x1.13f0ea432d24cp+0, -0x1.333d94d6aa000p-4},
    {0x1.12c8b7210f9dap+0, -0x1.22079f8c56000p-4}, {0x1.11a3028ecb531p+0, -0x1.10e4698622000p-4},
    {0x1.107fbda8434afp+0, -0x1.ffa6c6ad20000p-5}, {0x1.0f5ee0f4e6bb3p+0, -0x1.dda8d4a774000p-5},
    {0x1.0e4065d2a9fcep+0, -0x1.bbcece4850000p-5}, {0x1.0d244632ca521p+0, -0x1.9a1894012c000p-5},
    {0x1.0c0a77ce2981ap+0, -0x1.788583302c000p-5}, {0x1.0af2f83c636d1p+0, -0x1.5715e67d68000p-5},
    {0x1.09ddb98a01339p+0, -0x1.35c8a49658000p-5}, {0x1.08cabaf52e7dfp+0, -0x1.149e364154000p-5},
    {0x1.07b9f2f4e28fbp+0, -0x1.e72c082eb8000p-6}, {0x1.06ab58c358f19p+0, -0x1.a55f152528000p-6},
    {0x1.059eea5ecf92cp+0, -0x1.63d62cf818000p-6}, {0x1.04949cdd12c90p+0, -0x1.228fb8caa0000p-6},
    {0x1.038c6c6f0ada9p+0, -0x1.c317b20f90000p-7}, {0x1.02865137932a9p+0, -0x1.419355daa0000p-7},
    {0x1.0182427ea7348p+0, -0x1.81203c2ec0000p-8}, {0x1.008040614b195p+0, -0x1.0040979240000p-9},
    {0x1.fe01ff726fa1ap-1, 0x1.feff384900000p-9},  {0x1.fa11cc261ea74p-1, 0x1.7dc41353d0000p-7},
    {0x1.f6310b081992ep-1, 0x1.3cea3c4c28000p-6},  {0x1.f25f63ceeadcdp-1, 0x1.b9fc114890000p-6},
    {0x1.ee9c8039113e7p-1, 0x1.1b0d8ce110000p-5},  {0x1.eae8078cbb1abp-1, 0x1.58a5bd001c000p-5},
    {0x1.e741aa29d0c9bp-1, 0x1.95c8340d88000p-5},  {0x1.e3a91830a99b5p-1, 0x1.d276aef578000p-5},
    {0x1.e01e009609a56p-1, 0x1.07598e598c000p-4},  {0x1.dca01e577bb98p-1, 0x1.253f5e30d2000p-4},
    {0x1.d92f20b7c9103p-1, 0x1.42edd8b380000p-4},  {0x1.d5cac66fb5ccep-1, 0x1.606598757c000p-4},
    {0x1.d272caa5ede9dp-1, 0x1.7da76356a0000p-4},  {0x1.cf26e3e6b2ccdp-1, 0x1.9ab434e1c6000p-4},
    {0x1.cbe6da2a77902p-1, 0x1.b78c7bb0d6000p-4},  {0x1.c8b266d37086dp-1, 0x1.d431332e72000p-4},
    {0x1.c5894bd5d5804p-1, 0x1.f0a3171de6000p-4},  {0x1.c26b533bb9f8cp-1, 0x1.067152b914000p-3},
    {0x1.bf583eeece73fp-1, 0x1.147858292b000p-3},  {0x1.bc4fd75db96c1p-1, 0x1.2266ecdca3000p-3},
    {0x1.b951e0c864a28p-1, 0x1.303d7a6c55000p-3},  {0x1.b65e2c5ef3e2cp-1, 0x1.3dfc33c331000p-3},
    {0x1.b374867c9888bp-1, 0x1.4ba366b7a8000p-3},  {0x1.b094b211d304ap-1, 0x1.5933928d1f000p-3},
    {0x1.adbe885f2ef7ep-1, 0x1.66acd2418f000p-3},  {0x1.aaf1d31603da2p-1, 0x1.740f8ec669000p-3},
    {0x1.a82e63fd358a7p-1, 0x1.815c0f51af000p-3},  {0x1.a5740ef09738bp-1, 0x1.8e92954f68000p-3},
    {0x1.a2c2a90ab4b27p-1, 0x1.9bb3602f84000p-3},  {0x1.a01a01393f2d1p-1, 0x1.a8bed1c2c0000p-3},
    {0x1.9d79f24db3c1bp-1, 0x1.b5b515c01d000p-3},  {0x1.9ae2505c7b190p-1, 0x1.c2967ccbcc000p-3},
    {0x1.9852ef297ce2fp-1, 0x1.cf635d5486000p-3},  {0x1.95cbaeea44b75p-1, 0x1.dc1bd3446c000p-3},
    {0x1.934c69de74838p-1, 0x1.e8c01b8cfe000p-3},  {0x1.90d4f2f6752e6p-1, 0x1.f5509c0179000p-3},
    {0x1.8e6528effd79dp-1, 0x1.00e6c121fb800p-2},  {0x1.8bfce9fcc007cp-1, 0x1.071b80e93d000p-2},
    {0x1.899c0dabec30ep-1, 0x1.0d46b9e867000p-2},  {0x1.87427aa2317fbp-1, 0x1.13687334bd000p-2},
    {0x1.84f00acb39a08p-1, 0x1.1980d67234800p-2},  {0x1.82a49e8653e55p-1, 0x1.1f8ffe0cc8000p-2},
    {0x1.8060195f40260p-1, 0x1.2595fd7636800p-2},  {0x1.7e22563e0a329p-1, 0x1.2b9300914a800p-2},
    {0x1.7beb377dcb5adp-1, 0x1.3187210436000p-2},  {0x1.79baa679725c2p-1, 0x1.377266dec1800p-2},
    {0x1.77907f2170657p-1, 0x1.3d54ffbaf3000p-2},  {0x1.756cadbd6130cp-1, 0x1.432eee32fe000p-2},
}};

struct LogCentre
{
    double chi;
    double clo;
};

constexpr std::array<LogCentre, logN> logCentres{{
    {0x1.61000014fb66bp-1, 0x1.e026c91425b3cp-56},  {0x1.63000034db495p-1, 0x1.dbfea48005d41p-55},
    {0x1.650000d94d478p-1, 0x1.e7fa786d6a5b7p-55},  {0x1.67000074e6fadp-1, 0x1.1fcea6b54254cp-57},
    {0x1.68ffffedf0faep-1, -0x1.c7e274c590efdp-56}, {0x1.6b0000763c5bcp-1, -0x1.ac16848dcda01p-55},
    {0x1.6d0001e5cc1f6p-1, 0x1.33f1c9d499311p-55},  {0x1.6efffeb05f63ep-1, -0x1.e80041ae22d53p-56},
    {0x1.710000e86978p-1, 0x1.bff6671097952p-56},   {0x1.72ffffc67e912p-1, 0x1.c00e226bd8724p-55},
    {0x1.74fffdf81116ap-1, -0x1.e02916ef101d2p-57}, {0x1.770000f679c9p-1, -0x1.7fc71cd549c74p-57},
    {0x1.78ffffa7ec835p-1, 0x1.1bec19ef50483p-55},  {0x1.7affffe20c2e6p-1, -0x1.07e1729cc6465p-56},
    {0x1.7cfffed3fc9p-1, -0x1.08072087b8b1cp-55},   {0x1.7efffe9261a76p-1, 0x1.dc0286d9df9aep-55},
    {0x1.81000049ca3e8p-1, 0x1.97fd251e54c33p-55},  {0x1.8300017932c8fp-1, -0x1.afee9b630f381p-55},
    {0x1.850000633739cp-1, 0x1.9bfbf6b6535bcp-55},  {0x1.87000204289c6p-1, -0x1.bbf65f3117b75p-55},
    {0x1.88fffebf57904p-1, -0x1.9006ea23dcb57p-55}, {0x1.8b00022bc04dfp-1, -0x1.d00df38e04b0ap-56},
    {0x1.8cfffe50c1b8ap-1, -0x1.8007146ff9f05p-55}, {0x1.8effffc918e43p-1, 0x1.3817bd07a7038p-55},
    {0x1.910001efa5fc7p-1, 0x1.93e9176dfb403p-55},  {0x1.9300013467bb9p-1, 0x1.f804e4b980276p-56},
    {0x1.94fffe6ee076fp-1, -0x1.f7ef0d9ff622ep-55}, {0x1.96fffde3c12d1p-1, -0x1.082aa962638bap-56},
    {0x1.98ffff4458a0dp-1, -0x1.7801b9164a8efp-55}, {0x1.9afffdd982e3ep-1, -0x1.740e08a5a9337p-55},
    {0x1.9cfffed49fb66p-1, 0x1.fce08c19bep-60},     {0x1.9f00020f19c51p-1, -0x1.a3faa27885b0ap-55},
    {0x1.a10001145b006p-1, 0x1.4ff489958da56p-56},  {0x1.a300007bbf6fap-1, 0x1.cbeab8a2b6d18p-55},
    {0x1.a500010971d79p-1, 0x1.8fecadd78793p-55},   {0x1.a70001df52e48p-1, -0x1.f41763dd8abdbp-55},
    {0x1.a90001c593352p-1, -0x1.ebf0284c27612p-55}, {0x1.ab0002a4f3e4bp-1, -0x1.9fd043cff3f5fp-57},
    {0x1.acfffd7ae1ed1p-1, -0x1.23ee7129070b4p-55}, {0x1.aefffee510478p-1, 0x1.a063ee00edea3p-57},
    {0x1.b0fffdb650d5bp-1, 0x1.a06c8381f0ab9p-58},  {0x1.b2ffffeaaca57p-1, -0x1.9011e74233c1dp-56},
    {0x1.b4fffd995badcp-1, -0x1.9ff1068862a9fp-56}, {0x1.b7000249e659cp-1, 0x1.aff45d0864f3ep-55},
    {0x1.b8ffff987164p-1, 0x1.cfe7796c2c3f9p-56},   {0x1.bafffd204cb4fp-1, -0x1.3ff27eef22bc4p-57},
    {0x1.bcfffd2415c45p-1, -0x1.cffb7ee3bea21p-57}, {0x1.beffff86309dfp-1, -0x1.14103972e0b5cp-55},
    {0x1.c0fffe1b57653p-1, 0x1.bc16494b76a19p-55},  {0x1.c2ffff1fa57e3p-1, -0x1.4feef8d30c6edp-57},
    {0x1.c4fffdcbfe424p-1, -0x1.43f68bcec4775p-55}, {0x1.c6fffed54b9f7p-1, 0x1.47ea3f053e0ecp-55},
    {0x1.c8fffeb998fd5p-1, 0x1.383068df992f1p-56},  {0x1.cb0002125219ap-1, -0x1.8fd8e64180e04p-57},
    {0x1.ccfffdd94469cp-1, 0x1.e7ebe1cc7ea72p-55},  {0x1.cefffeafdc476p-1, 0x1.ebe39ad9f88fep-55},
    {0x1.d1000169af82bp-1, 0x1.57d91a8b95a71p-56},  {0x1.d30000d0ff71dp-1, 0x1.9c1906970c7dap-55},
    {0x1.d4fffea790fc4p-1, -0x1.80e37c558fe0cp-58}, {0x1.d70002edc87e5p-1, -0x1.f80d64dc10f44p-56},
    {0x1.d900021dc82aap-1, -0x1.47c8f94fd5c5cp-56}, {0x1.dafffd86b0283p-1, 0x1.c7f1dc521617ep-55},
    {0x1.dd000296c4739p-1, 0x1.8019eb2ffb153p-55},  {0x1.defffe54490f5p-1, 0x1.e00d2c652cc89p-57},
    {0x1.e0fffcdabf694p-1, -0x1.f8340202d69d2p-56}, {0x1.e2fffdb52c8ddp-1, 0x1.b00c1ca1b0864p-56},
    {0x1.e4ffff24216efp-1, 0x1.2ffa8b094ab51p-56},  {0x1.e6fffe88a5e11p-1, -0x1.7f673b1efbe59p-58},
    {0x1.e9000119eff0dp-1, -0x1.4808d5e0bc801p-55}, {0x1.eafffdfa51744p-1, 0x1.80006d54320b5p-56},
    {0x1.ed0001a127fa1p-1, -0x1.002f860565c92p-58}, {0x1.ef00007babcc4p-1, -0x1.540445d35e611p-55},
    {0x1.f0ffff57a8d02p-1, -0x1.ffb3139ef9105p-59}, {0x1.f30001ee58ac7p-1, 0x1.a81acf2731155p-55},
    {0x1.f4ffff5823494p-1, 0x1.a3f41d4d7c743p-55},  {0x1.f6ffffca94c6bp-1, -0x1.202f41c987875p-57},
    {0x1.f8fffe1f9c441p-1, 0x1.77dd1f477e74bp-56},  {0x1.fafffd2e0e37ep-1, -0x1.f01199a7ca331p-57},
    {0x1.fd0001c77e49ep-1, 0x1.181ee4bceacb1p-56},  {0x1.feffff7e0c331p-1, -0x1.e05370170875ap-57},
    {0x1.00ffff465606ep+0, -0x1.a7ead491c0adap-55}, {0x1.02ffff3867a58p+0, -0x1.77f69c3fcb2ep-54},
    {0x1.04ffffdfc0d17p+0, 0x1.7bffe34cb945bp-54},  {0x1.0700003cd4d82p+0, 0x1.20083c0e456cbp-55},
    {0x1.08ffff9f2cbe8p+0, -0x1.dffdfbe37751ap-57}, {0x1.0b000010cda65p+0, -0x1.13f7faee626ebp-54},
    {0x1.0d00001a4d338p+0, 0x1.07dfa79489ff7p-55},  {0x1.0effffadafdfdp+0, -0x1.7040570d66bcp-56},
    {0x1.110000bbafd96p+0, 0x1.e80d4846d0b62p-55},  {0x1.12ffffae5f45dp+0, 0x1.dbffa64fd36efp-54},
    {0x1.150000dd59ad9p+0, 0x1.a0077701250aep-54},  {0x1.170000f21559ap+0, 0x1.dfdf9e2e3deeep-55},
    {0x1.18ffffc275426p+0, 0x1.10030dc3b7273p-54},  {0x1.1b000123d3c59p+0, 0x1.97f7980030188p-54},
    {0x1.1cffff8299eb7p+0, -0x1.5f932ab9f8c67p-57}, {0x1.1effff48ad4p+0, 0x1.37fbf9da75bebp-54},
    {0x1.210000c8b86a4p+0, 0x1.f806b91fd5b22p-54},  {0x1.2300003854303p+0, 0x1.3ffc2eb9fbf33p-54},
    {0x1.24fffffbcf684p+0, 0x1.601e77e2e2e72p-56},  {0x1.26ffff52921d9p+0, 0x1.ffcbb767f0c61p-56},
    {0x1.2900014933a3cp+0, -0x1.202ca3c02412bp-56}, {0x1.2b00014556313p+0, -0x1.2808233f21f02p-54},
    {0x1.2cfffebfe523bp+0, -0x1.8ff7e384fdcf2p-55}, {0x1.2f0000bb8ad96p+0, -0x1.5ff51503041c5p-55},
    {0x1.30ffffb7ae2afp+0, -0x1.10071885e289dp-55}, {0x1.32ffffeac5f7fp+0, -0x1.1ff5d3fb7b715p-54},
    {0x1.350000ca66756p+0, 0x1.57f82228b82bdp-54},  {0x1.3700011fbf721p+0, 0x1.000bac40dd5ccp-55},
    {0x1.38ffff9592fb9p+0, -0x1.43f9d2db2a751p-54}, {0x1.3b00004ddd242p+0, 0x1.57f6b707638e1p-55},
    {0x1.3cffff5b2c957p+0, 0x1.a023a10bf1231p-56},  {0x1.3efffeab0b418p+0, 0x1.87f6d66b152bp-54},
    {0x1.410001532aff4p+0, 0x1.7f8375f198524p-57},  {0x1.4300017478b29p+0, 0x1.301e672dc5143p-55},
    {0x1.44fffe795b463p+0, 0x1.9ff69b8b2895ap-55},  {0x1.46fffe80475ep+0, -0x1.5c0b19bc2f254p-54},
    {0x1.48fffef6fc1e7p+0, 0x1.b4009f23a2a72p-54},  {0x1.4afffe5bea704p+0, -0x1.4ffb7bf0d7d45p-54},
    {0x1.4d000171027dep+0, -0x1.9c06471dc6a3dp-54}, {0x1.4f0000ff03ee2p+0, 0x1.77f890b85531cp-54},
    {0x1.5100012dc4bd1p+0, 0x1.004657166a436p-57},  {0x1.530001605277ap+0, -0x1.6bfcece233209p-54},
    {0x1.54fffecdb704cp+0, -0x1.902720505a1d7p-55}, {0x1.56fffef5f54a9p+0, 0x1.bbfe60ec96412p-54},
    {0x1.5900017e61012p+0, 0x1.87ec581afef9p-55},   {0x1.5b00003c93e92p+0, -0x1.f41080abf0ccp-54},
    {0x1.5d0001d4919bcp+0, -0x1.8812afb254729p-54}, {0x1.5efffe7b87a89p+0, -0x1.47eb780ed6904p-54},
}};

std::uint32_t top16(double x)
{
    return static_cast<std::uint32_t>(bitsOf(x) >> 48);
}

// ---- erfc

constexpr double erx = 8.45062911510467529297e-01;
// erf on [0, 0.84375]
constexpr double pp0 = 1.28379167095512558561e-01;
constexpr double pp1 = -3.25042107247001499370e-01;
constexpr double pp2 = -2.84817495755985104766e-02;
constexpr double pp3 = -5.77027029648944159157e-03;
constexpr double pp4 = -2.37630166566501626084e-05;
constexpr double qq1 = 3.97917223959155352819e-01;
constexpr double qq2 = 6.50222499887672944485e-02;
constexpr double qq3 = 5.08130628187576562776e-03;
constexpr double qq4 = 1.32494738004321644526e-04;
constexpr double qq5 = -3.96022827877536812320e-06;
// erf on [0.84375, 1.25]
constexpr double pa0 = -2.36211856075265944077e-03;
constexpr double pa1 = 4.14856118683748331666e-01;
constexpr double pa2 = -3.72207876035701323847e-01;
constexpr double pa3 = 3.18346619901161753674e-01;
constexpr double pa4 = -1.10894694282396677476e-01;
constexpr double pa5 = 3.54783043256182359371e-02;
constexpr double pa6 = -2.16637559486879084300e-03;
constexpr double qa1 = 1.06420880400844228286e-01;
constexpr double qa2 = 5.40397917702171048937e-01;
constexpr double qa3 = 7.18286544141962662868e-02;
constexpr double qa4 = 1.26171219808761642112e-01;
constexpr double qa5 = 1.36370839120290507362e-02;
constexpr double qa6 = 1.19844998467991074170e-02;
// erfc on [1.25, 1/0.35]
constexpr double ra0 = -9.86494403484714822705e-03;
constexpr double ra1 = -6.93858572707181764372e-01;
constexpr double ra2 = -1.05586262253232909814e+01;
constexpr double ra3 = -6.23753324503260060396e+01;
constexpr double ra4 = -1.62396669462573470355e+02;
constexpr double ra5 = -1.84605092906711035994e+02;
constexpr double ra6 = -8.12874355063065934246e+01;
constexpr double ra7 = -9.81432934416914548592e+00;
constexpr double sa1 = 1.96512716674392571292e+01;
constexpr double sa2 = 1.37657754143519042600e+02;
constexpr double sa3 = 4.34565877475229228821e+02;
constexpr double sa4 = 6.45387271733267880336e+02;
constexpr double sa5 = 4.29008140027567833386e+02;
constexpr double sa6 = 1.08635005541779435134e+02;
constexpr double sa7 = 6.57024977031928170135e+00;
constexpr double sa8 = -6.04244152148580987438e-02;
// erfc on [1/0.35, 28]
constexpr double rb0 = -9.86494292470009928597e-03;
constexpr double rb1 = -7.99283237680523006574e-01;
constexpr double rb2 = -1.77579549177547519889e+01;
constexpr double rb3 = -1.60636384855821916062e+02;
constexpr double rb4 = -6.37566443368389627722e+02;
constexpr double rb5 = -1.02509513161107724954e+03;
constexpr double rb6 = -4.83519191608651397019e+02;
constexpr double sb1 = 3.03380607434824582924e+01;
constexpr double sb2 = 3.25792512996573918826e+02;
constexpr double sb3 = 1.53672958608443695994e+03;
constexpr double sb4 = 3.19985821950859553908e+03;
constexpr double sb5 = 2.55305040643316442583e+03;
constexpr double sb6 = 4.74528541206955367215e+02;
constexpr double sb7 = -2.24409524465858183362e+01;

// erfc(|x|) for 0.84375 <= |x| < 28; ix holds the high word of |x|
double erfcAway(std::uint32_t ix, double x)
{
    if (ix < 0x3ff40000) { // |x| < 1.25
        const double s = (x < 0.0 ? -x : x) - 1;
        const double p = pa0 + s * (pa1 + s * (pa2 + s * (pa3 + s * (pa4 + s * (pa5 + s * pa6)))));
        const double q = 1 + s * (qa1 + s * (qa2 + s * (qa3 + s * (qa4 + s * (qa5 + s * qa6)))));
        return 1 - erx - p / q;
    }
    x = x < 0.0 ? -x : x;
    const double s = 1 / (x * x);
    double r = 0.0;
    double q = 0.0;
    if (ix < 0x4006db6d) { // |x| < 1/0.35
        r = ra0 + s * (ra1 + s * (ra2 + s * (ra3 + s * (ra4 + s * (ra5 + s * (ra6 + s * ra7))))));
        q = 1.0 +
            s * (sa1 +
                 s * (sa2 + s * (sa3 + s * (sa4 + s * (sa5 + s * (sa6 + s * (sa7 + s * sa8)))))));
    } else {
        r = rb0 + s * (rb1 + s * (rb2 + s * (rb3 + s * (rb4 + s * (rb5 + s * rb6)))));
        q = 1.0 + s * (sb1 + s * (sb2 + s * (sb3 + s * (sb4 + s * (sb5 + s * (sb6 + s * sb7))))));
    }
    // -x*x = -z*z + (z-x)(z+x) with z = x to 21 bits: z*z is exact
    const double z = withLowWordCleared(x);
    return exp(-z * z - 0.5625) * exp((z - x) * (z + x) + r / q) / x;
}

// ---- sin and cos: reduce x to y0 + y1 = x - n pi/2 in [-pi/4, pi/4], then the kernels

constexpr double sinS1 = -1.66666666666666324348e-01;
constexpr double sinS2 = 8.33333333332248946124e-03;
constexpr double sinS3 = -1.98412698298579493134e-04;
constexpr double sinS4 = 2.75573137070700676789e-06;
constexpr double sinS5 = -2.50507602534068634195e-08;
constexpr double sinS6 = 1.58969099521155010221e-10;

// sin(x + y) for |x| <= pi/4, y the tail of x
double sinKernel(double x, double y, bool hasTail)
{
    const double z = x * x;
    const double w = z * z;
    const double r = sinS2 + z * (sinS3 + z * sinS4) + z * w * (sinS5 + z * sinS6);
    const double v = z * x;
    if (!hasTail) {
        return x + v * (sinS1 + z * r);
    }
    return x - ((z * (0.5 * y - v * r) - y) - v * sinS1);
}

constexpr double cosC1 = 4.16666666666666019037e-02;
constexpr double cosC2 = -1.38888888888741095749e-03;
constexpr double cosC3 = 2.48015872894767294178e-05;
constexpr double cosC4 = -2.75573143513906633035e-07;
constexpr double cosC5 = 2.08757232129817482790e-09;
constexpr double cosC6 = -1.13596475577881948265e-11;

// cos(x + y) for |x| <= pi/4, y the tail of x
double cosKernel(double x, double y)
{
    const double z = x * x;
    double w = z * z;
    const double r =
        z * (cosC1 + z * (cosC2 + z * cosC3)) + w * w * (cosC4 + z * (cosC5 + z * cosC6));
    const double hz = 0.5 * z;
    w = 1.0 - hz;
    return w + (((1.0 - w) - hz) + (z * r - x * y));
}

constexpr double toInt = 1.5 / std::numeric_limits<double>::epsilon();
constexpr double pio4 = 0x1.921fb54442d18p-1;
constexpr double invPio2 = 6.36619772367581382433e-01; // 53 bits of 2/pi
constexpr double pio2p1 = 1.57079632673412561417e+00;  // the first 33 bits of pi/2
constexpr double pio2p1t = 6.07710050650619224932e-11; // pi/2 - pio2p1
constexpr double pio2p2 = 6.07710050630396597660e-11;  // the next 33 bits
constexpr double pio2p2t = 2.02226624879595063154e-21; // pi/2 - (pio2p1 + pio2p2)
constexpr double pio2p3 = 2.02226624871116645580e-21;  // the next 33 bits
constexpr double pio2p3t = 8.47842766036889956997e-32; // pi/2 - (pio2p1 + pio2p2 + pio2p3)

struct Reduced
{
    int n = 0; // x = n pi/2 + y0 + y1
    double y0 = 0.0;
    double y1 = 0.0;
};

// For pi/4 < |x| < 2^20 pi/2: up to three rounds of subtracting n pi/2 in 33-bit pieces, the
// later ones only when cancellation has eaten the bits of the first (x near a multiple of pi/2).
Reduced reduceByHalfPi(double x)
{
    const int ex = static_cast<int>((highWord(x) & 0x7fffffff) >> 20);
    double fn = x * invPio2 + toInt - toInt; // rint(x / (pi/2))
    Reduced out;
    out.n = static_cast<int>(fn);
    double r = x - fn * pio2p1;
    double w = fn * pio2p1t;
    if (r - w < -pio4) {
        --out.n;
        fn -= 1.0;
        r = x - fn * pio2p1;
        w = fn * pio2p1t;
    } else if (r - w > pio4) {
        ++out.n;
        fn += 1.0;
        r = x - fn * pio2p1;
        w = fn * pio2p1t;
    }
    out.y0 = r - w;
    int ey = static_cast<int>((highWord(out.y0) >> 20) & 0x7ff);
    if (ex - ey > 16) {
        double t = r;
        w = fn * pio2p2;
        r = t - w;
        w = fn * pio2p2t - ((t - r) - w);
        out.y0 = r - w;
        ey = static_cast<int>((highWord(out.y0) >> 20) & 0x7ff);
        if (ex - ey > 49) {
            t = r;
            w = fn * pio2p3;
            r = t - w;
            w = fn * pio2p3t - ((t - r) - w);
            out.y0 = r - w;
        }
    }
    out.y1 = (r - out.y0) - w;
    return out;
}

// the high word of |x| from which sine and cosine need the reduction, and the first beyond it
constexpr std::uint32_t pio4High = 0x3fe921fb;
constexpr std::uint32_t reductionLimitHigh = 0x413921fb; // 2^20 pi/2

// ---- asin

constexpr double pio2hi = 1.57079632679489655800e+00;
constexpr double pio2lo = 6.12323399573676603587e-17;
constexpr double pS0 = 1.66666666666666657415e-01;
constexpr double pS1 = -3.25565818622400915405e-01;
constexpr double pS2 = 2.01212532134862925881e-01;
constexpr double pS3 = -4.00555345006794114027e-02;
constexpr double pS4 = 7.91534994289814532176e-04;
constexpr double pS5 = 3.47933107596021167570e-05;
constexpr double qS1 = -2.40339491173441421878e+00;
constexpr double qS2 = 2.02094576023350569471e+00;
constexpr double qS3 = -6.88283971605453293030e-01;
constexpr double qS4 = 7.70381505559019352791e-02;

// (asin(x) - x) / x^3 as a function of z = x^2, for |x| <= 0.5
double asinRatio(double z)
{
    const double p = z * (pS0 + z * (pS1 + z * (pS2 + z * (pS3 + z * (pS4 + z * pS5)))));
    const double q = 1.0 + z * (qS1 + z * (qS2 + z * (qS3 + z * qS4)));
    return p / q;
}

} // namespace

double exp(double x)
{
    std::uint32_t abstop = top12(x) & 0x7ff;
    if (abstop - top12(0x1p-54) >= top12(512.0) - top12(0x1p-54)) {
        if (abstop - top12(0x1p-54) >= 0x80000000U) {
            return 1.0 + x; // |x| < 2^-54, and 0
        }
        if (abstop >= top12(1024.0)) {
            if (bitsOf(x) == bitsOf(-infinity)) {
                return 0.0;
            }
            if (abstop >= top12(infinity)) {
                return 1.0 + x;
            }
            return (bitsOf(x) >> 63) != 0 ? 0.0 : infinity;
        }
        abstop = 0; // 512 <= |x| < 1024: near the limits, see below
    }
    const double z = invLn2N * x;
    // z - kd is in [-0.5, 0.5]: the shift rounds to the nearest integer in the low bits
    double kd = z + roundShift;
    const std::uint64_t ki = bitsOf(kd);
    kd -= roundShift;
    const double r = x + kd * negLn2hiN + kd * negLn2loN;
    const std::uint64_t idx = 2 * (ki % expN);
    const std::uint64_t top = ki << (52 - expTableBits);
    const double tail = fromBits(expTable[idx]);
    // a valid scale only for -1023 N < k < 1024 N
    const std::uint64_t sbits = expTable[idx + 1] + top;
    const double r2 = r * r;
    const double tmp = tail + r + r2 * (expC2 + r * expC3) + r2 * r2 * (expC4 + r * expC5);
    if (abstop == 0) {
        return expNearTheLimits(tmp, sbits, ki);
    }
    const double scale = fromBits(sbits);
    return scale + scale * tmp;
}

double log(double x)
{
    std::uint64_t ix = bitsOf(x);
    const std::uint32_t top = top16(x);
    const std::uint64_t nearOneLow = bitsOf(1.0 - 0x1p-4);
    const std::uint64_t nearOneHigh = bitsOf(1.0 + 0x1.09p-4);
    if (ix - nearOneLow < nearOneHigh - nearOneLow) {
        if (ix == bitsOf(1.0)) {
            return 0.0;
        }
        const auto& b = logPolyNearOne;
        const double r = x - 1.0;
        const double r2 = r * r;
        const double r3 = r * r2;
        double y =
            r3 *
            (b[1] + r * b[2] + r2 * b[3] +
             r3 * (b[4] + r * b[5] + r2 * b[6] + r3 * (b[7] + r * b[8] + r2 * b[9] + r3 * b[10])));
        // r - r^2/2 in two parts, rhi with its low 27 bits cleared so that rhi*rhi is exact
        double w = r * 0x1p27;
        const double rhi = r + w - w;
        const double rlo = r - rhi;
        w = rhi * rhi * b[0];
        const double hi = r + w;
        double lo = r - hi + w;
        lo += b[0] * rlo * (rhi + r);
        y += lo;
        y += hi;
        return y;
    }
    if (top - 0x0010 >= 0x7ff0 - 0x0010) {
        // subnormal, zero, negative, inf or NaN
        if (ix * 2 == 0) {
            return -infinity;
        }
        if (ix == bitsOf(infinity)) {
            return x;
        }
        if ((top & 0x8000) != 0 || (top & 0x7ff0) == 0x7ff0) {
            return notANumber;
        }
        ix = bitsOf(x * 0x1p52);
        ix -= 52ULL << 52;
    }
    // x = 2^k z with z in [logOffset, 2 logOffset), exact
    const std::uint64_t tmp = ix - logOffset;
    const std::size_t i = static_cast<std::size_t>((tmp >> (52 - logTableBits)) % logN);
    const auto k = static_cast<std::int64_t>(tmp) >> 52; // arithmetic shift
    const std::uint64_t iz = ix - (tmp & 0xfffULL << 52);
    const double invc = logTable[i].invc;
    const double logc = logTable[i].logc;
    const double z = fromBits(iz);
    // r ~= z/c - 1, |r| < 1/(2N), without a fused multiply-add
    const double r = (z - logCentres[i].chi - logCentres[i].clo) * invc;
    const auto kd = static_cast<double>(k);
    // hi + lo = r + log(c) + k ln2
    const double w = kd * ln2hi + logc;
    const double hi = w + r;
    const double lo = w - hi + r + kd * ln2lo;
    // log(x) = lo + (log1p(r) - r) + hi
    const double r2 = r * r;
    const auto& a = logPoly;
    return lo + r2 * a[0] + r * r2 * (a[1] + r * a[2] + r2 * (a[3] + r * a[4])) + hi;
}

double erfc(double x)
{
    std::uint32_t ix = highWord(x);
    const bool negative = (ix >> 31) != 0;
    ix &= 0x7fffffff;
    if (ix >= 0x7ff00000) {
        return (negative ? 2.0 : 0.0) + 1 / x; // NaN stays NaN, erfc(+-inf) = 0, 2
    }
    if (ix < 0x3feb0000) {     // |x| < 0.84375
        if (ix < 0x3c700000) { // |x| < 2^-56
            return 1.0 - x;
        }
        const double z = x * x;
        const double r = pp0 + z * (pp1 + z * (pp2 + z * (pp3 + z * pp4)));
        const double s = 1.0 + z * (qq1 + z * (qq2 + z * (qq3 + z * (qq4 + z * qq5))));
        const double y = r / s;
        if (negative || ix < 0x3fd00000) { // x < 1/4
            return 1.0 - (x + x * y);
        }
        return 0.5 - (x - 0.5 + x * y);
    }
    if (ix < 0x403c0000) { // |x| < 28
        return negative ? 2 - erfcAway(ix, x) : erfcAway(ix, x);
    }
    return negative ? 2 - 0x1p-1022 : 0x1p-1022 * 0x1p-1022;
}

double sin(double x)
{
    const std::uint32_t ix = highWord(x) & 0x7fffffff;
    if (ix <= pio4High) {
        if (ix < 0x3e500000) { // |x| < 2^-26
            return x;
        }
        return sinKernel(x, 0.0, false);
    }
    if (ix >= reductionLimitHigh) {
        return notANumber;
    }
    const Reduced y = reduceByHalfPi(x);
    switch (y.n & 3) {
    case 0:
        return sinKernel(y.y0, y.y1, true);
    case 1:
        return cosKernel(y.y0, y.y1);
    case 2:
        return -sinKernel(y.y0, y.y1, true);
    default:
        return -cosKernel(y.y0, y.y1);
    }
}

double cos(double x)
{
    const std::uint32_t ix = highWord(x) & 0x7fffffff;
    if (ix <= pio4High) {
        if (ix < 0x3e46a09e) { // |x| < 2^-27 sqrt(2)
            return 1.0;
        }
        return cosKernel(x, 0.0);
    }
    if (ix >= reductionLimitHigh) {
        return notANumber;
    }
    const Reduced y = reduceByHalfPi(x);
    switch (y.n & 3) {
    case 0:
        return cosKernel(y.y0, y.y1);
    case 1:
        return -sinKernel(y.y0, y.y1, true);
    case 2:
        return -cosKernel(y.y0, y.y1);
    default:
        return sinKernel(y.y0, y.y1, true);
    }
}

double asin(double x)
{
    const std::uint32_t hx = highWord(x);
    const std::uint32_t ix = hx & 0x7fffffff;
    if (ix >= 0x3ff00000) { // |x| >= 1 or NaN
        const auto lx = static_cast<std::uint32_t>(bitsOf(x));
        if (((ix - 0x3ff00000) | lx) == 0) {
            return x * pio2hi; // +-pi/2
        }
        return notANumber;
    }
    if (ix < 0x3fe00000) {                         // |x| < 0.5
        if (ix < 0x3e500000 && ix >= 0x00100000) { // 2^-1022 <= |x| < 2^-26
            return x;
        }
        return x + x * asinRatio(x * x);
    }
    // 0.5 <= |x| < 1: asin(x) = pi/2 - 2 asin(sqrt((1 - |x|)/2))
    const double z = (1 - (x < 0.0 ? -x : x)) * 0.5;
    const double s = std::sqrt(z);
    const double r = asinRatio(z);
    double y = 0.0;
    if (ix >= 0x3fef3333) { // |x| > 0.975
        y = pio2hi - (2 * (s + s * r) - pio2lo);
    } else {
        // f + c = sqrt(z), f with its low word cleared
        const double f = withLowWordCleared(s);
        const double c = (z - f * f) / (s + f);
        y = 0.5 * pio2hi - (2 * s * r - (pio2lo - 2 * c) - (0.5 * pio2hi - 2 * f));
    }
    return (hx >> 31) != 0 ? -y : y;
}

} // namespace tavrik::portable
