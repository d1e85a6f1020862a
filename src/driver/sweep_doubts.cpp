#include "driver/sweep_doubts.hpp"

#include <cmath>
#include <sstream>

#include "driver/result_tables.hpp"
#include "rheology/rheologies.hpp"

namespace tidal {

SweepDoubts::SweepDoubts(std::vector<Rheology> models, int periods)
    : models_(std::move(models)), periods_(periods) {}

void SweepDoubts::note(Exceedance& e, double eta, std::size_t rheology, double value,
                       double limit, bool& over) {
    if (std::fabs(value) > limit) over = true;
    if (std::fabs(value) > std::fabs(e.worst)) {
        e.worst = value;
        e.eta = eta;
        e.rheology = kRheologies[index_of(models_[rheology])].title;
    }
}

void SweepDoubts::add(double eta, const std::vector<SteadySummary>& steady) {
    ++rows_;
    bool transient_over = false, step_over = false;
    for (std::size_t i = 0; i < steady.size(); ++i) {
        if (steady[i].transient)
            note(transient_, eta, i, *steady[i].transient, kTransientLimit, transient_over);
        if (steady[i].step_error)
            note(step_error_, eta, i, *steady[i].step_error, kStepErrorLimit, step_over);
    }
    transient_.count += transient_over ? 1 : 0;
    step_error_.count += step_over ? 1 : 0;
}

std::optional<std::string> SweepDoubts::warning(const Exceedance& e, std::string_view what,
                                                std::string_view fix) const {
    if (e.count == 0) return std::nullopt;
    std::ostringstream msg;
    msg << "warning: " << e.count << " of " << rows_ << " viscosities " << what
        << " (worst: " << e.rheology << " at " << two_digits(e.eta) << " Pa s, "
        << two_digits(e.worst) << "); raise " << fix;
    return msg.str();
}

std::optional<std::string> SweepDoubts::transient_warning() const {
    return warning(transient_,
                   "are more than " + two_digits(kTransientLimit) +
                       " from their periodic state after " + std::to_string(periods_) +
                       (periods_ == 1 ? " period" : " periods"),
                   "numerics.periods");
}

std::optional<std::string> SweepDoubts::step_error_warning() const {
    return warning(step_error_,
                   "have a time-step error (the time scheme's periodic power against the exact "
                   "one) above " + two_digits(kStepErrorLimit),
                   "numerics.steps_per_period");
}

} // namespace tidal
