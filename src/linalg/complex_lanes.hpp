#pragma once
// Complex numbers of all lanes of a batch (lanes::Split of real and of imaginary parts),
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
// The lanes are held as two halves of four (Split): the compiler keeps a vector wider than
// its registers (lanes::Vec under AVX2) in memory, storing and loading it around every
// operation, while a half of register width stays in a register. Where the processor has
// AVX-512, all eight fit one register (Whole), and code written for either (a template on
// the lanes' type) does each operation in one instruction instead of two. Helpers are always
// inlined (see lane_vec.hpp).
#include <cfloat>
#include <cstring>
#include <type_traits>

#include "linalg/lane_vec.hpp"

namespace tidal::lanes {

// Four lanes: one AVX register (half of one under AVX-512, two SSE2 registers on the
// baseline), and a comparison's mask of them (every bit of a lane set or clear).
using Half = double __attribute__((vector_size(sizeof(double) * kWidth / 2)));
using HalfMask = long __attribute__((vector_size(sizeof(long) * kWidth / 2)));
static_assert(kWidth == 8);

// All lanes, as lanes 0..3 and 4..7.
struct Split {
    Half lo, hi;
    [[gnu::always_inline]] double operator[](int lane) const { return lane < 4 ? lo[lane] : hi[lane - 4]; }
};
struct Mask {
    HalfMask lo, hi;
    [[gnu::always_inline]] long operator[](int lane) const { return lane < 4 ? lo[lane] : hi[lane - 4]; }
};

// All lanes in one vector (a register in code compiled for AVX-512), and a comparison's
// mask of them. The comparisons are made on its two halves and their masks joined: the
// compiler forms a comparison of the whole vector lane by lane, of a half in one instruction.
using WholeBits = long __attribute__((vector_size(sizeof(long) * kWidth)));
struct Whole {
    Vec v;
    [[gnu::always_inline]] double operator[](int lane) const { return v[lane]; }
};
struct WholeMask {
    WholeBits v;
    [[gnu::always_inline]] long operator[](int lane) const { return v[lane]; }
};

// The mask type of a comparison of lanes of type S.
template <class S> struct MaskOfT;
template <> struct MaskOfT<Split> { using type = Mask; };
template <> struct MaskOfT<Whole> { using type = WholeMask; };
template <class S> using MaskOf = typename MaskOfT<S>::type;

// Element by element, one IEEE operation per lane.
[[gnu::always_inline]] inline Split operator+(Split x, Split y) { return {x.lo + y.lo, x.hi + y.hi}; }
[[gnu::always_inline]] inline Split operator-(Split x, Split y) { return {x.lo - y.lo, x.hi - y.hi}; }
[[gnu::always_inline]] inline Split operator*(Split x, Split y) { return {x.lo * y.lo, x.hi * y.hi}; }
[[gnu::always_inline]] inline Split operator/(Split x, Split y) { return {x.lo / y.lo, x.hi / y.hi}; }
[[gnu::always_inline]] inline Split& operator*=(Split& x, Split y) { return x = x * y; }
[[gnu::always_inline]] inline Mask operator&(Mask x, Mask y) { return {x.lo & y.lo, x.hi & y.hi}; }
[[gnu::always_inline]] inline Mask operator|(Mask x, Mask y) { return {x.lo | y.lo, x.hi | y.hi}; }
[[gnu::always_inline]] inline Mask& operator|=(Mask& x, Mask y) { return x = x | y; }
[[gnu::always_inline]] inline Mask operator~(Mask x) { return {~x.lo, ~x.hi}; }

[[gnu::always_inline]] inline Whole operator+(Whole x, Whole y) { return {x.v + y.v}; }
[[gnu::always_inline]] inline Whole operator-(Whole x, Whole y) { return {x.v - y.v}; }
[[gnu::always_inline]] inline Whole operator*(Whole x, Whole y) { return {x.v * y.v}; }
[[gnu::always_inline]] inline Whole operator/(Whole x, Whole y) { return {x.v / y.v}; }
[[gnu::always_inline]] inline Whole& operator*=(Whole& x, Whole y) { return x = x * y; }
[[gnu::always_inline]] inline WholeMask operator&(WholeMask x, WholeMask y) { return {x.v & y.v}; }
[[gnu::always_inline]] inline WholeMask operator|(WholeMask x, WholeMask y) { return {x.v | y.v}; }
[[gnu::always_inline]] inline WholeMask& operator|=(WholeMask& x, WholeMask y) { return x = x | y; }
[[gnu::always_inline]] inline WholeMask operator~(WholeMask x) { return {~x.v}; }

// Loads and stores all lanes from / to kWidth consecutive doubles.
template <class S = Split> [[gnu::always_inline]] inline S load_lanes(const double* p) {
    S v;
    if constexpr (std::is_same_v<S, Split>) {
        __builtin_memcpy(&v.lo, p, sizeof v.lo);
        __builtin_memcpy(&v.hi, p + kWidth / 2, sizeof v.hi);
    } else {
        __builtin_memcpy(&v.v, p, sizeof v.v);
    }
    return v;
}
[[gnu::always_inline]] inline void store_lanes(double* p, Split v) {
    __builtin_memcpy(p, &v.lo, sizeof v.lo);
    __builtin_memcpy(p + kWidth / 2, &v.hi, sizeof v.hi);
}
[[gnu::always_inline]] inline void store_lanes(double* p, Whole v) {
    __builtin_memcpy(p, &v.v, sizeof v.v);
}

// Complex values of all lanes: their real parts and their imaginary parts.
template <class S> struct Complexes {
    S re, im;
};
using CVec = Complexes<Split>;

// The kWidth real parts, then the kWidth imaginary parts, at p.
template <class S = Split> [[gnu::always_inline]] inline Complexes<S> load_c(const double* p) {
    return {load_lanes<S>(p), load_lanes<S>(p + kWidth)};
}
template <class S> [[gnu::always_inline]] inline void store_c(double* p, Complexes<S> v) {
    store_lanes(p, v.re);
    store_lanes(p + kWidth, v.im);
}

// x in every lane (one broadcast: set element by element, the whole vector would be
// assembled by a masked move per lane).
template <class S = Split> [[gnu::always_inline]] inline S splat(double x) {
    static_assert(kWidth == 8);
    if constexpr (std::is_same_v<S, Split>) {
        const Half h = {x, x, x, x};
        return {h, h};
    } else {
        return {Vec{x, x, x, x, x, x, x, x}};
    }
}

// With a double shared by every lane: the double in every lane, then one operation per lane,
// as the plain code's double operation (what templates on the value type write).
[[gnu::always_inline]] inline Split operator*(double a, Split x) { return splat(a) * x; }
[[gnu::always_inline]] inline Split operator/(Split x, double a) { return x / splat(a); }
[[gnu::always_inline]] inline Split operator/(double a, Split x) { return splat(a) / x; }

// |x| by clearing the sign bit, as fabs does; D a vector of doubles, B its integers.
template <class B, class D> [[gnu::always_inline]] inline D cleared_sign(D x) {
    static_assert(sizeof(B) == sizeof(D));
    B m;
    std::memcpy(&m, &x, sizeof m);
    m &= 0x7fffffffffffffffL;
    std::memcpy(&x, &m, sizeof x);
    return x;
}
[[gnu::always_inline]] inline Half abs(Half x) { return cleared_sign<HalfMask>(x); }
[[gnu::always_inline]] inline Split abs(Split x) { return {abs(x.lo), abs(x.hi)}; }
[[gnu::always_inline]] inline Whole abs(Whole x) { return {cleared_sign<WholeBits>(x.v)}; }

// Whether some lane of a comparison's result is set (halving reductions, no lane by lane
// extraction).
[[gnu::always_inline]] inline bool any(Mask mask) {
    HalfMask m = mask.lo | mask.hi;
    m |= __builtin_shufflevector(m, m, 2, 3, 0, 1);
    m |= __builtin_shufflevector(m, m, 1, 0, 3, 2);
    return m[0] != 0;
}
[[gnu::always_inline]] inline bool any(WholeMask mask) {
    return any(Mask{__builtin_shufflevector(mask.v, mask.v, 0, 1, 2, 3),
                    __builtin_shufflevector(mask.v, mask.v, 4, 5, 6, 7)});
}

// Comparisons lane by lane: the same IEEE comparisons (false for NaN, except not-equal).
[[gnu::always_inline]] inline Mask lt(Split a, Split b) { return {a.lo < b.lo, a.hi < b.hi}; }
[[gnu::always_inline]] inline Mask le(Split a, Split b) { return {a.lo <= b.lo, a.hi <= b.hi}; }
[[gnu::always_inline]] inline Mask gt(Split a, Split b) { return {a.lo > b.lo, a.hi > b.hi}; }
[[gnu::always_inline]] inline Mask ge(Split a, Split b) { return {a.lo >= b.lo, a.hi >= b.hi}; }
[[gnu::always_inline]] inline Mask eq(Split a, Split b) { return {a.lo == b.lo, a.hi == b.hi}; }
[[gnu::always_inline]] inline Mask ne(Split a, Split b) { return {a.lo != b.lo, a.hi != b.hi}; }
// The same comparisons of whole vectors, half by half.
[[gnu::always_inline]] inline Half low_half(Vec v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3); }
[[gnu::always_inline]] inline Half high_half(Vec v) { return __builtin_shufflevector(v, v, 4, 5, 6, 7); }
[[gnu::always_inline]] inline WholeMask joined(HalfMask lo, HalfMask hi) {
    return {__builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7)};
}
#define TIDAL_WHOLE_COMPARISON(name, op)                                                          \
    [[gnu::always_inline]] inline WholeMask name(Whole a, Whole b) {                              \
        return joined(low_half(a.v) op low_half(b.v), high_half(a.v) op high_half(b.v));          \
    }
