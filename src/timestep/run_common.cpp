#include "timestep/run_common.hpp"

#include <algorithm>
#include <cmath>
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

std::array<double, kLanes> lane_viscosities(std::span<const double> etas) {
    std::array<double, kLanes> eta{};
    for (int lane = 0; lane < kLanes; ++lane)
        eta[static_cast<std::size_t>(lane)] =
            etas[std::min(static_cast<std::size_t>(lane), etas.size() - 1)];
    return eta;
}

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

void broadcast_loads(const RunWorkspace& ws, Lanes x) {
    for (int i = 1; i <= x.size(); ++i)
        for (int comp = 0; comp < kRightHandSides; ++comp) {
            const double v = ws.load[comp][static_cast<std::size_t>(i - 1)];
            double* lanes = &x(i, comp, 0);
            for (int lane = 0; lane < kLanes; ++lane)
                lanes[lane] = v;
        }
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
