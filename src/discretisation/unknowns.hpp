#pragma once
// Method: docs/method.md §4 (rows and unknowns interleave per node and layer).
// The numbering of the unknowns and equation rows of the banded system (1-based, order 6N+2):
// node k (k = 1 outermost .. N+1 innermost) carries u(j,j-1) at 6k-5 and u(j,j+1) at 6k-4;
// layer l (between nodes l and l+1) carries tau(j,j-2) at 6l-3, tau(j,j) at 6l-2, the pressure
// at 6l-1 and tau(j,j+2) at 6l. Rows 1, 2 are the outer traction conditions, 6l-3 the
// incompressibility of layer l, 6l-2 .. 6l its constitutive law, 6k-5 and 6k-4 (k = 2..N) the
// momentum balance of interior node k, and 6N+1, 6N+2 the inner traction conditions (for a
// body solid to the centre, the displacement of node N+1, at r = 0, held at zero).
#include <array>

namespace tidal::unknowns {

// u(j,j-1) of node k
constexpr int u_minus(int k) {
    return 6 * k - 5;
}
// u(j,j+1) of node k
constexpr int u_plus(int k) {
    return 6 * k - 4;
}
// tau(j,j-2) of layer l
constexpr int tau_minus(int l) {
    return 6 * l - 3;
}
// tau(j,j) of layer l
constexpr int tau_zero(int l) {
    return 6 * l - 2;
}
// pressure of layer l
constexpr int pressure(int l) {
    return 6 * l - 1;
}
// tau(j,j+2) of layer l
constexpr int tau_plus(int l) {
    return 6 * l;
}

// A stress unknown of a layer and the constitutive row in which its history loads the system.
struct StressRow {
    int unknown, row;
};
// The three stress unknowns of layer l, tau(j,j-2), tau(j,j), tau(j,j+2), with their rows.
constexpr std::array<StressRow, 3> stress_rows(int l) {
    return {{{tau_minus(l), tau_zero(l)}, {tau_zero(l), pressure(l)}, {tau_plus(l), tau_plus(l)}}};
}

} // namespace tidal::unknowns
