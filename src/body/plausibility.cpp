#include "body/plausibility.hpp"

#include "body/body_check.hpp"
#include "body/interior_layers.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace tidal {

namespace {

// "warning: KEY = VALUE UNIT is WHAT; it is read in UNIT_NAME", one line.
std::string line(const char* key, double value, const char* unit, const std::string& what,
                 const char* unit_name) {
    return "warning: " + std::string(key) + " = " + shortest(value) + " " + unit + " is " + what +
           ": is it in another unit? It is read in " + unit_name;
}

constexpr double kMinute = 60.0;              // s
constexpr double kCentury = 100.0 * 3.15576e7; // s (Julian years)

} // namespace

std::vector<std::string> implausible_values(const Body& b) {
    std::vector<std::string> out;
    // Bounds far outside every body the program is meant for (moons of a few tens of km to
    // super-Earths), close to where a unit slip lands: km for m, g/cm^3 for kg/m^3, GPa for Pa,
    // days or hours for s.
    if (b.outer_radius < 1e4)
        out.push_back(line("shell.outer_radius", b.outer_radius, "m", "under 10 km", "metres"));
    if (b.outer_radius > 1e8)
        out.push_back(line("shell.outer_radius", b.outer_radius, "m", "over 100000 km", "metres"));
    // Thinner than 1e-4 of the radius, or a shell under 1 km thinner than 1e-3 of it (a
    // thickness in km read as m).
    if (b.thickness < 1e-4 * b.outer_radius ||
        (b.thickness < 1e3 && b.thickness < 1e-3 * b.outer_radius)) {
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.2g", b.thickness / b.outer_radius);
        out.push_back(line("shell.thickness", b.thickness, "m",
                           "only " + std::string(ratio) + " of shell.outer_radius (" +
                               shortest(b.outer_radius) + " m)",
                           "metres"));
    }
    if (!b.rigidity.empty()) {
        const auto [low, high] = std::minmax_element(b.rigidity.begin(), b.rigidity.end());
        if (*low < 1e6) out.push_back(line("shell.rigidity", *low, "Pa", "under 1 MPa", "Pa"));
        if (*high > 1e13) out.push_back(line("shell.rigidity", *high, "Pa", "over 10 TPa", "Pa"));
    }
    if (b.density < 100.0)
        out.push_back(line("shell.density", b.density, "kg/m^3", "under 100 kg/m^3", "kg/m^3"));
    if (b.density > 3e4)
        out.push_back(line("shell.density", b.density, "kg/m^3", "over 30000 kg/m^3", "kg/m^3"));
    for (const auto& [key, g] : {std::pair{"shell.surface_gravity", b.surface_gravity},
                                 std::pair{"shell.bottom_gravity", b.bottom_gravity}}) {
        if (g == 0.0 && b.thickness == b.outer_radius) continue; // the centre of a solid body
        if (g < 1e-3) out.push_back(line(key, g, "m/s^2", "under 0.001 m/s^2", "m/s^2"));
        if (g > 100.0) out.push_back(line(key, g, "m/s^2", "over 100 m/s^2", "m/s^2"));
    }
    if (b.period < kMinute)
        out.push_back(line("orbit.period", b.period, "s", "under a minute", "seconds"));
    if (b.period > kCentury)
        out.push_back(line("orbit.period", b.period, "s", "over a century", "seconds"));
    if (auto w = density_inversion_warning(b)) out.push_back(*w);
    return out;
}

} // namespace tidal
