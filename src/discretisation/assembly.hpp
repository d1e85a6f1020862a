#pragma once
// Assembly of the banded system of one time step (order 6N+2, 7 sub- and 7 super-diagonals).
//
// Unknowns and equation rows share one numbering: node k carries u(j,j-1) at 6k-5 and
// u(j,j+1) at 6k-4; layer l carries tau(j,j-2) at 6l-3, tau(j,j) at 6l-2, the pressure at 6l-1
// and tau(j,j+2) at 6l. Rows 1, 2 are the outer traction conditions, 6l-3 the incompressibility
// of layer l, 6l-2..6l its constitutive law, 6k-5 and 6k-4 (k = 2..N) the momentum balance of
// interior node k, and 6N+1, 6N+2 the inner traction conditions.
#include <type_traits>

#include "discretisation/grid.hpp"
#include "linalg/views.hpp"

namespace tidal {

inline constexpr int kBandColumns = 15; // 7 sub-diagonals, the diagonal, 7 super-diagonals

enum class Rheology {
    Elastic,     // the static elastic problem
    Maxwell,     // spring and dashpot in series, trapezoidal rule in time
    KelvinVoigt, // spring and dashpot in parallel, backward Euler in time
};

// Inputs shared by the three matrices of one body.
struct AssemblyInputs {
    const RadialGrid* grid = nullptr;
    Vec1View<const double> K{nullptr, 0}; // coupling coefficients K1..K40
    double j = 2.0;                       // harmonic degree
    double Go = 0.0; // rho * gsurf: shell density times surface gravity, kg/(m^2 s^2)
    double Gi = 0.0; // drho * gbot: density jump times gravity at the inner boundary
};

// Order of the system for N layers.
inline int system_order(int N) {
    return 6 * N + 2;
}

// Clears the (6N+2) x 15 band array `a` and writes every entry of the chosen rheology's matrix.
// `eta` (Pa s, per layer) and `dt` (s) are read only for the Maxwell and Kelvin-Voigt matrices.
//
// The step enters the constitutive rows only as the rate of the implicit update: the
// trapezoidal Maxwell row is the frequency-domain row with time derivative s = 2/dt, the
// backward-Euler Kelvin-Voigt row the one with s = 1/dt. With complex entries, `dt` = 2/s
// (Maxwell) or 1/s (Kelvin-Voigt) therefore gives the matrix of a periodic state whose time
// derivatives are the factor s, with the same band, numbering and scaling. Instantiated for
// double and std::complex<double>.
template <class V>
void assemble_system(Mat1View<V> a, Rheology rheology, const AssemblyInputs& in,
                     Vec1View<const double> eta, std::type_identity_t<V> dt);

void assemble_a(Mat1View<double> a, const AssemblyInputs& in);
void assemble_a2(Mat1View<double> a2, const AssemblyInputs& in, Vec1View<const double> eta,
                 double dt);
void assemble_a3(Mat1View<double> a3, const AssemblyInputs& in, Vec1View<const double> eta,
                 double dt);

} // namespace tidal
