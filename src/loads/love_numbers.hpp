#pragma once
// Method: docs/method.md §8 (Love numbers).
// Love numbers of the shell at the orbital frequency.
//
// The tide is the degree-2 potential W; its order-0 coefficient on the 4 pi-normalised
// harmonic Y20 at the inner boundary (radius R_in) times the density below the shell is the
// inner-boundary load amplitude of the order-0 component, and W grows as r^2, so at the
// surface (radius R) W_s = amp0 / rho_below * (R / R_in)^2. With every signal a phasor X
// (x(t) = Re(X e^{i omega t})):
//   h2 = g_s U_s / W_s,  the radial displacement of the surface, U_s, in units of the
//                        equipotential's height W_s / g_s (fluid shell: 1);
//   l2 = g_s V_s / W_s,  V_s the tangential displacement of the surface (the coefficient of
//                        grad_1 Y, loads/diagnostics.hpp), in the same units (fluid
//                        homogeneous sphere: 3/4);
//   k2 = V_s / W_s,      V_s the degree-2 potential at the surface of the masses the tide
//                        moves: the surface (surface density rho U_s) and the inner interface
//                        (density contrast drho, radial displacement U_b). A surface layer of
//                        density sigma at radius a has the exterior potential
//                        4 pi G a sigma / 5 (a / r)^3, and 4 pi G = 3 g_s / (rho_mean R), so
//                        k2 = 3 / (5 rho_mean) (rho h2 + drho h_b (R_in / R)^4),
//                        h_b = g_s U_b / W_s; every density jump [rho]_k inside the solid, at
//                        r_k, displaced U_k, adds [rho]_k h_k (r_k / R)^4, h_k = g_s U_k / W_s.
// With shell.self_gravity this potential is fed back into the loads (loads/self_gravity.hpp);
// h2 and k2 keep their definitions against the tide W alone. With e^{i omega t}, a response that lags the tide has Im < 0: -Im k2 = |k2| / Q.
#include <array>
#include <complex>
#include <optional>
#include <span>
#include <vector>
#include <tuple>

#include "description/body.hpp"
#include "loads/self_gravity.hpp"

namespace tidal {

struct LoveNumbers {
    std::complex<double> h2{}, k2{}, l2{};

    // Every field with its name, for comparisons of whole records (see PeriodRecord::fields).
    static constexpr std::array<const char*, 3> field_names = {"h2", "k2", "l2"};
    auto fields() const {
        const auto& [a, b, c] = *this;
        return std::tie(a, b, c);
    }
    auto fields() {
        auto& [a, b, c] = *this;
        return std::tie(a, b, c);
    }
};

// Turns the phasors of the order-0 surface radial and tangential displacements and of the
// inner interface's radial displacement (m) and
// of the order-0 inner-boundary tide amplitude (Pa) into Love numbers; `inner_radius` is the
// radius (m) at which the tide amplitude is applied.
class LoveNumberScale {
  public:
    LoveNumberScale(const Body& body, double inner_radius);
    // `jumps`: the displacements (m) of the density jumps' nodes (body.density_jumps()).
    LoveNumbers operator()(std::complex<double> surface, std::complex<double> tangential,
                           std::complex<double> interface,
                           std::complex<double> tide,
                           std::span<const std::complex<double>> jumps = {}) const;

  private:
    double gravity_, rho_, drho_, rho_mean_, tide_to_surface_, interface_weight_;
    std::vector<double> jump_weights_; // [rho]_k (r_k / R)^4

};

// k2 / Q = -Im k2 (dimensionless), positive when the response lags.
inline double minus_im_k2(const LoveNumbers& love) { return -love.k2.imag(); }

// The tidal quality factor Q = |k2| / (-Im k2), where the response lags (-Im k2 > 0).
std::optional<double> tidal_q(const LoveNumbers& love);

} // namespace tidal