TIDAL_WHOLE_COMPARISON(lt, <)
TIDAL_WHOLE_COMPARISON(le, <=)
TIDAL_WHOLE_COMPARISON(gt, >)
TIDAL_WHOLE_COMPARISON(ge, >=)
TIDAL_WHOLE_COMPARISON(eq, ==)
TIDAL_WHOLE_COMPARISON(ne, !=)
#undef TIDAL_WHOLE_COMPARISON

// m ? a : b lane by lane, for a comparison's mask m, by the bits: a select has no
// arithmetic, so the values are those the conditional would give.
template <class B, class D> [[gnu::always_inline]] inline D selected(B m, D a, D b) {
    static_assert(sizeof(B) == sizeof(D));
    B x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    x = (x & m) | (y & ~m);
    D out;
    std::memcpy(&out, &x, sizeof out);
    return out;
}
[[gnu::always_inline]] inline Half select(HalfMask m, Half a, Half b) { return selected(m, a, b); }
[[gnu::always_inline]] inline Split select(Mask m, Split a, Split b) {
    return {select(m.lo, a.lo, b.lo), select(m.hi, a.hi, b.hi)};
}
[[gnu::always_inline]] inline Whole select(WholeMask m, Whole a, Whole b) {
    return {selected(m.v, a.v, b.v)};
}

