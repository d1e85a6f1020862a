#include "timestep/run_common.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "linalg/band_lu.hpp"
#include "loads/diagnostics.hpp"

namespace tidal {

RunWorkspace::RunWorkspace(const ShellModel& model) {
    const std::size_t n = static_cast<std::size_t>(model.order());
    const std::size_t N = static_cast<std::size_t>(model.body.N);
    band.assign(n * kBandColumns, 0.0);
    al.assign(n * kBandLower, 0.0);
    indx.assign(n, 0);
    for (auto* v : {&b0, &bnc, &bc}) v->assign(n, 0.0);
    for (auto* v : {&hist0, &histnc, &histc}) v->assign(3 * n, 0.0);
    window.assign(N * static_cast<std::size_t>(model.run.nperiod + 1), 0.0);
    layer_power.assign(N, 0.0);
    eta.assign(N, 0.0);
}

void prepare_system(const ShellModel& model, Rheology rheology, double eta, double dt,
                    RunWorkspace& ws) {
    const int n = model.order();
    std::fill(ws.eta.begin(), ws.eta.end(), eta);
    auto a = mat1(ws.band, n, kBandColumns);
    assemble_system(a, rheology, model.assembly_inputs(), vec1(std::as_const(ws.eta)), dt);
    double d = 0.0;
    bandecdp(a, n, kBandLower, kBandUpper, mat1(ws.al, n, kBandLower), vec1(ws.indx), d);
    pack_band_factors(mat1(std::as_const(ws.band), n, kBandColumns),
                      mat1(std::as_const(ws.al), n, kBandLower), vec1(std::as_const(ws.indx)), n,
                      ws.factors);
}

SurfaceTracker::SurfaceTracker(const ShellModel& model, RunRecords& out)
    : j_(model.run.j), nperiod_(model.run.nperiod), nsteps_(model.run.nsteps), out_(out) {
    const double theta = kPi / 2.0;
    p20_ = (3.0 * std::cos(theta) * std::cos(theta) - 1.0) * std::sqrt(5.0 / kPi);
    p22_ = std::sin(theta) * std::sin(theta) * std::sqrt(7.5 / kPi);
    out_.urmin = 0.0;
    out_.urthmax = 0.0;
    out_.tn.reset();
    out_.ursurf.clear();
    out_.ursurf.reserve(static_cast<std::size_t>(nsteps_));
}

void SurfaceTracker::record(int step, Vec1View<const double> x0, Vec1View<const double> xnc) {
    const double ursurf = (radial_displacement(j_, x0, 1) + radial_displacement(j_, x0, 2)) / 2.0;
    // The order-2 part enters with the sum of the two outer nodes: twice the weight of the
    // order-0 part, as in the dissipation sums.
    const double ur22_sum = radial_displacement(j_, xnc, 1) + radial_displacement(j_, xnc, 2);
    const double urth = p20_ * (ursurf / 4.0) + p22_ * (ur22_sum / 4.0);

    if (step > nsteps_ - nperiod_) {
        if (std::fabs(urth) > out_.urthmax) out_.urthmax = std::fabs(urth);
        if (ursurf < out_.urmin) {
            out_.urmin = ursurf;
            out_.tn = static_cast<double>(step + nperiod_ - nsteps_) / static_cast<double>(nperiod_);
        }
    }
    // A minimum at the very end of the period is the same phase as one at its start.
    if (out_.tn && *out_.tn == 1.0) out_.tn = 0.0;
    out_.ursurf.push_back(ursurf);
}

} // namespace tidal
