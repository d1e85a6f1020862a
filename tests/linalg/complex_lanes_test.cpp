// The lanes' complex quotient and product against std::complex<double>, to the bit, over
// operands from subnormal to near DBL_MAX: the branches of the library's division (by the
// larger part, halving, scaling up, a subnormal or zero ratio) and its NaN results.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "linalg/complex_lanes.hpp"

namespace tidal {
namespace {

using Complex = std::complex<double>;
using lanes::kWidth;

bool same_bits(double x, double y) {
    return std::memcmp(&x, &y, sizeof x) == 0 || (std::isnan(x) && std::isnan(y));
}

// Operands with parts of random sign and exponent in [lo, hi] (decimal), some parts zero.
std::vector<Complex> operands(std::mt19937_64& rng, double lo, double hi, int count) {
    std::uniform_real_distribution<double> e(lo, hi), m(1.0, 10.0);
    std::uniform_int_distribution<int> kind(0, 5);
    const auto part = [&] {
        const double v = std::min(m(rng) * std::pow(10.0, e(rng)), DBL_MAX);
        return kind(rng) % 2 ? v : -v;
    };
    std::vector<Complex> out;
    for (int i = 0; i < count; ++i) {
        switch (kind(rng)) {
        case 0: out.emplace_back(part(), 0.0); break;
        case 1: out.emplace_back(0.0, part()); break;
        default: out.emplace_back(part(), part());
        }
    }
    return out;
}

// x[i] op y[i] lane by lane against the scalar operator, to the bit.
template <class Lane, class Scalar>
void expect_same(const std::vector<Complex>& x, const std::vector<Complex>& y, Lane lane_op,
                 Scalar scalar_op, const char* what) {
    for (std::size_t i = 0; i + kWidth <= x.size(); i += kWidth) {
        double a[2 * kWidth], b[2 * kWidth]; // real parts, then imaginary parts
        for (int k = 0; k < kWidth; ++k) {
            a[k] = x[i + k].real();
            a[kWidth + k] = x[i + k].imag();
            b[k] = y[i + k].real();
            b[kWidth + k] = y[i + k].imag();
        }
        const lanes::CVec r = lane_op(lanes::load_c(a), lanes::load_c(b));
        for (int k = 0; k < kWidth; ++k) {
            const Complex s = scalar_op(x[i + k], y[i + k]);
            // A NaN in both parts is where the scalar code calls its library: the lanes leave
            // the NaN for their callers to redo.
            if (std::isnan(r.re[k]) && std::isnan(r.im[k])) continue;
            ASSERT_TRUE(same_bits(s.real(), r.re[k]) && same_bits(s.imag(), r.im[k]))
                << what << " " << x[i + k] << " by " << y[i + k] << ": scalar " << s
                << ", lanes (" << r.re[k] << "," << r.im[k] << ")";
        }
    }
}

// Every quotient goes through a prepared divisor (lanes::Divisor). Caught: the divisor's
// unscaled denominator taken for a numerator with a tiny part (which the library scales up).
TEST(ComplexLanes, QuotientIsTheLibrarysOverTheWholeRange) {
    std::mt19937_64 rng(3);
    const auto div = [](lanes::CVec a, lanes::CVec b) { return lanes::div(a, b); };
    const auto scalar = [](Complex a, Complex b) { return a / b; };
    struct Range {
        double lo, hi;
    };
    // Ordinary, tiny (scaled up, subnormal ratios), huge (halved) and mixed magnitudes.
    for (const Range num : {Range{-3, 3}, Range{-320, -290}, Range{290, 308}, Range{-320, 308}})
        for (const Range den : {Range{-3, 3}, Range{-320, -290}, Range{290, 308}, Range{-320, 308}}) {
            const auto x = operands(rng, num.lo, num.hi, 4096);
            const auto y = operands(rng, den.lo, den.hi, 4096);
            expect_same(x, y, div, scalar, "quotient");
        }
}

TEST(ComplexLanes, ProductIsTheInlineFormula) {
    std::mt19937_64 rng(5);
    const auto mul = [](lanes::CVec a, lanes::CVec b) { return lanes::mul(a, b); };
    const auto scalar = [](Complex a, Complex b) { return a * b; };
    expect_same(operands(rng, -150, 150, 4096), operands(rng, -150, 150, 4096), mul, scalar,
                "product");
}

} // namespace
} // namespace tidal
