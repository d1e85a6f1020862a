#include "rheology/prony_fit.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <stdexcept>

#include "linalg/nnls.hpp"

namespace tidal {

namespace {

using Complex = std::complex<double>;

constexpr double kFitSamplesPerDecade = 24.0;
constexpr int kMinFitSamples = 16;               // even for a narrow band
constexpr double kCheckSamplesPerDecade = 200.0; // for worst_error
constexpr double kExtensionTimesSpacing = 0.3;   // decades^2, see prony_extension
constexpr double kMaxBandRatio = 1.0e30;         // beyond, the sample grid grows without use

// (i x)^alpha for x > 0, from its modulus and argument (exact phase alpha pi / 2).
Complex i_power(double x, double alpha) {
    return std::polar(std::pow(x, alpha), alpha * std::numbers::pi / 2.0);
}

// n points spread logarithmically over [10^lo, 10^hi] (n >= 2), or 10^((lo + hi) / 2).
std::vector<double> log_points(double lo, double hi, int n) {
    if (n == 1) return {std::pow(10.0, (lo + hi) / 2.0)};
    std::vector<double> p(n);
    for (int k = 0; k < n; ++k)
        p[k] = std::pow(10.0, lo + (hi - lo) * static_cast<double>(k) / static_cast<double>(n - 1));
    return p;
}

void check_arguments(double alpha, double band_low, double band_high, int elements,
                     double extension) {
    if (!(alpha > 0.0 && alpha < 1.0))
        throw std::invalid_argument("Prony fit: the exponent alpha must lie strictly between 0 "
                                    "and 1");
    if (!(band_low > 0.0 && band_high > band_low && std::isfinite(band_high)))
        throw std::invalid_argument("Prony fit: the band must satisfy 0 < low < high (finite)");
    if (!(band_high / band_low <= kMaxBandRatio))
        throw std::invalid_argument("Prony fit: the band spans more than 30 decades");
    if (elements < 1) throw std::invalid_argument("Prony fit: at least one element is needed");
    if (!(extension >= 0.0 && std::isfinite(extension)))
        throw std::invalid_argument("Prony fit: the band extension must be >= 0 decades");
}

} // namespace

double prony_extension(double decades, int elements) {
    // e (decades + 2 e) / (elements - 1) = c, the positive root of 2 e^2 + decades e - c (n - 1).
    const double c = kExtensionTimesSpacing * static_cast<double>(elements - 1);
    return (std::sqrt(decades * decades + 8.0 * c) - decades) / 4.0;
}

PronySeries fit_power_law(double alpha, double band_low, double band_high, int elements) {
    check_arguments(alpha, band_low, band_high, elements, 0.0);
    return fit_power_law(alpha, band_low, band_high, elements,
                         prony_extension(std::log10(band_high / band_low), elements));
}

// The fit works in the normalised frequency x = omega / w0, w0 the band's geometric centre,
// so that the band is [10^-D/2, 10^D/2] whatever its position and every column is of order
// one: with sigma = i x and s = w0 sigma, s^(-alpha) = w0^(-alpha) sigma^(-alpha), and
//   sigma^(-alpha) ~= a + d / sigma + sum_i c_i / (1 + sigma T_i)
// gives spring = w0^(-alpha) a, dashpot = w0^(1 - alpha) d, weight_i = w0^(-alpha) c_i and
// time_i = T_i / w0. The residual is the relative error, (series) sigma^alpha - 1, its real
// and imaginary parts at every sample making the rows; each column is scaled to unit norm for
// the solve and the scaling undone after.
PronySeries fit_power_law(double alpha, double band_low, double band_high, int elements,
                          double extension) {
    check_arguments(alpha, band_low, band_high, elements, extension);
    const double decades = std::log10(band_high / band_low);
    const double half = decades / 2.0;
    const double w0 = std::sqrt(band_low) * std::sqrt(band_high);

    const int samples =
        std::max(static_cast<int>(std::ceil(kFitSamplesPerDecade * decades)), kMinFitSamples) + 1;
    const std::vector<double> x = log_points(-half, half, samples);
    const std::vector<double> times = log_points(-half - extension, half + extension, elements);

    const int rows = 2 * samples;
    const int cols = 2 + elements;
    std::vector<double> a(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    std::vector<double> b(rows, 0.0);
    auto set_column = [&](int j, auto basis) {
        double* col = a.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(rows);
        for (int k = 0; k < samples; ++k) {
            const Complex sigma(0.0, x[k]);
            const Complex v = basis(sigma) * i_power(x[k], alpha);
            col[k] = v.real();
            col[samples + k] = v.imag();
        }
    };
    set_column(0, [](Complex) { return Complex(1.0); });
    set_column(1, [](Complex sigma) { return 1.0 / sigma; });
    for (int i = 0; i < elements; ++i)
        set_column(2 + i, [t = times[i]](Complex sigma) { return 1.0 / (1.0 + sigma * t); });
    for (int k = 0; k < samples; ++k)
        b[k] = 1.0;

    std::vector<double> scale(cols);
    for (int j = 0; j < cols; ++j) {
        double* col = a.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(rows);
        double sum = 0.0;
        for (int k = 0; k < rows; ++k)
            sum += col[k] * col[k];
        scale[j] = std::sqrt(sum);
        for (int k = 0; k < rows; ++k)
            col[k] /= scale[j];
    }
    const NnlsResult solution = nnls(a, rows, cols, b);

    PronySeries series;
    series.band_low = band_low;
    series.band_high = band_high;
    const double w0_alpha = std::pow(w0, -alpha);
    series.spring = solution.x[0] / scale[0] * w0_alpha;
    series.dashpot = solution.x[1] / scale[1] * w0_alpha * w0;
    for (int i = 0; i < elements; ++i) {
        const double c = solution.x[2 + i] / scale[2 + i];
        if (c > 0.0) {
            series.weight.push_back(c * w0_alpha);
            series.time.push_back(times[i] / w0);
        }
    }

    const int checks = static_cast<int>(std::ceil(kCheckSamplesPerDecade * decades)) + 1;
    for (double xk : log_points(-half, half, std::max(checks, 2))) {
        const double omega = w0 * xk;
        const Complex target = 1.0 / i_power(omega, alpha);
        const double error =
            std::abs(evaluate(series, Complex(0.0, omega)) - target) / std::abs(target);
        series.worst_error = std::max(series.worst_error, error);
    }
    return series;
}

// Sum in the stored order (spring, dashpot, then the elements by ascending time), so that the
// value is the same bits wherever it is computed.
std::complex<double> evaluate(const PronySeries& series, std::complex<double> s) {
    Complex sum = series.spring + series.dashpot / s;
    for (std::size_t i = 0; i < series.weight.size(); ++i)
        sum += series.weight[i] / (1.0 + s * series.time[i]);
    return sum;
}

} // namespace tidal
