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
    // N-1: at interior node i+1, the weights of the layers above (i) and below (i+1) in the
    // momentum rows' mean of their stresses: 1 and 1 (the plain mean) but at a node where the
    // spacing changes, 2 h_above / (h_above + h_below) and 2 h_below / (h_above + h_below),
    // the weights that the centred difference gives the two sides' derivatives
    // (docs/method.md §10).
    std::vector<double> above_weight, below_weight;
    bool centre = false;         // the last node lies at the centre, r(N+1) = 0
    // A grid of a shell over an ocean over a solid core (make_ocean_grid): the inert layer of
    // the ocean (1-based), 0 for every other grid. The shell's base lies between nodes
    // liquid_layer - 1 and liquid_layer, the core's top between liquid_layer + 1 and + 2.
    int liquid_layer = 0;
    // The first of the two nodes that straddle the inner boundary (the shell's base).
    int bottom_node() const { return liquid_layer > 0 ? liquid_layer - 1 : N; }
    // h_N / h_2N against the grid of twice the cells, for Richardson's estimate of the grid
    // error (steady/grid_refinement.hpp): exact for one layer, 2 for several (whose spacings
    // halve to within a factor 1 + O(1/cells)).
    double refinement_ratio = 2.0;
};

// h_N / h_2N for one layer of N cells: its mid-radii span the layer with N - 1 spacings over a
// fluid, (2N - 1) / (N - 1); with N - 1/2 down to the centre, (4N - 1) / (2N - 1).
double single_layer_refinement_ratio(int N, bool centre);

// One layer of a solid region of several layers: its thickness (m) and cells.
struct GridSegment {
    double thickness;
    int cells;
};

// Builds the grid and the rigidity profile `mu` (N values, outermost layer first; N >= 2);
// rin = 0 builds the grid of a body solid to the centre.
RadialGrid make_radial_grid(int N, double rout, double rin, const std::vector<double>& mu);

// The grid of a solid region of several layers in contact, outermost first, from rout down to
// a fluid boundary or (`centre`) to r = 0, with `mu` per cell: each layer's cells of equal
// spacing, the interfaces between layers on nodes (docs/method.md §10). The surface and a
// fluid boundary lie on mid-radii as in make_radial_grid.
RadialGrid make_layered_grid(const std::vector<GridSegment>& segments, double rout, bool centre,
                             const std::vector<double>& mu);

// The grid of a solid shell (`shell`, from rout down to the ocean's top) over an ocean over a
// solid core (`core`, from core_top down to r = 0), with `mu` per layer (the shell's cells, the
// ocean's one inert layer, the core's cells): the two regions' grids of make_layered_grid in
// sequence, each region's face on the ocean on a mid-radius, the ocean one layer of the band
// between the shell's last node and the core's first (docs/method.md §10). Without
// `core_centre` the core's region lies over a liquid core instead of reaching r = 0: its base
// on a mid-radius as a shell's over a fluid.
RadialGrid make_ocean_grid(const std::vector<GridSegment>& shell, double rout,
                           const std::vector<GridSegment>& core, double core_top,
                           const std::vector<double>& mu, bool core_centre = true);

} // namespace tidal
