#include "steady/steady_sweep.hpp"

#include <algorithm>
#include <limits>

namespace tidal {

SteadyEngine::SteadyEngine(const ShellModel& model)
    : circular_(model.body.eccentricity == 0.0), solver_(model), lanes_(model),
      reduction_(model, solver_.forcing().harmonics) {
    if (model.body.oblique() && model.orders == TideOrders::ZeroAndTwo) {
        one_model_ = std::make_unique<const ShellModel>(order_one_model(model));
        one_ = std::make_unique<SteadyEngine>(*one_model_);
    }
}

PeriodRecord SteadyEngine::solve(Rheology rheology, Flavour flavour,
                                 std::span<const double> layer_eta, RecordFields fields) {
    solver_.solve(rheology, flavour, layer_eta, state_);
    PeriodRecord out =
        reduction_.reduce(state_, rheology, flavour, layer_eta, solver_.forcing(), fields);
    if (one_) add_order_one(out, one_->solve(rheology, flavour, layer_eta, fields), circular_);
    return out;
}

void SteadyEngine::solve(Rheology rheology, Flavour flavour,
                         std::span<const std::span<const double>> layer_etas,
                         std::span<PeriodRecord> out, RecordFields fields) {
    const std::size_t count = layer_etas.size();
    lanes_.solve(rheology, flavour, layer_etas, std::span<PeriodicState>(states_.data(), count));
    for (std::size_t i = 0; i < count; ++i)
        out[i] = reduction_.reduce(states_[i], rheology, flavour, layer_etas[i],
                                   lanes_.forcing(), fields);
    if (!one_) return;
    std::array<PeriodRecord, kLanes> one;
    one_->solve(rheology, flavour, layer_etas, std::span<PeriodRecord>(one.data(), count),
                fields);
    for (std::size_t i = 0; i < count; ++i)
        add_order_one(out[i], one[i], circular_);
}

std::vector<SteadySweepRow> steady_sweep(const ShellModel& model, std::span<const double> etas,
                                         SteadyFlavours flavours,
                                         const std::function<bool()>& stop) {
    // The viscosities go kLanes at a time through the vector lanes; each row is what one
    // viscosity at a time would give. The state on twice the cells is reduced to what the
    // grid error reads of it.
    const ShellModel* fine = model.twice_the_cells.get();
    SteadyEngine engine(model);
    std::optional<SteadyEngine> fine_engine;
    if (fine) fine_engine.emplace(*fine);
    const auto profiles = [](const ShellModel& m, std::span<const double> batch,
                             std::vector<std::vector<double>>& eta,
                             std::vector<std::span<const double>>& views) {
        const std::size_t N = static_cast<std::size_t>(m.body.layers);
        eta.resize(batch.size());
        views.clear();
        for (std::size_t i = 0; i < batch.size(); ++i) {
            eta[i].resize(N);
            for (std::size_t l = 0; l < N; ++l)
                eta[i][l] = m.body.cell_viscosity(l, batch[i]);
            views.emplace_back(eta[i]);
        }
    };
    std::vector<std::vector<double>> layer_eta, fine_eta;
    std::vector<std::span<const double>> views, fine_views;
    std::array<PeriodRecord, kLanes> records;
    std::vector<SteadySweepRow> rows;
    rows.reserve(etas.size());
    for (std::size_t first = 0; first < etas.size(); first += kLanes) {
        if (stop && stop()) break;
        const std::span<const double> batch =
            etas.subspan(first, std::min<std::size_t>(kLanes, etas.size() - first));
        const std::size_t count = batch.size();
        profiles(model, batch, layer_eta, views);
        if (fine) profiles(*fine, batch, fine_eta, fine_views);
        std::array<SteadySweepRow, kLanes> batch_rows;
        for (std::size_t i = 0; i < count; ++i)
            batch_rows[i].eta = batch[i];
        const std::span<PeriodRecord> out(records.data(), count);
        for (const Rheology r : model.body.models) {
            engine.solve(r, Flavour::Continuous, views, out);
            for (std::size_t i = 0; i < count; ++i)
                batch_rows[i][r].continuous = std::move(records[i]);
            if (flavours == SteadyFlavours::Both) {
                engine.solve(r, Flavour::Discrete, views, out);
                for (std::size_t i = 0; i < count; ++i)
                    batch_rows[i][r].discrete = std::move(records[i]);
            }
            if (fine_engine) {
                fine_engine->solve(r, Flavour::Continuous, fine_views, out,
                                   RecordFields::GridError);
                for (std::size_t i = 0; i < count; ++i)
                    batch_rows[i][r].refined = std::move(records[i]);
            }
        }
        for (std::size_t i = 0; i < count; ++i)
            rows.push_back(std::move(batch_rows[i]));
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

std::optional<GridError> grid_error(const SteadyPair& steady, const RadialGrid& grid) {
    if (!steady.refined) return std::nullopt;
    return grid_error_at_ratio(steady.continuous, *steady.refined, grid.refinement_ratio);
}

std::optional<Extrapolated> extrapolated(const SteadyPair& steady, const RadialGrid& grid) {
    if (!steady.refined) return std::nullopt;
    return extrapolated_at_ratio(steady.continuous, *steady.refined, grid.refinement_ratio);
}

} // namespace tidal
