#pragma once
// Pieces shared by the Maxwell and Kelvin-Voigt time integrations.
#include <array>

#include "discretisation/assembly.hpp"
#include "loads/boundary_loads.hpp"
#include "loads/diagnostics.hpp"
#include "loads/fundamental.hpp"
#include "timestep/forcing.hpp"
#include "timestep/run.hpp"

namespace tidal {

using Lanes = LaneVectors<kLanes>;

// Right-hand-side numbers of the three load components.
inline constexpr int kOrder0 = 0; // order-0 component
inline constexpr int kCosine = 1; // order-2 component of the cosine terms
inline constexpr int kSine = 2;   // order-2 component of the sine terms

// The three stress unknowns of layer l (tau(j,j-2), tau(j,j), tau(j,j+2)) and the
// constitutive rows in which their history loads the system.
struct StressRow {
    int unknown, row;
};
inline std::array<StressRow, 3> stress_rows(int l) {
    return {{{6 * l - 3, 6 * l - 2}, {6 * l - 2, 6 * l - 1}, {6 * l, 6 * l}}};
}

// Outer-surface diagnostics of one lane: the step's record and, in the last forcing period,
// the minimum surface displacement, its phase, the largest equatorial displacement and the
// fundamental harmonic of the surface displacement.
class SurfaceTracker {
  public:
    SurfaceTracker(const ShellModel& model, RunRecords& out, bool keep_series);

    // Reads the lane's order-0 and order-2 cosine solutions at the two outermost nodes; `w` is
    // the step's weight in the last period's Fourier projection (read only in that period).
    void record(int step, Lanes x, int lane, FundamentalWeight w);

    // Amplitude and phase lag of the surface displacement's fundamental behind `tide`'s.
    void finish(const Harmonic& tide);

  private:
    DegreeFactors f_;
    EquatorHarmonics equator_;
    int nperiod_, nsteps_;
    bool keep_series_;
    FundamentalSums fundamental_;
    RunRecords& out_;
};

// What the two rheologies' runs share: the constants, every lane's factorised system, the
// forcing, the right-hand sides, the dissipation windows and the surface records. The
// rheology supplies the constitutive loads and what happens to the solutions.
class RunBatch {
  public:
    // Sets up the runs of the viscosities `etas` (at most kLanes; the remaining lanes repeat
    // the last one and are dropped at the end): assembles and factorises every lane's matrix
    // and clears the windows and the histories (memories or strains).
    RunBatch(const ShellModel& model, Rheology rheology, std::span<const double> etas,
             RunWorkspace& ws, SeriesMask series);
    RunBatch(const RunBatch&) = delete;
    RunBatch& operator=(const RunBatch&) = delete;

    const ShellModel& model;
    const int N, n, nsteps, nperiod;
    const double dt;
    const std::array<double, kLanes> eta; // swept viscosity of every lane, Pa s
    // Viscosity of layer l in lane `lane` at [(l-1)*kLanes + lane], Pa s: the lane's viscosity
    // times the layer's factor.
    const std::vector<double> layer_eta;
    const int window_start; // step of the windows' first column
    const Lanes x;          // right-hand sides / solutions

    // Writes the step's tidal loads (boundary and interior rows; every other row zero) into
    // every lane's three right-hand sides, except in the constitutive rows of the stresses,
    // which the rheology fills before every solve.
    void load(int step);
    // Solves every lane's system in place.
    void solve();
    // Whether the dissipation of `step` is sampled (the last period, both ends included).
    bool in_window(int step) const { return step >= window_start; }
    // Dissipation samples of layer l at a step in the window (one per lane).
    void sample(int l, int step, const double* values);
    // Surface records of the step, from the solutions.
    void record(int step);
    // The records, with the power of every lane from its window and the phase lag of its
    // surface displacement; the power routine divides layer l's time integral by twice
    // `power_eta`[(l-1)*kLanes + lane].
    std::vector<RunRecords> finish(const std::vector<double>& power_eta);

  private:
    RunWorkspace& ws_;
    std::vector<int> load_rows_; // the rows `load` writes
    TidalForcing forcing_;
    std::vector<RunRecords> out_;
    std::vector<SurfaceTracker> surface_;
    std::size_t count_;
    Harmonic tide_; // the order-0 tide's fundamental over the last period
};

} // namespace tidal
