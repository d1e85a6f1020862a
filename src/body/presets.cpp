#include "body/presets.hpp"

#include <array>
#include <bit>
#include <cstdint>

namespace tidal {

namespace {

// Orbital period of Enceladus, s: one unit in the last place below the double nearest to
// 118386.8352, as the orbit was originally tabulated.
const double kEnceladusPeriod = std::bit_cast<double>(std::uint64_t{0x40FCE72D5CFAACD9});

struct Row {
    std::string_view label, summary, name;
    double outer_radius, thickness, rigidity, density, density_contrast, surface_gravity,
        bottom_gravity, period, eccentricity;
    bool second_order;
    double log10_min, log10_max;
};

// Ice shells over an ocean; rocky mantles over a denser core. Mercury spins three times in
// two orbits: `second_order` marks the tide of that 3:2 resonance (its files keep the key).
const Row kRows[] = {
    {"Enceladus 26km(1)", "Enceladus, 26 km ice shell", "Enceladus, 26 km ice shell", 252100.0,
     26000.0, 3.3e9, 925.0, 82.0, 0.11, 0.13, kEnceladusPeriod, 0.0045, false, 10, 22},
    {"Enceladus 52km(2)", "Enceladus, 52 km ice shell", "Enceladus, 52 km ice shell", 252100.0,
     52000.0, 3.3e9, 925.0, 82.0, 0.11, 0.13, kEnceladusPeriod, 0.0045, false, 10, 22},
    {"Europa(3)", "Europa, 30 km ice shell", "Europa, 30 km ice shell", 1561000.0, 30000.0, 3.3e9,
     925.0, 82.0, 1.314, 1.314, 306806.4, 0.009, false, 10, 22},
    {"Exoplanet 1day(4)", "Exoplanet, 1 day orbit", "Exoplanet, 3200 km mantle, 1 day orbit",
     6400000.0, 3200000.0, 7e10, 4500.0, 7500.0, 9.72868, 10.7351, 86400.0, 0.1, false, 14, 24},
    {"Exoplaneta 5days(5)", "Exoplanet, 5 day orbit", "Exoplanet, 3200 km mantle, 5 day orbit",
     6400000.0, 3200000.0, 7e10, 4500.0, 7500.0, 9.72868, 10.7351, 432000.0, 0.1, false, 14, 24},
    {"Exoplaneta 20days(6)", "Exoplanet, 20 day orbit", "Exoplanet, 3200 km mantle, 20 day orbit",
     6400000.0, 3200000.0, 7e10, 4500.0, 7500.0, 9.72868, 10.7351, 1728000.0, 0.1, false, 14, 24},
    {"Exoplaneta 50days(7)", "Exoplanet, 50 day orbit", "Exoplanet, 3200 km mantle, 50 day orbit",
     6400000.0, 3200000.0, 7e10, 4500.0, 7500.0, 9.72868, 10.7351, 4320000.0, 0.1, false, 14, 24},
    {"Merkur(8)", "Mercury, 400 km mantle", "Mercury, 400 km mantle", 2450000.0, 400000.0, 7e10,
     4000.0, 3000.0, 3.7, 3.7, 7600521.6, 0.2, true, 14, 24},
};

std::array<Preset, std::size(kRows)> build() {
    std::array<Preset, std::size(kRows)> out;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const Row& r = kRows[i];
        Body s;
        s.name = std::string(r.name);
        s.outer_radius = r.outer_radius;
        s.thickness = r.thickness;
        s.rigidity = {r.rigidity};
        s.density = r.density;
        s.density_contrast = r.density_contrast;
        s.surface_gravity = r.surface_gravity;
        s.bottom_gravity = r.bottom_gravity;
        s.period = r.period;
        s.eccentricity = r.eccentricity;
        s.second_order = r.second_order;
        s.log10_viscosity_min = r.log10_min;
        s.log10_viscosity_max = r.log10_max;
        out[i] = Preset{r.label, r.summary, std::move(s)};
    }
    return out;
}

} // namespace

std::span<const Preset> presets() {
    static const auto table = build();
    return table;
}

const Preset& preset(int choice) {
    return presets()[static_cast<std::size_t>(choice - kFirstChoice)];
}

std::optional<Body> preset_body(int choice) {
    if (choice < kFirstChoice || choice > kLastChoice) return std::nullopt;
    return preset(choice).body_spec;
}

} // namespace tidal
