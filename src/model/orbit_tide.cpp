// Method: docs/method.md §1 (the tide of the Keplerian orbit).
#include "model/orbit_tide.hpp"

#include <cmath>

#include "description/body.hpp"

namespace tidal {

namespace {

// Samples of the mean anomaly over one orbit for the orbital means and the harmonics: the
// trapezoidal rule on a periodic function converges as fast as its harmonics decay, and this
// many resolves the pericentre passage of every orbit whose tide converges within the cap.
constexpr int kSamples = 8192;

double mean_anomaly_of_sample(int k) {
    return (2.0 * kPi) * (static_cast<double>(k) / kSamples);
}

} // namespace

double TideHarmonic::power_weight() const {
    const double w =
        (kPi / 5.0) * (order0 * order0) + (3.0 * kPi / 5.0) * (cosine * cosine + sine * sine);
    if (order0_sin == 0.0 && cosine_sin == 0.0 && sine_cos == 0.0 && cosine1_cos == 0.0 &&
        cosine1_sin == 0.0 && sine1_cos == 0.0 && sine1_sin == 0.0)
        return w;
    return w + (kPi / 5.0) * (order0_sin * order0_sin) +
           (3.0 * kPi / 5.0) * (cosine_sin * cosine_sin + sine_cos * sine_cos) +
           (12.0 * kPi / 5.0) * (cosine1_cos * cosine1_cos + cosine1_sin * cosine1_sin +
                                 sine1_cos * sine1_cos + sine1_sin * sine1_sin);
}

namespace {
// The power weight of one instant's components (order-1 pair included).
double instant_weight(const TideComponents& t) {
    const double w = (kPi / 5.0) * (t.order0 * t.order0) +
                     (3.0 * kPi / 5.0) * (t.cosine * t.cosine + t.sine * t.sine);
    if (t.cosine1 == 0.0 && t.sine1 == 0.0) return w;
    return w + (12.0 * kPi / 5.0) * (t.cosine1 * t.cosine1 + t.sine1 * t.sine1);
}
} // namespace

double eccentric_anomaly(double mean_anomaly, double e) {
    // M into [-pi, pi]; E - M has the sign of sin M there, and the start M + 0.85 e sign(M)
    // lies on the side of the root from which Newton's steps on the convex branch converge.
    const double two_pi = 2.0 * kPi;
    const double M = mean_anomaly - two_pi * std::nearbyint(mean_anomaly / two_pi);
    double E = M + (M >= 0.0 ? 0.85 : -0.85) * e;
    for (int i = 0; i < 60; ++i) {
        const double step = (E - e * std::sin(E) - M) / (1.0 - e * std::cos(E));
        E -= step;
        if (std::fabs(step) <= 1e-15 * (1.0 + std::fabs(E))) break;
    }
    return E;
}

OrbitTide::OrbitTide(double eccentricity, double spin_ratio)
    : e_(eccentricity), p_(spin_ratio), mean_order0_(0.0), mean_cosine_(0.0) {
    take_means();
}

OrbitTide::OrbitTide(const Body& body)
    : e_(body.eccentricity), p_(body.spin_ratio()), oblique_(body.oblique()),
      cos_obliquity_(std::cos(body.obliquity_rad())),
      sin_obliquity_(std::sin(body.obliquity_rad())),
      pericentre_(body.pericentre_argument_rad()), mean_order0_(0.0), mean_cosine_(0.0) {
    take_means();
}

void OrbitTide::take_means() {
    if (oblique_) {
        // Every component of an oblique body's tide may have a mean.
        TideComponents sum;
        for (int k = 0; k < kSamples; ++k) {
            const TideComponents t = raw(mean_anomaly_of_sample(k));
            sum.order0 += t.order0;
            sum.cosine += t.cosine;
            sum.sine += t.sine;
            sum.cosine1 += t.cosine1;
            sum.sine1 += t.sine1;
        }
        means_ = {sum.order0 / kSamples, sum.cosine / kSamples, sum.sine / kSamples,
                  sum.cosine1 / kSamples, sum.sine1 / kSamples};
        return;
    }
    double s0 = 0.0, sc = 0.0;
    for (int k = 0; k < kSamples; ++k) {
        const TideComponents t = raw(mean_anomaly_of_sample(k));
        s0 += t.order0;
        sc += t.cosine;
    }
    mean_order0_ = s0 / kSamples;
    mean_cosine_ = sc / kSamples;
}

TideComponents OrbitTide::raw(double mean_anomaly) const {
    const double E = eccentric_anomaly(mean_anomaly, e_);
    const double cE = std::cos(E), sE = std::sin(E);
    const double q = 1.0 / (1.0 - e_ * cE); // a/d
    const double cf = (cE - e_) * q;
    const double sf = std::sqrt(1.0 - e_ * e_) * sE * q;
    if (oblique_) {
        // The planet's direction in the body frame (docs/method.md §2.2).
        const double u = pericentre_ + std::atan2(sf, cf);
        const double phi = pericentre_ + p_ * mean_anomaly;
        const double cu = std::cos(u), su = std::sin(u);
        const double z = sin_obliquity_ * su;
        const double ex = cu, ey = cos_obliquity_ * su; // in the equator's frame
        const double cp = std::cos(phi), sp = std::sin(phi);
        // xi = e^{-i phi} (ex + i ey); its conjugate:
        const double xr = cp * ex + sp * ey, xi = -(cp * ey - sp * ex);
        const double q3 = q * q * q;
        TideComponents t;
        t.order0 = q3 * (1.0 - 3.0 * (z * z));
        t.cosine = q3 * (xr * xr - xi * xi);
        t.sine = q3 * (2.0 * (xr * xi));
        t.cosine1 = -(q3 * z * xr);
        t.sine1 = -(q3 * z * xi);
        return t;
    }
    const double c2f = cf * cf - sf * sf;
    const double s2f = 2.0 * sf * cf;
    const double spin = (2.0 * p_) * mean_anomaly; // twice the body's rotation angle
    const double cs = std::cos(spin), ss = std::sin(spin);
    const double q3 = q * q * q;
    TideComponents t;
    t.order0 = q3;
    t.cosine = q3 * (c2f * cs + s2f * ss);
    t.sine = -(q3 * (s2f * cs - c2f * ss));
    return t;
}

TideComponents OrbitTide::at(double mean_anomaly) const {
    TideComponents t = raw(mean_anomaly);
    if (oblique_) {
        t.order0 -= means_.order0;
        t.cosine -= means_.cosine;
        t.sine -= means_.sine;
        t.cosine1 -= means_.cosine1;
        t.sine1 -= means_.sine1;
        return t;
    }
    t.order0 -= mean_order0_;
    t.cosine -= mean_cosine_;
    return t;
}

std::vector<TideHarmonic> OrbitTide::harmonics(double tolerance, int cap) const {
    std::vector<TideComponents> samples(static_cast<std::size_t>(kSamples));
    std::vector<double> cos_table(static_cast<std::size_t>(kSamples)),
        sin_table(static_cast<std::size_t>(kSamples));
    // The whole power weight, by Parseval's identity on the samples (each component has a
    // zero mean): the sum over h of the harmonics' weights is twice the mean of the samples'.
    double total = 0.0;
    for (int k = 0; k < kSamples; ++k) {
        const std::size_t ks = static_cast<std::size_t>(k);
        samples[ks] = at(mean_anomaly_of_sample(k));
        cos_table[ks] = std::cos(mean_anomaly_of_sample(k));
        sin_table[ks] = std::sin(mean_anomaly_of_sample(k));
        const TideComponents& t = samples[ks];
        total += instant_weight(t);
    }
    total *= 2.0 / kSamples;
    std::vector<TideHarmonic> out;
    double kept = 0.0;
    for (int h = 1; h <= cap && h < kSamples / 2; ++h) {
        // The discrete Fourier coefficients of harmonic h.
        TideHarmonic c;
        c.h = h;
        for (int k = 0; k < kSamples; ++k) {
            const std::size_t a = static_cast<std::size_t>((h * k) % kSamples);
            const TideComponents& t = samples[static_cast<std::size_t>(k)];
            c.order0 += t.order0 * cos_table[a];
            c.cosine += t.cosine * cos_table[a];
            c.sine += t.sine * sin_table[a];
        }
        c.order0 *= 2.0 / kSamples;
        c.cosine *= 2.0 / kSamples;
        c.sine *= 2.0 / kSamples;
        if (oblique_) {
            // The other parities and the order-1 pair.
            for (int k = 0; k < kSamples; ++k) {
                const std::size_t a = static_cast<std::size_t>((h * k) % kSamples);
                const TideComponents& t = samples[static_cast<std::size_t>(k)];
                c.order0_sin += t.order0 * sin_table[a];
                c.cosine_sin += t.cosine * sin_table[a];
                c.sine_cos += t.sine * cos_table[a];
                c.cosine1_cos += t.cosine1 * cos_table[a];
                c.cosine1_sin += t.cosine1 * sin_table[a];
                c.sine1_cos += t.sine1 * cos_table[a];
                c.sine1_sin += t.sine1 * sin_table[a];
            }
            for (double* v : {&c.order0_sin, &c.cosine_sin, &c.sine_cos, &c.cosine1_cos,
                              &c.cosine1_sin, &c.sine1_cos, &c.sine1_sin})
                *v *= 2.0 / kSamples;
        }
        kept += c.power_weight();
        out.push_back(c);
        if (total - kept <= tolerance * total) return out;
    }
    return {};
}

} // namespace tidal
