#pragma once
// Method: docs/method.md §8 (maps).
// Where over the surface the heat goes: the period-mean dissipation per unit volume at a point
// of a layer, from the degree-2 fields of the three load components.
//
// A deviatoric (traceless, symmetric) tensor field of degree 2 with the stress unknowns'
// components t = (t_{j-2}, t_j, t_{j+2}) on the tensor harmonics is, in the local frame
// (e_r, and tangent vectors),
//   sigma = A Y (e_r e_r - I_t / 2) + B (e_r grad Y + grad Y e_r) + C T(Y),
// Y the scalar harmonic, grad the gradient on the unit sphere, T(Y) the traceless part of Y's
// Hessian on the unit sphere and I_t the tangential identity. Its parts are orthogonal at
// every point, so that
//   sigma : sigma = 3/2 A^2 Y^2 + 2 B^2 |grad Y|^2 + C^2 T(Y) : T(Y),
// and over the sphere (integrals of Y^2, |grad Y|^2 and T:T are 1, j(j+1) = 6 and
// (j-1) j (j+1) (j+2) / 2 = 12) that is |t|^2. (A, B, C) is a linear function of t, read off
// the strain of a displacement field U Y e_r + V grad Y: A = U', B = (V' - V/r + U/r)/2,
// C = V/r, with U and V from the displacement unknowns as the radial displacement is
// (stress_parts below).
//
// The three load components carry the real angular functions Y_0 = Y20, Y_c = 2 Re Y22,
// Y_s = -2 Im Y22 (4 pi-normalised harmonics; a real field is X20 Y20 + 2 Re(X22 Y22), the
// cosine component being Re X22 and the sine component Im X22). A layer's period-mean
// dissipation per unit volume at a point is then
//   q = 3/2 sum_cc' G^A_cc' Y_c Y_c' + 2 sum_cc' G^B_cc' grad Y_c . grad Y_c'
//       + sum_cc' G^C_cc' T(Y_c) : T(Y_c'),
// where G^X_cc' is the period mean of the product of the X parts of components c and c' of
// what the rheology dissipates (weighted as in its power). Its integral over the sphere is the
// layer's sphere-integrated heating, the orders 2 counting twice as in every dissipation sum.
//
// An oblique body (docs/method.md §2.2) adds the order-1 pair, Y_c1 = 2 Re Y21 and
// Y_s1 = -2 Im Y21, from its second run: five components, whose cross terms with the order-0
// and order-2 ones vanish over the sphere but not at a point. A body without obliquity keeps
// the first three, summed as they always were.
#include <array>
#include <vector>

#include "discretisation/grid.hpp"

namespace tidal {

// Order 0, order-2 cosine, order-2 sine, then an oblique body's order-1 cosine and sine.
inline constexpr int kMapComponents = 5;
inline constexpr int kMapComponentsWithoutObliquity = 3;

// The three parts A (radial-radial), B (radial-tangential), C (tangential traceless).
inline constexpr int kParts = 3;

// Period-mean products of one layer: g[X][c][c'], W/m^3 (symmetric in c, c'), of its first
// `components` components (3, or 5 for an oblique body; the others stay zero).
struct LayerMap {
    std::array<std::array<std::array<double, kMapComponents>, kMapComponents>, kParts> g{};
    int components = kMapComponentsWithoutObliquity;
};

// The linear map from the components (t_{j-2}, t_j, t_{j+2}) of a deviatoric tensor field to
// its parts (A, B, C), from the coupling coefficients K1..K40 of degree j (the constitutive
// rows relate the stresses to the displacement unknowns; the strain of the same displacements
// gives the parts).
using StressParts = std::array<std::array<double, 3>, kParts>;
StressParts stress_parts(const std::vector<double>& K, double j);

// The angular functions of the five load components at a point: value, gradient on the unit
// sphere (theta and phi components) and traceless Hessian (its theta-theta and theta-phi
// components; phi-phi is minus theta-theta).
struct AngularFunctions {
    std::array<double, kMapComponents> value{};
    std::array<std::array<double, 2>, kMapComponents> gradient{};
    std::array<std::array<double, 2>, kMapComponents> traceless{};
};
AngularFunctions degree2_functions(double colatitude, double longitude); // radians

// q at a point, W/m^3.
double local_heating(const LayerMap& layer, const AngularFunctions& f);

// A regular latitude-longitude grid: latitudes -90, -90 + step, ..., 90 and longitudes 0,
// step, ..., 360 - step (degrees, east of the sub-planet meridian); `step` divides 180.
struct MapGrid {
    double step = 2.0;
    int latitudes() const;
    int longitudes() const;
    double latitude(int i) const;
    double longitude(int k) const;
};

// Whether `step` (degrees) is a grid step of 0.1 to 90 degrees dividing 180.
bool map_step_divides(double step);

// One rheology's map: per grid point (latitude-major), the depth-integrated heating per unit
// area of the outer surface (W/m^2) and the volumetric heating of the outermost and innermost
// layers (W/m^3).
struct HeatingMap {
    std::vector<double> flux, top, bottom;
};

// The map of a shell whose layers have the period-mean products `layers` (outermost first),
// on the radial grid `radial`: the depth integral is the power's radial quadrature
// (loads/heating_profile.hpp), divided by the outer radius squared.
HeatingMap heating_map(const std::vector<LayerMap>& layers, const RadialGrid& radial,
                       const MapGrid& grid);

} // namespace tidal
