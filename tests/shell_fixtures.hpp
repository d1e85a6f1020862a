#pragma once
// What many tests build and measure alike: a body read from the text of a body file, a body's
// shell on a grid of its own, its periodic state at one uniform viscosity, the work the tide
// does on the masses it displaces (which the dissipated power must balance) and the area
// integral of a written heat-flux map.
#include <cmath>
#include <complex>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "files/body_file.hpp"
#include "body/presets.hpp"
#include "steady/steady_sweep.hpp"
#include "loads/heating_map.hpp"
#include "steady/surface_maps.hpp"

namespace tidal {
namespace {

// The body of a body file's text; a refusal is a test failure (and an empty body).
[[maybe_unused]] Body read_ok(const std::string& text, std::vector<std::string> overrides = {}) {
    auto r = read_body(text, "test.toml", overrides);
    if (const auto* e = std::get_if<BodyError>(&r)) ADD_FAILURE() << e->message << "\n" << text;
    return std::holds_alternative<Body>(r) ? std::get<Body>(r) : Body{};
}

// The refusal of a body file's text, or "(accepted)".
[[maybe_unused]] std::string read_refusal(const std::string& text,
                                          std::vector<std::string> overrides = {}) {
    auto r = read_body(text, "test.toml", overrides);
    return std::holds_alternative<Body>(r) ? "(accepted)" : std::get<BodyError>(r).message;
}

// Every rheology of the list, as rheology.models names them.
[[maybe_unused]] const std::string kEveryModel = "\"maxwell\", \"kelvin_voigt\", \"burgers\", \"andrade\", \"zener\"";

// A solid [[layer]] of a body file: swept, or of its own viscosity (Pa s) and rheology; no
// thickness when it is 0 (the innermost layer, reaching the centre).
[[maybe_unused]] std::string solid_layer(const std::string& name, double thickness, double density, double mu, int cells,
                                         const std::string& viscosity = "\"swept\"", const std::string& rheology = "") {
    return "[[layer]]\nname = \"" + name + "\"\n" + (thickness > 0.0 ? "thickness = " + toml_real(thickness) + "\n" : "") +
           "density = " + toml_real(density) + "\nstate = \"solid\"\nrigidity = " + toml_real(mu) + "\nviscosity = " + viscosity +
           "\n" + (rheology.empty() ? "" : "rheology = \"" + rheology + "\"\n") + "cells = " + std::to_string(cells) + "\n";
}

// A body file of these [[layer]] tables (outer radius in m) on Enceladus' orbit, sweeping
// 1e14 to 1e15 Pa s with `models`, `periods` periods of `steps` time steps.
[[maybe_unused]] std::string layers_on_an_orbit(const std::string& name, double radius, const std::string& layers,
                                                const std::string& models, int steps = 400, int periods = 10) {
    return "name = \"" + name + "\"\nouter_radius = " + toml_real(radius) + "\n" + layers +
           "[orbit]\nperiod = 152853.5\neccentricity = 0.0041\n[sweep]\nlog10_viscosity_min = 14.0\nlog10_viscosity_max = 15.0\n"
           "[rheology]\nmodels = [" + models + "]\n[numerics]\nperiods = " + std::to_string(periods) +
           "\nsteps_per_period = " + std::to_string(steps) + "\n";
}

// The body on `layers` cells of one rigidity (its first) and viscosity factor 1, run with
// `nperiod` steps a period for `periods` periods.
[[maybe_unused]] ShellModel with_layers(Body body, int layers, int nperiod = 200, int periods = 10) {
    body.layers = layers;
    body.rigidity.assign(static_cast<std::size_t>(layers), body.rigidity.front());
    body.viscosity_factors.assign(static_cast<std::size_t>(layers), 1.0);
    return make_shell_model(body, RunConstants{2.0, nperiod, nperiod * periods});
}

// The periodic state of rheology r with viscosity eta in every layer.
[[maybe_unused]] PeriodRecord steady(const ShellModel& model, Rheology r, double eta,
                                      Flavour flavour = Flavour::Continuous) {
    SteadyEngine engine(model);
    const std::vector<double> layer_eta(static_cast<std::size_t>(model.body.layers), eta);
    return engine.solve(r, flavour, layer_eta);
}

// The periodic states of both flavours, continuous and the scheme's, of rheology r with
// viscosity eta in every layer.
[[maybe_unused]] SteadyPair steady_pair(const ShellModel& model, Rheology r, double eta) {
    return {steady(model, r, eta), steady(model, r, eta, Flavour::Discrete)};
}

// kLanes per-cell viscosity profiles (Pa s) of the model's body, one for each of kLanes swept
// viscosities spread evenly in log10 from the lowest of its sweep to the highest, with views
// of them as the lanes take them (into `etas`: moved, not copied, so that they stay valid).
struct LaneProfiles {
    std::vector<std::vector<double>> etas;
    std::vector<std::span<const double>> views;
    LaneProfiles() = default;
    LaneProfiles(LaneProfiles&&) = default;
    LaneProfiles(const LaneProfiles&) = delete;
};
[[maybe_unused]] LaneProfiles lane_profiles(const ShellModel& model) {
    const Body& b = model.body;
    LaneProfiles p;
    for (int i = 0; i < kLanes; ++i) {
        const double eta = std::pow(10.0, b.log10_viscosity_min +
                                              (b.log10_viscosity_max - b.log10_viscosity_min) * i / (kLanes - 1));
        p.etas.emplace_back(static_cast<std::size_t>(b.layers));
        for (std::size_t l = 0; l < p.etas.back().size(); ++l)
            p.etas.back()[l] = b.cell_viscosity(l, eta);
    }
    for (const auto& v : p.etas)
        p.views.emplace_back(v);
    return p;
}

// The mean power (W) of the tide's work on the displaced masses of a synchronous body, to
// first order in the eccentricity e and the obliquity theta, from its Love number k2
// (docs/method.md §2.1, §2.2): -Im k2 (omega R)^5 ((21/2) e^2 + (3/2) sin^2 theta) / G.
[[maybe_unused]] double tide_work(const Body& b, std::complex<double> k2) {
    const double s = std::sin(b.obliquity_rad());
    return -k2.imag() * std::pow(b.angular_frequency() * b.outer_radius, 5) *
           ((21.0 / 2.0) * (b.eccentricity * b.eccentricity) + (3.0 / 2.0) * (s * s)) /
           kGravitationalConstant;
}

// The area integral over the unit sphere of a written map's flux (W/m^2 times sr): the
// trapezoid in latitude with cos weights, uniform in longitude, as the grid is written.
[[maybe_unused]] double map_integral(const HeatingMap& map, const MapGrid& grid) {
    const double d = grid.step * kPi / 180.0;
    double sum = 0.0;
    for (int i = 0; i < grid.latitudes(); ++i) {
        const double end = (i == 0 || i == grid.latitudes() - 1) ? 0.5 : 1.0;
        for (int k = 0; k < grid.longitudes(); ++k)
            sum += end * std::cos(grid.latitude(i) * kPi / 180.0) * d * d *
                   map.flux[static_cast<std::size_t>(i * grid.longitudes() + k)];
    }
    return sum;
}

} // namespace
} // namespace tidal
