#include "study/study_job.hpp"

#include <algorithm>

#include "driver/body_run.hpp"
#include "driver/result_tables.hpp"

namespace tidal {

StudyJob::StudyJob(std::vector<BodySpec> bodies, std::vector<int> numbers,
                   const std::vector<double>& series)
    : bodies_(std::move(bodies)), numbers_(std::move(numbers)) {
    first_unit_.push_back(0);
    for (const BodySpec& b : bodies_) {
        sweeps_.push_back(viscosity_sweep(b));
        auto kept = series_viscosities(sweeps_.back(), series);
        series_.push_back(std::holds_alternative<std::vector<double>>(kept)
                              ? std::get<std::vector<double>>(std::move(kept))
                              : std::vector<double>{});
        first_unit_.push_back(first_unit_.back() + batch_count(sweeps_.back()));
    }
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
        model_.emplace(shell_model(job_.body(point)));
        ws_.emplace(*model_);
        point_ = point;
    }
    SweepSettings settings;
    settings.plain = plain_;
    settings.series = job_.series(point);
    settings.steady = true; // as in a single run: the transient of every run is reported
    settings.stop = stop;
    return compute_batch(*model_, job_.sweep(point), batch, settings, *ws_);
}

std::optional<std::string> study_series_error(const std::vector<BodySpec>& bodies,
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
