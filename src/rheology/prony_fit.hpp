#pragma once
// A sum of Kelvin-Voigt elements, a spring and a dashpot approximating (s)^(-alpha) for
// s = i omega over a band of angular frequencies:
//   s^(-alpha) ~= spring + dashpot / s + sum_i weight[i] / (1 + s * time[i])
// (time in seconds, s in rad/s; spring and weights in the units of s^(-alpha), i.e.
// (rad/s)^(-alpha); dashpot in (rad/s)^(1-alpha)). Every coefficient is >= 0, and elements
// whose fitted weight is 0 are dropped (so weight.size() may be smaller than asked).
#include <complex>
#include <vector>

namespace tidal {

struct PronySeries {
    double spring = 0.0;
    double dashpot = 0.0;
    std::vector<double> weight; // > 0
    std::vector<double> time;   // retardation times, s, ascending
    // max over the band of |series(i w) - (i w)^(-alpha)| / |(i w)^(-alpha)|
    double worst_error = 0.0;
    double band_low = 0.0, band_high = 0.0; // rad/s, the band fitted
};

// Fits the series with `elements` Kelvin-Voigt elements spread logarithmically over the band.
PronySeries fit_power_law(double alpha, double band_low, double band_high, int elements);

// The series at a complex s (rad/s).
std::complex<double> evaluate(const PronySeries& series, std::complex<double> s);

} // namespace tidal
