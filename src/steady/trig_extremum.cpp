#include "steady/trig_extremum.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "description/body.hpp"

namespace tidal {

namespace {

double wrap_unit(double p) {
    p -= std::floor(p);
    return p >= 1.0 ? 0.0 : p;
}

// f and its first two derivatives with respect to p.
struct Value3 {
    double f, df, d2f;
};
Value3 evaluate(std::span<const Complex> a, double p) {
    Value3 v{0.0, 0.0, 0.0};
    for (std::size_t k = 0; k < a.size(); ++k) {
        const double w = 2.0 * kPi * static_cast<double>(k + 1);
        const Complex e = a[k] * std::polar(1.0, w * p);
        v.f += e.real();
        v.df += -w * e.imag();
        v.d2f += -w * w * e.real();
    }
    return v;
}

} // namespace

TrigMinimum trig_minimum(std::span<const Complex> a) {
    std::size_t H = a.size();
    while (H > 0 && a[H - 1] == Complex(0.0))
        --H;
    a = a.first(H);
    if (H == 0) return {0.0, 0.0};
    if (H == 1) {
        // Re(a e^{2 pi i p}) = |a| cos(2 pi p + arg a) is smallest where the cosine is -1.
        return {-std::abs(a[0]), wrap_unit((kPi - std::arg(a[0])) / (2.0 * kPi))};
    }
    // At least 256 samples, and 16 per period of the highest harmonic: a dip of harmonic H is
    // about 1/(2 pi H) wide, and Newton's method converges from a sample within 1/(32 H) of
    // its bottom.
    const int samples = std::max(256, 16 * static_cast<int>(H));
    const double spacing = 1.0 / samples;
    // The samples from a table of e^{2 pi i m / samples}: harmonic h at sample i turns by
    // h i modulo the samples (H products a sample, no sine or cosine).
    std::vector<Complex> turn(static_cast<std::size_t>(samples));
    for (int m = 0; m < samples; ++m)
        turn[static_cast<std::size_t>(m)] =
            std::polar(1.0, 2.0 * kPi * static_cast<double>(m) / samples);
    std::vector<double> f(static_cast<std::size_t>(samples));
    std::size_t best_sample = 0;
    for (int i = 0; i < samples; ++i) {
        double v = 0.0;
        for (std::size_t k = 0; k < H; ++k)
            v += (a[k] * turn[((k + 1) * static_cast<std::size_t>(i)) %
                              static_cast<std::size_t>(samples)])
                     .real();
        f[static_cast<std::size_t>(i)] = v;
        if (v < f[best_sample]) best_sample = static_cast<std::size_t>(i);
    }
    // Newton's method on f'(p) = 0 from a sample, kept to steps below the spacing.
    const auto refine = [&](std::size_t i, TrigMinimum& best) {
        double p = static_cast<double>(i) / samples;
        for (int it = 0; it < 30; ++it) {
            const Value3 v = evaluate(a, p);
            if (!(v.d2f > 0.0)) break;
            const double step = v.df / v.d2f;
            if (std::fabs(step) > spacing) break;
            p -= step;
            if (std::fabs(step) < 1e-15) break;
        }
        const double value = evaluate(a, p).f;
        if (value < best.value) best = {value, wrap_unit(p)};
    };
    // The lowest sample's value as the refinement evaluates the signal.
    TrigMinimum best{evaluate(a, static_cast<double>(best_sample) / samples).f,
                     static_cast<double>(best_sample) / samples};
    refine(best_sample, best);
    // The lowest sample need not be nearest the lowest point: a minimum lies within half a
    // spacing of a sample, which it undercuts by at most max|f''| (spacing/2)^2 / 2, and
    // |f''| <= sum over h of (2 pi h)^2 |a_h|. Every other sampled local minimum within that
    // margin of the lowest is refined too.
    double curvature = 0.0;
    for (std::size_t k = 0; k < H; ++k) {
        const double w = 2.0 * kPi * static_cast<double>(k + 1);
        curvature += w * w * std::abs(a[k]);
    }
    const double margin = curvature * spacing * spacing / 8.0;
    const std::size_t n = f.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i == best_sample) continue;
        const double fi = f[i];
        if (!(fi <= f[(i + n - 1) % n] && fi <= f[(i + 1) % n])) continue;
        if (fi - f[best_sample] <= margin) refine(i, best);
    }
    return best;
}

} // namespace tidal
