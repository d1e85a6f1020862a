#include "steady/grid_refinement.hpp"

#include <cstddef>
#include <vector>

namespace tidal {

namespace {

// Every entry twice, in order: a per-layer list for twice the cells.
template <class T> std::vector<T> doubled(const std::vector<T>& per_layer) {
    std::vector<T> out;
    out.reserve(2 * per_layer.size());
    for (const T& v : per_layer) {
        out.push_back(v);
        out.push_back(v);
    }
    return out;
}

} // namespace

Body refined(const Body& body) {
    Body fine = body;
    fine.layers = 2 * body.layers;
    if (body.rigidity.size() > 1) fine.rigidity = doubled(body.rigidity);
    if (!body.viscosity_factors.empty()) fine.viscosity_factors = doubled(body.viscosity_factors);
    if (!body.fixed_viscosities.empty()) fine.fixed_viscosities = doubled(body.fixed_viscosities);
    if (!body.fixed_rheologies.empty()) fine.fixed_rheologies = doubled(body.fixed_rheologies);
    for (InteriorLayer& layer : fine.interior)
        layer.cells *= 2;
    if (body.has_ocean()) {
        // The ocean's one inert cell stays one.
        const std::size_t ocean = static_cast<std::size_t>(body.ocean_band_layer() - 1);
        fine.layers = 2 * body.layers - 1;
        const auto once = [&](auto& v) {
            if (v.size() > 1) v.erase(v.begin() + static_cast<std::ptrdiff_t>(2 * ocean));
        };
        once(fine.rigidity);
        once(fine.viscosity_factors);
        once(fine.fixed_viscosities);
        once(fine.fixed_rheologies);
    }
    return fine;
}

double refinement_ratio(int layers, bool centre) {
    return single_layer_refinement_ratio(layers, centre);
}

GridError grid_error(const PeriodRecord& coarse, const PeriodRecord& fine, int layers,
                     bool centre) {
    return grid_error_at_ratio(coarse, fine, refinement_ratio(layers, centre));
}

GridError grid_error_at_ratio(const PeriodRecord& coarse, const PeriodRecord& fine,
                              double ratio) {
    const double power = richardson_limit(coarse.power, fine.power, ratio);
    const std::complex<double> h2 = richardson_limit(coarse.love.h2, fine.love.h2, ratio);
    const std::complex<double> k2 = richardson_limit(coarse.love.k2, fine.love.k2, ratio);
    const std::complex<double> l2 = richardson_limit(coarse.love.l2, fine.love.l2, ratio);
    return {coarse.power / power - 1.0, std::abs(coarse.love.h2 / h2 - 1.0),
            std::abs(coarse.love.k2 / k2 - 1.0), std::abs(coarse.love.l2 / l2 - 1.0)};
}

Extrapolated extrapolated(const PeriodRecord& coarse, const PeriodRecord& fine, int layers,
                          bool centre) {
    return extrapolated_at_ratio(coarse, fine, refinement_ratio(layers, centre));
}

Extrapolated extrapolated_at_ratio(const PeriodRecord& coarse, const PeriodRecord& fine,
                                   double ratio) {
    return {richardson_limit(coarse.power, fine.power, ratio),
            richardson_limit(coarse.phase_lag_deg, fine.phase_lag_deg, ratio),
            richardson_limit(coarse.love.h2, fine.love.h2, ratio),
            richardson_limit(coarse.love.k2, fine.love.k2, ratio),
            richardson_limit(coarse.love.l2, fine.love.l2, ratio)};
}

} // namespace tidal
