#pragma once
// Pieces shared by the Maxwell and Kelvin-Voigt time integrations.
#include <array>

#include "discretisation/assembly.hpp"
#include "loads/boundary_loads.hpp"
#include "timestep/run.hpp"

namespace tidal {

using Lanes = LaneVectors<kLanes>;

// Right-hand-side numbers of the three load components.
inline constexpr int kOrder0 = 0; // order-0 component
inline constexpr int kCosine = 1; // order-2 component of the cosine terms
inline constexpr int kSine = 2;   // order-2 component of the sine terms

// The viscosities of a batch, padded to kLanes with the last one (padding lanes are computed
// and dropped).
std::array<double, kLanes> lane_viscosities(std::span<const double> etas);

// For every lane: assembles the rheology's matrix with that lane's viscosity in every layer and
// time step `dt`, factorises it and packs the factors into the lane.
void prepare_systems(const ShellModel& model, Rheology rheology,
                     const std::array<double, kLanes>& eta, double dt, RunWorkspace& ws);

// Writes the step's tidal loads (boundary and interior rows, all other rows zero) into every
// lane's three right-hand sides.
void broadcast_loads(const RunWorkspace& ws, Lanes x);

// Outer-surface diagnostics of one lane: the step's record and, in the last forcing period,
// the minimum surface displacement, its phase and the largest equatorial displacement.
class SurfaceTracker {
  public:
    SurfaceTracker(const ShellModel& model, RunRecords& out);

    // Reads the lane's order-0 and order-2 cosine solutions at the two outermost nodes.
    void record(int step, Lanes x, int lane);

  private:
    DegreeFactors f_;
    int nperiod_, nsteps_;
    double p20_, p22_; // surface harmonics of order 0 and 2 at colatitude pi/2, longitude 0
    RunRecords& out_;
};

} // namespace tidal
