#pragma once
// Method: docs/method.md §6 (the periodic steady state).
// The tidal forcing of the time integration as complex amplitudes, one set per multiple h of
// the orbital frequency: load(t) = sum over h of Re(F_h e^{i h omega t}).
#include <array>
#include <vector>

#include "steady/symbols.hpp"
#include "timestep/shell_model.hpp"

namespace tidal {

// The three load components, in the order of the time integration's right-hand sides.
inline constexpr int kComponents = 3;
inline constexpr int kComponentOrder0 = 0; // order-0 component
inline constexpr int kComponentCosine = 1; // order-2 component of the cosine terms
inline constexpr int kComponentSine = 2;   // order-2 component of the sine terms

struct HarmonicForcing {
    int harmonics = 1; // 1, or 2 for the tide expanded to second order in the eccentricity
    // loads[h-1][component]: complex load vector (6N+2 entries) of harmonic h; zero in the
    // constitutive rows, like the time integration's loads before the history terms.
    std::array<std::array<std::vector<Complex>, kComponents>, kMaxHarmonics> loads;
    // Complex amplitude of harmonic h of the order-0 inner-boundary potential amplitude, Pa:
    // the phase reference of the surface displacement.
    std::array<Complex, kMaxHarmonics> order0{};
};

// Projects the time integration's own forcing onto its harmonics: the forcing sampled eight
// times per period, whose discrete Fourier transform is exact for harmonics up to 3.
HarmonicForcing harmonic_forcing(const ShellModel& model);

} // namespace tidal
