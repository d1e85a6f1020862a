#include "timestep/run_common.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "linalg/band_lu.hpp"
#include "linalg/lane_vec.hpp"
#include "loads/diagnostics.hpp"
#include "model/last_period_extremes.hpp"
#include "loads/heating_profile.hpp"

namespace tidal {

RunWorkspace::RunWorkspace(const ShellModel& model) : factors(model.order()) {
    const int n = model.order();
    const std::size_t N = static_cast<std::size_t>(model.body.layers);
    band.assign(static_cast<std::size_t>(n) * kBandColumns, 0.0);
    al.assign(static_cast<std::size_t>(n) * kBandLower, 0.0);
    indx.assign(static_cast<std::size_t>(n), 0);
    eta.assign(N, 0.0);
    for (auto& v : load)
        v.assign(static_cast<std::size_t>(n), 0.0);
    rhs.assign(Lanes::storage(n), 0.0);
    forward.assign(Lanes::storage(n), 0.0);
    window_sum.assign(N * kLanes, 0.0);
    window_first.assign(N * kLanes, 0.0);
    window_last.assign(N * kLanes, 0.0);
    layer_power.assign(N, 0.0);
    if (model.body.self_gravity) {
        gravity.resize(kLanes);
        gravity_response.resize(
            static_cast<std::size_t>(self_gravity_coupling(model.body, model.grid).size()));
        for (auto& z : gravity_response)
            z.assign(static_cast<std::size_t>(n) * kLanes, 0.0);
    }
}

namespace {

// Every lane of the given rows of x gets the row's load of its right-hand side.
TIDAL_LANE_CLONES void broadcast_loads(Lanes x, const std::vector<int>& rows, const double* order0,
                                       const double* cosine, const double* sine) {
    const double* loads[kRightHandSides] = {order0, cosine, sine};
    for (const int i : rows)
        for (int comp = 0; comp < kRightHandSides; ++comp) {
            const lanes::Vec v = lanes::Vec{} + loads[comp][i - 1];
            for (int g = 0; g < kLanes; g += lanes::kWidth)
                lanes::store(&x(i, comp, g), v);
        }
}

// The rows that are not constitutive rows of a stress unknown: the rheology writes those.
std::vector<int> load_rows(int N, int n) {
    std::vector<bool> constitutive(static_cast<std::size_t>(n) + 1, false);
    for (int l = 1; l <= N; ++l)
        for (const unknowns::StressRow s : unknowns::stress_rows(l))
            constitutive[static_cast<std::size_t>(s.row)] = true;
    std::vector<int> rows;
    for (int i = 1; i <= n; ++i)
        if (!constitutive[static_cast<std::size_t>(i)]) rows.push_back(i);
    return rows;
}

// sum += values, lane by lane.
TIDAL_LANE_CLONES void add_lanes(double* sum, const double* values) {
    for (int g = 0; g < kLanes; g += lanes::kWidth)
        lanes::store(sum + g, lanes::load(sum + g) + lanes::load(values + g));
}

// The viscosities of a batch, padded to kLanes with the last one.
std::array<double, kLanes> lane_viscosities(std::span<const double> etas) {
    std::array<double, kLanes> eta{};
    for (int lane = 0; lane < kLanes; ++lane)
        eta[static_cast<std::size_t>(lane)] =
            etas[std::min(static_cast<std::size_t>(lane), etas.size() - 1)];
    return eta;
}

// Viscosity of every layer and lane, [(l-1)*kLanes + lane]: the lane's swept viscosity times
// the layer's factor, or the layer's fixed viscosity.
std::vector<double> layer_viscosities(const Body& body, const std::array<double, kLanes>& eta) {
    std::vector<double> out(static_cast<std::size_t>(body.layers) * kLanes);
    for (int l = 1; l <= body.layers; ++l)
        for (int lane = 0; lane < kLanes; ++lane)
            out[static_cast<std::size_t>(l - 1) * kLanes + lane] = body.cell_viscosity(
                static_cast<std::size_t>(l - 1), eta[static_cast<std::size_t>(lane)]);
    return out;
}

// The rows of a solution that the runs read: the stresses of every layer (their history and
// dissipation), the displacements of the nodes around the outer surface and the inner
// boundary, and of the nodes on the density jumps `jumps`.
std::vector<int> read_rows(int N, const std::vector<DensityJump>& jumps, int ocean) {
    std::vector<int> rows;
    const auto node = [&rows](int k) {
        rows.push_back(unknowns::u_minus(k));
        rows.push_back(unknowns::u_plus(k));
    };
    node(1);
    node(2);
    for (int l = 1; l <= N; ++l)
        for (const unknowns::StressRow s : unknowns::stress_rows(l))
            rows.push_back(s.unknown);
    node(N);
    node(N + 1);
    if (ocean > 0) // the shell's base and the core's top, on the ocean's either side
        for (int k = ocean - 1; k <= ocean + 2; ++k)
            node(k);
    for (const DensityJump& d : jumps)
        node(d.node);
    // Two layers: node 2 is beside both boundaries; each row is corrected once.
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

// Adds the self-gravitation loads' responses to the given rows of every lane's solutions:
// x += response0 * a[0] + response1 * a[1], a[k][comp][lane] the load amplitudes.
TIDAL_LANE_CLONES void add_responses(Lanes x, const std::vector<int>& rows, const double* z0,
                                     const double* z1,
                                     const double (&a)[kMaxCoupledInterfaces][kRightHandSides][kLanes]) {
    constexpr int kVecs = kLanes / lanes::kWidth;
    lanes::Vec a0[kRightHandSides][kVecs], a1[kRightHandSides][kVecs];
    for (int comp = 0; comp < kRightHandSides; ++comp)
        for (int v = 0; v < kVecs; ++v) {
            a0[comp][v] = lanes::load(a[0][comp] + v * lanes::kWidth);
            a1[comp][v] = lanes::load(a[1][comp] + v * lanes::kWidth);
        }
    for (const int i : rows) {
        const std::size_t row = static_cast<std::size_t>(i - 1) * kLanes;
        for (int v = 0; v < kVecs; ++v) {
            const lanes::Vec r0 = lanes::load(z0 + row + v * lanes::kWidth);
            const lanes::Vec r1 = lanes::load(z1 + row + v * lanes::kWidth);
            for (int comp = 0; comp < kRightHandSides; ++comp) {
                double* xi = &x(i, comp, v * lanes::kWidth);
                lanes::store(xi, lanes::load(xi) + r0 * a0[comp][v] + r1 * a1[comp][v]);
            }
        }
    }
}

// The responses of the density jumps' loads, c = 2.. of the coupling, added after the two of
// add_responses: x += response_c * a[c], rows and amplitudes as there.
TIDAL_LANE_CLONES void add_jump_responses(Lanes x, const std::vector<int>& rows,
                                          const std::vector<std::vector<double>>& z,
                                          const double (&a)[kMaxCoupledInterfaces][kRightHandSides][kLanes]) {
    constexpr int kVecs = kLanes / lanes::kWidth;
    for (std::size_t c = 2; c < z.size(); ++c)
        for (const int i : rows) {
            const std::size_t row = static_cast<std::size_t>(i - 1) * kLanes;
            for (int v = 0; v < kVecs; ++v) {
                const lanes::Vec r = lanes::load(z[c].data() + row + v * lanes::kWidth);
                for (int comp = 0; comp < kRightHandSides; ++comp) {
                    double* xi = &x(i, comp, v * lanes::kWidth);
                    lanes::store(xi, lanes::load(xi) + r * lanes::load(a[c][comp] + v * lanes::kWidth));
                }
            }
        }
}

// For every lane: assembles the rheology's matrix with that lane's layer viscosities,
// factorises it and packs the factors into the lane; for a self-gravitating body, also the
// lane's responses to the unit boundary loads.
void prepare_systems(const ShellModel& model, const LaneBatch::Assemble& assemble,
                     const std::vector<double>& layer_eta, RunWorkspace& ws) {
    const int n = model.order();
    const SelfGravityCoupling coupling = self_gravity_coupling(model.body, model.grid);
    for (int lane = 0; lane < kLanes; ++lane) {
        for (std::size_t l = 0; l < ws.eta.size(); ++l)
            ws.eta[l] = layer_eta[l * kLanes + static_cast<std::size_t>(lane)];
        auto a = mat1(ws.band, n, kBandColumns);
        assemble(a, vec1(std::as_const(ws.eta)));
        double d = 0.0;
        bandecdp(a, n, kBandLower, kBandUpper, mat1(ws.al, n, kBandLower), vec1(ws.indx), d);
        pack_band_factors(mat1(std::as_const(ws.band), n, kBandColumns),
                          mat1(std::as_const(ws.al), n, kBandLower), vec1(std::as_const(ws.indx)),
                          lane, ws.factors);
        if (!model.body.self_gravity) continue;
        SelfGravitySolve<double>& g = ws.gravity[static_cast<std::size_t>(lane)];
        g.prepare(coupling, model.body.layers, model.run.j, [&](std::vector<double>& b) {
            banbksdp(mat1(std::as_const(ws.band), n, kBandColumns), n, kBandLower, kBandUpper,
                     mat1(std::as_const(ws.al), n, kBandLower), vec1(std::as_const(ws.indx)),
                     vec1(b));
        });
        for (int c = 0; c < g.size(); ++c)
            for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
                ws.gravity_response[static_cast<std::size_t>(c)][i * kLanes +
                                                                 static_cast<std::size_t>(lane)] =
                    g.response(c)[i];
    }
    finish_lane_factors(ws.factors);
}

} // namespace

LaneBatch::LaneBatch(const ShellModel& m, const Assemble& assemble, int columns,
                     std::span<const double> etas, RunWorkspace& ws, SeriesMask series)
    : model(m), N(m.body.layers), n(m.order()), nsteps(m.run.nsteps), nperiod(m.run.nperiod),
      dt(time_step(m)), eta(lane_viscosities(etas)), layer_eta(layer_viscosities(m.body, eta)),
      window_start(nsteps - nperiod), x(ws.rhs.data(), n), ws_(ws), load_rows_(load_rows(N, n)),
      read_rows_(m.body.self_gravity ? read_rows(N, m.jumps, m.grid.liquid_layer) : std::vector<int>{}),
      forcing_(m, dt), out_(kLanes), count_(etas.size()),
      tide_(tide_fundamental(m, forcing_)) {
    prepare_systems(model, assemble, layer_eta, ws_);
    for (auto* w : {&ws_.window_sum, &ws_.window_first, &ws_.window_last})
        std::fill(w->begin(), w->end(), 0.0);
    ws_.history.assign(static_cast<std::size_t>(columns) * Lanes::storage(n), 0.0);
    surface_.reserve(kLanes);
    for (int lane = 0; lane < kLanes; ++lane) {
        out_[static_cast<std::size_t>(lane)].eta = eta[static_cast<std::size_t>(lane)];
        const bool keep = lane < static_cast<int>(etas.size()) && ((series >> lane) & 1u) != 0;
        surface_.emplace_back(model, out_[static_cast<std::size_t>(lane)], keep);
    }
}

double* LaneBatch::history() const {
    return ws_.history.data();
}

void LaneBatch::load(int step) {
    auto& l = ws_.load;
    forcing_.load(step, vec1(l[kOrder0]), vec1(l[kCosine]), vec1(l[kSine]));
    broadcast_loads(x, load_rows_, l[kOrder0].data(), l[kCosine].data(), l[kSine].data());
}

void LaneBatch::solve() {
    solve_lanes(ws_.factors, x, Lanes(ws_.forward.data(), n));
    if (!model.body.self_gravity) return;
    double a[kMaxCoupledInterfaces][kRightHandSides][kLanes];
    const std::size_t K = ws_.gravity_response.size();
    for (int lane = 0; lane < kLanes; ++lane)
        for (int comp = 0; comp < kRightHandSides; ++comp) {
            const auto amp = ws_.gravity[static_cast<std::size_t>(lane)].amplitudes(
                [&](int i) { return x(i, comp, lane); });
            for (std::size_t c = 0; c < K; ++c)
                a[c][comp][lane] = amp[c];
        }
    add_responses(x, read_rows_, ws_.gravity_response[0].data(), ws_.gravity_response[1].data(),
                  a);
    if (K > 2) add_jump_responses(x, read_rows_, ws_.gravity_response, a);
}

void LaneBatch::sample(int l, int step, const double* values) {
    const std::size_t at = static_cast<std::size_t>(l - 1) * kLanes;
    if (step == window_start) std::copy_n(values, kLanes, &ws_.window_first[at]);
    if (step == nsteps) std::copy_n(values, kLanes, &ws_.window_last[at]);
    add_lanes(&ws_.window_sum[at], values);
}

void LaneBatch::record(int step) {
    const FundamentalWeight w =
        step > nsteps - nperiod ? fundamental_weight(step, nperiod) : FundamentalWeight{};
    for (int lane = 0; lane < kLanes; ++lane)
        surface_[static_cast<std::size_t>(lane)].record(
            step, [&](int i, int comp) { return x(i, comp, lane); }, w);
}

std::vector<RunRecords>
LaneBatch::finish(const std::function<double(int, double, double)>& layer_power) {
    for (int lane = 0; lane < kLanes; ++lane) {
        for (int l = 1; l <= N; ++l) {
            const std::size_t at = static_cast<std::size_t>(l - 1) * kLanes + lane;
            ws_.layer_power[static_cast<std::size_t>(l - 1)] = layer_power(
                l, window_integral(ws_.window_sum[at], ws_.window_first[at], ws_.window_last[at], dt),
                layer_eta[at]);
        }
        out_[static_cast<std::size_t>(lane)].period.power =
            shell_power(N, nperiod, dt, vec1(std::as_const(ws_.layer_power)), model.grid);
        out_[static_cast<std::size_t>(lane)].period.layer_heating =
            period_means(ws_.layer_power, nperiod, dt);
        surface_[static_cast<std::size_t>(lane)].finish(tide_);
    }
    std::vector<RunRecords> done(
        std::make_move_iterator(out_.begin()),
        std::make_move_iterator(out_.begin() + static_cast<std::ptrdiff_t>(count_)));
    return done;
}

namespace {

// The largest of `count(R, parameters)` over the rheologies of the spans of a run of `swept`.
template <class Count> int most_over_spans(const Body& body, Rheology swept, Count count) {
    int most = 0;
    for (const RheologySpan& span : rheology_spans(body, swept))
        most = std::max(most, with_rheology(span.rheology, [&]<class R>(R r) {
                            return count(r, body.rheology.of<R>());
                        }));
    return most;
}

} // namespace

int history_stride(const Body& body, Rheology swept) {
    return most_over_spans(body, swept, []<class R>(R, const auto& p) { return R::columns(p); });
}

int constants_stride(const Body& body, Rheology swept) {
    return most_over_spans(body, swept,
                           []<class R>(R, const auto& p) { return R::coefficients(p); });
}

void add_order_one(std::vector<RunRecords>& out, const std::vector<RunRecords>& one,
                   bool circular) {
    for (std::size_t i = 0; i < out.size(); ++i)
        add_order_one(out[i].period, one[i].period, circular);
}

SurfaceTracker::SurfaceTracker(const ShellModel& model, RunRecords& out, bool keep_series)
    : f_(degree_factors(model.run.j)), j_(model.run.j), equator_(equator_harmonics()), N_(model.body.layers),
      nperiod_(model.run.nperiod), nsteps_(model.run.nsteps),
      response_(response_slot(model.orders)), keep_series_(keep_series),
      love_(model.body, tide_reference_radius(model)), out_(out) {
    out_.period.urmin = 0.0;
    out_.period.urthmax = 0.0;
    out_.period.tn.reset();
    out_.ursurf.clear();
    for (const DensityJump& d : model.jumps)
        jump_nodes_.push_back(d.node);
    jumps_.resize(jump_nodes_.size());
    bottom_ = model.grid.bottom_node();
    core_top_ = model.grid.liquid_layer > 0 ? model.grid.liquid_layer + 1 : 0;
    core_base_ = model.grid.liquid_layer > 0 && !model.grid.centre ? model.grid.N : 0;
    if (keep_series_) out_.ursurf.reserve(static_cast<std::size_t>(nsteps_));
}

void SurfaceTracker::record_surface(int step, double ur0_1, double ur0_2, double ur22_1,
                                    double ur22_2, FundamentalWeight w) {
    // The surface lies midway between the two outermost nodes.
    const double ursurf = (ur0_1 + ur0_2) / 2.0;
    // The order-2 part enters with the sum of the two outer nodes: twice the weight of the
    // order-0 part, as in the dissipation sums.
    const double ur22_sum = ur22_1 + ur22_2;
    const double urth = equator_displacement(equator_, ursurf, ur22_sum);

    if (step > nsteps_ - nperiod_) {
        add_last_period_step(out_.period, step, nsteps_, nperiod_, ursurf, urth);
        fundamental_.add(ursurf, w);
    }
    if (keep_series_) out_.ursurf.push_back(ursurf);
}

void SurfaceTracker::finish(const Harmonic& tide) {
    close_last_period(out_.period);
    const Harmonic u = fundamental(fundamental_, nperiod_);
    out_.period.amplitude = u.amplitude;
    out_.period.phase_lag_deg = phase_lag_deg(u, tide);
    std::vector<std::complex<double>> jumps;
    for (const FundamentalSums& sums : jumps_)
        jumps.push_back(phasor(fundamental(sums, nperiod_)));
    if (core_top_ > 0) jumps.push_back(phasor(fundamental(core_top_sums_, nperiod_)));
    if (core_base_ > 0) jumps.push_back(phasor(fundamental(core_base_sums_, nperiod_)));
    out_.period.love = love_(phasor(u), phasor(fundamental(tangential_, nperiod_)),
                      phasor(fundamental(interface_, nperiod_)), phasor(tide), jumps);
}

} // namespace tidal
