#pragma once
// Method: docs/method.md §6 and §8 (what a period is reduced to).
// What one orbital period of the forced shell is reduced to, whichever method computed it: the
// last period of a time integration, or a period of the periodic steady state (either flavour).
// Each quantity is defined here once; the time run's record adds what only a time run has.
#include <array>
#include <cstddef>
#include <optional>
#include <tuple>
#include <vector>

#include "loads/love_numbers.hpp"

namespace tidal {

struct PeriodRecord {
    double power = 0.0; // mean dissipated power over the period, W
    // Smallest order-0 outer-surface radial displacement over the period, m (0 if it never
    // goes below 0), and when, as a fraction of the period (0 <= tn < 1; for the periodic
    // state counted from the start of the time integration's last period). A time run's tn is
    // set only when its last period set a new minimum below 0 (model/last_period_extremes.hpp).
    double urmin = 0.0;
    std::optional<double> tn;
    double urthmax = 0.0; // largest |radial displacement| at the equator, longitude 0, m
    // The fundamental harmonic (orbital frequency) of the order-0 outer-surface radial
    // displacement: how far it lags behind the order-0 tide (degrees; 0 for an elastic shell,
    // positive when the surface moves later), and its amplitude (m).
    double phase_lag_deg = 0.0;
    double amplitude = 0.0;
    // Love numbers at the orbital frequency, from the fundamentals of the order-0 surface and
    // inner-interface displacements (loads/love_numbers.hpp).
    LoveNumbers love;
    // Per layer (N, outermost first): the period-mean dissipation per unit volume integrated
    // over the sphere at the layer's mid-radius, W/m^3 (4 pi times the layer's mean volumetric
    // heating; loads/heating_profile.hpp).
    std::vector<double> layer_heating;

    // Every field, in declaration order, with its name: what a comparison of whole records
    // and the packing of records between processes walk. The structured binding stops the
    // build when a field is added but not listed.
    static constexpr std::array<const char*, 8> field_names = {
        "power", "urmin", "tn", "urthmax", "phase_lag_deg", "amplitude", "love", "layer_heating"};
    auto fields() const {
        const auto& [a, b, c, d, e, f, g, h] = *this;
        return std::tie(a, b, c, d, e, f, g, h);
    }
    auto fields() {
        auto& [a, b, c, d, e, f, g, h] = *this;
        return std::tie(a, b, c, d, e, f, g, h);
    }
};

// An oblique body's record of a period: `out` with the dissipation of `one`, the same period
// of its order-1 pair, added (the power and every layer's heating, docs/method.md §2.2). A
// circular orbit's (e = 0) first-order tide has no order-0 component at the orbital
// frequency: the body's response there, its Love numbers and phase lag, is read from `one`.
inline void add_order_one(PeriodRecord& out, const PeriodRecord& one, bool circular) {
    out.power += one.power;
    for (std::size_t l = 0; l < out.layer_heating.size(); ++l)
        out.layer_heating[l] += one.layer_heating[l];
    if (circular) {
        out.love = one.love;
        out.phase_lag_deg = one.phase_lag_deg;
    }
}

} // namespace tidal
