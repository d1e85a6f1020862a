#pragma once
// Time derivatives of a periodic state. A quantity x(t) = Re(X e^{i h omega t}) has the
// derivative Re(s X e^{i h omega t}) with s = i h omega; a time-stepping scheme applied to the
// samples x_n = Re(X z^n), z = e^{i h omega dt}, forms instead the scheme's own symbol at z
// (each rheology gives its scheme's symbol).
#include <complex>

#include "rheology/constitutive.hpp"

namespace tidal {

using Complex = std::complex<double>;

// z = e^{i h omega dt} for harmonic h of a forcing sampled nperiod times per period.
Complex step_factor(int h, int nperiod);

} // namespace tidal
