#pragma once
// Method: docs/method.md §8 (phase lag, amplitude, Love numbers).
// The fundamental harmonic (the orbital frequency) of a periodic signal, from its samples over
// one whole period by a discrete Fourier projection, kept as two running sums so that no
// window of samples is stored.
//
// With theta_k = 2 pi k / n for the n samples k of one period, the sums
//   C = sum v_k cos(theta_k),  S = sum v_k sin(theta_k)
// give, for v(t) = A cos(omega t - delta) + (other harmonics below the n/2-th),
//   A cos(delta) = 2C/n,  A sin(delta) = 2S/n
// exactly (discrete orthogonality of the harmonics over a whole period).

#include <complex>

namespace tidal {

// cos and sin of the sample's phase angle theta in the period.
struct FundamentalWeight {
    double cos = 1.0, sin = 0.0;
};

// Weight of time step `step` with `nperiod` steps a period: theta = 2 pi (step mod nperiod) /
// nperiod, the orbital phase of the time step*dt.
FundamentalWeight fundamental_weight(int step, int nperiod);

struct FundamentalSums {
    double c = 0.0, s = 0.0;
    void add(double value, FundamentalWeight w) {
        c += value * w.cos;
        s += value * w.sin;
    }
};

// A harmonic A cos(omega t - phase): amplitude A (the signal's unit) and phase (rad, in
// (-pi, pi]); a later phase means a later maximum.
struct Harmonic {
    double amplitude = 0.0;
    double phase = 0.0;
};

// The harmonic as a phasor X, A cos(omega t - phase) = Re(X e^{i omega t}): A e^{-i phase}.
std::complex<double> phasor(const Harmonic& h);

// The fundamental of a signal from its sums over `samples` (one whole period of) samples.
Harmonic fundamental(const FundamentalSums& sums, int samples);

// How far (degrees, in (-180, 180]) the response's fundamental lags behind the forcing's:
// positive when the response reaches its maximum later.
double phase_lag_deg(const Harmonic& response, const Harmonic& forcing);

} // namespace tidal
