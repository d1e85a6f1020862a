// Method: docs/method.md §8 (the periodic state reduced to the outputs).
// The reduction of a batch's states, the power and the layers' heating of all of them at once,
// one state per vector lane: each layer's dissipation terms formed per state by the
// rheology's plain code and packed lane by lane, then the mean squares or window sums, the
// combination of components and the layer's power (steady/layer_power.hpp) on lane vectors.
#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

#include "steady/layer_terms.hpp"
#include "steady/period_reduction.hpp"

namespace tidal {

namespace {

using lanes::Split;

// One layer's inputs of every lane, packed as PeriodReduction::LaneScratch holds them.
struct PackedLayer {
    int terms;
    const double* weight;
    const double* gain;
    const double* x;
};

// Where the sums of one layer are written lane by lane: sums[(k kComponents + c) kLanes + lane]
// for the plain sum (k = 0), the first (1) and the last (2) end sample of component c.
constexpr int kSums = 3 * kComponents * kLanes;

// dissipation::layer_sums of one packed layer for all lanes at once, stored into `sums`;
// v: room for 2 H lane vectors.
TIDAL_LANE_CLONES void lane_sums(const dissipation::LayerWindow& w, const PackedLayer& in,
                                 Split* v, double* sums) {
    const int H = w.harmonics;
    const auto weight = [&](int t) { return lanes::load_lanes(in.weight + t * kLanes); };
    const auto amplitude = [&](int t, int h, int c, int r) {
        const double* gain = in.gain + (t * H + h - 1) * 2 * kLanes;
        const double* x = in.x + (((h - 1) * kComponents + c) * 3 + r) * 2 * kLanes;
        return dissipation::Values<Split>::times(lanes::load_c(gain), lanes::load_c(x));
    };
    Split sum[kComponents], first[kComponents], last[kComponents];
    dissipation::layer_sums(w, in.terms, weight, amplitude, v, sum, first, last);
    for (int c = 0; c < kComponents; ++c) {
        lanes::store_lanes(sums + c * kLanes, sum[c]);
        lanes::store_lanes(sums + (kComponents + c) * kLanes, first[c]);
        lanes::store_lanes(sums + (2 * kComponents + c) * kLanes, last[c]);
    }
}

} // namespace

template <class R>
bool PeriodReduction::power_of_lanes(std::span<const PeriodicState> states, Rheology swept,
                                     Flavour flavour,
                                     std::span<const std::span<const double>> layer_etas,
                                     const RheologySpan& span) {
    const int count = static_cast<int>(states.size());
    const int H = harmonics_;
    const auto mu = vec1(model_.grid.mu);
    const dissipation::LayerWindow w =
        layer_window(rheology_id<R>, flavour, scratch_.bfirst, scratch_.blast);
    // Room for 2 H lane vectors on a 64-byte boundary: the clones' vector moves assume their
    // registers' width, while this file's baseline build aligns a Split to 16 bytes only.
    constexpr std::size_t kAlign = 64;
    const std::size_t room = static_cast<std::size_t>(basis_) * sizeof(Split);
    lanes_.v.resize((room + kAlign) / sizeof(double));
    void* aligned = lanes_.v.data();
    std::size_t space = lanes_.v.size() * sizeof(double);
    Split* const v = static_cast<Split*>(std::align(kAlign, room, aligned, space));
    const auto& p = model_.body.rheology.template of<R>();
    // Each state's symbols, and what its layers' terms share.
    using Context = decltype(terms_context_of<R>(p, flavour, lanes_.symbols[0]));
    std::vector<Context> contexts;
    contexts.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        HarmonicSymbols& symbols = lanes_.symbols[static_cast<std::size_t>(i)];
        symbols_of(states[static_cast<std::size_t>(i)], swept, rheology_id<R>, flavour, symbols);
        contexts.push_back(terms_context_of<R>(p, flavour, symbols));
    }
    // The lane's state (the lanes past the batch repeat its last one).
    const auto of = [&](int lane) { return static_cast<std::size_t>(std::min(lane, count - 1)); };
    constexpr std::size_t L = kLanes;
    double sums[kSums];
    for (int l = span.first; l <= span.last; ++l) {
        const std::size_t at = static_cast<std::size_t>(l - 1);
        for (int i = 0; i < count; ++i) {
            const std::size_t k = static_cast<std::size_t>(i);
            layer_terms<R>(p, contexts[k], mu(l), layer_etas[k][at], flavour, lanes_.symbols[k],
                           lanes_.terms[k]);
        }
        const std::size_t T = lanes_.terms[0].size();
        for (int i = 1; i < count; ++i)
            if (lanes_.terms[static_cast<std::size_t>(i)].size() != T) return false;
        lanes_.weight.resize(T * L);
        lanes_.gain.resize(T * static_cast<std::size_t>(H) * 2 * L);
        lanes_.x.resize(static_cast<std::size_t>(H) * kComponents * 3 * 2 * L);
        const std::array<unknowns::StressRow, 3> rows = unknowns::stress_rows(l);
        for (int lane = 0; lane < kLanes; ++lane) {
            const std::size_t i = of(lane), j = static_cast<std::size_t>(lane);
            const std::vector<DissipationTerm>& terms = lanes_.terms[i];
            for (std::size_t t = 0; t < T; ++t) {
                lanes_.weight[t * L + j] = terms[t].weight;
                for (std::size_t h = 0; h < static_cast<std::size_t>(H); ++h) {
                    double* g = lanes_.gain.data() + (t * static_cast<std::size_t>(H) + h) * 2 * L;
                    g[j] = terms[t].gain[h].real();
                    g[L + j] = terms[t].gain[h].imag();
                }
            }
            const PeriodicState& state = states[i];
            for (std::size_t h = 0; h < static_cast<std::size_t>(H); ++h)
                for (std::size_t c = 0; c < kComponents; ++c)
                    for (std::size_t r = 0; r < 3; ++r) {
                        const Complex x =
                            state.x[h][c][static_cast<std::size_t>(rows[r].unknown - 1)];
                        double* to = lanes_.x.data() + ((h * kComponents + c) * 3 + r) * 2 * L;
                        to[j] = x.real();
                        to[L + j] = x.imag();
                    }
        }
        lane_sums(w,
                  PackedLayer{static_cast<int>(T), lanes_.weight.data(), lanes_.gain.data(),
                              lanes_.x.data()},
                  v, sums);
        Split sum[kComponents], first[kComponents], last[kComponents];
        for (int c = 0; c < kComponents; ++c) {
            sum[c] = lanes::load_lanes(sums + c * kLanes);
            first[c] = lanes::load_lanes(sums + (kComponents + c) * kLanes);
            last[c] = lanes::load_lanes(sums + (2 * kComponents + c) * kLanes);
        }
        double etas[kLanes];
        for (int lane = 0; lane < kLanes; ++lane)
            etas[lane] = layer_etas[of(lane)][at];
        const Split power =
            dissipation::layer_power<R>(w, sum, first, last, lanes::load_lanes(etas));
        for (int i = 0; i < count; ++i)
            lanes_.layer_power[static_cast<std::size_t>(i)][at] = power[i];
    }
    return true;
}

