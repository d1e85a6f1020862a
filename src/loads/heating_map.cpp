#include "loads/heating_map.hpp"

#include <cmath>

#include "description/body.hpp"
#include "loads/heating_profile.hpp"

namespace tidal {

namespace {

using Row4 = std::array<double, 4>;

// Solves the 3x3 system m x = b by Cramer's rule.
std::array<double, 3> solve3(const std::array<std::array<double, 3>, 3>& m,
                             const std::array<double, 3>& b) {
    const auto det = [](const std::array<std::array<double, 3>, 3>& a) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
               a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const double d = det(m);
    std::array<double, 3> x{};
    for (int c = 0; c < 3; ++c) {
        auto mc = m;
        for (int r = 0; r < 3; ++r)
            mc[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                b[static_cast<std::size_t>(r)];
        x[static_cast<std::size_t>(c)] = det(mc) / d;
    }
    return x;
}

double dot4(const Row4& a, const Row4& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
}

} // namespace

StressParts stress_parts(const std::vector<double>& K, double j) {
    const auto k = [&](int i) { return K[static_cast<std::size_t>(i - 1)]; };
    // In the variables v = (u'_{j-1}, u_{j-1}/r, u'_{j+1}, u_{j+1}/r) of a layer, the
    // constitutive rows give the stresses of unit rigidity (elastic: t = -mu (K5 u' + ...)).
    const std::array<Row4, 3> stress = {{{-k(5), -k(6), 0.0, 0.0},
                                         {-k(9), -k(10), -k(11), -k(12)},
                                         {0.0, 0.0, -k(15), -k(16)}}};
    // The displacement U Y e_r + V grad Y of the unknowns: U = s1 u_{j-1} - s2 u_{j+1} (the
    // radial displacement), V = u_{j-1}/a + u_{j+1}/b, a = sqrt(j (2j+1)), b = sqrt((j+1)(2j+1)).
    const double s1 = std::sqrt(j / (2.0 * j + 1.0)), s2 = std::sqrt((j + 1.0) / (2.0 * j + 1.0));
    const double a = std::sqrt(j * (2.0 * j + 1.0)), b = std::sqrt((j + 1.0) * (2.0 * j + 1.0));
    const double L = j * (j + 1.0);
    // The parts of its deviatoric stress 2 mu e (unit rigidity): A = 2 U', B = V' - V/r + U/r,
    // C = 2 V/r.
    const std::array<Row4, 3> parts = {{{2.0 * s1, 0.0, -2.0 * s2, 0.0},
                                        {1.0 / a, s1 - 1.0 / a, 1.0 / b, -s2 - 1.0 / b},
                                        {0.0, 2.0 / a, 0.0, 2.0 / b}}};
    // Incompressibility, U' + 2 U/r - j(j+1) V/r = 0, leaves three of the four variables free:
    // a basis of that subspace.
    const Row4 c = {s1, 2.0 * s1 - L / a, -s2, -2.0 * s2 - L / b};
    const std::array<Row4, 3> basis = {{{c[1], -c[0], 0.0, 0.0},
                                        {0.0, 0.0, c[3], -c[2]},
                                        {c[2], 0.0, -c[0], 0.0}}};
    // On that subspace t = S v and p = P v: parts = P S^{-1} t, row by row.
    std::array<std::array<double, 3>, 3> S{}, P{};
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t e = 0; e < 3; ++e) {
            S[r][e] = dot4(stress[r], basis[e]);
            P[r][e] = dot4(parts[r], basis[e]);
        }
    // parts = P S^{-1}: its row r solves S^T x = P's row r.
    std::array<std::array<double, 3>, 3> St{};
    for (std::size_t r = 0; r < 3; ++r)
        for (std::size_t e = 0; e < 3; ++e)
            St[r][e] = S[e][r];
    StressParts out{};
    for (std::size_t r = 0; r < 3; ++r)
        out[r] = solve3(St, P[r]);
    return out;
}

AngularFunctions degree2_functions(double colatitude, double longitude) {
    const double c = std::cos(colatitude), s = std::sin(colatitude);
    const double c2 = std::cos(2.0 * longitude), s2 = std::sin(2.0 * longitude);
    const double n0 = std::sqrt(5.0 / (16.0 * kPi)); // Y20 = n0 (3 cos^2 - 1)
    const double n2 = std::sqrt(15.0 / (2.0 * kPi)) / 2.0; // 2 Y22 = n2 sin^2 e^{2 i phi}
    AngularFunctions f;
    // Order 0: n0 (3 c^2 - 1).
    f.value[0] = n0 * (3.0 * c * c - 1.0);
    f.gradient[0] = {-6.0 * n0 * c * s, 0.0};
    f.traceless[0] = {3.0 * n0 * s * s, 0.0};
    // Cosine: n2 s^2 cos 2 phi.
    f.value[1] = n2 * s * s * c2;
    f.gradient[1] = {2.0 * n2 * s * c * c2, -2.0 * n2 * s * s2};
    f.traceless[1] = {n2 * (1.0 + c * c) * c2, -2.0 * n2 * c * s2};
    // Sine: -n2 s^2 sin 2 phi.
    f.value[2] = -n2 * s * s * s2;
    f.gradient[2] = {-2.0 * n2 * s * c * s2, -2.0 * n2 * s * c2};
    f.traceless[2] = {-n2 * (1.0 + c * c) * s2, -2.0 * n2 * c * c2};
    // Order 1 (2 Y21 = -n1 s c e^{i phi}): gradient (F', -F m sin / s) and traceless Hessian
    // ((F'' - F' c/s + F/s^2) / 2, (F'/s - F c/s^2) d/dphi) of F(theta) cos(phi) or sin(phi).
    const double n1 = std::sqrt(15.0 / (2.0 * kPi));
    const double c1 = std::cos(longitude), s1 = std::sin(longitude);
    // Cosine: -n1 s c cos phi.
    f.value[3] = -n1 * s * c * c1;
    f.gradient[3] = {-n1 * (c * c - s * s) * c1, n1 * c * s1};
    f.traceless[3] = {n1 * s * c * c1, -n1 * s * s1};
    // Sine: n1 s c sin phi.
    f.value[4] = n1 * s * c * s1;
    f.gradient[4] = {n1 * (c * c - s * s) * s1, n1 * c * c1};
    f.traceless[4] = {-n1 * s * c * s1, -n1 * s * c1};
    return f;
}

double local_heating(const LayerMap& layer, const AngularFunctions& f) {
    double q = 0.0;
    const std::size_t n = static_cast<std::size_t>(layer.components);
    for (std::size_t a = 0; a < n; ++a)
        for (std::size_t b = 0; b < n; ++b) {
            const double radial = f.value[a] * f.value[b];
            const double shear = f.gradient[a][0] * f.gradient[b][0] + f.gradient[a][1] * f.gradient[b][1];
            const double tangential =
                2.0 * (f.traceless[a][0] * f.traceless[b][0] + f.traceless[a][1] * f.traceless[b][1]);
            q += 1.5 * layer.g[0][a][b] * radial + 2.0 * layer.g[1][a][b] * shear +
                 layer.g[2][a][b] * tangential;
        }
    return q;
}

bool map_step_divides(double step) {
    if (!(step >= 0.1 && step <= 90.0)) return false;
    const double n = 180.0 / step;
    return std::fabs(n - std::round(n)) < 1e-9 * n;
}

int MapGrid::latitudes() const {
    return static_cast<int>(std::lround(180.0 / step)) + 1;
}
int MapGrid::longitudes() const {
    return static_cast<int>(std::lround(360.0 / step));
}
double MapGrid::latitude(int i) const {
    return -90.0 + i * step;
}
double MapGrid::longitude(int k) const {
    return k * step;
}

HeatingMap heating_map(const std::vector<LayerMap>& layers, const RadialGrid& radial,
                       const MapGrid& grid) {
    const int N = static_cast<int>(layers.size());
    std::vector<double> weight(layers.size());
    const double rout = radial_cell(1, radial).mid;
    for (int i = 1; i <= N; ++i) {
        const RadialCell cell = radial_cell(i, radial);
        weight[static_cast<std::size_t>(i - 1)] =
            cell.end_factor * (cell.mid * cell.mid) * cell.thickness / (rout * rout);
    }
    HeatingMap map;
    const std::size_t points =
        static_cast<std::size_t>(grid.latitudes()) * static_cast<std::size_t>(grid.longitudes());
    map.flux.reserve(points);
    map.top.reserve(points);
    map.bottom.reserve(points);
    const double degree = kPi / 180.0;
    for (int i = 0; i < grid.latitudes(); ++i)
        for (int k = 0; k < grid.longitudes(); ++k) {
            const AngularFunctions f =
                degree2_functions((90.0 - grid.latitude(i)) * degree, grid.longitude(k) * degree);
            double flux = 0.0;
            for (std::size_t l = 0; l < layers.size(); ++l)
                flux += weight[l] * local_heating(layers[l], f);
            map.flux.push_back(flux);
            map.top.push_back(local_heating(layers.front(), f));
            // Over an ocean, the bottom is the shell's base on it.
            map.bottom.push_back(local_heating(
                radial.liquid_layer > 0 ? layers[static_cast<std::size_t>(radial.liquid_layer - 2)]
                                        : layers.back(),
                f));
        }
    return map;
}

} // namespace tidal
