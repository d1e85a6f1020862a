// Method: docs/method.md §1 and §2 (the tide and its coefficients).
#include "model/forcing.hpp"

#include <algorithm>
#include <cmath>

#include "discretisation/unknowns.hpp"
#include "loads/boundary_loads.hpp"

namespace tidal {

namespace {
const double kSqrt9Pi5 = std::sqrt(9.0 * kPi / 5.0);
const double kSqrt27Pi10 = std::sqrt(27.0 * kPi / 10.0);
const double kSqrt24Pi5 = std::sqrt(24.0 * kPi / 5.0);
const double kSqrt3Pi10 = std::sqrt(3.0 * kPi / 10.0);
const double kSqrt18Pi = std::sqrt(18.0 * kPi);
const double kSqrt27Pi = std::sqrt(27.0 * kPi);
const double kSqrt48Pi = std::sqrt(48.0 * kPi);
const double kSqrt3Pi = std::sqrt(3.0 * kPi);
const double kSqrtPi5 = std::sqrt(kPi / 5.0);
const double kSqrt2Pi = std::sqrt(2.0 * kPi);
const double kSqrt6Pi5 = std::sqrt(6.0 * kPi / 5.0);
const double kSqrt12Pi = std::sqrt(12.0 * kPi);
} // namespace

double tide_reference_radius(const ShellModel& model) {
    return model.grid.centre && model.grid.liquid_layer == 0 ? model.body.outer_radius
                                                             : model.body.inner_radius();
}

TidalForcing::TidalForcing(const ShellModel& model, double dt)
    : N_(model.body.layers), j_(model.run.j), omega_(model.body.angular_frequency()), dt_(dt), ecc_(model.body.eccentricity),
      eccentric_(model.body.three_to_two()), inner_pressure_(!model.grid.centre),
      order_one_(model.orders == TideOrders::One),
      sin_obliquity_(std::sin(model.body.obliquity_rad())),
      pericentre_(model.body.pericentre_argument_rad()), ocean_(model.grid.liquid_layer) {
    exact_ = orbit_tide_of(model);
    const auto r = vec1(model.grid.r);
    const Body& b = model.body;
    const double R = tide_reference_radius(model);
    Ae_ = b.density_below() * (R * R) * (omega_ * omega_) * ecc_;
    A_ = b.density_below() * (R * R) * (omega_ * omega_);
    // The body force rho grad W at interior node i, with the node's density (a density jump's
    // node weighs the two sides' densities as its rows weigh their equations).
    if (ocean_ > 0) {
        // The ocean's pressure rho_o W on the core's top, against its amplitude at the
        // shell's base: W grows as r^2.
        const double q = ((r(ocean_ + 1) + r(ocean_ + 2)) / 2.0) / R;
        core_top_scale_ = q * q;
        if (!model.grid.centre) {
            // The liquid core's pressure rho_l W on the inner region's base (nodes N, N+1),
            // against the ocean's rho_o W at the shell's base.
            const double p = ((r(N_) + r(N_ + 1)) / 2.0) / R;
            core_base_scale_ = (b.interior.back().density / b.density_below()) * (p * p);
        }
    }
    for (int i = 2; i <= N_; ++i) {
        const std::size_t k = static_cast<std::size_t>(i - 2);
        const double rho = b.node_density(i, model.grid.above_weight[k], model.grid.below_weight[k]);
        Ye_.push_back(r(i) * rho * (omega_ * omega_) * ecc_);
        Y_.push_back(r(i) * rho * (omega_ * omega_));
    }
}

StepForcing TidalForcing::at(int step) const {
    const double wt = (step * omega_) * dt_;
    const double c1 = std::cos(wt);
    const double s1 = std::sin(wt);
    StepForcing f{};
    if (exact_) {
        f = exact(exact_->at(wt));
    } else if (order_one_) {
        // The order-1 pair to first order in sin(theta): Re W21 alone, at the frequency of the
        // mean argument of latitude (docs/method.md §2.2); the order-0 slot stays empty.
        const double cosine = -(sin_obliquity_ * std::sin(pericentre_ + wt));
        f.amp_cosine = cosine * kSqrt6Pi5 * A_;
        f.body_cosine = -cosine * kSqrt12Pi;
    } else if (!eccentric_) {
        f.amp_order0 = -c1 * kSqrt9Pi5 * Ae_;
        f.amp_cosine = c1 * kSqrt27Pi10 * Ae_;
        f.amp_sine = -s1 * kSqrt24Pi5 * Ae_;
        f.body_order0 = c1 * kSqrt18Pi;
        f.body_cosine = -c1 * kSqrt27Pi;
        f.body_sine = s1 * kSqrt48Pi;
    } else {
        const double w2t = ((2.0 * omega_) * step) * dt_;
        const double c2 = std::cos(w2t);
        const double s2 = std::sin(w2t);
        const double e2 = ecc_ * ecc_;
        const double order0 = c1 + 1.5 * ecc_ * c2;
        const double cosine = (1.0 + 6.0 * e2) * c1 - 0.5 * ecc_ * c2;
        const double sine = (1.0 - 11.0 * e2) * s1 - 0.5 * ecc_ * s2;
        f.amp_order0 = -order0 * kSqrt9Pi5 * Ae_;
        f.amp_cosine = cosine * kSqrt3Pi10 * A_;
        f.amp_sine = sine * kSqrt3Pi10 * A_;
        f.body_order0 = order0 * kSqrt18Pi;
        f.body_cosine = -cosine * kSqrt3Pi;
        f.body_sine = -sine * kSqrt3Pi;
    }
    return f;
}

StepForcing TidalForcing::exact(const TideComponents& t) const {
    // W20 = -sqrt(pi/5) r^2 omega^2 order0, W22 = sqrt(3pi/10) r^2 omega^2 (cosine + i sine)
    // (docs/method.md §2.1); the body loads carry sqrt(j(2j+1)) = sqrt(10) more, opposite.
    StepForcing f{};
    if (order_one_) {
        // The order-1 pair (docs/method.md §2.2): Re and Im W21 = sqrt(6pi/5) r^2 omega^2
        // (cosine1, sine1), in the cosine and sine slots.
        f.amp_cosine = t.cosine1 * kSqrt6Pi5 * A_;
        f.amp_sine = t.sine1 * kSqrt6Pi5 * A_;
        f.body_cosine = -t.cosine1 * kSqrt12Pi;
        f.body_sine = -t.sine1 * kSqrt12Pi;
        return f;
    }
    f.amp_order0 = -t.order0 * kSqrtPi5 * A_;
    f.amp_cosine = t.cosine * kSqrt3Pi10 * A_;
    f.amp_sine = t.sine * kSqrt3Pi10 * A_;
    f.body_order0 = t.order0 * kSqrt2Pi;
    f.body_cosine = -t.cosine * kSqrt3Pi;
    f.body_sine = -t.sine * kSqrt3Pi;
    return f;
}

void TidalForcing::load(int step, Vec1View<double> b_order0, Vec1View<double> b_cosine,
                        Vec1View<double> b_sine) const {
    load(at(step), b_order0, b_cosine, b_sine);
}

void TidalForcing::load(const StepForcing& f, Vec1View<double> b_order0,
                        Vec1View<double> b_cosine, Vec1View<double> b_sine) const {
    if (inner_pressure_) {
        zadanislapovehopotencialu(N_, j_, b_order0, f.amp_order0 * core_base_scale_);
        zadanislapovehopotencialu(N_, j_, b_cosine, f.amp_cosine * core_base_scale_);
        zadanislapovehopotencialu(N_, j_, b_sine, f.amp_sine * core_base_scale_);
    } else {
        for (const Vec1View<double> b : {b_order0, b_cosine, b_sine})
            std::fill(b.data(), b.data() + (6 * N_ + 2), 0.0);
    }
    if (ocean_ > 0) {
        // The ocean's pressure rho_o W on both faces: the shell's base (the inner-face rows of
        // node ocean) and the core's top (the outer-face rows of node ocean + 1), each loaded
        // as the boundary-row routines load a node, -s1 amp and s2 amp (docs/method.md §10).
        const DegreeFactors d = degree_factors(j_);
        const double amps[3] = {f.amp_order0, f.amp_cosine, f.amp_sine};
        const Vec1View<double> bs[3] = {b_order0, b_cosine, b_sine};
        for (int c = 0; c < 3; ++c) {
            const int base = unknowns::u_minus(ocean_), top = unknowns::u_minus(ocean_ + 1);
            bs[c](base) = -d.s1 * amps[c];
            bs[c](base + 1) = d.s2 * amps[c];
            bs[c](top) = -d.s1 * (amps[c] * core_top_scale_);
            bs[c](top + 1) = d.s2 * (amps[c] * core_top_scale_);
        }
    }
    // With the 3:2 expansion only the order-0 component keeps ecc outside; the exact tide
    // keeps it in all three.
    // The order-1 pair, like the exact tide, keeps its small parameter in its amplitudes.
    const std::vector<double>& w_order2 = eccentric_ || exact_ || order_one_ ? Y_ : Ye_;
    const std::vector<double>& w_order0 = exact_ || order_one_ ? Y_ : Ye_;
    for (int i = 2; i <= N_; ++i) {
        // The ocean's two nodes hold the traction rows of the faces on it.
        if (ocean_ > 0 && (i == ocean_ || i == ocean_ + 1)) continue;
        const std::size_t w = static_cast<std::size_t>(i - 2);
        b_order0(unknowns::u_minus(i)) = f.body_order0 * w_order0[w];
        b_cosine(unknowns::u_minus(i)) = f.body_cosine * w_order2[w];
        b_sine(unknowns::u_minus(i)) = f.body_sine * w_order2[w];
    }
}

Harmonic tide_fundamental(const ShellModel& model, const TidalForcing& forcing) {
    const int nsteps = model.run.nsteps, nperiod = model.run.nperiod;
    FundamentalSums sums;
    const bool one = model.orders == TideOrders::One;
    for (int step = nsteps - nperiod + 1; step <= nsteps; ++step) {
        const StepForcing f = forcing.at(step);
        sums.add(one ? f.amp_cosine : f.amp_order0, fundamental_weight(step, nperiod));
    }
    return fundamental(sums, nperiod);
}

} // namespace tidal
