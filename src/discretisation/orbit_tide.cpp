// Method: docs/method.md §1 (the tide of the Keplerian orbit).
#include "discretisation/orbit_tide.hpp"

#include <cmath>

#include "discretisation/body.hpp"

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
    return (kPi / 5.0) * (order0 * order0) + (3.0 * kPi / 5.0) * (cosine * cosine + sine * sine);
}

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
    t.order0 -= mean_order0_;
    t.cosine -= mean_cosine_;
    return t;
}

std::vector<TideHarmonic> OrbitTide::harmonics(double tolerance, int cap) const {
    std::vector<TideComponents> samples(static_cast<std::size_t>(kSamples));
    for (int k = 0; k < kSamples; ++k)
        samples[static_cast<std::size_t>(k)] = at(mean_anomaly_of_sample(k));
    // Discrete Fourier coefficients up to a quarter of the samples, far beyond the cap, so
    // that their sum is the whole power to the tolerance.
    const int top = kSamples / 4;
    std::vector<TideHarmonic> all;
    double total = 0.0;
    for (int h = 1; h <= top; ++h) {
        TideHarmonic c;
        c.h = h;
        for (int k = 0; k < kSamples; ++k) {
            const double angle = mean_anomaly_of_sample((h * k) % kSamples);
            const TideComponents& t = samples[static_cast<std::size_t>(k)];
            c.order0 += t.order0 * std::cos(angle);
            c.cosine += t.cosine * std::cos(angle);
            c.sine += t.sine * std::sin(angle);
        }
        c.order0 *= 2.0 / kSamples;
        c.cosine *= 2.0 / kSamples;
        c.sine *= 2.0 / kSamples;
        total += c.power_weight();
        all.push_back(c);
    }
    double kept = 0.0;
    for (int h = 1; h <= top && h <= cap; ++h) {
        kept += all[static_cast<std::size_t>(h - 1)].power_weight();
        if (total - kept <= tolerance * total) {
            all.resize(static_cast<std::size_t>(h));
            return all;
        }
    }
    return {};
}

} // namespace tidal
