#include "study/study_job.hpp"

#include <algorithm>

#include "engine/engine.hpp"
#include "files/result_tables.hpp"

namespace tidal {

namespace {

// A point's whole sweep of periodic steady states (the continuous flavour, as --method steady
// gives it), as records of a batch: the steady rows alone, no time runs.
Batch steady_batch(const Engine& engine) {
    const ViscositySweep& sweep = engine.viscosities();
    std::vector<SteadySweepRow> rows = engine.steady(engine.swept());
    Batch out(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        out[i].k = sweep.first_k + static_cast<int>(i);
        out[i].steady = std::move(rows[i]);
    }
    return out;
}

} // namespace

StudyJob::StudyJob(std::vector<Body> bodies, std::vector<int> numbers,
                   const std::vector<double>& series, bool steady)
    : bodies_(std::move(bodies)), numbers_(std::move(numbers)), steady_(steady) {
    first_unit_.push_back(0);
    for (const Body& b : bodies_) {
        sweeps_.push_back(viscosity_sweep(b));
        auto kept = series_viscosities(sweeps_.back(), series);
        series_.push_back(std::holds_alternative<std::vector<double>>(kept)
                              ? std::get<std::vector<double>>(std::move(kept))
                              : std::vector<double>{});
        first_unit_.push_back(first_unit_.back() + (steady_ ? 1 : batch_count(sweeps_.back())));
    }
}

int StudyJob::batch_size(int point, int batch) const {
    return steady_ ? sweep(point).count : tidal::batch_size(sweep(point), batch);
}

std::pair<int, int> StudyJob::locate(int unit) const {
    const auto after = std::upper_bound(first_unit_.begin(), first_unit_.end(), unit);
    const int point = static_cast<int>(after - first_unit_.begin()) - 1;
    return {point, unit - first_unit(point)};
}

Batch UnitComputer::compute(int unit, const std::function<bool()>& stop) {
    const auto [point, batch] = job_.locate(unit);
    if (point != point_) {
        ws_.reset();
        engine_ = std::make_shared<const Engine>(job_.body(point));
        if (!job_.steady()) ws_.emplace(engine_->model());
        point_ = point;
    }
    if (job_.steady()) return steady_batch(*engine_);
    SweepSettings settings;
    settings.plain = plain_;
    settings.series = job_.series(point);
    settings.steady = true; // as in a single run: the transient of every run is reported
    settings.stop = stop;
    return engine_->time_batch(batch, settings, *ws_);
}

std::optional<std::string> study_series_error(const std::vector<Body>& bodies,
                                              const std::vector<double>& series) {
    if (series.empty()) return std::nullopt;
    for (std::size_t p = 0; p < bodies.size(); ++p) {
        const auto kept = series_viscosities(viscosity_sweep(bodies[p]), series);
        if (const auto* e = std::get_if<std::string>(&kept))
            return "point " + std::to_string(p + 1) + ": " + *e;
    }
    return std::nullopt;
}

} // namespace tidal
