#pragma once
// The viscosity sweep: both rheologies for every viscosity 10^(k/20), k = 20*logetamin ..
// 20*logetamax, computed on several threads and delivered in ascending order.
#include <functional>

#include "timestep/run.hpp"

namespace tidal {

struct ViscosityResults {
    int k = 0; // sweep index: the viscosity is 10^(k/20)
    RunRecords maxwell;
    RunRecords kelvin;
};

// Number of viscosities of the body's sweep.
int sweep_length(const Body& body);

// Runs the sweep on `threads` threads (1: in the calling thread) and calls `consume` for
// every viscosity in ascending order, in the calling thread. Results are the same for any
// number of threads. An exception from a run or from `consume` stops the sweep and is
// rethrown.
void run_sweep(const ShellModel& model, int threads,
               const std::function<void(ViscosityResults&&)>& consume);

// Threads to use on this machine.
int default_thread_count();

} // namespace tidal
