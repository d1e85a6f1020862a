// Placeholder until the least-squares fit lands: the midpoint rule on the relaxation spectrum.
#include "rheology/prony_fit.hpp"

#include <cmath>

namespace tidal {

PronySeries fit_power_law(double alpha, double band_low, double band_high, int elements) {
    PronySeries p;
    p.band_low = band_low;
    p.band_high = band_high;
    const double lo = std::log(1.0 / band_high) - 2.3, hi = std::log(1.0 / band_low) + 2.3;
    const double h = (hi - lo) / elements;
    for (int i = 0; i < elements; ++i) {
        const double t = std::exp(lo + (i + 0.5) * h);
        p.time.push_back(t);
        p.weight.push_back(std::sin(alpha * M_PI) / M_PI * std::pow(t, alpha) * h);
    }
    return p;
}

std::complex<double> evaluate(const PronySeries& p, std::complex<double> s) {
    std::complex<double> sum = p.spring + p.dashpot / s;
    for (std::size_t i = 0; i < p.weight.size(); ++i)
        sum += p.weight[i] / (1.0 + s * p.time[i]);
    return sum;
}

} // namespace tidal
