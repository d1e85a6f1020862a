#pragma once
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
