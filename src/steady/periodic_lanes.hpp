#pragma once
// Method: docs/method.md §6 (the periodic steady state) and §4 (the banded solve).
// Periodic states of up to kLanes viscosity profiles of one rheology at once: each profile's
// system is assembled as PeriodicSolver assembles it, then all are factorised and solved
// together, one per vector lane (linalg/complex_band_lanes.hpp), for the three load
// components (and a self-gravitating body's two unit boundary loads) at once. Every state is
// the one PeriodicSolver gives, value for value (an exact zero may differ in sign, see
// linalg/complex_band_lanes.hpp); a lane whose vector arithmetic met an infinity or NaN is
// solved again alone by PeriodicSolver.
// A group of models that share their radial problem (study/shared_radial_problem.hpp: they
// differ only in the tide's loads) is solved with one factorisation per lane, each model's
// loads as three more right-hand sides and the unit boundary loads once for all: every
// right-hand side is eliminated and substituted by its own operations, in the same order
// whatever the others are, so each model's states are those it gets alone, bit for bit.
#include <array>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "linalg/complex_band_lanes.hpp"
#include "steady/periodic_state.hpp"

namespace tidal {

class PeriodicLanes {
  public:
    explicit PeriodicLanes(const ShellModel& model);
    // The models of a group that share their radial problem, in order; the first one's
    // matrices serve all.
    explicit PeriodicLanes(std::vector<const ShellModel*> group);

    int points() const { return static_cast<int>(scalars_.size()); }
    const HarmonicForcing& forcing(int point = 0) const {
        return scalars_[static_cast<std::size_t>(point)].forcing();
    }

    // states[g * P + i] (P = layer_etas.size(), at most kLanes profiles): the periodic state of
    // the group's model g for `rheology` with the per-layer viscosities layer_etas[i] (N
    // values, Pa s), in the given flavour.
    void solve(Rheology rheology, Flavour flavour,
               std::span<const std::span<const double>> layer_etas,
               std::span<PeriodicState> states);

    // How many profiles were solved again alone so far (an infinity or NaN in their lane).
    long redone() const { return redone_; }

  private:
    const ShellModel& model_;
    // Per model of the group: its forcing, and the scalar solve of an unreliable lane.
    std::vector<PeriodicSolver> scalars_;
    ComplexLaneBand band_;
    // Each lane's assembled band; once assembled, only its constitutive rows (what the
    // rheology, harmonic and viscosities enter) are written again.
    std::array<std::vector<Complex>, kLanes> scratch_;
    std::array<bool, kLanes> assembled_{};
    // The entries the assembly writes, per rheology and flavour (found at first use).
    std::array<std::array<std::vector<std::uint32_t>, 2>, kRheologyCount> patterns_;
    std::vector<double> rhs_;      // [row][rhs][part][lane], solved in place
    // [rhs][lane]: where the back substitution stores each solution of the tide's components
    // (null for the unit boundary loads), the lanes past a batch's profiles into sink_.
    std::vector<double*> outputs_;
    std::vector<Complex> sink_;
    SelfGravityCoupling coupling_; // a self-gravitating body's interfaces
    int rhs_count_;
    // Per harmonic, the right-hand sides of every lane, [row][rhs]: the tide's loads of each
    // model (model g's component c is right-hand side 3g + c), then a self-gravitating body's
    // unit boundary loads.
    std::vector<std::vector<Complex>> loads_;
    SelfGravitySolve<Complex> gravity_;
    long redone_ = 0;
};

} // namespace tidal
