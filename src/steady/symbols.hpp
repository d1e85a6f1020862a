#pragma once
// Time derivatives of a periodic state. A quantity x(t) = Re(X e^{i h omega t}) has the
// derivative Re(s X e^{i h omega t}) with s = i h omega; a time-stepping scheme applied to the
// samples x_n = Re(X z^n), z = e^{i h omega dt}, forms instead the scheme's own symbol at z.
#include <complex>

namespace tidal {

using Complex = std::complex<double>;

// Which periodic state: the exact-in-time one of the radially discretised shell, or the exact
// periodic state of the time-stepping scheme.
enum class Flavour {
    Continuous, // s = i h omega
    Discrete,   // s = the scheme's symbol at z = e^{i h omega dt}
};

// z = e^{i h omega dt} for harmonic h of a forcing sampled nperiod times per period.
Complex step_factor(int h, int nperiod);

// Trapezoidal rule: (x_n - x_{n-1}) = dt (x'_n + x'_{n-1}) / 2, so s = 2 (z - 1) / ((z + 1) dt).
Complex trapezoid_symbol(Complex z, double dt);

// Backward Euler: x_n - x_{n-1} = dt x'_n, so s = (1 - 1/z) / dt.
Complex backward_euler_symbol(Complex z, double dt);

// Central difference over two steps: x'_n = (x_{n+1} - x_{n-1}) / (2 dt), so
// s = (z - 1/z) / (2 dt).
Complex central_difference_symbol(Complex z, double dt);

} // namespace tidal
