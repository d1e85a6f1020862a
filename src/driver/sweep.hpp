#pragma once
// The viscosity sweep: both rheologies for every viscosity 10^(k/20), k = 20*logetamin ..
// 20*logetamax, computed on several threads and delivered in ascending order.
#include <functional>
#include <optional>
#include <vector>

#include "timestep/run.hpp"

namespace tidal {

struct ViscosityResults {
    int k = 0; // sweep index: the viscosity is 10^(k/20)
    RunRecords maxwell;
    RunRecords kelvin;
};

// Number of viscosities of the body's sweep.
int sweep_length(const Body& body);

// The swept viscosity nearest to `eta` (Pa s) in log10, or nothing when `eta` lies more than
// half a sweep step outside the body's sweep.
std::optional<double> nearest_swept_viscosity(const Body& body, double eta);

struct SweepSettings {
    int threads = 1;    // 1: everything in the calling thread
    bool plain = false; // one viscosity at a time without lanes (slow; the same numbers)
    // Swept viscosities whose runs keep their surface displacement of every step, besides the
    // last run of every batch (the plain path keeps every run's).
    std::vector<double> series;
    // Asked between batches of viscosities; true stops the sweep.
    std::function<bool()> stop = [] { return false; };
};

// Runs the sweep and calls `consume` for every viscosity in ascending order, in the calling
// thread. Results are the same for any number of threads and either path. Returns false if
// `stop` ended the sweep early (every viscosity consumed until then is complete). An
// exception from a run or from `consume` stops the sweep and is rethrown.
bool run_sweep(const ShellModel& model, const SweepSettings& settings,
               const std::function<void(ViscosityResults&&)>& consume);

// Threads to use on this machine.
int default_thread_count();

} // namespace tidal
