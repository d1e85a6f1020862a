#include "files/peak.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tidal {

namespace {

// The peak at sample i, refined by the vertex of the parabola through its neighbours.
Peak peak_at(std::span<const double> x, std::span<const double> y, std::size_t i) {
    Peak p;
    p.index = i;
    p.x = x[i];
    p.y = y[i];
    if (i == 0) p.position = PeakPosition::SweepStart;
    if (i + 1 >= y.size()) p.position = y.size() == 1 ? PeakPosition::SweepStart
                                                       : PeakPosition::SweepEnd;
    if (p.position != PeakPosition::Interior) return p;
    if (!(y[i - 1] > 0.0 && y[i] > 0.0 && y[i + 1] > 0.0)) return p;
    // Lagrange parabola through (u0,v0), (u1,v1), (u2,v2): its vertex, with the divided
    // differences d1 = (v1-v0)/(u1-u0), d2 = (v2-v1)/(u2-u1) and c = (d2-d1)/(u2-u0) its
    // curvature; v(u) = v1 + (u-u1) (d1 + c (u-u0)) is largest where its slope vanishes.
    const double u0 = std::log10(x[i - 1]), u1 = std::log10(x[i]), u2 = std::log10(x[i + 1]);
    const double v0 = std::log10(y[i - 1]), v1 = std::log10(y[i]), v2 = std::log10(y[i + 1]);
    const double d1 = (v1 - v0) / (u1 - u0);
    const double d2 = (v2 - v1) / (u2 - u1);
    const double c = (d2 - d1) / (u2 - u0);
    if (!(c < 0.0)) return p; // a flat top: no vertex to refine
    const double u = (u0 + u1) / 2.0 - d1 / (2.0 * c);
    const double v = v1 + (u - u1) * (d1 + c * (u - u0));
    p.refined_x = std::pow(10.0, u);
    p.refined_y = std::pow(10.0, v);
    return p;
}

// The lowest sample from i towards `step` (-1 or +1) before a sample higher than y[i] or the
// end of the sweep.
double base_towards(std::span<const double> y, std::size_t i, int step) {
    double lowest = y[i];
    for (std::ptrdiff_t j = static_cast<std::ptrdiff_t>(i) + step;
         j >= 0 && j < static_cast<std::ptrdiff_t>(y.size()); j += step) {
        const double v = y[static_cast<std::size_t>(j)];
        if (v > y[i]) break;
        lowest = std::min(lowest, v);
    }
    return lowest;
}

} // namespace

Peak find_peak(std::span<const double> x, std::span<const double> y) {
    std::size_t largest = 0;
    for (std::size_t i = 1; i < y.size(); ++i)
        if (y[i] > y[largest]) largest = i;
    return peak_at(x, y, largest);
}

std::vector<Peak> find_peaks(std::span<const double> x, std::span<const double> y) {
    std::vector<Peak> peaks{find_peak(x, y)};
    for (std::size_t i = 1; i + 1 < y.size(); ++i) {
        if (i == peaks.front().index || !(y[i] > y[i - 1] && y[i] >= y[i + 1])) continue;
        // Prominence: the height above the higher of the two bases around the maximum.
        const double base = std::max(base_towards(y, i, -1), base_towards(y, i, +1));
        if (y[i] - base >= kPeakProminence * y[i]) peaks.push_back(peak_at(x, y, i));
    }
    std::stable_sort(peaks.begin() + 1, peaks.end(),
                     [](const Peak& a, const Peak& b) { return a.y > b.y; });
    return peaks;
}

} // namespace tidal