void PeriodReduction::reduce(std::span<const PeriodicState> states, Rheology rheology,
                             Flavour flavour,
                             std::span<const std::span<const double>> layer_etas,
                             const HarmonicForcing& forcing, std::span<PeriodRecord> out,
                             RecordFields fields) {
    const std::size_t count = states.size();
    if (count < 1 || count > static_cast<std::size_t>(kLanes) || layer_etas.size() != count ||
        out.size() != count)
        throw std::invalid_argument(
            "PeriodReduction::reduce: 1 to kLanes states, one profile and record each");
    for (const PeriodicState& s : states)
        check_harmonics(s);
    for (std::size_t i = 0; i < count; ++i)
        lanes_.layer_power[i].assign(static_cast<std::size_t>(model_.body.layers), 0.0);
    bool formed = true;
    for (const RheologySpan& span : rheology_spans(model_.body, rheology))
        with_rheology(span.rheology, [&]<class R>(R) {
            formed = formed && power_of_lanes<R>(states, rheology, flavour, layer_etas, span);
        });
    for (std::size_t i = 0; i < count; ++i) {
        PeriodRecord& record = out[i] = PeriodRecord{};
        const std::vector<double>& powers = lanes_.layer_power[i];
        // A finite layer power met no NaN on its way: every complex product was the inline
        // formula's, and the lane's values are the plain code's.
        const bool finite =
            formed && std::all_of(powers.begin(), powers.end(),
                                  [](double x) { return std::isfinite(x); });
        if (finite) {
            record.power = mean_power(flavour, powers, record.layer_heating);
        } else {
            record.power =
                power(states[i], rheology, flavour, layer_etas[i], record.layer_heating);
            ++redone_;
        }
        finish(states[i], flavour, forcing, fields, record);
    }
}

} // namespace tidal
