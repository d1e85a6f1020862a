#pragma once
// Method: docs/method.md §2-3 (the traction conditions at the boundaries).
// A normal traction amp Y_jm on a boundary has the components s1 amp and -s2 amp on the
// harmonics Y^{j-1} and Y^{j+1} (their radial parts are s1 Y and -s2 Y); the traction rows
// carry them with the signs of the assembly.
// Load vectors of the boundary nodes: a vector of length 6N+2 that is zero except for the
// two equations of one boundary node, which share the amplitude through the degree factors
// s1 = sqrt(j/(2j+1)) and s2 = sqrt((j+1)/(2j+1)).
#include "linalg/views.hpp"

namespace tidal {

struct DegreeFactors {
    double s1; // sqrt(j/(2j+1)), weight of u(j,j-1) in the radial displacement
    double s2; // sqrt((j+1)/(2j+1)), weight of u(j,j+1)
};
DegreeFactors degree_factors(double j);

// Clears b(1..6N+2) and loads the outer node: b(1) = -s1*amp, b(2) = s2*amp.
void zadanisily(int N, double j, Vec1View<double> b, double amp);

// Clears b(1..6N+2) and loads the inner node: b(6N+1) = -s1*amp, b(6N+2) = s2*amp
// (amp is a tidal-potential amplitude, Pa).
void zadanislapovehopotencialu(int N, double j, Vec1View<double> b, double amp);

} // namespace tidal
