#include "steady/trig_extremum.hpp"

#include <cmath>

#include "discretisation/body.hpp"

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
    constexpr int kSamples = 256;
    TrigMinimum best{evaluate(a, 0.0).f, 0.0};
    for (int i = 1; i < kSamples; ++i) {
        const double p = static_cast<double>(i) / kSamples;
        const double f = evaluate(a, p).f;
        if (f < best.value) best = {f, p};
    }
    double p = best.phase;
    for (int it = 0; it < 30; ++it) {
        const Value3 v = evaluate(a, p);
        if (!(v.d2f > 0.0)) break;
        const double step = v.df / v.d2f;
        // The sampled minimum lies within one sample spacing of the true one.
        if (std::fabs(step) > 1.0 / kSamples) break;
        p -= step;
        if (std::fabs(step) < 1e-15) break;
    }
    const double f = evaluate(a, p).f;
    if (f < best.value) best = {f, wrap_unit(p)};
    return best;
}

} // namespace tidal
