#include "driver/body_run.hpp"

#include "body/body_check.hpp"
#include "body/make_body.hpp"

namespace tidal {

ViscositySweep viscosity_sweep(const BodySpec& spec) {
    const SweepIndices k =
        sweep_indices(spec.log10_viscosity_min, spec.log10_viscosity_max, spec.steps_per_decade);
    return ViscositySweep{static_cast<int>(k.first_k), static_cast<int>(k.count()),
                          spec.steps_per_decade};
}

ShellModel shell_model(const BodySpec& spec) {
    RunConstants run;
    run.nperiod = spec.steps_per_period;
    run.nsteps = spec.periods * spec.steps_per_period;
    return make_shell_model(make_body(spec), run);
}

} // namespace tidal
