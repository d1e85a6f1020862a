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
// are taken out.
#include <vector>

namespace tidal {

struct TideComponents {
    double order0 = 0.0, cosine = 0.0, sine = 0.0;
};

// One harmonic h of the orbital frequency of the tide: order0 and cosine are even in M and
// carry cos(h M), sine is odd and carries sin(h M).
struct TideHarmonic {
    int h = 0;
    double order0 = 0.0, cosine = 0.0, sine = 0.0;
    // Weight of the harmonic in the dissipated power of a spherically symmetric body: the sum
    // of the squared real-basis coefficients, (pi/5) order0^2 + (3pi/5)(cosine^2 + sine^2).
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

    // The three components at mean anomaly M (rad), orbital means removed.
    TideComponents at(double mean_anomaly) const;

    // The tide's harmonics h = 1..H, H the fewest whose neglected power weight is below
    // `tolerance` times the whole; empty when more than `cap` harmonics would be needed.
    std::vector<TideHarmonic> harmonics(double tolerance, int cap) const;

  private:
    TideComponents raw(double mean_anomaly) const; // with the orbital means
    double e_, p_;
    double mean_order0_, mean_cosine_;
};

// Tolerance and cap of the harmonic analysis of the exact tide.
inline constexpr double kTideHarmonicTolerance = 1e-10;
inline constexpr int kTideHarmonicCap = 400;

} // namespace tidal
