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
// A density jump [rho] inside the solid, on node k (discretisation/assembly.hpp), is a third
// kind of interface: its displacement is the node's own, and its potential load [rho] V(r_k)
// enters the node's momentum rows (docs/method.md §10). With K interfaces the coupling is of
// rank K and solved the same way.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <utility>
#include <vector>

#include "description/body.hpp"
#include "discretisation/grid.hpp"
#include "discretisation/unknowns.hpp"
#include "loads/boundary_loads.hpp"
#include "loads/diagnostics.hpp"

namespace tidal {

// Mean density of the body, kg/m^3, from its surface gravity and outer radius:
// g = (4/3) pi G rho_mean R.
double mean_density(const Body& body);

// The most interfaces a coupling holds: the surface, the inner boundary and the density jumps.
inline constexpr int kMaxCoupledInterfaces = 16;

// Where an interface's displacement is read and its load applied: the outer surface (the mean
// of nodes 1, 2; load on rows 1, 2), the inner boundary (nodes N, N+1; rows 6N+1, 6N+2), or a
// density jump on node `node` (its own displacement; load on its momentum rows, scaled by
// 1/`spacing`, the node's rtilded, as the time-stepping rows are).
// An ocean's floor, the top of the solid core under it, is an outer face like the surface
// (Top: the mean of nodes `node`, `node` + 1; load on their first node's rows, as
// zadanisily loads the surface). The inner boundary of a shell over an ocean is the shell's
// base (nodes `node`, `node` + 1 with `node` the grid's bottom_node(); N without an ocean).
struct CoupledInterface {
    enum class Kind { Surface, Bottom, Jump, Top } kind;
    int node = 0;         // Jump: the node on the interface; Bottom, Top: the first node
    double spacing = 0.0; // Jump: the rows' spacing Td at the node, m
};

// The coupling G of the interface displacements U (m) to the amplitudes of their loads (Pa):
// the amplitude of interface r is sum_c G[r][c] U_c. Interface 0 is the outer surface, 1 the
// inner boundary (zadanisily, zadanislapovehopotencialu), then the density jumps, outermost
// first.
struct SelfGravityCoupling {
    std::vector<CoupledInterface> at;
    std::vector<std::vector<double>> G;
    int size() const { return static_cast<int>(at.size()); }
};
SelfGravityCoupling self_gravity_coupling(const Body& body, const RadialGrid& grid);

// The interface displacements (m) of a solution x (x(i) the unknown of row i; real or complex),
// in the order of the coupling.
template <class V> using InterfaceValues = std::array<V, kMaxCoupledInterfaces>;
template <class V, class X>
InterfaceValues<V> interface_displacements(const std::vector<CoupledInterface>& at,
                                           const DegreeFactors& f, int N, const X& x) {
    const auto ur = [&](int k) {
        return radial_displacement<V>(f, x(unknowns::u_minus(k)), x(unknowns::u_plus(k)));
    };
    InterfaceValues<V> u{};
    for (std::size_t c = 0; c < at.size(); ++c) {
        const CoupledInterface& i = at[c];
        if (i.kind == CoupledInterface::Kind::Surface) u[c] = (ur(1) + ur(2)) / 2.0;
        else if (i.kind == CoupledInterface::Kind::Bottom) {
            const int k = i.node > 0 ? i.node : N;
            u[c] = (ur(k) + ur(k + 1)) / 2.0;
        } else if (i.kind == CoupledInterface::Kind::Top)
            u[c] = (ur(i.node) + ur(i.node + 1)) / 2.0;
        else u[c] = ur(i.node);
    }
    return u;
}

// The matrix Q = (I - G P)^-1 G that turns the interface displacements of a banded solution
// into the amplitudes of the self-gravitation loads, P(:, c) the interface displacements of
// the banded solution of unit load c. Two interfaces: Cramer's rule; more: Gaussian
// elimination with partial pivoting (V real or complex).
template <class V>
std::vector<std::vector<V>> self_gravity_gain(const SelfGravityCoupling& g,
                                              const std::vector<InterfaceValues<V>>& P) {
    const std::size_t K = g.at.size();
    const auto& G = g.G;
    // M = I - G P, with P[c][r] the displacement of interface r under unit load c
    std::vector<std::vector<V>> M(K, std::vector<V>(K));
    for (std::size_t r = 0; r < K; ++r)
        for (std::size_t c = 0; c < K; ++c) {
            V gp = G[r][0] * P[c][0];
            for (std::size_t k = 1; k < K; ++k)
                gp = gp + G[r][k] * P[c][k];
            M[r][c] = V(r == c ? 1.0 : 0.0) - gp;
        }
    std::vector<std::vector<V>> Q(K, std::vector<V>(K));
    if (K == 2) {
        const V det = M[0][0] * M[1][1] - M[0][1] * M[1][0];
        for (std::size_t c = 0; c < 2; ++c) {
            // M^-1 applied to column c of G
            Q[0][c] = (M[1][1] * G[0][c] - M[0][1] * G[1][c]) / det;
            Q[1][c] = (M[0][0] * G[1][c] - M[1][0] * G[0][c]) / det;
        }
        return Q;
    }
    for (std::size_t r = 0; r < K; ++r)
        for (std::size_t c = 0; c < K; ++c)
            Q[r][c] = V(G[r][c]);
    for (std::size_t p = 0; p < K; ++p) {
        std::size_t best = p;
        for (std::size_t r = p + 1; r < K; ++r)
            if (std::abs(M[r][p]) > std::abs(M[best][p])) best = r;
        std::swap(M[p], M[best]);
        std::swap(Q[p], Q[best]);
        for (std::size_t r = p + 1; r < K; ++r) {
            const V m = M[r][p] / M[p][p];
            for (std::size_t c = p; c < K; ++c)
                M[r][c] = M[r][c] - m * M[p][c];
            for (std::size_t c = 0; c < K; ++c)
                Q[r][c] = Q[r][c] - m * Q[p][c];
        }
    }
    for (std::size_t p = K; p-- > 0;)
        for (std::size_t c = 0; c < K; ++c) {
            V v = Q[p][c];
            for (std::size_t k = p + 1; k < K; ++k)
                v = v - M[p][k] * Q[k][c];
            Q[p][c] = v / M[p][p];
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
        at_ = g.at;
        const std::size_t K = g.at.size();
        z_.resize(K);
        std::vector<InterfaceValues<V>> P(K);
        for (std::size_t c = 0; c < K; ++c) {
            const std::vector<double> unit = unit_load(g, static_cast<int>(c), N, j);
            z_[c].assign(unit.begin(), unit.end());
        }
        for (std::size_t c = 0; c < K; ++c) {
            solve(z_[c]);
            P[c] = interface_displacements<V>(at_, f_, N_, at(z_[c]));
        }
        q_ = self_gravity_gain<V>(g, P);
    }

    // Unit load c of the coupling (0 the outer surface, 1 the inner boundary, then the
    // density jumps) of a shell of N layers and degree j: 6N+2 values, Pa (a jump's per metre
    // of its rows' spacing).
    static std::vector<double> unit_load(const SelfGravityCoupling& g, int c, int N, double j) {
        std::vector<double> unit(static_cast<std::size_t>(6 * N + 2));
        const CoupledInterface& i = g.at[static_cast<std::size_t>(c)];
        if (i.kind == CoupledInterface::Kind::Surface) {
            zadanisily(N, j, vec1(unit), 1.0);
        } else if (i.kind == CoupledInterface::Kind::Bottom) {
            zadanislapovehopotencialu(i.node > 0 ? i.node : N, j, vec1(unit), 1.0);
        } else if (i.kind == CoupledInterface::Kind::Top) {
            // The outer-face rows of the core's first node, in zadanisily's signs.
            const DegreeFactors f = degree_factors(j);
            unit[static_cast<std::size_t>(unknowns::u_minus(i.node) - 1)] = -f.s1;
            unit[static_cast<std::size_t>(unknowns::u_plus(i.node) - 1)] = f.s2;
        } else {
            // The momentum rows of the node carry +[rho] V s1 / Td and -[rho] V s2 / Td
            // (discretisation/assembly.cpp).
            const DegreeFactors f = degree_factors(j);
            unit[static_cast<std::size_t>(unknowns::u_minus(i.node) - 1)] = f.s1 / i.spacing;
            unit[static_cast<std::size_t>(unknowns::u_plus(i.node) - 1)] = -(f.s2 / i.spacing);
        }
        return unit;
    }

    // The number of interfaces coupled.
    int size() const { return static_cast<int>(z_.size()); }

    // The load amplitudes (in the coupling's order) for a banded solution x (x(i) the unknown
    // of row i).
    template <class X> InterfaceValues<V> amplitudes(const X& x) const {
        const auto u = interface_displacements<V>(at_, f_, N_, x);
        const std::size_t K = z_.size();
        InterfaceValues<V> a{};
        for (std::size_t r = 0; r < K; ++r) {
            V v = q_[r][0] * u[0];
            for (std::size_t c = 1; c < K; ++c)
                v = v + q_[r][c] * u[c];
            a[r] = v;
        }
        return a;
    }

    // Unit response c, rows 1..6N+2 at [0..6N+1].
    const std::vector<V>& response(int c) const { return z_[static_cast<std::size_t>(c)]; }

    // Turns the banded solution x (6N+2 values from x[0]) into the self-gravitating one.
    void correct(V* x) const {
        const auto a = amplitudes([&](int i) { return x[i - 1]; });
        const std::size_t K = z_.size();
        for (std::size_t i = 0; i < z_[0].size(); ++i) {
            V v = x[i];
            for (std::size_t c = 0; c < K; ++c)
                v = v + z_[c][i] * a[c];
            x[i] = v;
        }
    }

  private:
    static auto at(const std::vector<V>& v) {
        return [&v](int i) { return v[static_cast<std::size_t>(i - 1)]; };
    }
    int N_ = 0;
    DegreeFactors f_{};
    std::vector<CoupledInterface> at_;
    std::vector<std::vector<V>> z_;
    std::vector<std::vector<V>> q_;
};

} // namespace tidal
