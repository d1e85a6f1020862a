#include "files/sweep_doubts.hpp"

#include <cmath>
#include <sstream>

#include "files/result_tables.hpp"
#include "rheology/rheologies.hpp"

namespace tidal {

std::string grid_refinement_key(const Body& body) {
    return body.interior.empty() ? "numerics.layers" : "the cells of the [[layer]] tables";
}

SweepDoubts::SweepDoubts(std::vector<Rheology> models, int periods, double limit,
                         std::string grid_fix)
    : models_(std::move(models)), grid_fix_(std::move(grid_fix)), periods_(periods),
      limit_(limit) {}

void SweepDoubts::note(Exceedance& e, double eta, std::size_t rheology, double value,
                       bool& over) {
    // A NaN is in doubt too: it compares false.
    if (!(std::fabs(value) <= limit_)) over = true;
    if (!e.seen || std::fabs(value) > std::fabs(e.worst) || std::isnan(value)) {
        e.worst = value;
        e.eta = eta;
        e.rheology = kRheologies[index_of(models_[rheology])].title;
    }
    e.seen = true;
}

void SweepDoubts::add(double eta, const std::vector<SteadySummary>& steady,
                      const std::vector<GridErrorSummary>& grid) {
    ++rows_;
    bool transient_over = false, step_over = false, grid_over = false;
    for (std::size_t i = 0; i < steady.size(); ++i) {
        if (steady[i].transient)
            note(transient_, eta, i, *steady[i].transient, transient_over);
        if (steady[i].step_error)
            note(step_error_, eta, i, *steady[i].step_error, step_over);
    }
    for (std::size_t i = 0; i < grid.size(); ++i)
        if (grid[i].power) note(grid_error_, eta, i, *grid[i].power, grid_over);
    transient_.count += transient_over ? 1 : 0;
    step_error_.count += step_over ? 1 : 0;
    grid_error_.count += grid_over ? 1 : 0;
}

std::optional<std::string> SweepDoubts::warning(const Exceedance& e, std::string_view what,
                                                std::string_view fix) const {
    if (e.count == 0) return std::nullopt;
    std::ostringstream msg;
    msg << "warning: " << e.count << " of " << rows_ << " viscosities " << what
        << " (worst: " << e.rheology << " at " << two_digits(e.eta) << " Pa s, "
        << two_digits(e.worst) << "); raise " << fix << " (or numerics.doubt_limit)";
    return msg.str();
}

std::optional<std::string> SweepDoubts::transient_warning() const {
    return warning(transient_,
                   "are more than " + two_digits(limit_) + " from their periodic state after " +
                       std::to_string(periods_) + (periods_ == 1 ? " period" : " periods"),
                   "numerics.periods");
}

std::optional<std::string> SweepDoubts::step_error_warning() const {
    return warning(step_error_,
                   "have a time-step error (the time scheme's periodic power against the exact "
                   "one) above " + two_digits(limit_),
                   "numerics.steps_per_period");
}

std::optional<std::string> SweepDoubts::grid_error_warning() const {
    return warning(grid_error_,
                   "have a grid error (the power against its limit from twice the layers) "
                   "above " + two_digits(limit_),
                   grid_fix_);
}

std::vector<std::string> SweepDoubts::warnings() const {
    std::vector<std::string> out;
    for (const auto& w : {transient_warning(), step_error_warning(), grid_error_warning()})
        if (w) out.push_back(*w);
    return out;
}

std::optional<std::string> SweepDoubts::accuracy_summary() const {
    if (rows_ == 0) return std::nullopt;
    std::ostringstream msg;
    msg << "note: accuracy: largest";
    bool any = false;
    const auto part = [&](const Exceedance& e, std::string_view what) {
        if (!e.seen) return;
        msg << (any ? ", " : " ") << what << " " << two_digits(e.worst) << " (" << e.rheology
            << " at " << two_digits(e.eta) << " Pa s)";
        any = true;
    };
    part(transient_, "transient");
    part(step_error_, "step error");
    part(grid_error_, "grid error");
    if (!any) return std::nullopt;
    msg << " over " << rows_ << (rows_ == 1 ? " viscosity" : " viscosities");
    return msg.str();
}

} // namespace tidal
