#pragma once
// Complex numbers of all lanes of a batch (lanes::Vec of real and of imaginary parts),
// operated on with exactly the IEEE operations that g++ emits for std::complex<double>, so
// that each lane's bits equal those of the scalar complex code it replaces:
//   product   (a + ib)(c + id) = (ac - bd) + i(ad + bc), the inline formula; the compiler calls
//             its library only when both parts come out NaN, to recover infinities;
//   quotient  the library's Smith division with its scaling of tiny and huge operands
//             (libgcc's __divdc3 of g++ 12, read off its machine code): the larger part of the
//             divisor divides the smaller, operands near the ends of the range are scaled by
//             exact powers of two first, and a subnormal ratio takes the alternative order.
// Where a result is NaN in both parts the library would try to recover infinities: these
// helpers leave the NaN, and callers redo such a lane with the scalar code (a NaN reaches
// the solution of every system whose factors or substitution meet one).
// Helpers are always inlined (see lane_vec.hpp).
#include <cfloat>
#include <cstring>

#include "linalg/lane_vec.hpp"

namespace tidal::lanes {

using Mask = long __attribute__((vector_size(sizeof(long) * kWidth)));
static_assert(sizeof(Mask) == sizeof(Vec) && kWidth == 8);

struct CVec {
    Vec re, im;
};

[[gnu::always_inline]] inline CVec load_c(const double* p) {
    return {load(p), load(p + kWidth)};
}
[[gnu::always_inline]] inline void store_c(double* p, CVec v) {
    store(p, v.re);
    store(p + kWidth, v.im);
}

[[gnu::always_inline]] inline Vec splat(double x) {
    Vec v;
    for (int i = 0; i < kWidth; ++i)
        v[i] = x;
    return v;
}

// |x| by clearing the sign bit, as fabs does.
[[gnu::always_inline]] inline Vec abs(Vec x) {
    Mask m;
    std::memcpy(&m, &x, sizeof m);
    m &= 0x7fffffffffffffffL;
    std::memcpy(&x, &m, sizeof x);
    return x;
}

// Whether some lane of a comparison's result is set (halving reductions, no lane by lane
// extraction).
[[gnu::always_inline]] inline bool any(Mask m) {
    m |= __builtin_shufflevector(m, m, 4, 5, 6, 7, 0, 1, 2, 3);
    m |= __builtin_shufflevector(m, m, 2, 3, 0, 1, 6, 7, 4, 5);
    m |= __builtin_shufflevector(m, m, 1, 0, 3, 2, 5, 4, 7, 6);
    return m[0] != 0;
}

// Comparisons lane by lane, half a vector at a time: the compiler splits a comparison of
// vectors wider than its registers into one per lane, but compares halves of AVX2 width
// whole. The same IEEE comparisons (false for NaN, except not-equal), the same masks.
using Half = double __attribute__((vector_size(sizeof(double) * kWidth / 2)));
using HalfMask = long __attribute__((vector_size(sizeof(long) * kWidth / 2)));
template <class Compare>
[[gnu::always_inline]] inline Mask compare(Vec a, Vec b, Compare op) {
    const Half a0 = __builtin_shufflevector(a, a, 0, 1, 2, 3);
    const Half a1 = __builtin_shufflevector(a, a, 4, 5, 6, 7);
    const Half b0 = __builtin_shufflevector(b, b, 0, 1, 2, 3);
    const Half b1 = __builtin_shufflevector(b, b, 4, 5, 6, 7);
    const HalfMask m0 = op(a0, b0), m1 = op(a1, b1);
    return __builtin_shufflevector(m0, m1, 0, 1, 2, 3, 4, 5, 6, 7);
}
[[gnu::always_inline]] inline Mask lt(Vec a, Vec b) {
    return compare(a, b, [](Half x, Half y) { return x < y; });
}
[[gnu::always_inline]] inline Mask le(Vec a, Vec b) {
    return compare(a, b, [](Half x, Half y) { return x <= y; });
}
[[gnu::always_inline]] inline Mask gt(Vec a, Vec b) {
    return compare(a, b, [](Half x, Half y) { return x > y; });
}
[[gnu::always_inline]] inline Mask ge(Vec a, Vec b) {
    return compare(a, b, [](Half x, Half y) { return x >= y; });
}
[[gnu::always_inline]] inline Mask eq(Vec a, Vec b) {
    return compare(a, b, [](Half x, Half y) { return x == y; });
}
[[gnu::always_inline]] inline Mask ne(Vec a, Vec b) {
    return compare(a, b, [](Half x, Half y) { return x != y; });
}

// m ? a : b lane by lane, for a comparison's mask m (every bit of a lane set or clear), by
// the bits: the compiler splits a conditional expression on vectors wider than its registers
// into a branch per lane, and a select has no arithmetic, so the values are those the
// conditional would give.
[[gnu::always_inline]] inline Vec select(Mask m, Vec a, Vec b) {
    Mask x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    x = (x & m) | (y & ~m);
    Vec out;
    std::memcpy(&out, &x, sizeof out);
    return out;
}

[[gnu::always_inline]] inline CVec sub(CVec x, CVec y) {
    return {x.re - y.re, x.im - y.im};
}

[[gnu::always_inline]] inline CVec mul(CVec x, CVec y) {
    return {x.re * y.re - x.im * y.im, x.re * y.im + x.im * y.re};
}

// x / y as __divdc3 computes it (the constants are its RBIG, RMIN, RMIN2, RMINSCAL, RMAX2).
[[gnu::always_inline]] inline CVec div(CVec x, CVec y) {
    constexpr double kBig = DBL_MAX / 2.0, kMin = DBL_MIN, kMin2 = DBL_EPSILON;
    constexpr double kMinScale = 1.0 / DBL_EPSILON, kMax2 = kBig * kMin2;
    Vec a = x.re, b = x.im, c = y.re, d = y.im;
    // By the larger part of the divisor: d when |c| < |d| (false for NaN parts), else c.
    const Mask by_d = lt(abs(c), abs(d));
    Vec big = select(by_d, abs(d), abs(c));
    // Multiplying by 1 changes nothing: the scalings are applied to every lane, branch-free.
    const Vec halve = select(ge(big, splat(kBig)), splat(0.5), splat(1.0));
    a *= halve;
    b *= halve;
    c *= halve;
    d *= halve;
    big *= halve;
    const Vec aa = abs(a), ab = abs(b);
    const Mask scale_up = lt(big, splat(kMin2)) |
                          (lt(aa, splat(kMin)) & lt(ab, splat(kMax2)) & lt(big, splat(kMax2))) |
                          (lt(ab, splat(kMin)) & lt(aa, splat(kMax2)) & lt(big, splat(kMax2)));
    const Vec up = select(scale_up, splat(kMinScale), splat(1.0));
    a *= up;
    b *= up;
    c *= up;
    d *= up;
    // p the smaller part of the divisor, q the larger; u, v the numerator's parts in the
    // library's roles (x = (u ratio + v) / denom).
    const Vec p = select(by_d, c, d), q = select(by_d, d, c);
    const Vec u = select(by_d, a, b), v = select(by_d, b, a);
    const Vec ratio = p / q;
    const Vec denom = p * ratio + q;
    Vec xn = u * ratio + v, t = v * ratio;
    const Mask subnormal = ~gt(abs(ratio), splat(kMin)); // also a NaN ratio
    if (any(subnormal)) {
        xn = select(subnormal, p * (u / q) + v, xn);
        t = select(subnormal, p * (v / q), t);
    }
    return {xn / denom, select(by_d, t - u, u - t) / denom};
}

} // namespace tidal::lanes
