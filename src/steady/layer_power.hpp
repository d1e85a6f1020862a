#pragma once
// Method: docs/method.md §8 (the periodic state reduced to the outputs).
// The power of one layer of a periodic state from its dissipation terms, written once for the
// value type V: double for one state, lanes::Split for the states of a batch, one per lane.
// Every lane performs the plain code's IEEE operations in the plain code's order, so each
// state's layer power is the same bits whichever way it is reduced, as long as no complex
// product comes out NaN in both parts (the plain product then asks the library to recover
// infinities; the lane product leaves the NaN, and its lane is reduced again alone).
#include <complex>
#include <type_traits>

#include "linalg/complex_lanes.hpp"
#include "loads/diagnostics.hpp"
#include "rheology/constitutive.hpp"
#include "rheology/maxwell.hpp"
#include "steady/harmonic_forcing.hpp"

namespace tidal::dissipation {

// The complex type of each value type, its parts and its product (the inline formula).
template <class V> struct Values;
template <> struct Values<double> {
    using C = std::complex<double>;
    static double zero() { return 0.0; }
    static double re(C a) { return a.real(); }
    static double im(C a) { return a.imag(); }
    static C times(C a, C b) { return a * b; }
};
template <> struct Values<lanes::Split> {
    using C = lanes::CVec;
    // +0 in every lane, from zeroed registers (the element-wise splat of 0 makes the compiler
    // assemble the vector with a move that valgrind cannot decode).
    [[gnu::always_inline]] static lanes::Split zero() { return {lanes::Half{}, lanes::Half{}}; }
    [[gnu::always_inline]] static lanes::Split re(C a) { return a.re; }
    [[gnu::always_inline]] static lanes::Split im(C a) { return a.im; }
    [[gnu::always_inline]] static C times(C a, C b) { return lanes::mul(a, b); }
};

// What every layer of one rheology's cells shares in a reduction: the flavour, the state's
// harmonics H, its real basis of 2 H entries, the window's Gram matrix (2H x 2H, row-major) and
// end rows (discrete flavour), and the time step (s).
struct LayerWindow {
    Flavour flavour;
    int harmonics, basis;
    const double* gram;
    const double* first;
    const double* last;
    double dt;
};

// v^T G v for the window's Gram matrix G and a vector of B entries.
template <class V> [[gnu::always_inline]] inline V quadratic_form(const double* g, const V* v, int B) {
    V q = Values<V>::zero();
    for (int i = 0; i < B; ++i)
        for (int k = 0; k < B; ++k)
            q = q + g[i * B + k] * v[i] * v[k];
    return q;
}

template <class V> [[gnu::always_inline]] inline V dot(const double* b, const V* v, int B) {
    V s = Values<V>::zero();
    for (int i = 0; i < B; ++i)
        s = s + b[i] * v[i];
    return s;
}

// Per load component c: the period's mean square of the terms' amplitudes (continuous), or
// the plain sum of their samples and the two end samples (discrete), over the layer's three
// stresses and `terms` dissipation terms, each term's sums times its weight (docs/method.md
// §8). weight(t): term t's weight; amplitude(t, h, c, r): its amplitude of harmonic h (1..H)
// of load component c at stress row r (0..2), the gain times the stress amplitude; v: room
// for 2 H values.
template <class V, class Weight, class Amplitude>
[[gnu::always_inline]] inline void layer_sums(const LayerWindow& w, int terms, Weight weight,
                                              Amplitude amplitude, V* v, V* sum, V* first,
                                              V* last) {
    using X = Values<V>;
    const int B = w.basis;
    for (int c = 0; c < kComponents; ++c)
        sum[c] = first[c] = last[c] = X::zero();
    for (int t = 0; t < terms; ++t)
        for (int c = 0; c < kComponents; ++c) {
            V tsum = X::zero(), tfirst = X::zero(), tlast = X::zero();
            for (int r = 0; r < 3; ++r) {
                if (w.flavour == Flavour::Continuous) {
                    // Mean of (sum over h of Re(a_h e^{i h omega t}))^2: sum of |a_h|^2 / 2, the
                    // harmonics' cross terms averaging out over the period (the squares of the
                    // parts summed in their order).
                    V m = X::zero();
                    for (int h = 1; h <= w.harmonics; ++h) {
                        const auto a = amplitude(t, h, c, r);
                        m = m + X::re(a) * X::re(a);
                        m = m + X::im(a) * X::im(a);
                    }
                    tsum = tsum + m / 2.0;
                } else {
                    // (Re a_h, Im a_h): the entries 2h - 2, 2h - 1 of v.
                    for (int h = 1; h <= w.harmonics; ++h) {
                        const auto a = amplitude(t, h, c, r);
                        v[2 * h - 2] = X::re(a);
                        v[2 * h - 1] = X::im(a);
                    }
                    tsum = tsum + quadratic_form(w.gram, v, B);
                    const V f = dot(w.first, v, B), g = dot(w.last, v, B);
                    tfirst = tfirst + f * f;
                    tlast = tlast + g * g;
                }
            }
            const V wt = weight(t);
            sum[c] = sum[c] + wt * tsum;
            first[c] = first[c] + wt * tfirst;
            last[c] = last[c] + wt * tlast;
        }
}

// The layer's power before the window's means, from its sums (layer_sums) and its viscosity
// eta (Pa s): the components combined as the run's samples combine them (the continuous values
// are already rates: only the order-2 components' double weight applies to them), then the
// rheology's layer power of the window's trapezoidal integral.
template <class R, class V>
[[gnu::always_inline]] inline V layer_power(const LayerWindow& w, const V* sum, const V* first,
                                            const V* last, V eta) {
    const auto combine = [&](const V* s) {
        if (w.flavour == Flavour::Continuous)
            return Maxwell::sample(s[kComponentOrder0], s[kComponentCosine], s[kComponentSine],
                                   w.dt);
        return R::sample(s[kComponentOrder0], s[kComponentCosine], s[kComponentSine], w.dt);
    };
    if (w.flavour == Flavour::Continuous) return R::layer_power(combine(sum), eta);
    return R::layer_power(window_integral(combine(sum), combine(first), combine(last), w.dt),
                          eta);
}

} // namespace tidal::dissipation
