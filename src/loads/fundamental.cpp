#include "loads/fundamental.hpp"

#include <cmath>

#include "description/body.hpp"

namespace tidal {

FundamentalWeight fundamental_weight(int step, int nperiod) {
    const double theta = (2.0 * kPi) * static_cast<double>(step % nperiod) / nperiod;
    return {std::cos(theta), std::sin(theta)};
}

Harmonic fundamental(const FundamentalSums& sums, int samples) {
    const double a = 2.0 * sums.c / samples; // A cos(phase)
    const double b = 2.0 * sums.s / samples; // A sin(phase)
    return {std::hypot(a, b), std::atan2(b, a)};
}

std::complex<double> phasor(const Harmonic& h) {
    return std::polar(h.amplitude, -h.phase);
}

double phase_lag_deg(const Harmonic& response, const Harmonic& forcing) {
    double lag = response.phase - forcing.phase;
    if (lag > kPi) lag -= 2.0 * kPi;
    if (lag <= -kPi) lag += 2.0 * kPi;
    return lag * (180.0 / kPi);
}

} // namespace tidal
