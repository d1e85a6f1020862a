// Method: docs/method.md §3 and §4 (equations, rows and the band).
#include "discretisation/assembly.hpp"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace tidal {

namespace {

// Writes the full-matrix element (row, col) into band storage.
template <class V> struct BandWriter {
    Mat1View<V> a;
    void operator()(int row, int col, V value) const { a(row, col - row + 8) = value; }
};

// Incompressibility row 6l-3 of layer l.
template <class V>
void write_incompressibility_row(const BandWriter<V>& put, const AssemblyInputs& in, int l) {
    const auto K = in.K;
    const double H = vec1(in.grid->rhat)(l);
    const double T = vec1(in.grid->rtilde)(l);
    const int row = 6 * l - 3;
    put(row, 6 * l - 5, K(2) * T - K(1) * H);
    put(row, 6 * l - 4, K(4) * T - K(3) * H);
    put(row, 6 * l + 1, H * K(1) + T * K(2));
    put(row, 6 * l + 2, H * K(3) + T * K(4));
}

// Constitutive rows 6l-2, 6l-1, 6l of layer l, with the rheology's coefficients `law` for the
// layer.
template <class V>
void write_constitutive_rows(const BandWriter<V>& put, const AssemblyInputs& in, int l,
                             const Constitutive<V>& law) {
    const auto K = in.K;
    const double H = vec1(in.grid->rhat)(l);
    const double T = vec1(in.grid->rtilde)(l);

    // Rigidity of the displacement terms and coefficient of the stress unknown.
    const V M = law.rigidity;
    const V stress = (H * T * law.stress) / (H * T);

    const int rjm2 = 6 * l - 2;
    put(rjm2, 6 * l - 5, (T * M * K(6) - H * M * K(5)) / (H * T));
    put(rjm2, 6 * l + 1, (H * M * K(5) + T * M * K(6)) / (H * T));
    put(rjm2, 6 * l - 3, stress);

    const int rjj = 6 * l - 1;
    put(rjj, 6 * l - 5, (T * M * K(10) - H * M * K(9)) / (H * T));
    put(rjj, 6 * l - 4, (T * M * K(12) - H * M * K(11)) / (H * T));
    put(rjj, 6 * l + 1, (H * M * K(9) + T * M * K(10)) / (H * T));
    put(rjj, 6 * l + 2, (H * M * K(11) + T * M * K(12)) / (H * T));
    put(rjj, 6 * l - 2, stress);

    const int rjp2 = 6 * l;
    put(rjp2, 6 * l - 4, (T * M * K(16) - H * M * K(15)) / (H * T));
    put(rjp2, 6 * l + 2, (H * M * K(15) + T * M * K(16)) / (H * T));
    put(rjp2, 6 * l, stress);
}

// Momentum balance rows 6l+1, 6l+2 of interior node l+1. The time-stepping matrices divide
// every entry by Hd*Td so that the body forces enter at the scale of a stress gradient.
template <class V>
void write_equilibrium_rows(const BandWriter<V>& put, bool scaled, const AssemblyInputs& in,
                            int l) {
    const auto K = in.K;
    const double Hd = vec1(in.grid->rhatd)(l);
    const double Td = vec1(in.grid->rtilded)(l);
    const auto put_eq = [&](int row, int col, double value) {
        put(row, col, scaled ? value / (Hd * Td) : value);
    };

    // The mean of the two layers' stresses, weighted where the spacing changes (grid.hpp).
    const double wa = in.grid->above_weight[static_cast<std::size_t>(l - 1)];
    const double wb = in.grid->below_weight[static_cast<std::size_t>(l - 1)];
    const int r1 = 6 * l + 1;
    put_eq(r1, 6 * l - 3, K(20) * Td * wa - K(19) * Hd);
    put_eq(r1, 6 * l - 2, K(22) * Td * wa - K(21) * Hd);
    put_eq(r1, 6 * l - 1, K(18) * Td * wa - K(17) * Hd);
    put_eq(r1, 6 * l + 3, Hd * K(19) + Td * K(20) * wb);
    put_eq(r1, 6 * l + 4, Hd * K(21) + Td * K(22) * wb);
    put_eq(r1, 6 * l + 5, Hd * K(17) + Td * K(18) * wb);

    const int r2 = 6 * l + 2;
    put_eq(r2, 6 * l - 2, K(30) * Td * wa - K(29) * Hd);
    put_eq(r2, 6 * l - 1, K(28) * Td * wa - K(27) * Hd);
    put_eq(r2, 6 * l, K(32) * Td * wa - K(31) * Hd);
    put_eq(r2, 6 * l + 4, Hd * K(29) + Td * K(30) * wb);
    put_eq(r2, 6 * l + 5, Hd * K(27) + Td * K(28) * wb);
    put_eq(r2, 6 * l + 6, Hd * K(31) + Td * K(32) * wb);

    // A density jump on this node: the traction T (components j-1, j+1 of tau.e_r - p e_r,
    // p the pressure less rho V plus rho g u_r in each layer) jumps across the interface by
    // T_below - T_above = -[rho] (g U - V) e_r, U = s1 u_{j-1} - s2 u_{j+1} the node's radial
    // displacement. The rows' difference part is Hd (T_below - T_above) at the mid-radii, so
    // the jump is taken out of it: Hd s1 [rho] g U on the j-1 row, -Hd s2 [rho] g U on the
    // j+1 row; the potential's part, [rho] V, is a load (loads/self_gravity.hpp).
    for (const DensityJump& d : in.jumps) {
        if (d.node != l + 1) continue;
        // The radial parts of Y^{j-1} and Y^{j+1} (loads/boundary_loads.hpp).
        const double s1 = std::sqrt(in.j / (2.0 * in.j + 1.0));
        const double s2 = std::sqrt((in.j + 1.0) / (2.0 * in.j + 1.0));
        const double G = d.jump * d.gravity;
        put_eq(r1, 6 * l + 1, ((Hd * s1) * G) * s1);
        put_eq(r1, 6 * l + 2, -(((Hd * s1) * G) * s2));
        put_eq(r2, 6 * l + 1, -(((Hd * s2) * G) * s1));
        put_eq(r2, 6 * l + 2, ((Hd * s2) * G) * s2);
    }
}

// Traction conditions at the outer surface (rows 1, 2) and the inner boundary (rows 6N+1,
// 6N+2), with the gravitational restoring term of the boundary's radial displacement, taken
// as the mean of the two nodes around it; for a body solid to the centre, rows 6N+1, 6N+2
// are the regularity of the displacement at r = 0 instead.
// The traction rows of a region's outer face (the surface, rows 1, 2, or a core's top under
// an ocean), on the rows o+1, o+2 of the face's first node, with the buoyancy G U of the
// displaced face (G = rho g_s at the surface, [rho] g at the core's top): T + G U e_r = load.
template <class V>
void write_outer_face_rows(const BandWriter<V>& put, const AssemblyInputs& in, int o, double Go) {
    const auto K = in.K;
    const double j = in.j;
    const double w = (j + j) + 1.0;
    const double q = w + w;
    const double s = std::sqrt((j + 1.0) * j);

    put(o + 1, o + 1, Go * j / q);
    put(o + 1, o + 2, -(s / q) * Go);
    put(o + 1, o + 3, K(34));
    put(o + 1, o + 4, K(35));
    put(o + 1, o + 5, K(33));
    put(o + 1, o + 7, Go * j / q);
    put(o + 1, o + 8, -(s / q) * Go);

    put(o + 2, o + 1, -(s / q) * Go);
    put(o + 2, o + 2, Go * (j + 1.0) / q);
    put(o + 2, o + 4, K(37));
    put(o + 2, o + 5, K(36));
    put(o + 2, o + 6, K(38));
    put(o + 2, o + 7, -(s / q) * Go);
    put(o + 2, o + 8, Go * (j + 1.0) / q);
}

// The traction rows of a region's inner face over a liquid (rows n+1, n+2, n = 6 times the
// face's layer), with the buoyancy -drho g_b U: T - Gi U e_r = load.
template <class V>
void write_inner_face_rows(const BandWriter<V>& put, const AssemblyInputs& in, int n, double Gi) {
    const auto K = in.K;
    const double j = in.j;
    const double w = (j + j) + 1.0;
    const double q = w + w;
    const double s = std::sqrt((j + 1.0) * j);
    put(n + 1, n - 5, -(Gi * j / q));
    put(n + 1, n - 4, (s / q) * Gi);
    put(n + 1, n - 3, K(34));
    put(n + 1, n - 2, K(35));
    put(n + 1, n - 1, K(33));
    put(n + 1, n + 1, -(Gi * j / q));
    put(n + 1, n + 2, (s / q) * Gi);

    put(n + 2, n - 5, (s / q) * Gi);
    put(n + 2, n - 4, -(Gi * (j + 1.0) / q));
    put(n + 2, n - 2, K(37));
    put(n + 2, n - 1, K(36));
    put(n + 2, n, K(38));
    put(n + 2, n + 1, (s / q) * Gi);
    put(n + 2, n + 2, -(Gi * (j + 1.0) / q));
}

template <class V> void write_boundary_rows(const BandWriter<V>& put, const AssemblyInputs& in) {
    const int N = in.grid->N;
    write_outer_face_rows(put, in, 0, in.Go);
    const int n = 6 * N;
    const int ocean = in.grid->liquid_layer;
    if (ocean > 0) {
        // The shell's base over the ocean, and the core's top under it (docs/method.md §10).
        write_inner_face_rows(put, in, 6 * (ocean - 1), in.Gi);
        write_outer_face_rows(put, in, 6 * ocean, in.Gc);
    }
    if (in.grid->centre) {
        // Solid to the centre: the last node lies at r = 0, where the regular degree-j
        // displacement (u_{j-1} ~ r^{j-1}, u_{j+1} ~ r^{j+1}) vanishes for j >= 2
        // (docs/method.md §4.1). Its two rows hold both components at zero.
        put(n + 1, n + 1, 1.0);
        put(n + 2, n + 2, 1.0);
        return;
    }
    // Over a liquid: the shell's base, or under an ocean the inner region's base.
    write_inner_face_rows(put, in, n, ocean > 0 ? in.Gb : in.Gi);
}

// The ocean's inert layer l of the band: its stresses and pressure held at zero, so that it
// couples to nothing and the shell and the core are two blocks of one system.
template <class V> void write_inert_layer_rows(const BandWriter<V>& put, int l) {
    put(6 * l - 3, unknowns::pressure(l), V(1.0));
    put(6 * l - 2, unknowns::tau_minus(l), V(1.0));
    put(6 * l - 1, unknowns::tau_zero(l), V(1.0));
    put(6 * l, unknowns::tau_plus(l), V(1.0));
}

} // namespace

