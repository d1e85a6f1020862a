// Method: docs/method.md §4 (the staggered grid).
#include "discretisation/grid.hpp"

#include "linalg/views.hpp"

namespace tidal {

RadialGrid make_radial_grid(int N, double rout, double rin, const std::vector<double>& mu) {
    RadialGrid g;
    g.N = N;
    g.r.assign(static_cast<std::size_t>(N + 1), 0.0);
    g.rhat.assign(static_cast<std::size_t>(N), 0.0);
    g.rtilde.assign(static_cast<std::size_t>(N), 0.0);
    g.rhatd.assign(static_cast<std::size_t>(N - 1), 0.0);
    g.rtilded.assign(static_cast<std::size_t>(N - 1), 0.0);
    g.mu = mu;

    auto r = vec1(g.r);
    auto rhat = vec1(g.rhat);
    auto rtilde = vec1(g.rtilde);
    auto rhatd = vec1(g.rhatd);
    auto rtilded = vec1(g.rtilded);

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
    for (int i = 1; i <= N; ++i) {
        rhat(i) = r(i + 1) + r(i);
        rtilde(i) = r(i + 1) - r(i);
    }
    for (int i = 1; i <= N - 1; ++i) {
        rhatd(i) = r(i + 2) + r(i);
        rtilded(i) = (r(i + 2) - r(i)) / 2.0;
    }
    return g;
}

} // namespace tidal
