#include "study/study_job.hpp"

#include <algorithm>

#include "engine/engine.hpp"
#include "files/result_tables.hpp"
#include "study/shared_radial_problem.hpp"

namespace tidal {

namespace {

// The whole sweeps of periodic steady states (the continuous flavour, as --method steady
// gives it) of points that share their radial problem, solved together, as records of one
// batch per point: the steady rows alone, no time runs.
std::vector<Batch> steady_batches(const std::vector<std::shared_ptr<const Engine>>& engines) {
    std::vector<const Engine*> group;
    for (const auto& e : engines)
        group.push_back(e.get());
    const Engine& first = *group.front();
    std::vector<std::vector<SteadySweepRow>> rows =
        group.size() == 1 ? std::vector<std::vector<SteadySweepRow>>{first.steady(first.swept())}
                          : steady_together(group, first.swept());
    std::vector<Batch> out(rows.size());
    for (std::size_t g = 0; g < rows.size(); ++g) {
        const ViscositySweep& sweep = group[g]->viscosities();
        out[g].resize(rows[g].size());
        for (std::size_t i = 0; i < rows[g].size(); ++i) {
            out[g][i].k = sweep.first_k + static_cast<int>(i);
            out[g][i].steady = std::move(rows[g][i]);
        }
    }
    return out;
}

} // namespace

StudyJob::StudyJob(std::vector<Body> bodies, std::vector<int> numbers,
                   const std::vector<double>& series, bool steady, int group)
    : bodies_(std::move(bodies)), numbers_(std::move(numbers)), steady_(steady) {
    first_unit_.push_back(0);
    if (steady_) {
        // Runs of consecutive points that share their radial problem with the run's first,
        // each cut into the fewest units of at most `group` points, of sizes that differ by
        // one at most (with units of at most 13, a run of 50 into 12, 13, 12 and 13 rather
        // than 13, 13, 13 and 11; 14 into two of 7 rather than 13 and 1): one factorisation
        // serves a unit's points, so units of even size spend the fewest and keep the threads
        // evenly loaded.
        const int cap = std::max(1, group);
        for (int first = 0; first < points();) {
            int end = first + 1;
            while (end < points() && share_radial_problem(body(first), body(end)))
                ++end;
            const int length = end - first;
            const int units = (length + cap - 1) / cap;
            for (int u = 0; u < units; ++u)
                group_start_.push_back(first + u * length / units);
            first = end;
        }
        group_start_.push_back(points());
    }
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

int StudyJob::units() const {
    if (steady_) return group_start_.empty() ? 0 : static_cast<int>(group_start_.size()) - 1;
    return first_unit_.empty() ? 0 : first_unit_.back();
}

int StudyJob::unit_points(int unit) const {
    if (!steady_) return 1;
    return group_start_[static_cast<std::size_t>(unit) + 1] -
           group_start_[static_cast<std::size_t>(unit)];
}

std::pair<int, int> StudyJob::locate(int unit) const {
    if (steady_) return {group_start_[static_cast<std::size_t>(unit)], 0};
    const auto after = std::upper_bound(first_unit_.begin(), first_unit_.end(), unit);
    const int point = static_cast<int>(after - first_unit_.begin()) - 1;
    return {point, unit - first_unit(point)};
}

std::vector<Batch> UnitComputer::compute(int unit, const std::function<bool()>& stop) {
    const auto [point, batch] = job_.locate(unit);
    if (point != point_ || static_cast<int>(engines_.size()) != job_.unit_points(unit)) {
        ws_.reset();
        engines_.clear();
        for (int p = point; p < point + job_.unit_points(unit); ++p)
            engines_.push_back(std::make_shared<const Engine>(job_.body(p)));
        if (!job_.steady()) ws_.emplace(engines_.front()->model());
        point_ = point;
    }
    if (job_.steady()) return steady_batches(engines_);
    SweepSettings settings;
    settings.plain = plain_;
    settings.series = job_.series(point);
    settings.steady = true; // as in a single run: the transient of every run is reported
    settings.stop = stop;
    return {engines_.front()->time_batch(batch, settings, *ws_)};
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
