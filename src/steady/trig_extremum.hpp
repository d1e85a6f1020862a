#pragma once
// Extremes of a periodic signal given by its harmonics.
#include <span>

#include "steady/symbols.hpp"

namespace tidal {

struct TrigMinimum {
    double value; // smallest value over a period
    double phase; // where it is reached, as a fraction of the period, 0 <= phase < 1
};

// Minimum over one period of f(p) = sum over h = 1..H of Re(a[h-1] e^{2 pi i h p}). One
// harmonic: -|a_1| in closed form. More: max(256, 16 H) samples, and Newton's method on
// f'(p) = 0 from the lowest and from every sampled local minimum that the curvature bound
// leaves in the running.
TrigMinimum trig_minimum(std::span<const Complex> a);

} // namespace tidal
