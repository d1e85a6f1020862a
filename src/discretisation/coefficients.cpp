// Method: docs/method.md §3 (the coupling coefficients).
#include "discretisation/coefficients.hpp"

#include <cmath>
#include <limits>

namespace tidal {

void naplnitkonstanty(double j, Vec1View<double> K) {
    using std::sqrt;
    K(1) = sqrt(j);
    K(2) = -(j - 1.0) * sqrt(j);
    K(3) = -sqrt(j + 1.0);
    K(4) = -(j + 2.0) * sqrt(j + 1.0);
    K(5) = -2.0 * sqrt((j - 1.0) / (2.0 * j - 1.0));
    K(6) = j * K(5);
    K(9) = 2.0 * sqrt((j + 1.0) * (2.0 * j + 3.0) / (6.0 * (2.0 * j - 1.0) * (2.0 * j + 1.0)));
    K(10) = -(j - 1.0) * K(9);
    K(11) = -2.0 * sqrt(j * (2.0 * j - 1.0) / (6.0 * (2.0 * j + 1.0) * (2.0 * j + 3.0)));
    K(12) = (j + 2.0) * K(11);
    K(15) = 2.0 * sqrt((j + 2.0) / (2.0 * j + 3.0));
    K(16) = -(j + 1.0) * K(15);
    K(17) = -sqrt(j / (3.0 * (2.0 * j + 1.0)));
    K(18) = (j + 1.0) * K(17);
    K(19) = sqrt((j - 1.0) / (2.0 * j - 1.0));
    K(20) = -(j - 2.0) * K(19);
    K(21) = -sqrt((j + 1.0) * (2.0 * j + 3.0) / (6.0 * (2.0 * j - 1.0) * (2.0 * j + 1.0)));
    K(22) = (j + 1.0) * K(21);
    K(27) = sqrt((j + 1.0) / (3.0 * (2.0 * j + 1.0)));
    K(28) = -j * K(27);
    K(29) = sqrt(j * (2.0 * j - 1.0) / (6.0 * (2.0 * j + 1.0) * (2.0 * j + 3.0)));
    K(30) = -j * K(29);
    K(31) = -sqrt((j + 2.0) / (2.0 * j + 3.0));
    K(32) = (j + 3.0) * K(31);
    K(33) = -sqrt(j / (3.0 * (2.0 * j + 1.0)));
    K(34) = sqrt((j - 1.0) / (2.0 * j - 1.0));
    K(35) = -sqrt((j + 1.0) * (2.0 * j + 3.0) / (6.0 * (2.0 * j + 1.0) * (2.0 * j - 1.0)));
    K(36) = sqrt((j + 1.0) / (3.0 * (2.0 * j + 1.0)));
    K(37) = sqrt(j * (2.0 * j - 1.0) / (6.0 * (2.0 * j + 1.0) * (2.0 * j + 3.0)));
    K(38) = -sqrt((j + 2.0) / (2.0 * j + 3.0));
}

std::vector<double> coupling_coefficients(double j) {
    // The places of the coefficients no row uses hold a NaN, so that a read of one could not
    // pass unnoticed in the results.
    std::vector<double> K(kCoefficientCount, std::numeric_limits<double>::quiet_NaN());
    naplnitkonstanty(j, vec1(K));
    return K;
}

} // namespace tidal
