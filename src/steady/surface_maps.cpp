#include "steady/surface_maps.hpp"

#include <memory>
#include <optional>

#include "steady/period_reduction.hpp"

namespace tidal {

std::vector<HeatingMap> surface_maps(const ShellModel& model, double eta, Flavour flavour,
                                     const MapGrid& grid) {
    PeriodicSolver solver(model);
    const PeriodReduction reduction(model, solver.forcing().harmonics);
    PeriodicState state;
    // An oblique body's order-1 pair: the same viscosities' state of its order-1 model
    // (docs/method.md §2.2), whose strain enters the maps beside the order-0 and order-2 one's.
    std::unique_ptr<const ShellModel> one_model;
    std::optional<PeriodicSolver> one_solver;
    PeriodicState one_state;
    if (model.body.oblique() && model.orders == TideOrders::ZeroAndTwo) {
        one_model = std::make_unique<const ShellModel>(order_one_model(model));
        one_solver.emplace(*one_model);
    }
    std::vector<double> layer_eta(static_cast<std::size_t>(model.body.layers));
    for (std::size_t l = 0; l < layer_eta.size(); ++l)
        layer_eta[l] = model.body.cell_viscosity(l, eta);
    std::vector<HeatingMap> maps;
    for (const Rheology r : model.body.models) {
        solver.solve(r, flavour, layer_eta, state);
        if (one_solver) one_solver->solve(r, flavour, layer_eta, one_state);
        maps.push_back(heating_map(reduction.layer_maps(state, r, flavour, layer_eta,
                                                        one_solver ? &one_state : nullptr),
                                   model.grid, grid));
    }
    return maps;
}

} // namespace tidal
