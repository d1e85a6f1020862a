#include "driver/body_run.hpp"

#include "body/body_check.hpp"
#include "body/presets.hpp"

namespace tidal {

ViscositySweep viscosity_sweep(const Body& body_spec) {
    const SweepIndices k = sweep_indices(body_spec.log10_viscosity_min,
                                         body_spec.log10_viscosity_max, body_spec.steps_per_decade);
    return ViscositySweep{static_cast<int>(k.first_k), static_cast<int>(k.count()),
                          body_spec.steps_per_decade};
}

ShellModel shell_model(const Body& body_spec) {
    RunConstants run;
    run.nperiod = body_spec.steps_per_period;
    run.nsteps = body_spec.periods * body_spec.steps_per_period;
    return make_shell_model(body_spec, run);
}

} // namespace tidal
