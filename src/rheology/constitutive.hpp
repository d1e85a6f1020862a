#pragma once
// What every rheology supplies, and the shape in which it supplies it.
//
// A rheology is a type with static members only (see maxwell.hpp for the documented model):
//   id, name, title, legacy_suffix     which it is and how its results are named;
//   constitutive<V>(mu, eta, dt)       the coefficients of its constitutive rows (V = double
//                                      for the time step, std::complex<double> for a periodic
//                                      state, where dt is the step that makes the implicit
//                                      rate equal to the factor s: see step_for_symbol);
//   kColumns, kCoefficients            history columns per stress unknown, per-layer constants;
//   step_coefficients(mu, eta, dt)     those constants for one layer;
//   load<V>(k, elastic, h)             the history load on a constitutive row;
//   advance<V>(k, stress, h)           the history update after a solve, returning the
//                                      unknown's dissipation term;
//   dissipates(step, nsteps)           whether a step has a dissipation sample;
//   sample<V>(s0, s1, s2, dt)          the sample from the three load components' sums;
//   layer_power(integral, eta)         a layer's dissipation from the time integral of samples;
//   discrete_symbol, step_for_symbol,
//   steady_gain                        its periodic state (see steady/).
// The formulas are templates on the value type: double for the plain path, the lane vector
// for the batched path, complex where a periodic state needs them. With contraction to fused
// multiply-add off, every path performs the same operations and gets the same bits.
#include <array>
#include <complex>
#include <string_view>

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

} // namespace tidal
