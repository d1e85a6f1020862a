#include "steady/steady_sweep.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace tidal {

SteadyEngine::SteadyEngine(const ShellModel& model)
    : SteadyEngine(std::vector<const ShellModel*>{&model}) {}

SteadyEngine::SteadyEngine(std::vector<const ShellModel*> group)
    : circular_(group.at(0)->body.eccentricity == 0.0), solver_(*group.front()), lanes_(group),
      reduction_(*group.front(), lanes_.forcing(0).harmonics), states_(group.size() * kLanes) {
    const ShellModel& model = *group.front();
    if (model.body.oblique() && model.orders == TideOrders::ZeroAndTwo) {
        if (group.size() > 1)
            throw std::invalid_argument("SteadyEngine: an oblique body is solved on its own");
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
    const std::size_t G = static_cast<std::size_t>(points());
    lanes_.solve(rheology, flavour, layer_etas,
                 std::span<PeriodicState>(states_.data(), G * count));
    // Every model's states reduced together, one per lane, as each alone.
    std::vector<const HarmonicForcing*> forcings;
    for (std::size_t g = 0; g < G; ++g)
        forcings.push_back(&lanes_.forcing(static_cast<int>(g)));
    reduction_.reduce(std::span<const PeriodicState>(states_.data(), G * count), rheology,
                      flavour, layer_etas, forcings, out.first(G * count), fields);
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
    return std::move(steady_sweep(std::vector<const ShellModel*>{&model}, etas, flavours, stop)[0]);
}

std::vector<std::vector<SteadySweepRow>>
steady_sweep(const std::vector<const ShellModel*>& group, std::span<const double> etas,
             SteadyFlavours flavours, const std::function<bool()>& stop) {
    // The viscosities go kLanes at a time through the vector lanes; each row is what one
    // viscosity at a time would give. The state on twice the cells is reduced to what the
    // grid error reads of it. The group's bodies differ only in their eccentricity, so the
    // first one's layer viscosities are every one's.
    const ShellModel& model = *group.at(0);
    const std::size_t G = group.size();
    const ShellModel* fine = model.twice_the_cells.get();
    SteadyEngine engine(group);
    std::optional<SteadyEngine> fine_engine;
    if (fine) {
        std::vector<const ShellModel*> fine_group;
        for (const ShellModel* m : group)
            fine_group.push_back(m->twice_the_cells.get());
        fine_engine.emplace(fine_group);
    }
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
    std::vector<PeriodRecord> records(G * kLanes);
    std::vector<std::vector<SteadySweepRow>> rows(G);
    for (std::vector<SteadySweepRow>& r : rows)
        r.reserve(etas.size());
    for (std::size_t first = 0; first < etas.size(); first += kLanes) {
        if (stop && stop()) break;
        const std::span<const double> batch =
            etas.subspan(first, std::min<std::size_t>(kLanes, etas.size() - first));
        const std::size_t count = batch.size();
        profiles(model, batch, layer_eta, views);
        if (fine) profiles(*fine, batch, fine_eta, fine_views);
        for (std::vector<SteadySweepRow>& r : rows)
            for (std::size_t i = 0; i < count; ++i)
                r.emplace_back().eta = batch[i];
        const std::span<PeriodRecord> out(records.data(), G * count);
        const auto keep = [&](std::optional<PeriodRecord> SteadyPair::*to, Rheology r) {
            for (std::size_t g = 0; g < G; ++g)
                for (std::size_t i = 0; i < count; ++i)
                    rows[g][first + i][r].*to = std::move(records[g * count + i]);
        };
        for (const Rheology r : model.body.models) {
            engine.solve(r, Flavour::Continuous, views, out);
            for (std::size_t g = 0; g < G; ++g)
                for (std::size_t i = 0; i < count; ++i)
                    rows[g][first + i][r].continuous = std::move(records[g * count + i]);
            if (flavours == SteadyFlavours::Both) {
                engine.solve(r, Flavour::Discrete, views, out);
                keep(&SteadyPair::discrete, r);
            }
            if (fine_engine) {
                fine_engine->solve(r, Flavour::Continuous, fine_views, out,
                                   RecordFields::GridError);
                keep(&SteadyPair::refined, r);
            }
        }
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
