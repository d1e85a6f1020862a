#include "steady/symbols.hpp"

#include "description/body.hpp"

namespace tidal {

Complex step_factor(int h, int nperiod) {
    // The phase advance per step, reduced to one period, so that z^nperiod = 1 to rounding.
    const int m = h % nperiod;
    return std::polar(1.0, 2.0 * kPi * static_cast<double>(m) / static_cast<double>(nperiod));
}

} // namespace tidal
