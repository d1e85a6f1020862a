// Method: docs/method.md §3 (the boundary loads).
#include "loads/boundary_loads.hpp"

#include <algorithm>
#include <cmath>

namespace tidal {

DegreeFactors degree_factors(double j) {
    return {std::sqrt(j / (2.0 * j + 1.0)), std::sqrt((j + 1.0) / (2.0 * j + 1.0))};
}

namespace {
void load_node(int N, double j, Vec1View<double> b, double amp, int first_row) {
    std::fill(b.data(), b.data() + (6 * N + 2), 0.0);
    const DegreeFactors f = degree_factors(j);
    b(first_row) = -f.s1 * amp;
    b(first_row + 1) = f.s2 * amp;
}
} // namespace

void zadanisily(int N, double j, Vec1View<double> b, double amp) {
    load_node(N, j, b, amp, 1);
}

void zadanislapovehopotencialu(int N, double j, Vec1View<double> b, double amp) {
    load_node(N, j, b, amp, 6 * N + 1);
}

} // namespace tidal
