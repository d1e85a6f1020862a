#pragma once
// Method: docs/method.md §3-4 (equations; discretisation in radius).
// Assembly of the banded system of one time step (order 6N+2, 7 sub- and 7 super-diagonals),
// numbered as in unknowns.hpp. Per layer l: incompressibility (K1-K4 on the node
// displacements' centred difference across the layer) and the three constitutive rows, the
// strain components (K5-K16) times the rheology's rigidity plus its stress factor times
// tau; per interior node: the two momentum components (K17-K32 on the stresses and pressures
// of the layers either side); at each boundary the two traction components (K33-K40) with the
// buoyancy of the displaced boundary, rho g_s U_s at the surface and drho g_b U_b at the
// bottom (U the radial displacement, the mean of the two nodes around the boundary); a body
// solid to the centre holds its central node's displacement at zero instead of the bottom's.
// A density jump [rho] inside the solid, on node k, adds the buoyancy [rho] g U_k of its
// displaced interface to the momentum rows of node k (the jump of the traction across it).
#include <span>
#include <type_traits>
#include <vector>

#include "description/body.hpp"
#include "discretisation/unknowns.hpp"
#include "rheology/rheologies.hpp"

#include "discretisation/grid.hpp"
#include "linalg/views.hpp"

namespace tidal {

inline constexpr int kBandColumns = 15; // 7 sub-diagonals, the diagonal, 7 super-diagonals

// Inputs shared by the three matrices of one body.
struct AssemblyInputs {
    const RadialGrid* grid = nullptr;
    Vec1View<const double> K{nullptr, 0}; // coupling coefficients K1..K40
    double j = 2.0;                       // harmonic degree
    double Go = 0.0; // rho * gsurf: shell density times surface gravity, kg/(m^2 s^2)
    double Gi = 0.0; // drho * gbot: density jump times gravity at the inner boundary
    // [rho] g at the top of a solid core under an ocean (the core's density minus the
    // ocean's, times the gravity there), kg/(m^2 s^2); the grid's liquid_layer places it.
    double Gc = 0.0;
    // The buoyancy of the inner region's base over a liquid core under an ocean (the liquid's
    // density less the region's, times the gravity there), kg/(m^2 s^2).
    double Gb = 0.0;
    const RheologyParameters* rheology = nullptr; // beyond rigidity and viscosity
    // The density jumps inside the solid, each on an interior node: the buoyancy of the
    // displaced interface on its momentum rows (docs/method.md §10).
    std::span<const DensityJump> jumps{};
};

// Order of the system for N layers.
inline int system_order(int N) {
    return 6 * N + 2;
}

// What assemble_system writes into the band.
enum class BandWrite {
    Clear,   // clears the band, then writes every entry
    Entries, // writes every entry, the others left as they are
    // Writes only the constitutive rows' entries (the rigidity and stress terms), the only ones
    // the laws enter: for a band that holds an assembly of the same inputs, whatever its laws
    // (the time-stepping flag, the body's grid, ocean, jumps and K as now).
    Laws,
};

// Clears the (6N+2) x 15 band array `a` and writes every entry, with the constitutive
// coefficients `laws` of every layer (N of them). The time-stepping matrices (`time_stepping`)
// divide the momentum rows by Hd*Td, so that the body forces enter at the scale of a stress
// gradient; the static elastic one does not. Which entries are written depends on the body
// alone (its grid, ocean and density jumps), never on the laws, and only the constitutive
// rows' values depend on the laws: a band that already holds an assembly of the same inputs
// keeps its zeros (BandWrite::Entries skips the clearing) and its other rows
// (BandWrite::Laws writes the constitutive rows only), the same band bit for bit.
// Instantiated for double and std::complex<double>.
template <class V>
void assemble_system(Mat1View<V> a, const AssemblyInputs& in, std::span<const Constitutive<V>> laws,
                     bool time_stepping = true, BandWrite write = BandWrite::Clear);

// The matrix of rheology R with the layer viscosities `eta` (Pa s) and time step `dt` (s).
//
// The step enters the constitutive rows only as the rate of the implicit update (the
// trapezoidal Maxwell row is the frequency-domain row with time derivative s = 2/dt, the
// backward-Euler Kelvin-Voigt row the one with s = 1/dt). With complex entries, `dt` =
// R::step_for_symbol(s) therefore gives the matrix of a periodic state whose time derivatives
// are the factor s, with the same band, numbering and scaling.
template <class R, class V>
void assemble_rheology(Mat1View<V> a, const AssemblyInputs& in, Vec1View<const double> eta,
                       std::type_identity_t<V> dt) {
    const auto mu = vec1(in.grid->mu);
    std::vector<Constitutive<V>> laws(static_cast<std::size_t>(in.grid->N));
    for (int l = 1; l <= in.grid->N; ++l)
        laws[static_cast<std::size_t>(l - 1)] = R::template constitutive<V>(in.rheology->of<R>(), mu(l), eta(l), dt);
    assemble_system<V>(a, in, laws);
}

// The time-stepping matrix of cells that run their own rheologies, cell l's rows those of
// rheology cells[l-1] (each as assemble_rheology writes them): a layered body's fixed layers
// beside the swept ones. Cells all of one rheology R give assemble_rheology<R, double>'s
// matrix exactly.
inline void assemble_cells(Mat1View<double> a, const AssemblyInputs& in, Vec1View<const double> eta,
                           std::span<const Rheology> cells, double dt) {
    const auto mu = vec1(in.grid->mu);
    std::vector<Constitutive<double>> laws(static_cast<std::size_t>(in.grid->N));
    for (int l = 1; l <= in.grid->N; ++l)
        with_rheology(cells[static_cast<std::size_t>(l - 1)], [&]<class R>(R) {
            laws[static_cast<std::size_t>(l - 1)] =
                R::template constitutive<double>(in.rheology->of<R>(), mu(l), eta(l), dt);
        });
    assemble_system<double>(a, in, laws);
}

// The same for a rheology chosen at run time.
template <class V>
void assemble_system(Mat1View<V> a, Rheology rheology, const AssemblyInputs& in,
                     Vec1View<const double> eta, std::type_identity_t<V> dt) {
    with_rheology(rheology, [&]<class R>(R) { assemble_rheology<R, V>(a, in, eta, dt); });
}

// The static elastic matrix.
void assemble_a(Mat1View<double> a, const AssemblyInputs& in);

} // namespace tidal
