// The band's pattern (the entries the assembly writes, steady/band_pattern.hpp), which the
// vector lanes take as the only entries that may be nonzero, checked on every preset (with
// and without self-gravitation) and every example body: no assembled band of any rheology,
// flavour, viscosity or harmonic has a nonzero entry outside it, and the lanes' records equal
// the plain solves' to the bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "body/presets.hpp"
#include "files/body_source.hpp"
#include "same_records.hpp"
#include "shell_fixtures.hpp"
#include "steady/band_pattern.hpp"
#include "steady/periodic_lanes.hpp"
#include "steady/steady_sweep.hpp"

namespace tidal {
namespace {

// The presets, self-gravitating too, and the example bodies, by name.
std::vector<std::pair<std::string, Body>> bodies() {
    std::vector<std::pair<std::string, Body>> out;
    for (int n = 1; n <= 8; ++n)
        for (const bool gravity : {false, true}) {
            Body b = *preset_body(n);
            b.self_gravity = gravity;
            out.emplace_back("preset " + std::to_string(n) + (gravity ? " self-gravitating" : ""), b);
        }
    const std::filesystem::path examples = std::filesystem::path(TIDAL_TEST_DATA_DIR) / ".." / ".." / "examples";
    for (const auto& f : std::filesystem::directory_iterator(examples)) {
        if (f.path().extension() != ".toml") continue;
        auto r = read_body_file(f.path().string(), {});
        if (const auto* b = std::get_if<Body>(&r)) out.emplace_back(f.path().filename().string(), *b);
        else ADD_FAILURE() << "cannot read " << f.path();
    }
    EXPECT_GE(out.size(), 24u); // 16 presets and at least eight examples
    return out;
}

// Caught: the pattern without the band's last column (the surface's traction rows reach
// seven columns right of the diagonal).
TEST(BandPattern, HoldsEveryNonzeroEntryOfEveryBodysBands) {
    for (const auto& [name, body] : bodies()) {
        SCOPED_TRACE(name);
        const ShellModel model = make_shell_model(body);
        PeriodicSolver solver(model);
        const int n = model.order();
        for (const RheologyNames& r : kRheologies)
            for (const Flavour flavour : {Flavour::Continuous, Flavour::Discrete}) {
                const std::vector<std::uint32_t> pattern = assembly_pattern(solver, r.id, flavour);
                ASSERT_EQ(pattern.size(), static_cast<std::size_t>(n));
                for (const double eta : {1e10, 1e15, 1e20, 1e26})
                    for (int h = 1; h <= std::min(2, solver.forcing().harmonics); ++h) {
                        std::vector<Complex> band(static_cast<std::size_t>(n) * kBandColumns);
                        const std::vector<double> layer_eta(static_cast<std::size_t>(model.body.layers), eta);
                        solver.assemble(r.id, flavour, h, layer_eta, mat1(band, n, kBandColumns));
                        int outside = 0;
                        for (int c = 0; c < kBandColumns; ++c)
                            for (int i = 0; i < n; ++i)
                                if (band[static_cast<std::size_t>(c * n + i)] != Complex(0.0) &&
                                    !(pattern[static_cast<std::size_t>(i)] >> c & 1u))
                                    ++outside;
                        EXPECT_EQ(outside, 0) << r.name << " eta " << eta << " harmonic " << h;
                    }
            }
    }
}

// Caught: the fill-in of a row not added to its mask (a product of a filled-in entry left
// out); the pattern without the band's last column.
TEST(BandPattern, LanesGiveEveryBodyThePlainSolvesRecordsToTheBit) {
    for (const auto& [name, body] : bodies()) {
        SCOPED_TRACE(name);
        const ShellModel model = make_shell_model(body);
        SteadyEngine lanes(model), plain(model);
        const auto [etas, views] = lane_profiles(model);
        std::vector<PeriodRecord> out(kLanes);
        for (const Rheology r : body.models) {
            lanes.solve(r, Flavour::Continuous, views, out);
            for (std::size_t i = 0; i < kLanes; ++i)
                testing_records::expect_same_bits(out[i], plain.solve(r, Flavour::Continuous, etas[i]),
                                                  "lane " + std::to_string(i));
        }
    }
}

// A lane whose arithmetic overflows (a viscosity so small that the Maxwell rate mu / eta is
// infinite) is solved again alone, and the lanes after it keep their own states: each lane's
// state equals the plain solver's to the bit, self-gravitating too. Caught: the solutions
// copied out of the wrong lanes once one is left out (the u-th reliable lane given lane u's,
// so lane 3 the overflowing lane 2's).
TEST(BandPattern, ALaneSolvedAgainAloneLeavesTheOthersTheirOwnStates) {
    for (const bool gravity : {false, true}) {
        SCOPED_TRACE(gravity ? "self-gravitating" : "not self-gravitating");
        Body body = *preset_body(1);
        body.self_gravity = gravity;
        const ShellModel model = make_shell_model(body);
        auto [etas, views] = lane_profiles(model);
        for (double& eta : etas[2])
            eta = 1e-320;
        PeriodicLanes lanes(model);
        PeriodicSolver plain(model);
        std::vector<PeriodicState> states(kLanes);
        lanes.solve(Rheology::Maxwell, Flavour::Continuous, views, states);
        EXPECT_EQ(lanes.redone(), 1);
        for (std::size_t i = 0; i < kLanes; ++i) {
            PeriodicState alone;
            plain.solve(Rheology::Maxwell, Flavour::Continuous, etas[i], alone);
            ASSERT_EQ(states[i].x.size(), alone.x.size());
            for (std::size_t h = 0; h < alone.x.size(); ++h)
                for (int c = 0; c < kComponents; ++c) {
                    const auto& a = states[i].x[h][static_cast<std::size_t>(c)];
                    const auto& b = alone.x[h][static_cast<std::size_t>(c)];
                    ASSERT_EQ(a.size(), b.size());
                    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(Complex)), 0)
                        << "lane " << i << " harmonic " << h + 1 << " component " << c;
                }
        }
    }
}

} // namespace
} // namespace tidal
