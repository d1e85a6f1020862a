#pragma once
// A power law s^(-alpha) in the frequency domain (the transient compliance of the Andrade
// body is beta Gamma(1 + alpha) s^(-alpha), s = i omega) approximated over a band of angular
// frequencies by a spring, a dashpot and Kelvin-Voigt elements in series (a Prony series),
// which a time integration can carry as a few memory variables.
#include <complex>
#include <vector>

namespace tidal {

// s^(-alpha) ~= spring + dashpot / s + sum_i weight[i] / (1 + s time[i]) for s = i omega
// over the band (time in seconds, s in rad/s; spring and weights in (rad/s)^(-alpha), the
// dashpot in (rad/s)^(1 - alpha)). Every coefficient is >= 0, and elements whose fitted weight
// is 0 are dropped (so weight.size() may be smaller than asked).
struct PronySeries {
    double spring = 0.0;
    double dashpot = 0.0;
    std::vector<double> weight; // > 0
    std::vector<double> time;   // retardation times, s, ascending
    // max over the band of |series(i w) - (i w)^(-alpha)| / |(i w)^(-alpha)|, from `evaluate`
    // at 200 log-spaced frequencies per decade (ten times the fit's sample density).
    double worst_error = 0.0;
    double band_low = 0.0, band_high = 0.0; // rad/s, the band fitted
};

// Fits the series with `elements` Kelvin-Voigt elements whose retardation times are spread
// logarithmically from 1/(10^e band_high) to 10^e/band_low, e = prony_extension(decades of
// the band, elements), by non-negative least squares on the relative error at 24 log-spaced
// frequencies per decade of the band. Requires 0 < alpha < 1, 0 < band_low < band_high with
// at most 30 decades between them, and elements >= 1; throws std::invalid_argument otherwise.
// The least-squares solve cannot fail: should it stop at its iteration cap, the series is its
// last (feasible) iterate and worst_error says how good that is.
PronySeries fit_power_law(double alpha, double band_low, double band_high, int elements);

// The same with the extension e (decades, >= 0) given.
PronySeries fit_power_law(double alpha, double band_low, double band_high, int elements,
                          double extension);

// The extension, in decades, of the retardation times beyond each end of a band of `decades`
// decades for `elements` elements: the e that solves e h = 0.3 decades^2, where
// h = (decades + 2 e) / (elements - 1) is the spacing of the times in decades (0 for one
// element).
//
// Why: the series is a quadrature of the retardation spectrum of s^(-alpha), whose density is
// proportional to tau^alpha over all log tau. Two errors compete. The spacing h gives the
// quadrature error, falling like exp(-const / h); the spectrum cut off beyond the outermost
// times gives the truncation error, falling like 10^(-const e) once the spring and the
// dashpot have taken up the constant and 1/s parts of the cut-off ends. For a given number of
// elements a wider extension shrinks the second and grows the first, so the best e grows as
// h shrinks. Scanning e from 0.5 to 1.5 decades (bands of 2 to 8 decades, 8 to 30 elements,
// alpha from 0.1 to 0.9), the best e followed e h = 0.29 +- 0.03 decades^2 throughout: about
// 0.6 decade for times 0.5 decade apart, 0.75 for 0.4, 1 for 0.3. The rule's worst error was
// 0.77 to 1.34 times the best of the scan, and 1.6 to 2.8 times below that of a fixed 1-decade
// extension at 12 to 20 elements.
double prony_extension(double decades, int elements);

// The series at a complex s (rad/s, nonzero when the dashpot is).
std::complex<double> evaluate(const PronySeries& series, std::complex<double> s);

} // namespace tidal
