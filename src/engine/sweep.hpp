#pragma once
// The viscosity sweep: every rheology for every viscosity 10^(k/s) of the body's range (s
// steps per decade), computed on several threads and delivered in ascending order.
#include <array>
#include <functional>
#include <optional>
#include <tuple>
#include <vector>

#include "steady/steady_sweep.hpp"
#include "timestep/run.hpp"

namespace tidal {

// The swept viscosities 10^(k/steps_per_decade) Pa s, k = first_k .. first_k + count - 1.
struct ViscositySweep {
    int first_k = 0;
    int count = 0;
    int steps_per_decade = 20;
    double viscosity(int k) const { return sweep_viscosity(k, steps_per_decade); }
};

struct ViscosityResults {
    int k = 0; // sweep index: the viscosity is 10^(k/steps_per_decade)
    std::array<RunRecords, kRheologyCount> runs; // per rheology, in list order
    const RunRecords& operator[](Rheology r) const { return runs[index_of(r)]; }
    RunRecords& operator[](Rheology r) { return runs[index_of(r)]; }
    // The periodic steady state of every rheology of the sweep at this viscosity, both
    // flavours, when the sweep was asked for it.
    std::optional<SteadySweepRow> steady;

    // Every field with its name (see PeriodRecord::fields).
    static constexpr std::array<const char*, 3> field_names = {"k", "runs", "steady"};
    auto fields() const {
        const auto& [a, b, c] = *this;
        return std::tie(a, b, c);
    }
    auto fields() {
        auto& [a, b, c] = *this;
        return std::tie(a, b, c);
    }
};

// The swept viscosity nearest to `eta` (Pa s) in log10, or nothing when `eta` lies more than
// half a sweep step outside the sweep.
std::optional<double> nearest_swept_viscosity(const ViscositySweep& sweep, double eta);

struct SweepSettings {
    int threads = 1;    // 1: everything in the calling thread
    bool plain = false; // one viscosity at a time without lanes (slow; the same numbers)
    // Swept viscosities whose runs keep their surface displacement of every step, besides the
    // last run of every batch (the plain path keeps every run's).
    std::vector<double> series;
    // Also the periodic steady state of every viscosity (continuous and discrete), to say how
    // far each run's last period is from it.
    bool steady = false;
    // Asked between batches of viscosities and every few hundred time steps of a run; true
    // stops the sweep.
    std::function<bool()> stop = [] { return false; };
};

using Batch = std::vector<ViscosityResults>;

// The sweep's viscosities in batches of kLanes (the last may be shorter), the unit of work
// of the threads.
int batch_count(const ViscositySweep& sweep);
int batch_size(const ViscositySweep& sweep, int b);

// Every rheology of the sweep for the viscosities of batch `b`, in ascending order, with the series and
// steady states `settings` asks for. The plain path asks `settings.stop` between viscosities
// and may return a short batch; the batched path asks it inside the time loops and returns an
// empty batch when it says stop.
Batch compute_batch(const ShellModel& model, const ViscositySweep& sweep, int b,
                    const SweepSettings& settings, RunWorkspace& ws);

// Runs the sweep and calls `consume` for every viscosity in ascending order, in the calling
// thread. Results are the same for any number of threads and either path. Returns false if
// `stop` ended the sweep early (every viscosity consumed until then is complete). An
// exception from a run or from `consume` stops the sweep and is rethrown.
bool run_sweep(const ShellModel& model, const ViscositySweep& sweep, const SweepSettings& settings,
               const std::function<void(ViscosityResults&&)>& consume);

// The phase of the minimum written for a run: its own (`own`) if its last period set a new
// minimum below zero, else the phase written for the run before it (`previous`; 0 before the
// first).
inline double carried_phase(double previous, const std::optional<double>& own) {
    return own ? *own : previous;
}

} // namespace tidal
