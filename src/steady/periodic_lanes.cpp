// Method: docs/method.md §6 (the periodic steady state) and §4 (the banded solve).
#include "steady/periodic_lanes.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "steady/band_pattern.hpp"

namespace tidal {

namespace {

std::vector<const ShellModel*> checked_group(std::vector<const ShellModel*> group) {
    if (group.empty()) throw std::invalid_argument("PeriodicLanes: a group of one model or more");
    return group;
}

} // namespace

PeriodicLanes::PeriodicLanes(const ShellModel& model)
    : PeriodicLanes(std::vector<const ShellModel*>{&model}) {}

PeriodicLanes::PeriodicLanes(std::vector<const ShellModel*> group)
    : model_(*checked_group(group).front()), band_(model_.order()),
      coupling_(model_.body.self_gravity ? self_gravity_coupling(model_.body, model_.grid)
                                         : SelfGravityCoupling{}),
      rhs_count_(kComponents * static_cast<int>(group.size()) + coupling_.size()) {
    scalars_.reserve(group.size());
    for (const ShellModel* m : group)
        scalars_.emplace_back(*m);
    const int n = model_.order(), R = rhs_count_, G = points();
    const int harmonics = forcing().harmonics;
    for (const PeriodicSolver& s : scalars_)
        if (s.model().order() != n || s.forcing().harmonics != harmonics)
            throw std::invalid_argument("PeriodicLanes: a group's models share their radial problem");
    rhs_.resize(ComplexLaneBand::storage(n, R));
    // The unit boundary loads' solutions stay in rhs_ only.
    outputs_.assign(static_cast<std::size_t>(R) * kLanes, nullptr);
    sink_.resize(static_cast<std::size_t>(n));
    for (std::vector<Complex>& band : scratch_)
        band.resize(static_cast<std::size_t>(n) * kBandColumns);
    std::vector<std::vector<double>> units;
    for (int c = 0; c < coupling_.size(); ++c)
        units.push_back(
            SelfGravitySolve<Complex>::unit_load(coupling_, c, model_.body.layers, model_.run.j));
    // Per harmonic, its right-hand sides row by row: every model's three load components of
    // the harmonic, then the unit boundary loads.
    const int tide = kComponents * G;
    loads_.resize(static_cast<std::size_t>(harmonics));
    for (std::size_t hi = 0; hi < loads_.size(); ++hi) {
        std::vector<Complex>& b = loads_[hi];
        b.clear();
        for (int row = 0; row < n; ++row)
            for (int r = 0; r < R; ++r)
                b.push_back(r < tide
                                ? forcing(r / kComponents)
                                      .loads[hi][static_cast<std::size_t>(r % kComponents)]
                                            [static_cast<std::size_t>(row)]
                                : Complex(units[static_cast<std::size_t>(r - tide)]
                                               [static_cast<std::size_t>(row)]));
    }
}

void PeriodicLanes::solve(Rheology rheology, Flavour flavour,
                          std::span<const std::span<const double>> layer_etas,
                          std::span<PeriodicState> states) {
    const int count = static_cast<int>(layer_etas.size());
    const int G = points();
    if (count < 1 || count > kLanes ||
        states.size() != static_cast<std::size_t>(G) * layer_etas.size())
        throw std::invalid_argument(
            "PeriodicLanes::solve: 1 to kLanes profiles, one state each per model");
    const int n = model_.order(), R = rhs_count_, tide = kComponents * G;
    const int harmonics = forcing().harmonics;
    PeriodicSolver& matrices = scalars_.front();
    const auto state = [&](int g, int i) -> PeriodicState& {
        return states[static_cast<std::size_t>(g * count + i)];
    };
    // [g * kLanes + i]: model g's state of profile i is solved again alone.
    std::vector<bool> alone(static_cast<std::size_t>(G * kLanes), false);
    // The band's entries that may be nonzero: those the assembly writes (its other entries
    // stay zero in every lane's band).
    std::vector<std::uint32_t>& pattern =
        patterns_[index_of(rheology)][flavour == Flavour::Continuous ? 0 : 1];
    if (pattern.empty()) pattern = assembly_pattern(matrices, rheology, flavour);
    band_.set_pattern(pattern);
    for (PeriodicState& s : states)
        s.resize(harmonics);
    // Where each solved state's components go, and whose they are.
    std::vector<std::pair<int, int>> solved; // (model, lane), by model and then lane
    for (int h = 1; h <= harmonics; ++h) {
        const std::size_t hi = static_cast<std::size_t>(h - 1);
        // Lanes past `count` repeat the last profile's system (their solutions are unused).
        std::array<const Complex*, kLanes> bands;
        for (int lane = 0; lane < kLanes; ++lane) {
            const std::size_t at = static_cast<std::size_t>(std::min(lane, count - 1));
            if (lane < count) {
                const Complex s = matrices.assemble(rheology, flavour, h, layer_etas[at],
                                                    mat1(scratch_[at], n, kBandColumns),
                                                    assembled_[at] ? BandWrite::Laws
                                                                   : BandWrite::Clear);
                for (int g = 0; g < G; ++g)
                    state(g, lane).s[hi] = s;
                assembled_[at] = true;
            }
            bands[static_cast<std::size_t>(lane)] = scratch_[at].data();
        }
        band_.set_lanes(bands);
        // Where the back substitution stores each lane's solution of the tide's components:
        // straight into the states (those of a lane found unreliable below are solved again
        // alone, which rewrites them), and the lanes past `count` into a sink.
        for (int g = 0; g < G; ++g)
            for (int c = 0; c < kComponents; ++c)
                for (int lane = 0; lane < kLanes; ++lane) {
                    double*& to = outputs_[static_cast<std::size_t>((kComponents * g + c) * kLanes + lane)];
                    if (lane < count) {
                        std::vector<Complex>& x = state(g, lane).x[hi][static_cast<std::size_t>(c)];
                        x.resize(static_cast<std::size_t>(n));
                        to = reinterpret_cast<double*>(x.data());
                    } else {
                        to = reinterpret_cast<double*>(sink_.data());
                    }
                }
        // The right-hand sides, the same in every lane, set as the elimination reaches them.
        band_.factorise(rhs_.data(), R, loads_[hi].data());
        band_.back_substitute(rhs_.data(), R, outputs_.data());
        // A lane's solutions of model g are those it gets alone when the factorisation, its
        // own three right-hand sides' solutions and the unit loads' stayed finite.
        // (Every one, in the lanes whose solutions all stayed finite.)
        std::vector<std::array<bool, kLanes>> reliable(static_cast<std::size_t>(G),
                                                       band_.reliable());
        const std::array<bool, kLanes>& all = reliable.front();
        if (G > 1 && std::find(all.begin(), all.end(), false) != all.end()) {
            const std::array<bool, kLanes> units =
                band_.reliable(rhs_.data(), R, tide, R - tide);
            for (int g = 0; g < G; ++g) {
                reliable[static_cast<std::size_t>(g)] =
                    band_.reliable(rhs_.data(), R, kComponents * g, kComponents);
                for (int lane = 0; lane < kLanes; ++lane)
                    reliable[static_cast<std::size_t>(g)][static_cast<std::size_t>(lane)] =
                        reliable[static_cast<std::size_t>(g)][static_cast<std::size_t>(lane)] &&
                        units[static_cast<std::size_t>(lane)];
            }
        }
        // The reliable lanes, whose tide components the back substitution stored.
        solved.clear();
        for (int g = 0; g < G; ++g)
            for (int i = 0; i < count; ++i) {
                const std::size_t k = static_cast<std::size_t>(g * kLanes + i);
                if (alone[k]) continue;
                if (!reliable[static_cast<std::size_t>(g)][static_cast<std::size_t>(i)]) {
                    alone[k] = true;
                    continue;
                }
                solved.emplace_back(g, i);
            }
        // A self-gravitating body: each lane's unit responses, then the coupling's correction
        // of the components of every model solved in it.
        if (model_.body.self_gravity)
            for (int i = 0; i < count; ++i) {
                bool any = false;
                for (const auto& [g, lane] : solved)
                    any = any || lane == i;
                if (!any) continue;
                int next = tide;
                gravity_.prepare(coupling_, model_.body.layers, model_.run.j,
                                 [&](std::vector<Complex>& z) {
                                     z.resize(static_cast<std::size_t>(n));
                                     for (int row = 0; row < n; ++row)
                                         z[static_cast<std::size_t>(row)] =
                                             Complex(rhs_[ComplexLaneBand::index(R, row, next, 0, i)],
                                                     rhs_[ComplexLaneBand::index(R, row, next, 1, i)]);
                                     ++next;
                                 });
                for (const auto& [g, lane] : solved)
                    if (lane == i)
                        for (int c = 0; c < kComponents; ++c)
                            gravity_.correct(state(g, i).x[hi][static_cast<std::size_t>(c)].data());
            }
    }
    for (int g = 0; g < G; ++g)
        for (int i = 0; i < count; ++i)
            if (alone[static_cast<std::size_t>(g * kLanes + i)]) {
                scalars_[static_cast<std::size_t>(g)].solve(
                    rheology, flavour, layer_etas[static_cast<std::size_t>(i)], state(g, i));
                ++redone_;
            }
}

} // namespace tidal
