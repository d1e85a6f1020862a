#include "steady/harmonic_forcing.hpp"

#include <stdexcept>

#include "timestep/forcing.hpp"

namespace tidal {

HarmonicForcing harmonic_forcing(const ShellModel& model) {
    constexpr int kSamples = 8;
    // The projection holds two harmonics: the exact tide's periodic state is not computed.
    if (model.body.exact_tide())
        throw std::invalid_argument(
            "orbit.tide: the periodic state of the exact tide is not computed (use the time "
            "method)");
    const int n = model.order();
    const TidalForcing forcing(model, (2.0 * kPi / model.body.angular_frequency()) / kSamples);

    HarmonicForcing out;
    out.harmonics = forcing.harmonics();
    for (int h = 1; h <= out.harmonics; ++h)
        for (auto& v : out.loads[static_cast<std::size_t>(h - 1)])
            v.assign(static_cast<std::size_t>(n), Complex(0.0));

    std::vector<double> b[kComponents];
    for (auto& v : b)
        v.assign(static_cast<std::size_t>(n), 0.0);
    for (int k = 0; k < kSamples; ++k) {
        forcing.load(k, vec1(b[0]), vec1(b[1]), vec1(b[2]));
        const double amp_order0 = forcing.at(k).amp_order0;
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
