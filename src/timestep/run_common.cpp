#include "timestep/run_common.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "linalg/band_lu.hpp"
#include "loads/diagnostics.hpp"

namespace tidal {

RunWorkspace::RunWorkspace(const ShellModel& model) : factors(model.order()) {
    const int n = model.order();
    const std::size_t N = static_cast<std::size_t>(model.body.N);
    band.assign(static_cast<std::size_t>(n) * kBandColumns, 0.0);
    al.assign(static_cast<std::size_t>(n) * kBandLower, 0.0);
    indx.assign(static_cast<std::size_t>(n), 0);
    eta.assign(N, 0.0);
    for (auto& v : load)
        v.assign(static_cast<std::size_t>(n), 0.0);
    rhs.assign(Lanes::storage(n), 0.0);
    history.assign(3 * Lanes::storage(n), 0.0);
    window.assign(kLanes * N * static_cast<std::size_t>(model.run.nperiod + 1), 0.0);
    layer_power.assign(N, 0.0);
}

namespace {

// The viscosities of a batch, padded to kLanes with the last one.
std::array<double, kLanes> lane_viscosities(std::span<const double> etas) {
    std::array<double, kLanes> eta{};
    for (int lane = 0; lane < kLanes; ++lane)
        eta[static_cast<std::size_t>(lane)] =
            etas[std::min(static_cast<std::size_t>(lane), etas.size() - 1)];
    return eta;
}

// For every lane: assembles the rheology's matrix with that lane's viscosity in every layer and
// time step `dt`, factorises it and packs the factors into the lane.
void prepare_systems(const ShellModel& model, Rheology rheology,
                     const std::array<double, kLanes>& eta, double dt, RunWorkspace& ws) {
    const int n = model.order();
    const AssemblyInputs in = model.assembly_inputs();
    for (int lane = 0; lane < kLanes; ++lane) {
        std::fill(ws.eta.begin(), ws.eta.end(), eta[static_cast<std::size_t>(lane)]);
        auto a = mat1(ws.band, n, kBandColumns);
        assemble_system(a, rheology, in, vec1(std::as_const(ws.eta)), dt);
        double d = 0.0;
        bandecdp(a, n, kBandLower, kBandUpper, mat1(ws.al, n, kBandLower), vec1(ws.indx), d);
        pack_band_factors(mat1(std::as_const(ws.band), n, kBandColumns),
                          mat1(std::as_const(ws.al), n, kBandLower), vec1(std::as_const(ws.indx)),
                          lane, ws.factors);
    }
}

} // namespace

RunBatch::RunBatch(const ShellModel& m, Rheology rheology, std::span<const double> etas,
                   RunWorkspace& ws)
    : model(m), N(m.body.N), n(m.order()), nsteps(m.run.nsteps), nperiod(m.run.nperiod),
      dt(time_step(m)), eta(lane_viscosities(etas)), window_start(nsteps - nperiod),
      x(ws.rhs.data(), n), ws_(ws),
      window_size_(static_cast<std::size_t>(N) * static_cast<std::size_t>(nperiod + 1)),
      forcing_(m, dt), out_(kLanes), count_(etas.size()) {
    prepare_systems(model, rheology, eta, dt, ws_);
    std::fill(ws_.window.begin(), ws_.window.end(), 0.0);
    std::fill(ws_.history.begin(), ws_.history.end(), 0.0);
    surface_.reserve(kLanes);
    for (int lane = 0; lane < kLanes; ++lane) {
        out_[static_cast<std::size_t>(lane)].eta = eta[static_cast<std::size_t>(lane)];
        surface_.emplace_back(model, out_[static_cast<std::size_t>(lane)]);
    }
}

void RunBatch::load(int step) {
    auto& l = ws_.load;
    forcing_.load(step, vec1(l[kOrder0]), vec1(l[kCosine]), vec1(l[kSine]));
    for (int i = 1; i <= n; ++i)
        for (int comp = 0; comp < kRightHandSides; ++comp) {
            const double v = l[comp][static_cast<std::size_t>(i - 1)];
            double* lanes = &x(i, comp, 0);
            for (int lane = 0; lane < kLanes; ++lane)
                lanes[lane] = v;
        }
}

void RunBatch::solve() {
    solve_lanes(ws_.factors, x);
}

void RunBatch::sample(int lane, int l, int step, double value) {
    if (step < window_start) return;
    Mat1View<double> w(ws_.window.data() + static_cast<std::size_t>(lane) * window_size_, N,
                       nperiod + 1);
    w(l, step - window_start + 1) = value;
}

void RunBatch::record(int step) {
    for (int lane = 0; lane < kLanes; ++lane)
        surface_[static_cast<std::size_t>(lane)].record(step, x, lane);
}

std::vector<RunRecords> RunBatch::finish(const std::array<double, kLanes>& power_eta) {
    std::vector<double> layer_eta(static_cast<std::size_t>(N));
    for (int lane = 0; lane < kLanes; ++lane) {
        std::fill(layer_eta.begin(), layer_eta.end(), power_eta[static_cast<std::size_t>(lane)]);
        Mat1View<const double> w(ws_.window.data() + static_cast<std::size_t>(lane) * window_size_,
                                 N, nperiod + 1);
        out_[static_cast<std::size_t>(lane)].pcelk =
            vypocitejpcelk(N, nperiod, w, dt, vec1(std::as_const(layer_eta)), vec1(model.grid.r),
                           vec1(ws_.layer_power));
    }
    std::vector<RunRecords> done(
        std::make_move_iterator(out_.begin()),
        std::make_move_iterator(out_.begin() + static_cast<std::ptrdiff_t>(count_)));
    return done;
}

SurfaceTracker::SurfaceTracker(const ShellModel& model, RunRecords& out)
    : f_(degree_factors(model.run.j)), nperiod_(model.run.nperiod), nsteps_(model.run.nsteps),
      out_(out) {
    const double theta = kPi / 2.0;
    p20_ = (3.0 * std::cos(theta) * std::cos(theta) - 1.0) * std::sqrt(5.0 / kPi);
    p22_ = std::sin(theta) * std::sin(theta) * std::sqrt(7.5 / kPi);
    out_.urmin = 0.0;
    out_.urthmax = 0.0;
    out_.tn.reset();
    out_.ursurf.clear();
    out_.ursurf.reserve(static_cast<std::size_t>(nsteps_));
}

void SurfaceTracker::record(int step, Lanes x, int lane) {
    const auto ur = [&](int node, int comp) {
        return radial_displacement(f_, x(6 * node - 5, comp, lane), x(6 * node - 4, comp, lane));
    };
    // The surface lies midway between the two outermost nodes.
    const double ursurf = (ur(1, kOrder0) + ur(2, kOrder0)) / 2.0;
    // The order-2 part enters with the sum of the two outer nodes: twice the weight of the
    // order-0 part, as in the dissipation sums.
    const double ur22_sum = ur(1, kCosine) + ur(2, kCosine);
    const double urth = p20_ * (ursurf / 4.0) + p22_ * (ur22_sum / 4.0);

    if (step > nsteps_ - nperiod_) {
        if (std::fabs(urth) > out_.urthmax) out_.urthmax = std::fabs(urth);
        if (ursurf < out_.urmin) {
            out_.urmin = ursurf;
            out_.tn =
                static_cast<double>(step + nperiod_ - nsteps_) / static_cast<double>(nperiod_);
        }
    }
    // A minimum at the very end of the period is the same phase as one at its start.
    if (out_.tn && *out_.tn == 1.0) out_.tn = 0.0;
    out_.ursurf.push_back(ursurf);
}

} // namespace tidal
