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
    std::vector<SteadySweepRow> rows;
    rows.reserve(etas.size());
    for (const double eta : etas) {
        for (std::size_t l = 0; l < N; ++l)
            layer_eta[l] = eta * model.body.viscosity_factor(l);
        SteadySweepRow row;
        row.eta = eta;
        for (const Rheology r : model.body.models) {
            SteadyPair& pair = row[r];
            pair.continuous = engine.solve(r, Flavour::Continuous, layer_eta);
            if (flavours == SteadyFlavours::Both)
                pair.discrete = engine.solve(r, Flavour::Discrete, layer_eta);
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
