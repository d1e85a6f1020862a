#include "steady/periodic_state.hpp"

#include <utility>

#include "description/rheology_spans.hpp"
#include "linalg/band_lu.hpp"
#include "linalg/band_solve_fast.hpp"

namespace tidal {

Complex rheology_symbol(Rheology rheology, Flavour flavour, int h, const ShellModel& model) {
    if (flavour == Flavour::Continuous) return {0.0, static_cast<double>(h) * model.body.angular_frequency()};
    const Complex z = step_factor(h, model.run.nperiod);
    const double dt = time_step(model);
    return with_rheology(rheology, [&]<class R>(R) { return R::discrete_symbol(z, dt); });
}

PeriodicSolver::PeriodicSolver(const ShellModel& model)
    : model_(model), forcing_(harmonic_forcing(model)),
      band_(static_cast<std::size_t>(model.order()) * kBandColumns),
      al_(static_cast<std::size_t>(model.order()) * kBandLower),
      indx_(static_cast<std::size_t>(model.order())) {}

Complex PeriodicSolver::assemble(Rheology rheology, Flavour flavour, int h,
                                 std::span<const double> layer_eta, Mat1View<Complex> a,
                                 BandWrite write) {
    const Vec1View<const double> eta(layer_eta.data(), static_cast<int>(layer_eta.size()));
    const Complex s = rheology_symbol(rheology, flavour, h, model_);
    // The time-stepping matrix with its implicit rate (2/dt for the trapezoidal rule, 1/dt
    // for backward Euler) replaced by s, or the rheology's own periodic rows where its
    // steps are not a rate (the chains' elements) or approximate its law (Andrade). Each cell
    // takes its own rheology (a fixed layer's, or the sweep's) and that rheology's s: the
    // same i h omega in the continuous flavour, its scheme's symbol in the discrete one.
    const auto mu = vec1(model_.grid.mu);
    const Complex z = step_factor(h, model_.run.nperiod);
    const double dt = time_step(model_);
    laws_.resize(static_cast<std::size_t>(model_.body.layers));
    for (const RheologySpan& span : rheology_spans(model_.body, rheology)) {
        const Rheology own = span.rheology;
        const Complex s_own = own == rheology ? s : rheology_symbol(own, flavour, h, model_);
        with_rheology(own, [&]<class R>(R) {
            const auto& p = model_.body.rheology.of<R>();
            // What the span's layers' rows share (the rheology's rows_context), formed once.
            if constexpr (requires { R::rows_context(p, flavour, s_own, dt); }) {
                const auto context = R::rows_context(p, flavour, s_own, dt);
                for (int l = span.first; l <= span.last; ++l)
                    laws_[static_cast<std::size_t>(l - 1)] = R::periodic_constitutive(
                        p, context, mu(l), eta(l), flavour, s_own, z, dt);
            } else {
                for (int l = span.first; l <= span.last; ++l)
                    laws_[static_cast<std::size_t>(l - 1)] =
                        R::template constitutive<Complex>(p, mu(l), eta(l),
                                                          R::step_for_symbol(s_own));
            }
        });
    }
    assemble_system<Complex>(a, model_.assembly_inputs(),
                             std::span<const Constitutive<Complex>>(laws_), true, write);
    return s;
}

void PeriodicSolver::solve(Rheology rheology, Flavour flavour, std::span<const double> layer_eta,
                           PeriodicState& state) {
    const int n = model_.order();
    state.resize(forcing_.harmonics);
    for (int h = 1; h <= forcing_.harmonics; ++h) {
        const std::size_t hi = static_cast<std::size_t>(h - 1);
        state.s[hi] = assemble(rheology, flavour, h, layer_eta, mat1(band_, n, kBandColumns));
        double d = 0.0;
        bandecdp(mat1(band_, n, kBandColumns), n, kBandLower, kBandUpper, mat1(al_, n, kBandLower),
                 vec1(indx_), d);
        const auto band_solve = [&](std::vector<Complex>& x) {
            banbksdp<Complex>(mat1(std::as_const(band_), n, kBandColumns), n, kBandLower,
                              kBandUpper, mat1(std::as_const(al_), n, kBandLower),
                              vec1(std::as_const(indx_)), vec1(x));
        };
        // A self-gravitating body: the coupling of the boundaries, exact beside the band.
        if (model_.body.self_gravity)
            gravity_.prepare(self_gravity_coupling(model_.body, model_.grid), model_.body.layers, model_.run.j,
                             band_solve);
        for (int c = 0; c < kComponents; ++c) {
            auto& x = state.x[hi][static_cast<std::size_t>(c)];
            x = forcing_.loads[hi][static_cast<std::size_t>(c)];
            band_solve(x);
            if (model_.body.self_gravity) gravity_.correct(x.data());
        }
    }
}

} // namespace tidal
