#pragma once
// Everything about one body that does not depend on the viscosity: run constants, coupling
// coefficients, grid and the elastic reference solution. Built once, then only read, so that
// any number of runs may share it.
#include <memory>
#include <vector>

#include "discretisation/assembly.hpp"
#include "description/body.hpp"
#include "discretisation/grid.hpp"
#include "model/orbit_tide.hpp"

namespace tidal {

struct RunConstants {
    double j = 2.0;     // spherical-harmonic degree
    int nperiod = 2000; // time steps per orbital period
    int nsteps = 20000; // time steps per run (a whole number of periods; ten by default)
};

// Which of the tide's load components a model's runs carry in their three right-hand sides
// (docs/method.md §2.2). Every body's runs carry the order-0 component and the order-2 pair; an
// oblique body's runs carry the order-1 pair besides, in a second run of the same radial
// operator (a spherically symmetric body responds to each (2, m) component alike, and the
// components' dissipations add over the sphere): its model is order_one_model's copy.
enum class TideOrders {
    ZeroAndTwo, // order 0, order-2 cosine, order-2 sine
    One,        // nothing, order-1 cosine, order-1 sine (the order-0 slot stays empty)
};

// The load slot whose response gives a model's Love numbers and phase lag: the order-0
// component, or in an order-1 model the order-1 cosine component (Re W21), the same radial
// problem at the same frequency, normalised by its own tide amplitude (docs/method.md §2.2).
inline int response_slot(TideOrders orders) { return orders == TideOrders::One ? 1 : 0; }

struct ShellModel {
    Body body;
    RunConstants run;
    TideOrders orders = TideOrders::ZeroAndTwo;
    std::vector<double> K; // coupling coefficients K1..K40
    RadialGrid grid;
    std::vector<DensityJump> jumps; // the density jumps inside the solid (body.density_jumps())
    std::vector<double> elastic; // elastic reference solution, 6N+2 entries
    // The same body on twice the cells, whose periodic state gives the grid error of this
    // one's results; empty when they are not asked for.
    std::shared_ptr<const ShellModel> twice_the_cells;
    // The exact tide of the body's orbit (orbit.tide = "exact") and its harmonics at the
    // tolerance and cap of model/orbit_tide.hpp, each from 8192 samples of the orbit: computed
    // once here for every run and periodic state of the model and the models copied from it
    // (null for the expanded tides). The harmonics are empty beyond the cap.
    std::shared_ptr<const OrbitTide> orbit_tide;
    std::shared_ptr<const std::vector<TideHarmonic>> tide_harmonics;

    int order() const { return system_order(body.layers); }
    AssemblyInputs assembly_inputs() const;
};

// Builds the model of `body`: coefficients, grid and the elastic reference solution, with
// every rheology prepared for the band of angular frequencies the run resolves (from one
// over its duration to one over its time step). `prepared`, if given, is the rheology of a
// model already built for the same rheology, orbit and run constants (so the same band), as
// the grid error's model on twice the cells is for its model: its fits are taken as they are
// instead of being made again (Andrade's Prony series is most of a model's cost).
ShellModel make_shell_model(const Body& body, RunConstants run = {},
                            const RheologyParameters* prepared = nullptr);

// The model's exact tide: its own, or for a model built otherwise than by make_shell_model the
// body's, computed now; null for the expanded tides.
std::shared_ptr<const OrbitTide> orbit_tide_of(const ShellModel& model);

// The model of an oblique body's order-1 runs: `model` carrying the order-1 pair (without its
// twice-the-cells model: the grid error's own model runs its own order-1 pair).
ShellModel order_one_model(const ShellModel& model);

// Solves the static elastic problem with a zero surface load: assembles and factorises the
// elastic matrix and returns the solution (6N+2 entries).
std::vector<double> elastic_reference_solution(const ShellModel& model);

// Viscosity of sweep index k, Pa s: 10^(k/s), s the steps per decade.
double sweep_viscosity(int k, int steps_per_decade = 20);

// Time step of the body's forcing, s: the orbital period divided by nperiod.
double time_step(const ShellModel& model);

} // namespace tidal
