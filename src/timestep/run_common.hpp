#pragma once
// Pieces shared by the Maxwell and Kelvin-Voigt time integrations.
#include "discretisation/assembly.hpp"
#include "timestep/run.hpp"

namespace tidal {

// Sets every layer's viscosity to `eta`, assembles the rheology's matrix for time step `dt`,
// factorises it and repacks the factors for the per-step substitutions.
void prepare_system(const ShellModel& model, Rheology rheology, double eta, double dt,
                    RunWorkspace& ws);

// Outer-surface diagnostics of every step: the step's record and, in the last forcing
// period, the minimum surface displacement, its phase and the largest equatorial displacement.
class SurfaceTracker {
  public:
    SurfaceTracker(const ShellModel& model, RunRecords& out);

    // x0 and xnc are the solutions of the order-0 and the order-2 cosine components.
    void record(int step, Vec1View<const double> x0, Vec1View<const double> xnc);

  private:
    double j_;
    int nperiod_, nsteps_;
    double p20_, p22_; // surface harmonics of order 0 and 2 at colatitude pi/2, longitude 0
    RunRecords& out_;
};

} // namespace tidal