template <class S> [[gnu::always_inline]] inline Complexes<S> sub(Complexes<S> x, Complexes<S> y) {
    return {x.re - y.re, x.im - y.im};
}

template <class S> [[gnu::always_inline]] inline Complexes<S> mul(Complexes<S> x, Complexes<S> y) {
    return {x.re * y.re - x.im * y.im, x.re * y.im + x.im * y.re};
}

// A divisor y prepared for the quotients x / y that share it, as __divdc3 computes them (the
// constants are its RBIG, RMIN, RMIN2, RMINSCAL, RMAX2): what the library derives from y alone.
// It divides by the larger part of y (d when |c| < |d|, false for NaN parts, else c), halves
// a huge divisor, and scales every operand up by 2^52 when the divisor, or a part of the
// numerator, is tiny. The ratio p / q of the divisor's parts is the same with or without that
// exact scaling (IEEE division rounds the one real quotient), so it is formed once; the
// denominator p ratio + q is formed both ways, and each quotient takes its lane's.
template <class S> struct DivisorOf {
    using M = MaskOf<S>;
    static constexpr double kBig = DBL_MAX / 2.0, kMin = DBL_MIN, kMin2 = DBL_EPSILON;
    static constexpr double kMinScale = 1.0 / DBL_EPSILON, kMax2 = kBig * kMin2;
    M by_d;           // the divisor's imaginary part is the larger
    M tiny, moderate; // big < RMIN2 (always scaled up), big < RMAX2 (scaled for a tiny numerator part)
    M subnormal;      // !(|ratio| > RMIN): the alternative order
    bool halved, any_subnormal;
    S halve;                        // 0.5 for a huge divisor, else 1
    S ratio;                        // p / q
    S p, q, denom;                  // unscaled: the smaller part, the larger, p ratio + q
    S p_up, q_up, denom_up;         // scaled up by 2^52

    [[gnu::always_inline]] explicit DivisorOf(Complexes<S> y) {
        S c = y.re, d = y.im;
        by_d = lt(abs(c), abs(d));
        S big = select(by_d, abs(d), abs(c));
        // Multiplying by 1 changes nothing: the halving is applied to every lane, branch-free.
        const M huge = ge(big, splat<S>(kBig));
        halved = any(huge);
        halve = select(huge, splat<S>(0.5), splat<S>(1.0));
        c *= halve;
        d *= halve;
        big *= halve;
        tiny = lt(big, splat<S>(kMin2));
        moderate = lt(big, splat<S>(kMax2));
        p = select(by_d, c, d);
        q = select(by_d, d, c);
        ratio = p / q;
        denom = p * ratio + q;
        p_up = p * splat<S>(kMinScale);
        q_up = q * splat<S>(kMinScale);
        denom_up = p_up * ratio + q_up;
        subnormal = ~gt(abs(ratio), splat<S>(kMin)); // also a NaN ratio
        any_subnormal = any(subnormal);
    }
};
using Divisor = DivisorOf<Split>;

