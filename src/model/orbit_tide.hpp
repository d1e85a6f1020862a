#pragma once
// Method: docs/method.md §1 (the tide of the Keplerian orbit).
// The degree-2 tidal potential of a point mass on a Keplerian orbit, seen from a body that
// spins uniformly about the orbit normal, as the time functions of its three load
// components. Per unit n^2 r^2 (n the mean motion), on the orthonormal harmonics,
//   W20    = -sqrt(pi/5)   n^2 r^2 order0(M),
//   Re W22 =  sqrt(3pi/10) n^2 r^2 cosine(M),
//   Im W22 =  sqrt(3pi/10) n^2 r^2 sine(M),
// with M the mean anomaly, d the distance, f the true anomaly and psi = f - p M the planet's
// longitude in the body frame (p = 1 synchronous, 3/2 in the 3:2 resonance):
//   order0 = (a/d)^3 - <(a/d)^3>,  cosine = (a/d)^3 cos 2psi - <.>,  sine = -(a/d)^3 sin 2psi.
// The orbital means (the permanent tide, which deforms the body once and dissipates nothing)
// are taken out. An oblique body (docs/method.md §2.2) sees the planet's direction at z =
// sin(theta) sin u and xi = x + i y = e^{-i Phi} (cos u + i cos(theta) sin u), u = varpi + f,
// Phi = varpi + M, and its tide has the order-1 pair besides:
//   order0 = (a/d)^3 (1 - 3 z^2),  cosine + i sine = (a/d)^3 conj(xi)^2,
//   Re W21 + i Im W21 = sqrt(6pi/5) n^2 r^2 (cosine1 + i sine1),  cosine1 + i sine1 = -(a/d)^3 z conj(xi).
#include <vector>

namespace tidal {

struct Body;

struct TideComponents {
    double order0 = 0.0, cosine = 0.0, sine = 0.0;
    double cosine1 = 0.0, sine1 = 0.0; // the order-1 pair (zero without obliquity)
};

// One harmonic h of the orbital frequency of the tide: order0 and cosine are even in M and
// carry cos(h M), sine is odd and carries sin(h M).
struct TideHarmonic {
    int h = 0;
    double order0 = 0.0, cosine = 0.0, sine = 0.0;
    // An oblique body's tide has no parity in M: the parts of the other parity (order0_sin and
    // cosine_sin carry sin(h M), sine_cos carries cos(h M)) and the order-1 pair's cos(h M)
    // and sin(h M) parts. All zero without obliquity.
    double order0_sin = 0.0, cosine_sin = 0.0, sine_cos = 0.0;
    double cosine1_cos = 0.0, cosine1_sin = 0.0, sine1_cos = 0.0, sine1_sin = 0.0;
    // Weight of the harmonic in the dissipated power of a spherically symmetric body: the sum
    // of the squared real-basis coefficients, (pi/5) order0^2 + (3pi/5)(cosine^2 + sine^2),
    // plus, for an oblique body, the other parities' and (12pi/5) times the order-1 pair's
    // squares (docs/method.md §2.2).
    double power_weight() const;
};

// Eccentric anomaly E (rad) of mean anomaly M (rad) at eccentricity 0 <= e < 1: the root of
// Kepler's equation E - e sin E = M, by Newton's iteration from a start that converges for
// every e < 1.
double eccentric_anomaly(double mean_anomaly, double e);

class OrbitTide {
  public:
    // spin_ratio: the body's spin over the mean motion (1 synchronous, 1.5 for 3:2).
    OrbitTide(double eccentricity, double spin_ratio);
    // The tide of `body`'s orbit and spin, its obliquity and pericentre's argument included.
    explicit OrbitTide(const Body& body);

    // The three components at mean anomaly M (rad), orbital means removed.
    TideComponents at(double mean_anomaly) const;

    // The tide's harmonics h = 1..H, H the fewest whose neglected power weight is below
    // `tolerance` times the whole; empty when more than `cap` harmonics would be needed.
    std::vector<TideHarmonic> harmonics(double tolerance, int cap) const;

  private:
    TideComponents raw(double mean_anomaly) const; // with the orbital means
    void take_means();
    double e_, p_;
    bool oblique_ = false;
    double cos_obliquity_ = 1.0, sin_obliquity_ = 0.0, pericentre_ = 0.0;
    double mean_order0_, mean_cosine_;
    TideComponents means_; // an oblique body's means of all five
};

// Tolerance and cap of the harmonic analysis of the exact tide.
inline constexpr double kTideHarmonicTolerance = 1e-10;
inline constexpr int kTideHarmonicCap = 400;

} // namespace tidal
