// Method: docs/method.md §6 (the periodic steady state) and §4 (the banded solve).
#include "steady/periodic_lanes.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "steady/band_pattern.hpp"

namespace tidal {

PeriodicLanes::PeriodicLanes(const ShellModel& model)
    : model_(model), scalar_(model), band_(model.order()),
      coupling_(model.body.self_gravity ? self_gravity_coupling(model.body, model.grid)
                                        : SelfGravityCoupling{}),
      rhs_count_(kComponents + coupling_.size()) {
    const int n = model.order(), R = rhs_count_;
    rhs_.resize(ComplexLaneBand::storage(n, R));
    for (std::vector<Complex>& band : scratch_)
        band.resize(static_cast<std::size_t>(n) * kBandColumns);
    std::vector<std::vector<double>> units;
    for (int c = 0; c < coupling_.size(); ++c)
        units.push_back(
            SelfGravitySolve<Complex>::unit_load(coupling_, c, model.body.layers, model.run.j));
    // Per harmonic, its right-hand sides row by row: the harmonic's three load components,
    // then the unit boundary loads.
    const HarmonicForcing& forcing = scalar_.forcing();
    loads_.resize(static_cast<std::size_t>(forcing.harmonics));
    for (std::size_t hi = 0; hi < loads_.size(); ++hi) {
        std::vector<Complex>& b = loads_[hi];
        b.clear();
        for (int row = 0; row < n; ++row)
            for (int r = 0; r < R; ++r)
                b.push_back(r < kComponents
                                ? forcing.loads[hi][static_cast<std::size_t>(r)]
                                               [static_cast<std::size_t>(row)]
                                : Complex(units[static_cast<std::size_t>(r - kComponents)]
                                               [static_cast<std::size_t>(row)]));
    }
}

void PeriodicLanes::solve(Rheology rheology, Flavour flavour,
                          std::span<const std::span<const double>> layer_etas,
                          std::span<PeriodicState> states) {
    const int count = static_cast<int>(layer_etas.size());
    if (count < 1 || count > kLanes || states.size() != layer_etas.size())
        throw std::invalid_argument("PeriodicLanes::solve: 1 to kLanes profiles, one state each");
    const int n = model_.order(), R = rhs_count_;
    const HarmonicForcing& forcing = scalar_.forcing();
    std::array<bool, kLanes> alone{};
    // The band's entries that may be nonzero: those the assembly writes (its other entries
    // stay zero in every lane's band).
    std::vector<std::uint32_t>& pattern =
        patterns_[index_of(rheology)][flavour == Flavour::Continuous ? 0 : 1];
    if (pattern.empty()) pattern = assembly_pattern(scalar_, rheology, flavour);
    band_.set_pattern(pattern);
    for (int i = 0; i < count; ++i)
        states[static_cast<std::size_t>(i)].resize(forcing.harmonics);
    for (int h = 1; h <= forcing.harmonics; ++h) {
        const std::size_t hi = static_cast<std::size_t>(h - 1);
        // Lanes past `count` repeat the last profile's system (their solutions are unused).
        std::array<const Complex*, kLanes> bands;
        for (int lane = 0; lane < kLanes; ++lane) {
            const std::size_t at = static_cast<std::size_t>(std::min(lane, count - 1));
            if (lane < count) {
                states[at].s[hi] = scalar_.assemble(rheology, flavour, h, layer_etas[at],
                                                    mat1(scratch_[at], n, kBandColumns),
                                                    assembled_[at] ? BandWrite::Laws
                                                                   : BandWrite::Clear);
                assembled_[at] = true;
            }
            bands[static_cast<std::size_t>(lane)] = scratch_[at].data();
        }
        band_.set_lanes(bands);
        // The right-hand sides, the same in every lane.
        double* b = rhs_.data();
        for (const Complex& v : loads_[hi]) {
            std::fill_n(b, kLanes, v.real());
            std::fill_n(b + kLanes, kLanes, v.imag());
            b += 2 * kLanes;
        }
        band_.factorise(rhs_.data(), R);
        band_.back_substitute(rhs_.data(), R);
        const std::array<bool, kLanes> reliable = band_.reliable();
        // The tide's components of every reliable lane, copied out row by row (each row's
        // solutions of all lanes read at once, rather than one lane at a time).
        std::array<Complex*, kLanes * kComponents> out{};
        int used = 0;
        std::array<int, kLanes> lane_of{};
        for (int i = 0; i < count; ++i) {
            if (alone[static_cast<std::size_t>(i)]) continue;
            if (!reliable[static_cast<std::size_t>(i)]) {
                alone[static_cast<std::size_t>(i)] = true;
                continue;
            }
            PeriodicState& state = states[static_cast<std::size_t>(i)];
            for (int c = 0; c < kComponents; ++c) {
                auto& x = state.x[hi][static_cast<std::size_t>(c)];
                x.resize(static_cast<std::size_t>(n));
                out[static_cast<std::size_t>(used * kComponents + c)] = x.data();
            }
            lane_of[static_cast<std::size_t>(used++)] = i;
        }
        for (int row = 0; row < n; ++row)
            for (int c = 0; c < kComponents; ++c) {
                const double* v = rhs_.data() + ComplexLaneBand::index(R, row, c, 0, 0);
                for (int u = 0; u < used; ++u) {
                    const int lane = lane_of[static_cast<std::size_t>(u)];
                    out[static_cast<std::size_t>(u * kComponents + c)][row] =
                        Complex(v[lane], v[kLanes + lane]);
                }
            }
        // A self-gravitating body: each lane's unit responses, then the coupling's correction
        // of its components.
        if (model_.body.self_gravity)
            for (int u = 0; u < used; ++u) {
                const int i = lane_of[static_cast<std::size_t>(u)];
                int next = kComponents;
                gravity_.prepare(coupling_, model_.body.layers, model_.run.j,
                                 [&](std::vector<Complex>& z) {
                                     z.resize(static_cast<std::size_t>(n));
                                     for (int row = 0; row < n; ++row)
                                         z[static_cast<std::size_t>(row)] =
                                             Complex(rhs_[ComplexLaneBand::index(R, row, next, 0, i)],
                                                     rhs_[ComplexLaneBand::index(R, row, next, 1, i)]);
                                     ++next;
                                 });
                for (int c = 0; c < kComponents; ++c)
                    gravity_.correct(states[static_cast<std::size_t>(i)].x[hi][static_cast<std::size_t>(c)].data());
            }
    }
    for (int i = 0; i < count; ++i)
        if (alone[static_cast<std::size_t>(i)]) {
            scalar_.solve(rheology, flavour, layer_etas[static_cast<std::size_t>(i)],
                          states[static_cast<std::size_t>(i)]);
            ++redone_;
        }
}

} // namespace tidal
