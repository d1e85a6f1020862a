// Method: docs/method.md §4 (the staggered grid), §4.1 (the centre), §10 (several layers).
#include "discretisation/grid.hpp"

#include "linalg/views.hpp"

namespace tidal {

namespace {

// The sums and differences of the node radii that the rows use.
void fill_differences(RadialGrid& g) {
    const int N = g.N;
    g.rhat.assign(static_cast<std::size_t>(N), 0.0);
    g.rtilde.assign(static_cast<std::size_t>(N), 0.0);
    g.rhatd.assign(static_cast<std::size_t>(N - 1), 0.0);
    g.rtilded.assign(static_cast<std::size_t>(N - 1), 0.0);
    auto r = vec1(g.r);
    auto rhat = vec1(g.rhat);
    auto rtilde = vec1(g.rtilde);
    auto rhatd = vec1(g.rhatd);
    auto rtilded = vec1(g.rtilded);
    for (int i = 1; i <= N; ++i) {
        rhat(i) = r(i + 1) + r(i);
        rtilde(i) = r(i + 1) - r(i);
    }
    for (int i = 1; i <= N - 1; ++i) {
        rhatd(i) = r(i + 2) + r(i);
        rtilded(i) = (r(i + 2) - r(i)) / 2.0;
    }
    g.above_weight.assign(static_cast<std::size_t>(N - 1), 1.0);
    g.below_weight.assign(static_cast<std::size_t>(N - 1), 1.0);
}

// At a node between layers of spacings h_a (above) and h_b (below), the centred difference of
// the stresses at the two mid-radii is h_a/(h_a+h_b) of the derivative above the node plus
// h_b/(h_a+h_b) of the one below, so the mean of the stresses takes the same weights (twice
// them, against the plain mean's 1/2) and the radius of the node itself, 2 r = Hd: each
// side's equation at the node is then weighted alike, and a stress component that jumps with
// the rigidity leaves no O(1) residue in the row.
void weight_interface_node(RadialGrid& g, int node) {
    auto r = vec1(g.r);
    const std::size_t i = static_cast<std::size_t>(node - 2); // interior node i+2 -> index i
    const double above = r(node - 1) - r(node), below = r(node) - r(node + 1);
    g.above_weight[i] = (2.0 * above) / (above + below);
    g.below_weight[i] = (2.0 * below) / (above + below);
    g.rhatd[i] = 2.0 * r(node);
}

} // namespace

double single_layer_refinement_ratio(int N, bool centre) {
    if (centre) return static_cast<double>(4 * N - 1) / static_cast<double>(2 * N - 1);
    return static_cast<double>(2 * N - 1) / static_cast<double>(N - 1);
}

RadialGrid make_radial_grid(int N, double rout, double rin, const std::vector<double>& mu) {
    RadialGrid g;
    g.N = N;
    g.r.assign(static_cast<std::size_t>(N + 1), 0.0);
    g.mu = mu;

    auto r = vec1(g.r);
    g.centre = !(rin > 0.0);
    if (g.centre) {
        // Node N+1 at the centre: rout - q (2N - 1) = 0, with q half the spacing.
        const double q = rout / static_cast<double>(2 * N - 1);
        for (int i = 1; i <= N; ++i)
            r(i) = rout - q * static_cast<double>(2 * i - 3);
        r(N + 1) = 0.0;
    } else {
        const double q = (rout - rin) / static_cast<double>(2 * N - 2); // half the spacing
        for (int i = 1; i <= N + 1; ++i)
            r(i) = rout - q * static_cast<double>(2 * i - 3);
    }
    g.refinement_ratio = single_layer_refinement_ratio(N, g.centre);
    fill_differences(g);
    return g;
}

RadialGrid make_layered_grid(const std::vector<GridSegment>& segments, double rout, bool centre,
                             const std::vector<double>& mu) {
    RadialGrid g;
    for (const GridSegment& s : segments)
        g.N += s.cells;
    g.r.assign(static_cast<std::size_t>(g.N + 1), 0.0);
    g.mu = mu;
    g.centre = centre;
    g.refinement_ratio = 2.0;
    auto r = vec1(g.r);
    double top = rout; // the segment's outer radius
    int node = 1;      // the segment's first node
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const GridSegment& s = segments[i];
        const bool first = i == 0, last = i + 1 == segments.size();
        // Spacings between the segment's first and last node: a surface or a fluid boundary
        // sits on a mid-radius, half a spacing inside the end node; an interface between two
        // segments and the centre sit on a node.
        const double ends = (first ? 0.5 : 0.0) + (last && !centre ? 0.5 : 0.0);
        const double h = s.thickness / (static_cast<double>(s.cells) - ends);
        const double start = first ? top + h / 2.0 : top;
        if (first) r(1) = start;
        for (int c = 1; c <= s.cells; ++c)
            r(node + c) = start - h * static_cast<double>(c);
        const double bottom = top - s.thickness;
        if (!last) r(node + s.cells) = bottom; // the interface exactly
        if (last && centre) r(node + s.cells) = 0.0;
        node += s.cells;
        top = bottom;
    }
    fill_differences(g);
    int interface = 1;
    for (std::size_t i = 0; i + 1 < segments.size(); ++i) {
        interface += segments[i].cells;
        weight_interface_node(g, interface);
    }
    return g;
}

RadialGrid make_ocean_grid(const std::vector<GridSegment>& shell, double rout,
                           const std::vector<GridSegment>& core, double core_top,
                           const std::vector<double>& mu, bool core_centre) {
    const RadialGrid above = make_layered_grid(shell, rout, false, {});
    const RadialGrid below = make_layered_grid(core, core_top, core_centre, {});
    RadialGrid g;
    g.N = above.N + 1 + below.N;
    g.r = above.r;
    g.r.insert(g.r.end(), below.r.begin(), below.r.end());
    g.mu = mu;
    g.centre = core_centre;
    g.liquid_layer = above.N + 1;
    g.refinement_ratio = 2.0;
    fill_differences(g);
    int interface = 1;
    for (std::size_t i = 0; i + 1 < shell.size(); ++i) {
        interface += shell[i].cells;
        weight_interface_node(g, interface);
    }
    interface = g.liquid_layer + 1;
    for (std::size_t i = 0; i + 1 < core.size(); ++i) {
        interface += core[i].cells;
        weight_interface_node(g, interface);
    }
    return g;
}

} // namespace tidal
