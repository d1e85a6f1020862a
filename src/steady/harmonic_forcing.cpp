// Method: docs/method.md §6 (the periodic steady state) and §2.1 (the tide's harmonics).
#include "steady/harmonic_forcing.hpp"

#include <stdexcept>

#include "model/orbit_tide.hpp"
#include "model/forcing.hpp"

namespace tidal {

namespace {

// The model's harmonics of the exact tide (computed once with the model, or now for a model
// built without them).
std::vector<TideHarmonic> exact_tide_harmonics(const ShellModel& model) {
    std::vector<TideHarmonic> harmonics =
        model.tide_harmonics ? *model.tide_harmonics
                             : OrbitTide(model.body).harmonics(kTideHarmonicTolerance, kTideHarmonicCap);
    // The body's checks refuse an orbit whose tide does not converge within the cap.
    if (harmonics.empty())
        throw std::invalid_argument("orbit.eccentricity: the exact tide needs more than " +
                                    std::to_string(kTideHarmonicCap) + " harmonics");
    return harmonics;
}

void size_for(HarmonicForcing& out, int harmonics, int n) {
    out.harmonics = harmonics;
    out.loads.resize(static_cast<std::size_t>(harmonics));
    out.order0.assign(static_cast<std::size_t>(harmonics), Complex(0.0));
    for (auto& h : out.loads)
        for (auto& v : h)
            v.assign(static_cast<std::size_t>(n), Complex(0.0));
}

// The exact tide by harmonic synthesis: harmonic h's order-0 and cosine parts o_h cos(h M) and
// c_h cos(h M) are Re(o_h e^{i h M}) and Re(c_h e^{i h M}), its sine part s_h sin(h M) is
// Re(-i s_h e^{i h M}) (an oblique body's parts of both parities, docs/method.md §2.2); the
// loads are linear in the three, so the real and imaginary parts of
// each amplitude are loaded apart, as one step of the time integration loads the orbit's tide.
HarmonicForcing exact_tide_forcing(const ShellModel& model) {
    const std::vector<TideHarmonic> harmonics = exact_tide_harmonics(model);
    const int n = model.order();
    const TidalForcing forcing(model, time_step(model));
    HarmonicForcing out;
    size_for(out, static_cast<int>(harmonics.size()), n);
    std::vector<double> re[kComponents], im[kComponents];
    for (int c = 0; c < kComponents; ++c) {
        re[c].assign(static_cast<std::size_t>(n), 0.0);
        im[c].assign(static_cast<std::size_t>(n), 0.0);
    }
    for (std::size_t hi = 0; hi < harmonics.size(); ++hi) {
        const TideHarmonic& h = harmonics[hi];
        // An oblique body's harmonic C cos(h M) + S sin(h M) of every component is
        // Re((C - i S) e^{i h M}).
        const bool oblique = model.body.oblique();
        const StepForcing even = forcing.exact(
            oblique ? TideComponents{h.order0, h.cosine, h.sine_cos, h.cosine1_cos, h.sine1_cos}
                    : TideComponents{h.order0, h.cosine, 0.0});
        const StepForcing odd = forcing.exact(
            oblique ? TideComponents{0.0 - h.order0_sin, 0.0 - h.cosine_sin, 0.0 - h.sine,
                                     0.0 - h.cosine1_sin, 0.0 - h.sine1_sin}
                    : TideComponents{0.0, 0.0, -h.sine});
        forcing.load(even, vec1(re[0]), vec1(re[1]), vec1(re[2]));
        forcing.load(odd, vec1(im[0]), vec1(im[1]), vec1(im[2]));
        for (int c = 0; c < kComponents; ++c)
            for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
                out.loads[hi][static_cast<std::size_t>(c)][i] = Complex(re[c][i], im[c][i]);
        out.order0[hi] = model.orders == TideOrders::One ? Complex(even.amp_cosine, odd.amp_cosine)
                                                         : Complex(even.amp_order0, odd.amp_order0);
    }
    return out;
}

} // namespace

HarmonicForcing harmonic_forcing(const ShellModel& model) {
    if (model.body.exact_tide()) return exact_tide_forcing(model);
    constexpr int kSamples = 8;
    const int n = model.order();
    const TidalForcing forcing(model, (2.0 * kPi / model.body.angular_frequency()) / kSamples);

    HarmonicForcing out;
    size_for(out, forcing.harmonics(), n);

    std::vector<double> b[kComponents];
    for (auto& v : b)
        v.assign(static_cast<std::size_t>(n), 0.0);
    for (int k = 0; k < kSamples; ++k) {
        forcing.load(k, vec1(b[0]), vec1(b[1]), vec1(b[2]));
        const StepForcing step = forcing.at(k);
        const double amp_order0 =
            model.orders == TideOrders::One ? step.amp_cosine : step.amp_order0;
        for (int h = 1; h <= out.harmonics; ++h) {
            // F_h = (2/K) sum_k f_k e^{-i h 2 pi k / K}
            const Complex w = std::polar(
                2.0 / kSamples, -2.0 * kPi * static_cast<double>((h * k) % kSamples) / kSamples);
            const std::size_t hi = static_cast<std::size_t>(h - 1);
            for (int c = 0; c < kComponents; ++c)
                for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
                    out.loads[hi][static_cast<std::size_t>(c)][i] += w * b[c][i];
            out.order0[hi] += w * amp_order0;
        }
    }
    return out;
}

} // namespace tidal
