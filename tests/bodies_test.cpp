// The preset bodies of the menu.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "driver/bodies.hpp"

namespace tidal {
namespace {

double period(const Body& b) {
    return (kPi + kPi) / b.omega;
}

TEST(Bodies, OnlyChoicesOneToEightExist) {
    for (int c : {0, 9, -1, 100, -2147483647 - 1})
        EXPECT_FALSE(preset_body(c).has_value()) << c;
    for (int c = 1; c <= 8; ++c)
        ASSERT_TRUE(preset_body(c).has_value()) << c;
}

TEST(Bodies, EnceladusShells) {
    const Body a = *preset_body(1), b = *preset_body(2);
    EXPECT_EQ(a.rin, 226100.0);
    EXPECT_EQ(b.rin, 200100.0);
    // The orbital frequency comes from a period one unit in the last place below 118386.8352.
    EXPECT_EQ(a.omega, (kPi + kPi) / std::bit_cast<double>(std::uint64_t{0x40FCE72D5CFAACD9}));
    EXPECT_NE(a.omega, (kPi + kPi) / 118386.8352);
    EXPECT_EQ(a.N, b.N);
    EXPECT_EQ(a.rout, b.rout);
    EXPECT_EQ(a.mu0, 3.3e9);
    EXPECT_EQ(a.rho, b.rho);
    EXPECT_EQ(a.drho, b.drho);
    EXPECT_EQ(a.gsurf, 0.11);
    EXPECT_EQ(a.gbot, 0.13);
    EXPECT_EQ(a.ecc, 0.0045);
    EXPECT_EQ(a.omega, b.omega);
    EXPECT_EQ(a.logetamin, 10);
    EXPECT_EQ(a.logetamax, 22);
}

TEST(Bodies, ExoplanetsDifferOnlyInPeriod) {
    const double days[] = {1, 5, 20, 50};
    for (int c = 4; c <= 7; ++c) {
        const Body b = *preset_body(c);
        EXPECT_EQ(b.rout, 6400000.0);
        EXPECT_EQ(b.rin, 3200000.0);
        EXPECT_EQ(b.mu0, 7e10);
        EXPECT_EQ(b.rhobelow, 12000.0);
        EXPECT_EQ(b.gsurf, 9.72868);
        EXPECT_EQ(b.gbot, 10.7351);
        EXPECT_EQ(b.ecc, 0.1);
        EXPECT_EQ(b.omega, (kPi + kPi) / (86400.0 * days[c - 4]));
        EXPECT_EQ(b.logetamin, 14);
        EXPECT_EQ(b.logetamax, 24);
        EXPECT_FALSE(b.eccentric_forcing);
    }
}

TEST(Bodies, EuropaAndMercury) {
    const Body e = *preset_body(3), m = *preset_body(8);
    EXPECT_EQ(e.rin, 1531000.0);
    EXPECT_EQ(e.gsurf, e.gbot);
    EXPECT_EQ(e.rhobelow, 1007.0);
    EXPECT_DOUBLE_EQ(period(e), 306806.4);
    EXPECT_EQ(m.rin, 2050000.0);
    EXPECT_EQ(m.rhobelow, 7000.0);
    EXPECT_EQ(m.ecc, 0.2);
    EXPECT_EQ(m.omega, (kPi + kPi) / 7600521.6);
    EXPECT_TRUE(m.eccentric_forcing);
    EXPECT_FALSE(e.eccentric_forcing);
}

} // namespace
} // namespace tidal
