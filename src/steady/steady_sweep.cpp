#include "steady/steady_sweep.hpp"

#include <limits>

namespace tidal {

SteadyEngine::SteadyEngine(const ShellModel& model) : solver_(model), reduction_(model) {}

SteadyRecords SteadyEngine::solve(Rheology rheology, Flavour flavour,
                                  std::span<const double> layer_eta) {
    solver_.solve(rheology, flavour, layer_eta, state_);
    return reduction_.reduce(state_, rheology, flavour, layer_eta, solver_.forcing());
}

std::vector<SteadySweepRow> steady_sweep(const ShellModel& model, std::span<const double> etas,
                                         SteadyFlavours flavours) {
    const std::size_t N = static_cast<std::size_t>(model.body.layers);
    SteadyEngine engine(model);
    std::vector<double> layer_eta(N);
    const ShellModel* fine = model.twice_the_cells.get();
    std::optional<SteadyEngine> fine_engine;
    std::vector<double> fine_eta;
    if (fine) {
        fine_engine.emplace(*fine);
        fine_eta.resize(static_cast<std::size_t>(fine->body.layers));
    }
    std::vector<SteadySweepRow> rows;
    rows.reserve(etas.size());
    for (const double eta : etas) {
        for (std::size_t l = 0; l < N; ++l)
            layer_eta[l] = eta * model.body.viscosity_factor(l);
        for (std::size_t l = 0; l < fine_eta.size(); ++l)
            fine_eta[l] = eta * fine->body.viscosity_factor(l);
        SteadySweepRow row;
        row.eta = eta;
        for (const Rheology r : model.body.models) {
            SteadyPair& pair = row[r];
            pair.continuous = engine.solve(r, Flavour::Continuous, layer_eta);
            if (flavours == SteadyFlavours::Both)
                pair.discrete = engine.solve(r, Flavour::Discrete, layer_eta);
            if (fine_engine) pair.refined = fine_engine->solve(r, Flavour::Continuous, fine_eta);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

double transient(double time_domain_power, const SteadyPair& steady) {
    if (!steady.discrete) return std::numeric_limits<double>::quiet_NaN();
    return time_domain_power / steady.discrete->power - 1.0;
}

double step_error(const SteadyPair& steady) {
    if (!steady.discrete) return std::numeric_limits<double>::quiet_NaN();
    return steady.discrete->power / steady.continuous.power - 1.0;
}

} // namespace tidal

namespace tidal {

std::optional<GridError> grid_error(const SteadyPair& steady, int layers) {
    if (!steady.refined) return std::nullopt;
    return grid_error(steady.continuous, *steady.refined, layers);
}

std::optional<Extrapolated> extrapolated(const SteadyPair& steady, int layers) {
    if (!steady.refined) return std::nullopt;
    return extrapolated(steady.continuous, *steady.refined, layers);
}

} // namespace tidal
