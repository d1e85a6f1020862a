// The preset bodies of the menu: which choices exist and how the groups of bodies differ.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "driver/bodies.hpp"

namespace tidal {
namespace {

// The fields that must agree between bodies of one group.
void expect_same_shell(const Body& a, const Body& b) {
    EXPECT_EQ(a.N, b.N);
    EXPECT_EQ(a.rout, b.rout);
    EXPECT_EQ(a.mu0, b.mu0);
    EXPECT_EQ(a.rho, b.rho);
    EXPECT_EQ(a.drho, b.drho);
    EXPECT_EQ(a.gsurf, b.gsurf);
    EXPECT_EQ(a.gbot, b.gbot);
    EXPECT_EQ(a.ecc, b.ecc);
    EXPECT_EQ(a.logetamin, b.logetamin);
    EXPECT_EQ(a.logetamax, b.logetamax);
}

TEST(Bodies, OnlyChoicesOneToEightExist) {
    for (int c : {0, 9, -1, 100, -2147483647 - 1})
        EXPECT_FALSE(preset_body(c).has_value()) << c;
    for (int c = 1; c <= 8; ++c) {
        const Body b = preset_body(c).value();
        EXPECT_EQ(b.rhobelow, b.rho + b.drho) << c;
        EXPECT_EQ(b.eccentric_forcing, c == 8) << c;
    }
}

TEST(Bodies, EnceladusShellsDifferOnlyInThickness) {
    const Body a = *preset_body(1), b = *preset_body(2);
    expect_same_shell(a, b);
    EXPECT_EQ(a.omega, b.omega);
    EXPECT_EQ(a.rin, 226100.0);
    EXPECT_EQ(b.rin, 200100.0);
    // The period is one unit in the last place below the double nearest to 118386.8352.
    EXPECT_EQ(a.omega, (kPi + kPi) / std::bit_cast<double>(std::uint64_t{0x40FCE72D5CFAACD9}));
    EXPECT_NE(a.omega, (kPi + kPi) / 118386.8352);
}

TEST(Bodies, ExoplanetsDifferOnlyInPeriod) {
    const double days[] = {1, 5, 20, 50};
    const Body first = *preset_body(4);
    for (int c = 4; c <= 7; ++c) {
        const Body b = *preset_body(c);
        expect_same_shell(b, first);
        EXPECT_EQ(b.rin, 3200000.0);
        EXPECT_EQ(b.omega, (kPi + kPi) / (86400.0 * days[c - 4]));
    }
}

TEST(Bodies, EuropaAndMercuryHaveOneGravity) {
    for (int c : {3, 8})
        EXPECT_EQ(preset_body(c)->gsurf, preset_body(c)->gbot);
    for (int c : {1, 2, 4, 5, 6, 7})
        EXPECT_NE(preset_body(c)->gsurf, preset_body(c)->gbot);
    EXPECT_EQ(preset_body(8)->omega, (kPi + kPi) / 7600521.6);
}

} // namespace
} // namespace tidal
