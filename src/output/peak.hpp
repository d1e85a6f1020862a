#pragma once
// The peak of a curve sampled along a sweep (power against viscosity).
#include <cstddef>
#include <optional>
#include <span>

namespace tidal {

struct Peak {
    std::size_t index = 0; // sample of the largest y (the first, if several are equal)
    double x = 0.0, y = 0.0;
    // The vertex of the parabola through the three samples around the largest one in
    // (log10 x, log10 y), as x and y; nothing when the largest sample is the first or the last
    // one, or a y around it is not positive.
    std::optional<double> refined_x, refined_y;
};

// The peak of y(x) from samples with ascending positive x. Needs at least one sample.
Peak find_peak(std::span<const double> x, std::span<const double> y);

} // namespace tidal
