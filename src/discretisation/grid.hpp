#pragma once
// Method: docs/method.md §4 (discretisation in radius).
// Staggered radial grid of the shell: N layers between N+1 nodes, node 1 outermost.
// The layer mid-radii run from rout (layer 1) to rin (layer N) in equal steps; the nodes lie
// halfway between them, with one node half a spacing outside each end.
// A body solid to the centre (rin = 0) has its last node at r = 0 instead, where the regular
// degree-2 displacement vanishes: the mid-radii run from rout down to half a spacing above the
// centre, h = rout / (N - 1/2), and the innermost layer's cell [0, h] lies wholly in the solid.
#include <vector>

namespace tidal {

struct RadialGrid {
    int N = 0;
    std::vector<double> r;       // N+1 node radii, m, decreasing with the index
    std::vector<double> rhat;    // N: r(i) + r(i+1), twice the layer mid-radius, m
    std::vector<double> rtilde;  // N: r(i+1) - r(i), minus the spacing, m
    std::vector<double> rhatd;   // N-1: r(i) + r(i+2), twice the radius of interior node i+1, m
    std::vector<double> rtilded; // N-1: (r(i+2) - r(i)) / 2, minus the spacing, m
    std::vector<double> mu;      // N: shear modulus per layer, Pa
    bool centre = false;         // the last node lies at the centre, r(N+1) = 0
};

// Builds the grid and the rigidity profile `mu` (N values, outermost layer first; N >= 2);
// rin = 0 builds the grid of a body solid to the centre.
RadialGrid make_radial_grid(int N, double rout, double rin, const std::vector<double>& mu);

} // namespace tidal
