#pragma once
// One time integration of the tidally forced shell for one viscosity and one rheology.
// A run owns nothing but its workspace and returns its records; it writes no file.
#include <optional>
#include <vector>

#include "linalg/band_solve_fast.hpp"
#include "timestep/shell_model.hpp"

namespace tidal {

struct RunRecords {
    double eta = 0.0;      // the viscosity of the run, Pa s
    double urmin = 0.0;    // smallest outer-surface radial displacement of the last period, m
    // Fraction of the period at which urmin was reached, if the last period set a new minimum
    // below 0 (otherwise the previous run's value stands).
    std::optional<double> tn;
    double urthmax = 0.0;  // largest |radial displacement| at the equator, longitude 0, m
    double pcelk = 0.0;    // mean dissipated power over the last period, W
    std::vector<double> ursurf; // outer-surface radial displacement of every step, m
};

// Scratch arrays of a run, reused from run to run (one per thread).
struct RunWorkspace {
    explicit RunWorkspace(const ShellModel& model);

    std::vector<double> band;  // (6N+2) x 15 system matrix, then its upper factor
    std::vector<double> al;    // (6N+2) x 7 lower factor
    std::vector<int> indx;     // row interchanges
    PackedBandFactors factors; // the factors repacked for the three-vector substitution
    std::vector<double> b0, bnc, bc;     // right-hand sides / solutions of the three components
    std::vector<double> hist0, histnc, histc; // Maxwell memories or Kelvin-Voigt strains, 3 x (6N+2)
    std::vector<double> window;          // N x (nperiod+1) dissipation samples of the last period
    std::vector<double> layer_power;     // N
    std::vector<double> eta;             // N, the layer viscosities of the run
};

// Maxwell body (trapezoidal rule), viscosity `eta` in every layer.
RunRecords run_maxwell(const ShellModel& model, double eta, RunWorkspace& ws);

// Kelvin-Voigt body (backward Euler), viscosity `eta` in every layer.
RunRecords run_kelvin_voigt(const ShellModel& model, double eta, RunWorkspace& ws);

} // namespace tidal
