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

// Copies the tide's components of harmonic index hi of every (model, lane) in `solved` out of
// the lane layout of the right-hand sides into their states (each x already n long). A model
// whose lanes are all solved has each component's lanes copied together
// (ComplexLaneBand::copy_lanes: a lane's real and imaginary parts sit kLanes doubles apart, and
// are interleaved four lanes at a time); the others are copied value by value.
void PeriodicLanes::copy_solutions(std::span<const std::pair<int, int>> solved, int count,
                                   std::size_t hi, int R, std::span<PeriodicState> states) {
    const int n = model_.order();
    const auto x = [&](int g, int lane, int c) {
        return states[static_cast<std::size_t>(g * count + lane)]
            .x[hi][static_cast<std::size_t>(c)]
            .data();
    };
    for (std::size_t u = 0; u < solved.size();) {
        const int g = solved[u].first;
        std::size_t end = u;
        while (end < solved.size() && solved[end].first == g)
            ++end;
        for (int c = 0; c < kComponents; ++c) {
            const double* from = rhs_.data() + ComplexLaneBand::index(R, 0, kComponents * g + c, 0, 0);
            const std::size_t row_stride = ComplexLaneBand::index(R, 1, 0, 0, 0);
            if (end - u == static_cast<std::size_t>(kLanes)) {
                std::array<Complex*, kLanes> to;
                for (int lane = 0; lane < kLanes; ++lane)
                    to[static_cast<std::size_t>(lane)] = x(g, lane, c);
                ComplexLaneBand::copy_lanes(rhs_.data(), n, R, kComponents * g + c, to);
            } else {
                for (std::size_t v = u; v < end; ++v) {
                    const int lane = solved[v].second;
                    Complex* to = x(g, lane, c);
                    const double* at = from + lane;
                    for (int row = 0; row < n; ++row, at += row_stride)
                        to[row] = Complex(at[0], at[kLanes]);
                }
            }
        }
        u = end;
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
        // The right-hand sides, the same in every lane.
        ComplexLaneBand::broadcast(loads_[hi], rhs_.data());
        band_.factorise(rhs_.data(), R);
        band_.back_substitute(rhs_.data(), R);
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
        // The tide's components of every reliable lane, copied out of the lane layout.
        solved.clear();
        for (int g = 0; g < G; ++g)
            for (int i = 0; i < count; ++i) {
                const std::size_t k = static_cast<std::size_t>(g * kLanes + i);
                if (alone[k]) continue;
                if (!reliable[static_cast<std::size_t>(g)][static_cast<std::size_t>(i)]) {
                    alone[k] = true;
                    continue;
                }
                for (int c = 0; c < kComponents; ++c)
                    state(g, i).x[hi][static_cast<std::size_t>(c)].resize(static_cast<std::size_t>(n));
                solved.emplace_back(g, i);
            }
        copy_solutions(solved, count, hi, R, states);
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
