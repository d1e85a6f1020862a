#include "engine/engine.hpp"

#include "body/body_check.hpp"
#include "steady/grid_refinement.hpp"

#include <memory>

namespace tidal {

namespace {

RunConstants run_constants(const Body& body) {
    RunConstants run;
    run.nperiod = body.steps_per_period;
    run.nsteps = body.periods * body.steps_per_period;
    return run;
}

} // namespace

ViscositySweep viscosity_sweep(const Body& body) {
    const SweepIndices k =
        sweep_indices(body.log10_viscosity_min, body.log10_viscosity_max, body.steps_per_decade);
    return ViscositySweep{static_cast<int>(k.first_k), static_cast<int>(k.count()),
                          body.steps_per_decade};
}

Engine::Engine(const Body& body)
    : model_(make_shell_model(body, run_constants(body))), viscosities_(viscosity_sweep(body)) {
    // The grid error of every row comes from the periodic state on twice the cells: the same
    // rheology, orbit and run constants, so the same prepared rheologies.
    if (body.grid_error)
        model_.twice_the_cells = std::make_shared<const ShellModel>(
            make_shell_model(refined(body), run_constants(body), &model_.body.rheology));
}

std::vector<double> Engine::swept() const {
    std::vector<double> etas;
    for (int k = viscosities_.first_k; k < viscosities_.first_k + viscosities_.count; ++k)
        etas.push_back(viscosities_.viscosity(k));
    return etas;
}

bool Engine::time(const SweepSettings& settings,
                  const std::function<void(ViscosityResults&&)>& consume) const {
    return run_sweep(model_, viscosities_, settings, consume);
}

Batch Engine::time_batch(int batch, const SweepSettings& settings, RunWorkspace& ws) const {
    return compute_batch(model_, viscosities_, batch, settings, ws);
}

std::vector<SteadySweepRow> Engine::steady(std::span<const double> etas,
                                           const std::function<bool()>& stop) const {
    return steady_sweep(model_, etas, SteadyFlavours::Continuous, stop);
}

std::vector<std::vector<SteadySweepRow>> steady_together(const std::vector<const Engine*>& engines,
                                                         std::span<const double> etas) {
    std::vector<const ShellModel*> models;
    for (const Engine* e : engines)
        models.push_back(&e->model());
    return steady_sweep(models, etas, SteadyFlavours::Continuous);
}

std::vector<SweepMap> Engine::maps(const std::vector<double>& etas, Flavour flavour,
                                   double step) const {
    return sweep_maps(model_, etas, flavour, step);
}

} // namespace tidal
