#include "steady/symbols.hpp"

#include "discretisation/body.hpp"

namespace tidal {

Complex step_factor(int h, int nperiod) {
    // The phase advance per step, reduced to one period, so that z^nperiod = 1 to rounding.
    const int m = h % nperiod;
    return std::polar(1.0, 2.0 * kPi * static_cast<double>(m) / static_cast<double>(nperiod));
}

Complex trapezoid_symbol(Complex z, double dt) {
    return 2.0 * (z - 1.0) / ((z + 1.0) * dt);
}

Complex backward_euler_symbol(Complex z, double dt) {
    return (1.0 - 1.0 / z) / dt;
}

Complex central_difference_symbol(Complex z, double dt) {
    return (z - 1.0 / z) / (2.0 * dt);
}

} // namespace tidal
