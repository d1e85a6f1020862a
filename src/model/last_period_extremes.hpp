#pragma once
// Method: docs/method.md §8 (the extremes of the surface displacement).
// The extremes of the surface displacement over a run's last period, taken from its steps as
// they come, the same way for a time integration and for a periodic state sampled at the
// steps of that period: the smallest order-0 outer-surface radial displacement below 0 and
// when it is reached (strict comparisons, so the earliest step of a tie wins), and the
// largest |radial displacement| at the equator. A minimum at the very end of the period is
// the same phase as one at its start, 0.
#include <cmath>
#include <optional>

namespace tidal {

// A record with the three extremes: urmin (m, starts at 0), tn (fraction of the period,
// starts empty), urthmax (m, starts at 0).
template <class Record>
concept WithSurfaceExtremes = requires(Record& r) {
    r.urmin = 0.0;
    r.tn = 0.0;
    r.urthmax = 0.0;
};

// Step `step` (1-based, of `nsteps`, the last `nperiod` of them the last period) with its
// order-0 surface displacement `surface` and equatorial displacement `equator` (m).
template <WithSurfaceExtremes Record>
void add_last_period_step(Record& r, int step, int nsteps, int nperiod, double surface,
                          double equator) {
    if (std::fabs(equator) > r.urthmax) r.urthmax = std::fabs(equator);
    if (surface < r.urmin) {
        r.urmin = surface;
        r.tn = static_cast<double>(step + nperiod - nsteps) / static_cast<double>(nperiod);
    }
}

// After the period's last step: the end of the period is its start.
template <WithSurfaceExtremes Record> void close_last_period(Record& r) {
    if (r.tn && *r.tn == 1.0) r.tn = 0.0;
}

} // namespace tidal
