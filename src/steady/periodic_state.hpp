#pragma once
// Method: docs/method.md §6 (the periodic steady state).
// The periodic state of a tidally forced shell: for every harmonic h of the forcing, the
// complex amplitudes X of the unknowns (x(t) = sum over h of Re(X_h e^{i h omega t})) solve the
// time integration's banded system with every time derivative replaced by a factor s.
#include <array>
#include <span>
#include <vector>

#include "discretisation/assembly.hpp"
#include "loads/self_gravity.hpp"
#include "steady/harmonic_forcing.hpp"
#include "steady/symbols.hpp"

namespace tidal {

struct PeriodicState {
    int harmonics = 1;
    // Factor s of every time derivative of the rheology's law, per harmonic: i h omega, or the
    // scheme's symbol (trapezoid for Maxwell, backward Euler for Kelvin-Voigt).
    std::vector<Complex> s;
    // x[h-1][component]: amplitudes of the 6N+2 unknowns, in the time integration's numbering.
    std::vector<std::array<std::vector<Complex>, kComponents>> x;

    // Room for `count` harmonics (what a solve writes).
    void resize(int count) {
        harmonics = count;
        s.resize(static_cast<std::size_t>(count));
        x.resize(static_cast<std::size_t>(count));
    }
};

// Solves periodic states of one body; keeps the forcing's harmonics and a complex band
// workspace, so that one solver serves a whole sweep (one per thread).
class PeriodicSolver {
  public:
    explicit PeriodicSolver(const ShellModel& model);

    const ShellModel& model() const { return model_; }
    const HarmonicForcing& forcing() const { return forcing_; }

    // The periodic state of `rheology` with the per-layer viscosities
    // `layer_eta` (N values, Pa s), in the given flavour, written into `state`.
    void solve(Rheology rheology, Flavour flavour, std::span<const double> layer_eta,
               PeriodicState& state);

    // The periodic system of harmonic h (1..forcing().harmonics) in band storage (n x kBandColumns, as
    // bandecdp takes it): the time-stepping matrix with its time derivatives replaced by the
    // harmonic's factor s, which it returns. `write`: how much of `a` is written
    // (assemble_system); BandWrite::Laws for an `a` that holds an earlier assembly of this body
    // (any rheology, flavour, harmonic and viscosities), whose other entries stay.
    Complex assemble(Rheology rheology, Flavour flavour, int h, std::span<const double> layer_eta,
                     Mat1View<Complex> a, BandWrite write = BandWrite::Clear);

  private:
    const ShellModel& model_;
    HarmonicForcing forcing_;
    std::vector<Complex> band_, al_;
    std::vector<Constitutive<Complex>> laws_;
    std::vector<int> indx_;
    SelfGravitySolve<Complex> gravity_; // a self-gravitating body's boundary coupling
};

// The factor s of harmonic h (h = 1, 2, ...) for the rheology's time stepping, in the given flavour.
Complex rheology_symbol(Rheology rheology, Flavour flavour, int h, const ShellModel& model);

} // namespace tidal
