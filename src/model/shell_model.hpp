#pragma once
// Everything about one body that does not depend on the viscosity: run constants, coupling
// coefficients, grid and the elastic reference solution. Built once, then only read, so that
// any number of runs may share it.
#include <memory>
#include <vector>

#include "discretisation/assembly.hpp"
#include "description/body.hpp"
#include "discretisation/grid.hpp"

namespace tidal {

struct RunConstants {
    double j = 2.0;     // spherical-harmonic degree
    int nperiod = 2000; // time steps per orbital period
    int nsteps = 20000; // time steps per run (a whole number of periods; ten by default)
};

struct ShellModel {
    Body body;
    RunConstants run;
    std::vector<double> K; // coupling coefficients K1..K40
    RadialGrid grid;
    std::vector<DensityJump> jumps; // the density jumps inside the solid (body.density_jumps())
    std::vector<double> elastic; // elastic reference solution, 6N+2 entries
    // The same body on twice the cells, whose periodic state gives the grid error of this
    // one's results; empty when they are not asked for.
    std::shared_ptr<const ShellModel> twice_the_cells;

    int order() const { return system_order(body.layers); }
    AssemblyInputs assembly_inputs() const;
};

// Builds the model of `body`: coefficients, grid and the elastic reference solution, with
// every rheology prepared for the band of angular frequencies the run resolves (from one
// over its duration to one over its time step).
ShellModel make_shell_model(const Body& body, RunConstants run = {});

// Solves the static elastic problem with a zero surface load: assembles and factorises the
// elastic matrix and returns the solution (6N+2 entries).
std::vector<double> elastic_reference_solution(const ShellModel& model);

// Viscosity of sweep index k, Pa s: 10^(k/s), s the steps per decade.
double sweep_viscosity(int k, int steps_per_decade = 20);

// Time step of the body's forcing, s: the orbital period divided by nperiod.
double time_step(const ShellModel& model);

} // namespace tidal