template <class V>
void assemble_system(Mat1View<V> a, const AssemblyInputs& in, std::span<const Constitutive<V>> laws,
                     bool time_stepping, BandWrite write) {
    const int N = in.grid->N;
    const BandWriter<V> put{a};
    const int ocean = in.grid->liquid_layer;
    if (write == BandWrite::Laws) {
        for (int l = 1; l <= N; ++l)
            if (l != ocean) write_constitutive_rows(put, in, l, laws[static_cast<std::size_t>(l - 1)]);
        return;
    }
    if (write == BandWrite::Clear)
        std::fill(a.data(), a.data() + static_cast<std::size_t>(a.rows()) * a.cols(), V(0.0));
    for (int l = 1; l <= N; ++l) {
        if (l == ocean) {
            write_inert_layer_rows(put, l);
        } else {
            write_incompressibility_row(put, in, l);
            write_constitutive_rows(put, in, l, laws[static_cast<std::size_t>(l - 1)]);
        }
        // The ocean's two nodes (rows 6l+1, 6l+2 of l = ocean - 1, ocean) carry the traction
        // rows of the faces on it instead of a momentum balance.
        if (l < N && (ocean == 0 || (l != ocean - 1 && l != ocean)))
            write_equilibrium_rows(put, time_stepping, in, l);
    }
    write_boundary_rows(put, in);
}

template void assemble_system<double>(Mat1View<double>, const AssemblyInputs&,
                                      std::span<const Constitutive<double>>, bool, BandWrite);
template void assemble_system<std::complex<double>>(
    Mat1View<std::complex<double>>, const AssemblyInputs&,
    std::span<const Constitutive<std::complex<double>>>, bool, BandWrite);

void assemble_a(Mat1View<double> a, const AssemblyInputs& in) {
    const auto mu = vec1(in.grid->mu);
    std::vector<Constitutive<double>> laws(static_cast<std::size_t>(in.grid->N));
    for (int l = 1; l <= in.grid->N; ++l)
        laws[static_cast<std::size_t>(l - 1)] = {mu(l), 1.0};
    assemble_system<double>(a, in, laws, false, BandWrite::Clear);
}

} // namespace tidal
