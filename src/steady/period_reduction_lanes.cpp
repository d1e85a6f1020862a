// Method: docs/method.md §8 (the periodic state reduced to the outputs).
// The reduction of a batch's states, the power and the layers' heating of all of them at once,
// one state per vector lane: each layer's dissipation terms formed per state by the
// rheology's plain code and packed lane by lane, then the mean squares or window sums, the
// combination of components and the layer's power (steady/layer_power.hpp) on lane vectors.
#include <algorithm>
#include <cmath>
#include <cstring>
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
    // Always inlined: no vector crosses a call into code compiled for another instruction set.
    const auto weight = [&](int t) __attribute__((always_inline)) {
        return lanes::load_lanes(in.weight + t * kLanes);
    };
    const auto amplitude = [&](int t, int h, int c, int r) __attribute__((always_inline)) {
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
bool PeriodReduction::power_of_lanes(std::span<const PeriodicState> states, int models,
                                     Rheology swept, Flavour flavour,
                                     std::span<const std::span<const double>> layer_etas,
                                     const RheologySpan& span) {
    const int count = static_cast<int>(layer_etas.size());
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
    // Each lane's symbols, and what its layers' terms share (the first model's states: every
    // model's have the same factors s, which reduce() checks).
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
        // The layer's dissipation terms of every lane, the same for every model.
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
        for (int lane = 0; lane < kLanes; ++lane) {
            const std::size_t j = static_cast<std::size_t>(lane);
            const std::vector<DissipationTerm>& terms = lanes_.terms[of(lane)];
            for (std::size_t t = 0; t < T; ++t) {
                lanes_.weight[t * L + j] = terms[t].weight;
                for (std::size_t h = 0; h < static_cast<std::size_t>(H); ++h) {
                    double* g = lanes_.gain.data() + (t * static_cast<std::size_t>(H) + h) * 2 * L;
                    g[j] = terms[t].gain[h].real();
                    g[L + j] = terms[t].gain[h].imag();
                }
            }
        }
        double etas[kLanes];
        for (int lane = 0; lane < kLanes; ++lane)
            etas[lane] = layer_etas[of(lane)][at];
        const std::array<unknowns::StressRow, 3> rows = unknowns::stress_rows(l);
        // Each model's stress amplitudes of the layer, lane by lane, and its layer power.
        for (int g = 0; g < models; ++g) {
            const std::size_t first = static_cast<std::size_t>(g * count);
            for (int lane = 0; lane < kLanes; ++lane) {
                const std::size_t j = static_cast<std::size_t>(lane);
                const PeriodicState& state = states[first + of(lane)];
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
            Split sum[kComponents], first_sample[kComponents], last_sample[kComponents];
            for (int c = 0; c < kComponents; ++c) {
                sum[c] = lanes::load_lanes(sums + c * kLanes);
                first_sample[c] = lanes::load_lanes(sums + (kComponents + c) * kLanes);
                last_sample[c] = lanes::load_lanes(sums + (2 * kComponents + c) * kLanes);
            }
            const Split power = dissipation::layer_power<R>(w, sum, first_sample, last_sample,
                                                            lanes::load_lanes(etas));
            for (int i = 0; i < count; ++i)
                lanes_.layer_power[first + static_cast<std::size_t>(i)][at] = power[i];
        }
    }
    return true;
}

void PeriodReduction::reduce(std::span<const PeriodicState> states, Rheology rheology,
                             Flavour flavour,
                             std::span<const std::span<const double>> layer_etas,
                             const HarmonicForcing& forcing, std::span<PeriodRecord> out,
                             RecordFields fields) {
    const HarmonicForcing* forcings[] = {&forcing};
    reduce(states, rheology, flavour, layer_etas, forcings, out, fields);
}

void PeriodReduction::reduce(std::span<const PeriodicState> states, Rheology rheology,
                             Flavour flavour,
                             std::span<const std::span<const double>> layer_etas,
                             std::span<const HarmonicForcing* const> forcings,
                             std::span<PeriodRecord> out, RecordFields fields) {
    const std::size_t count = layer_etas.size(), models = forcings.size();
    if (count < 1 || count > static_cast<std::size_t>(kLanes) || models < 1 ||
        states.size() != models * count || out.size() != models * count)
        throw std::invalid_argument("PeriodReduction::reduce: 1 to kLanes profiles, one state "
                                    "and record each per model");
    for (const PeriodicState& s : states)
        check_harmonics(s);
    // The terms are formed once from the first model's factors s: every model's must be the
    // same bits (they are, for models that share their radial problem); else each model is
    // reduced on its own.
    const auto same_bits = [](const std::vector<Complex>& a, const std::vector<Complex>& b) {
        return a.size() == b.size() &&
               (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Complex)) == 0);
    };
    for (std::size_t k = count; k < states.size(); ++k)
        if (!same_bits(states[k].s, states[k % count].s)) {
            for (std::size_t g = 0; g < models; ++g)
                reduce(states.subspan(g * count, count), rheology, flavour, layer_etas,
                       forcings.subspan(g, 1), out.subspan(g * count, count), fields);
            return;
        }
    lanes_.layer_power.resize(states.size());
    for (std::vector<double>& powers : lanes_.layer_power)
        powers.assign(static_cast<std::size_t>(model_.body.layers), 0.0);
    bool formed = true;
    for (const RheologySpan& span : rheology_spans(model_.body, rheology))
        with_rheology(span.rheology, [&]<class R>(R) {
            formed = formed && power_of_lanes<R>(states, static_cast<int>(models), rheology,
                                                 flavour, layer_etas, span);
        });
    for (std::size_t k = 0; k < states.size(); ++k) {
        PeriodRecord& record = out[k] = PeriodRecord{};
        const std::vector<double>& powers = lanes_.layer_power[k];
        // A finite layer power met no NaN on its way: every complex product was the inline
        // formula's, and the lane's values are the plain code's.
        const bool finite =
            formed && std::all_of(powers.begin(), powers.end(),
                                  [](double x) { return std::isfinite(x); });
        if (finite) {
            record.power = mean_power(flavour, powers, record.layer_heating);
        } else {
            record.power = power(states[k], rheology, flavour, layer_etas[k % count],
                                 record.layer_heating);
            ++redone_;
        }
        finish(states[k], flavour, *forcings[k / count], fields, record);
    }
}

} // namespace tidal
