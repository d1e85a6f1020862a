#pragma once
// Method: docs/method.md §7 (self-gravitation).
// Self-gravitation of the shell: the degree-2 potential of the mass that the deformation moves
// (the displaced outer surface, density rho, and inner interface, density contrast drho), fed
// back into the boundary loads of the same time level.
//
// The layers are uniform, so the body force -rho grad V of that potential inside the shell is
// a gradient and is absorbed into the pressure. What remains are loads on the two boundaries:
// with W's conventions (u_r = V/g for a fluid surface), the outer surface carries -rho V(R) in
// the convention of zadanisily and the inner boundary drho V(r_in) in the convention of
// zadanislapovehopotencialu. A surface layer of mass rho U Y (U the coefficient of the
// displacement's orthonormal harmonic Y) at radius R has the potential
// (4 pi G R rho U / 5) (r/R)^2 Y inside and (4 pi G R rho U / 5) (R/r)^3 Y outside.
//
// The boundary displacements are means over the two nodes that straddle each boundary, so the
// loads couple the first and the last rows of the banded system to each other. That rank-2
// coupling is solved exactly beside the band: with x0 the banded solution of a load, Z the
// banded solutions of the unit boundary loads and U(x) the two boundary displacements, the
// coupled solution is x0 + Z a with a = (I - G U(Z))^-1 G U(x0), G the coupling below.
#include <array>
#include <cmath>
#include <vector>

#include "description/body.hpp"
#include "discretisation/unknowns.hpp"
#include "loads/boundary_loads.hpp"
#include "loads/diagnostics.hpp"

namespace tidal {

// Mean density of the body, kg/m^3, from its surface gravity and outer radius:
// g = (4/3) pi G rho_mean R.
double mean_density(const Body& body);

// The coupling G of the boundary displacements U = (U_s, U_b) (m) to the amplitudes of the
// boundary loads (Pa): the outer surface's amplitude (zadanisily) is top[0] U_s + top[1] U_b,
// the inner boundary's (zadanislapovehopotencialu) bottom[0] U_s + bottom[1] U_b.
struct SelfGravityCoupling {
    std::array<double, 2> top, bottom;
};
SelfGravityCoupling self_gravity_coupling(const Body& body);

// The radial displacements (m) of the outer surface and the inner boundary in a solution x
// (x(i) the unknown of row i; real or complex): the means of the two nodes around each.
template <class V, class X>
std::array<V, 2> boundary_displacements(const DegreeFactors& f, int N, const X& x) {
    const auto ur = [&](int k) {
        return radial_displacement<V>(f, x(unknowns::u_minus(k)), x(unknowns::u_plus(k)));
    };
    return {(ur(1) + ur(2)) / 2.0, (ur(N) + ur(N + 1)) / 2.0};
}

// The 2x2 matrix Q = (I - G P)^-1 G that turns the boundary displacements of a banded
// solution into the amplitudes of the self-gravitation loads, P(:, c) the boundary
// displacements of the banded solution of unit load c (0 the outer surface, 1 the inner
// boundary).
template <class V>
std::array<std::array<V, 2>, 2> self_gravity_gain(const SelfGravityCoupling& g,
                                                  const std::array<std::array<V, 2>, 2>& P) {
    const double G[2][2] = {{g.top[0], g.top[1]}, {g.bottom[0], g.bottom[1]}};
    // M = I - G P
    V M[2][2];
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            M[r][c] = V(r == c ? 1.0 : 0.0) - (G[r][0] * P[0][c] + G[r][1] * P[1][c]);
    const V det = M[0][0] * M[1][1] - M[0][1] * M[1][0];
    std::array<std::array<V, 2>, 2> Q{};
    for (int c = 0; c < 2; ++c) {
        // M^-1 applied to column c of G
        Q[0][c] = (M[1][1] * G[0][c] - M[0][1] * G[1][c]) / det;
        Q[1][c] = (M[0][0] * G[1][c] - M[1][0] * G[0][c]) / det;
    }
    return Q;
}

// The exact self-gravitating solve of one banded system: the unit responses Z and the gain Q
// of its factorisation.
template <class V> class SelfGravitySolve {
  public:
    SelfGravitySolve() = default;

    // `solve`(b) solves the banded system in place for a load vector b (6N+2 values of V).
    // (A caller that has solved the unit loads already, several systems at once, passes a
    // `solve` that hands over those solutions.)
    template <class Solve>
    void prepare(const SelfGravityCoupling& g, int N, double j, const Solve& solve) {
        N_ = N;
        f_ = degree_factors(j);
        for (int c = 0; c < 2; ++c) {
            const std::vector<double> unit = unit_load(c, N, j);
            z_[static_cast<std::size_t>(c)].assign(unit.begin(), unit.end());
        }
        std::array<std::array<V, 2>, 2> P{};
        for (int c = 0; c < 2; ++c) {
            solve(z_[c]);
            const auto u = boundary_displacements<V>(f_, N_, at(z_[c]));
            P[0][c] = u[0];
            P[1][c] = u[1];
        }
        q_ = self_gravity_gain<V>(g, P);
    }

    // Unit load c (0 the outer surface, 1 the inner boundary) of a shell of N layers and
    // degree j: 6N+2 values, Pa.
    static std::vector<double> unit_load(int c, int N, double j) {
        std::vector<double> unit(static_cast<std::size_t>(6 * N + 2));
        if (c == 0)
            zadanisily(N, j, vec1(unit), 1.0);
        else
            zadanislapovehopotencialu(N, j, vec1(unit), 1.0);
        return unit;
    }

    // The load amplitudes (a_s, a_b) for a banded solution x (x(i) the unknown of row i).
    template <class X> std::array<V, 2> amplitudes(const X& x) const {
        const auto u = boundary_displacements<V>(f_, N_, x);
        return {q_[0][0] * u[0] + q_[0][1] * u[1], q_[1][0] * u[0] + q_[1][1] * u[1]};
    }

    // Unit response c (0 the outer surface, 1 the inner boundary), rows 1..6N+2 at [0..6N+1].
    const std::vector<V>& response(int c) const { return z_[static_cast<std::size_t>(c)]; }

    // Turns the banded solution x (6N+2 values from x[0]) into the self-gravitating one.
    void correct(V* x) const {
        const auto a = amplitudes([&](int i) { return x[i - 1]; });
        for (std::size_t i = 0; i < z_[0].size(); ++i)
            x[i] = x[i] + z_[0][i] * a[0] + z_[1][i] * a[1];
    }

  private:
    static auto at(const std::vector<V>& v) {
        return [&v](int i) { return v[static_cast<std::size_t>(i - 1)]; };
    }
    int N_ = 0;
    DegreeFactors f_{};
    std::array<std::vector<V>, 2> z_;
    std::array<std::array<V, 2>, 2> q_{};
};

} // namespace tidal
