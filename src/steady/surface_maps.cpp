#include "steady/surface_maps.hpp"

#include "steady/period_reduction.hpp"

namespace tidal {

std::vector<HeatingMap> surface_maps(const ShellModel& model, double eta, Flavour flavour,
                                     const MapGrid& grid) {
    PeriodicSolver solver(model);
    const PeriodReduction reduction(model, solver.forcing().harmonics);
    PeriodicState state;
    std::vector<double> layer_eta(static_cast<std::size_t>(model.body.layers));
    for (std::size_t l = 0; l < layer_eta.size(); ++l)
        layer_eta[l] = model.body.cell_viscosity(l, eta);
    std::vector<HeatingMap> maps;
    for (const Rheology r : model.body.models) {
        solver.solve(r, flavour, layer_eta, state);
        maps.push_back(heating_map(reduction.layer_maps(state, r, flavour, layer_eta),
                                   model.grid, grid));
    }
    return maps;
}

} // namespace tidal
