#pragma once
// The peak of a curve sampled along a sweep (power against viscosity).
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace tidal {

// Where along the sweep a maximum lies: inside it, or at its first or last sample (where the
// curve may go on rising beyond the sweep, so that the true peak is not seen).
enum class PeakPosition { Interior, SweepStart, SweepEnd };

struct Peak {
    std::size_t index = 0; // sample of the largest y (the first, if several are equal)
    PeakPosition position = PeakPosition::Interior;
    double x = 0.0, y = 0.0;
    // The vertex of the parabola through the three samples around the largest one in
    // (log10 x, log10 y), as x and y; nothing when the largest sample is the first or the last
    // one, or a y around it is not positive.
    std::optional<double> refined_x, refined_y;
};

// The peak of y(x) from samples with ascending positive x. Needs at least one sample.
Peak find_peak(std::span<const double> x, std::span<const double> y);

// A local maximum counts as a peak of its own when it stands out by this fraction of its
// height above the lowest sample between it and any higher sample (its prominence): ripples
// of a run's transient are not peaks.
inline constexpr double kPeakProminence = 1e-2;

// Every peak of y(x), largest first: the largest sample wherever it lies (as find_peak()),
// then every interior local maximum of enough prominence, each refined as find_peak() does.
std::vector<Peak> find_peaks(std::span<const double> x, std::span<const double> y);

} // namespace tidal
