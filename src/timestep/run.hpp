#pragma once
// Time integrations of the tidally forced shell, one rheology at a time, for up to kLanes
// viscosities at once (each viscosity is independent; batching them lets one time step of all
// of them share the forcing and use vector instructions). A run owns nothing but its workspace
// and returns its records; it writes no file.
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <tuple>
#include <vector>

#include "linalg/band_solve_fast.hpp"
#include "loads/self_gravity.hpp"
#include "rheology/rheologies.hpp"
#include "model/period_record.hpp"
#include "model/shell_model.hpp"

namespace tidal {

// A time integration of one viscosity: its last period's quantities and what only a time
// run has.
struct RunRecords {
    double eta = 0.0;   // the viscosity of the run, Pa s
    PeriodRecord period; // the last period (tn: only if it set a new minimum below 0)
    std::vector<double> ursurf; // outer-surface radial displacement of every step, m

    // Every field, in declaration order, with its name: what a comparison of whole records
    // walks. The structured binding stops the build when a field is added but not listed.
    static constexpr std::array<const char*, 3> field_names = {"eta", "period", "ursurf"};
    auto fields() const {
        const auto& [a, b, c] = *this;
        return std::tie(a, b, c);
    }
    auto fields() {
        auto& [a, b, c] = *this;
        return std::tie(a, b, c);
    }
};

// Scratch arrays of a batch of runs, reused from batch to batch (one per thread).
struct RunWorkspace {
    explicit RunWorkspace(const ShellModel& model);

    std::vector<double> band;        // (6N+2) x 15 system matrix of one lane, then its upper factor
    std::vector<double> al;          // (6N+2) x 7 lower factor of one lane
    std::vector<int> indx;           // row interchanges of one lane
    std::vector<double> eta;         // N layer viscosities of one lane, Pa s
    LaneBandFactors<kLanes> factors; // every lane's factors, repacked
    std::vector<double> load[kRightHandSides]; // the step's tidal loads, common to all lanes
    std::vector<double> rhs;                   // right-hand sides / solutions of all lanes
    std::vector<double> forward;               // the substitution's intermediate result
    std::vector<double> history; // the rheology's history columns (memories, strains, ...)
    // Dissipation samples of the last period, per layer and lane: their running sum (oldest
    // first) and the first and the last sample, all the power needs of them.
    std::vector<double> window_sum, window_first, window_last;
    std::vector<double> layer_power; // N
    // A self-gravitating body's exact coupling of the boundaries, per lane, and its two unit
    // responses (one per coupled interface) packed [row][lane] for the batched correction.
    std::vector<SelfGravitySolve<double>> gravity;
    std::vector<std::vector<double>> gravity_response;
    // Asked every kStopInterval steps by the runs on this workspace; true abandons the run
    // with RunStopped, so that a signal ends even a run of millions of steps within moments.
    std::function<bool()> stop;
};

// Thrown by a run whose workspace's `stop` said so; the run's records are lost.
struct RunStopped {};
inline constexpr int kStopInterval = 256;

// Which runs of a batch keep their surface displacement of every step (nsteps values a run):
// bit i for the viscosity etas[i]. A sweep keeps the last run of every batch (the series file
// of the sweep ends with the last run) and the runs whose series were asked for.
using SeriesMask = unsigned;
inline constexpr SeriesMask kAllSeries = ~0u;
static_assert(kLanes <= 32, "a series mask holds one bit per lane");

// The runs of rheology R (a type of rheology/rheologies.hpp): one record per viscosity of
// `etas` (at most kLanes), with that viscosity times the layer's factor in every swept layer;
// a layered body's fixed layers keep their viscosities and run their own rheologies.
// Instantiated for every rheology of the list.
template <class R>
std::vector<RunRecords> run_batch(const ShellModel& model, std::span<const double> etas,
                                  RunWorkspace& ws, SeriesMask series = kAllSeries);

// The same for a rheology chosen at run time.
std::vector<RunRecords> run_batch(Rheology rheology, const ShellModel& model,
                                  std::span<const double> etas, RunWorkspace& ws,
                                  SeriesMask series = kAllSeries);

// Single-viscosity form.
RunRecords run_one(Rheology rheology, const ShellModel& model, double eta, RunWorkspace& ws);

} // namespace tidal
