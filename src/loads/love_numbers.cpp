#include "loads/love_numbers.hpp"

#include <cmath>

namespace tidal {

LoveNumberScale::LoveNumberScale(const Body& body, double inner_radius)
    : gravity_(body.surface_gravity), rho_(body.density), drho_(body.density_contrast), rho_mean_(mean_density(body)) {
    const double ratio = body.outer_radius / inner_radius;
    // W_s = amp0 / rho_below * (R / R_in)^2.
    tide_to_surface_ = ratio * ratio / body.density_below();
    const double q = inner_radius / body.outer_radius;
    interface_weight_ = (q * q) * (q * q);
    for (const DensityJump& d : body.density_jumps()) {
        const double x = d.radius / body.outer_radius;
        jump_weights_.push_back(d.jump * ((x * x) * (x * x)));
    }
    // An ocean's floor, after the jumps (its displacement the mean of the core's two
    // outermost nodes).
    if (body.has_ocean()) {
        const DensityJump top = body.core_top();
        const double x = top.radius / body.outer_radius;
        jump_weights_.push_back(top.jump * ((x * x) * (x * x)));
    }
    // A liquid core under the inner region, last (its displacement the mean of the grid's
    // last two nodes).
    if (body.has_core_under_ocean()) {
        const DensityJump base = body.liquid_core_top();
        const double x = base.radius / body.outer_radius;
        jump_weights_.push_back(base.jump * ((x * x) * (x * x)));
    }
}

LoveNumbers LoveNumberScale::operator()(std::complex<double> surface,
                                        std::complex<double> tangential,
                                        std::complex<double> interface,
                                        std::complex<double> tide,
                                        std::span<const std::complex<double>> jumps) const {
    const std::complex<double> w_surface = tide * tide_to_surface_;
    if (w_surface == std::complex<double>(0.0)) return {};
    const std::complex<double> h2 = gravity_ * surface / w_surface;
    const std::complex<double> hb = gravity_ * interface / w_surface;
    std::complex<double> moved = rho_ * h2 + drho_ * interface_weight_ * hb;
    for (std::size_t k = 0; k < jump_weights_.size(); ++k)
        moved += jump_weights_[k] * (gravity_ * jumps[k] / w_surface);
    const std::complex<double> k2 = 3.0 / (5.0 * rho_mean_) * moved;
    const std::complex<double> l2 = gravity_ * tangential / w_surface;
    return {h2, k2, l2};
}

std::optional<double> tidal_q(const LoveNumbers& love) {
    const double loss = minus_im_k2(love);
    if (!(loss > 0.0)) return std::nullopt;
    return std::abs(love.k2) / loss;
}

} // namespace tidal
