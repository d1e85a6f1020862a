#pragma once
// Method: docs/method.md §6 (the periodic steady state) and §2.1 (the tide's harmonics).
// The tidal forcing of the time integration as complex amplitudes, one set per multiple h of
// the orbital frequency: load(t) = sum over h of Re(F_h e^{i h omega t}).
#include <array>
#include <vector>

#include "steady/symbols.hpp"
#include "model/shell_model.hpp"

namespace tidal {

// The three load components, in the order of the time integration's right-hand sides.
inline constexpr int kComponents = 3;
inline constexpr int kComponentOrder0 = 0; // order-0 component
inline constexpr int kComponentCosine = 1; // order-2 component of the cosine terms
inline constexpr int kComponentSine = 2;   // order-2 component of the sine terms

struct HarmonicForcing {
    // 1 for the first-order tide, 2 for the 3:2 resonance's expansion, as many as the exact
    // tide needs at its tolerance (OrbitTide::harmonics).
    int harmonics = 1;
    // loads[h-1][component]: complex load vector (6N+2 entries) of harmonic h; zero in the
    // constitutive rows, like the time integration's loads before the history terms.
    std::vector<std::array<std::vector<Complex>, kComponents>> loads;
    // Complex amplitude of harmonic h of the order-0 inner-boundary potential amplitude, Pa:
    // the phase reference of the surface displacement (an order-1 model's: of its cosine
    // component, the slot of response_slot).
    std::vector<Complex> order0;
};

// The harmonics of the time integration's own forcing. The expanded tides: the forcing
// sampled eight times per period, whose discrete Fourier transform is exact for harmonics up
// to 3. The exact tide: its harmonics h = 1..H at the tolerance and cap of
// model/orbit_tide.hpp, each loaded as the time integration loads the orbit's tide.
HarmonicForcing harmonic_forcing(const ShellModel& model);

} // namespace tidal
