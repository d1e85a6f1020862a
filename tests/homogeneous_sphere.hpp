#pragma once
// The classical homogeneous incompressible sphere without self-gravitation, as a body of the
// program, and what the tests that hold the program to it share: grids refined by halving,
// the continuous periodic state of one uniform viscosity.
#include <array>
#include <complex>
#include <vector>

#include "body/presets.hpp"
#include "loads/self_gravity.hpp"
#include "steady/steady_sweep.hpp"

namespace tidal {
namespace {

using Complex = std::complex<double>;

[[maybe_unused]] ShellModel with_layers(Body body, int layers, int nperiod = 200, int periods = 10) {
    body.layers = layers;
    body.rigidity.assign(static_cast<std::size_t>(layers), body.rigidity.front());
    body.viscosity_factors.assign(static_cast<std::size_t>(layers), 1.0);
    return make_shell_model(body, RunConstants{2.0, nperiod, nperiod * periods});
}

[[maybe_unused]] PeriodRecord steady(const ShellModel& model, Rheology r, double eta) {
    SteadyEngine engine(model);
    const std::vector<double> layer_eta(static_cast<std::size_t>(model.body.layers), eta);
    return engine.solve(r, Flavour::Continuous, layer_eta);
}

// A sphere of radius 1000 km, density 3000 kg/m^3 and its own gravity, solid but for a fluid
// core of the same density and 2 % of its radius (the grid's innermost node must lie at a
// positive radius), with a rigidity that makes 19 mu / (5 rho g R) = 1.
[[maybe_unused]] Body homogeneous_sphere() {
    Body b = *preset_body(1);
    b.outer_radius = 1.0e6;
    b.thickness = b.outer_radius - 0.02 * b.outer_radius;
    b.density = 3000.0;
    b.density_contrast = 0.0;
    b.surface_gravity = 4.0 / 3.0 * kPi * kGravitationalConstant * b.density * b.outer_radius;
    b.bottom_gravity = b.surface_gravity * b.inner_radius() / b.outer_radius;
    b.rigidity.assign(1, 5.0 * b.density * b.surface_gravity * b.outer_radius / 19.0);
    return b;
}

// h2 of the homogeneous incompressible sphere without self-gravitation for rigidity mu
// (complex for a viscoelastic one): 1 / (1 + 19 mu / (5 rho g R)).
[[maybe_unused]] Complex homogeneous_h2(const Body& b, Complex mu) {
    return 1.0 / (1.0 + 19.0 * mu / (5.0 * b.density * b.surface_gravity * b.outer_radius));
}

// Values on grids of n, 2n and 4n layers: the ratio of successive changes (4 at second
// order) and the Richardson extrapolation to zero spacing.
struct Refinement {
    double order_ratio;
    Complex limit;
};
[[maybe_unused]] Refinement refine(const std::array<Complex, 3>& v) {
    return {std::abs(v[1] - v[0]) / std::abs(v[2] - v[1]), v[2] + (v[2] - v[1]) / 3.0};
}

} // namespace
} // namespace tidal
