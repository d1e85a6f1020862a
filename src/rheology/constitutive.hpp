#pragma once
// What every rheology supplies, and the shape in which it supplies it.
//
// A rheology is a type with static members only (see maxwell.hpp for the simplest, documented
// model, kelvin_chain.hpp for the general one):
//   name, title, legacy_suffix         which it is and how its results are named;
//   constitutive<V>(p, mu, eta, dt)    the coefficients of its constitutive rows (V = double
//                                      for the time step, std::complex<double> for a periodic
//                                      state, where dt is the step that makes the implicit
//                                      rate equal to the factor s: see step_for_symbol);
//   columns(p), coefficients(p)        history columns per stress unknown, per-layer constants;
//   step_coefficients(p, mu, eta, dt, k)  those constants for one layer, written to k;
//   load(k, elastic, h)                the history load on a constitutive row;
//   advance(k, elastic, stress, h, dt) the history update after a solve, returning the
//                                      unknown's dissipation term;
//   dissipates(step, nsteps)           whether a step has a dissipation sample;
//   sample(s0, s1, s2, dt)             the sample from the three load components' sums;
//   layer_power(integral, eta)         a layer's dissipation from the time integral of samples;
//   discrete_symbol, step_for_symbol,
//   dissipation_terms                  its periodic state (see steady/).
// `p` holds the rheology's own parameters beyond rigidity and viscosity: its type Parameters,
// declared key by key in its array `parameters` (parameter.hpp), which is all that the body
// file, the checks, the help and the Python module know of them. A rheology whose time
// stepping needs something fitted to the run may also give
//   prepare(p, band_low, band_high)    called once per model with the band of angular
//                                      frequencies the run resolves (rad/s);
//   approximation(p) -> LawApproximation  how well its time stepping then carries its law.
// In load and advance, k[f] reads constant f of the layer and h[c] history column c of the
// stress unknown, h.set(c, v) writes it: the batched path passes lane vectors, the plain
// path doubles. The formulas are templates on the value type: double for the plain path, the
// lane vector for the batched path, complex where a periodic state needs them. With
// contraction to fused multiply-add off, every path performs the same operations and gets the
// same bits. load and advance are always inlined: the batched path calls them from functions
// compiled once per instruction set, and a lane vector passed to or returned from a function
// compiled for another set would not be passed the same way.
#include <algorithm>
#include <array>
#include <complex>
#include <string_view>
#include <vector>

#include <string>

namespace tidal {

// The coefficients of the constitutive rows of one layer: the rigidity that multiplies the
// displacement terms (Pa) and the factor of the stress unknown (dimensionless).
template <class V> struct Constitutive {
    V rigidity;
    V stress;
};

// Whether the periodic state is exact in time or that of the time-stepping scheme.
enum class Flavour {
    Continuous, // s = i h omega
    Discrete,   // s = the scheme's symbol at z = e^{i h omega dt}
};

// One part of a periodic state's dissipation: what is squared, per harmonic of the tide
// (gain[h-1] for harmonic h), as a multiple of the stress amplitude (`gain`), and the factor of
// its mean square (`weight`, 1/(Pa s) for a dashpot's fluidity; 1 where the gain already
// carries it). The tide has as many harmonics as its forcing holds (1 or 2 for the expansions,
// as many as the exact tide needs, docs/method.md §2.1).
struct DissipationTerm {
    std::vector<std::complex<double>> gain;
    double weight = 1.0;
    // Makes `out` `count` terms of `harmonics` gains each, zero until the rheology fills them
    // in, of weight 1. The reduction asks for every layer's terms in turn: the terms and their
    // gains keep their storage from layer to layer, so this allocates only the first time.
    static void reset(std::vector<DissipationTerm>& out, int count, int harmonics) {
        out.resize(static_cast<std::size_t>(count));
        for (DissipationTerm& t : out) {
            t.gain.assign(static_cast<std::size_t>(harmonics), 0.0);
            t.weight = 1.0;
        }
    }
    // This term as the stress itself at every harmonic, weighted by `w`.
    void set_stress(double w) {
        std::fill(gain.begin(), gain.end(), std::complex<double>(1.0));
        weight = w;
    }
};

// The factors s (per harmonic) and step factors z = e^{i h omega dt} of a periodic state:
// s[h-1], z[h-1] for harmonic h = 1..harmonics.
struct HarmonicSymbols {
    int harmonics = 1;
    std::vector<std::complex<double>> s, z;
    double dt = 0.0; // the time integration's step, s
};

// How well a rheology's time stepping carries a law it approximates (Andrade's creep by a
// Prony series): a phrase naming the approximation, its worst relative error of the
// compliance over the band of angular frequencies (rad/s) it was fitted to, and the key
// that makes it better.
struct LawApproximation {
    std::string carried_by;
    double worst_error = 0.0;
    double band_low = 0.0, band_high = 0.0;
    std::string remedy;
};

} // namespace tidal