// x / y for the prepared divisor y: the library's operations on the numerator, in its order.
template <class S>
[[gnu::always_inline]] inline Complexes<S> div(Complexes<S> x, const DivisorOf<S>& y) {
    using D = DivisorOf<S>;
    using M = MaskOf<S>;
    S a = x.re, b = x.im;
    if (y.halved) {
        a *= y.halve;
        b *= y.halve;
    }
    const S aa = abs(a), ab = abs(b);
    const M scale_up =
        y.tiny | (((lt(aa, splat<S>(D::kMin)) & lt(ab, splat<S>(D::kMax2))) |
                   (lt(ab, splat<S>(D::kMin)) & lt(aa, splat<S>(D::kMax2)))) &
                  y.moderate);
    const S up = select(scale_up, splat<S>(D::kMinScale), splat<S>(1.0));
    a *= up;
    b *= up;
    const S denom = select(scale_up, y.denom_up, y.denom);
    // u, v the numerator's parts in the library's roles (x = (u ratio + v) / denom).
    const S u = select(y.by_d, a, b), v = select(y.by_d, b, a);
    S xn = u * y.ratio + v, t = v * y.ratio;
    if (y.any_subnormal) {
        const S p = select(scale_up, y.p_up, y.p), q = select(scale_up, y.q_up, y.q);
        xn = select(y.subnormal, p * (u / q) + v, xn);
        t = select(y.subnormal, p * (v / q), t);
    }
    return {xn / denom, select(y.by_d, t - u, u - t) / denom};
}

// x / y as __divdc3 computes it.
template <class S>
[[gnu::always_inline]] inline Complexes<S> div(Complexes<S> x, Complexes<S> y) {
    return div(x, DivisorOf<S>(y));
}

} // namespace tidal::lanes
