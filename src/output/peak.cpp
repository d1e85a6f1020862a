#include "output/peak.hpp"

#include <cmath>

namespace tidal {

Peak find_peak(std::span<const double> x, std::span<const double> y) {
    Peak p;
    for (std::size_t i = 1; i < y.size(); ++i)
        if (y[i] > y[p.index]) p.index = i;
    p.x = x[p.index];
    p.y = y[p.index];
    if (p.index == 0 || p.index + 1 >= y.size()) return p;
    const std::size_t i = p.index;
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

} // namespace tidal
