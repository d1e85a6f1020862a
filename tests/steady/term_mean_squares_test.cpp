// The squared dissipation terms' means four terms at a time (steady/term_mean_squares.hpp)
// against the scalar loop of std::complex products the reduction otherwise runs, to the bit,
// over magnitudes from tiny to huge and one to three harmonics; and a product whose parts
// both come out NaN (where the compiler's library recovers infinities) left to the caller.
// Deliberate faults this catches: the imaginary part's square summed as Re(a) Im(a); the
// harmonics' squares summed from the last harmonic down; the NaN means not reported (the
// function returning true whatever the means).
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "same_records.hpp"
#include "steady/term_mean_squares.hpp"

namespace tidal {
namespace {

using C = std::complex<double>;

// Gains [t][h] and stress amplitudes [h][c][k] in the kernel's layouts, and the reduction's
// scalar means [c][t].
struct Terms {
    int terms, padded, harmonics;
    std::vector<std::vector<C>> gain;
    std::vector<C> x;
    std::vector<double> g() const {
        std::vector<double> out(2 * static_cast<std::size_t>(harmonics * padded), 0.0);
        for (int t = 0; t < terms; ++t)
            for (int h = 0; h < harmonics; ++h) {
                const C v = gain[static_cast<std::size_t>(t)][static_cast<std::size_t>(h)];
                out[static_cast<std::size_t>(2 * h * padded + t)] = v.real();
                out[static_cast<std::size_t>((2 * h + 1) * padded + t)] = v.imag();
            }
        return out;
    }
    std::vector<double> xs() const {
        std::vector<double> out;
        for (const C& v : x) {
            out.push_back(v.real());
            out.push_back(v.imag());
        }
        return out;
    }
    double scalar(int t, int c) const {
        double tsum = 0.0;
        for (int k = 0; k < 3; ++k) {
            double m = 0.0;
            for (int h = 0; h < harmonics; ++h) {
                const C a = gain[static_cast<std::size_t>(t)][static_cast<std::size_t>(h)] *
                            x[static_cast<std::size_t>((h * 3 + c) * 3 + k)];
                m += a.real() * a.real();
                m += a.imag() * a.imag();
            }
            tsum += m / 2.0;
        }
        return tsum;
    }
};

Terms random_terms(int terms, int harmonics, std::mt19937_64& rng) {
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-150, 150);
    const auto value = [&] { return std::ldexp(mantissa(rng), exponent(rng)); };
    Terms s{terms, terms, harmonics, {}, {}};
    for (int t = 0; t < terms; ++t) {
        s.gain.emplace_back();
        for (int h = 0; h < harmonics; ++h)
            s.gain.back().emplace_back(value(), value());
    }
    for (int i = 0; i < 9 * harmonics; ++i)
        s.x.emplace_back(value(), value());
    return s;
}

TEST(TermMeanSquares, LanesGiveTheScalarComplexLoopsMeansToTheBit) {
    std::mt19937_64 rng(20261209);
    for (const int terms : {1, 4, 17})
        for (const int harmonics : {1, 2, 3})
            for (int trial = 0; trial < 20; ++trial) {
                Terms s = random_terms(terms, harmonics, rng);
                if (trial == 0) s.gain[0][0] = C(std::numeric_limits<double>::infinity(), 0.0);
                const std::vector<double> g = s.g(), x = s.xs();
                std::vector<double> out(static_cast<std::size_t>(3 * s.padded));
                const bool finite_gain = trial != 0;
                ASSERT_TRUE(term_mean_squares(g.data(), s.padded, x.data(), harmonics, out.data()) ||
                            !finite_gain);
                for (int t = 0; t < terms; ++t)
                    for (int c = 0; c < 3; ++c) {
                        const double want = s.scalar(t, c);
                        if (std::isnan(want)) continue; // reported, checked below
                        testing_records::expect_same_bits(
                            out[static_cast<std::size_t>(c * s.padded + t)], want,
                            "term " + std::to_string(t) + " component " + std::to_string(c));
                    }
            }
}

TEST(TermMeanSquares, AProductOfTwoNaNPartsIsLeftToTheCaller) {
    std::mt19937_64 rng(7);
    Terms s = random_terms(6, 2, rng);
    const double inf = std::numeric_limits<double>::infinity();
    // (inf + i inf)(0 + i0): both parts of the inline formula NaN; the library makes it
    // another value.
    s.gain[5][1] = C(inf, inf);
    s.x[(1 * 3 + 2) * 3 + 1] = C(0.0, 0.0);
    const std::vector<double> g = s.g(), x = s.xs();
    std::vector<double> out(static_cast<std::size_t>(3 * s.padded));
    EXPECT_FALSE(term_mean_squares(g.data(), s.padded, x.data(), 2, out.data()));
    // Without it every mean is the scalar one.
    s.gain[5][1] = C(1.0, 1.0);
    const std::vector<double> g2 = s.g();
    EXPECT_TRUE(term_mean_squares(g2.data(), s.padded, x.data(), 2, out.data()));
    testing_records::expect_same_bits(out[static_cast<std::size_t>(2 * s.padded + 5)],
                                      s.scalar(5, 2), "term 5 component 2");
}

} // namespace
} // namespace tidal
