#include "driver/bodies.hpp"

#include <bit>
#include <cstdint>

namespace tidal {

namespace {

// Orbital period of Enceladus, s: one unit in the last place below the double nearest to
// 118386.8352, as the orbit was originally tabulated.
const double kEnceladusPeriod = std::bit_cast<double>(std::uint64_t{0x40FCE72D5CFAACD9});

Body shell(int N, double rout, double thickness, double mu0, double rho, double drho, double gsurf,
           double gbot, double ecc, double period, int logetamin, int logetamax) {
    Body b;
    b.N = N;
    b.rout = rout;
    b.rin = rout - thickness;
    b.mu0 = mu0;
    b.rho = rho;
    b.drho = drho;
    b.rhobelow = rho + drho;
    b.gsurf = gsurf;
    b.gbot = gbot;
    b.ecc = ecc;
    b.omega = (kPi + kPi) / period;
    b.logetamin = logetamin;
    b.logetamax = logetamax;
    return b;
}

Body enceladus(double thickness) {
    return shell(20, 252100.0, thickness, 3.3e9, 925.0, 82.0, 0.11, 0.13, 0.0045, kEnceladusPeriod,
                 10, 22);
}

Body exoplanet(double period) {
    return shell(20, 6400000.0, 3200000.0, 7e10, 4500.0, 7500.0, 9.72868, 10.7351, 0.1, period, 14,
                 24);
}

} // namespace

std::optional<Body> preset_body(int choice) {
    switch (choice) {
    case 1:
        return enceladus(26000.0);
    case 2:
        return enceladus(52000.0);
    case 3:
        return shell(20, 1561000.0, 30000.0, 3.3e9, 925.0, 82.0, 1.314, 1.314, 0.009, 306806.4, 10,
                     22);
    case 4:
        return exoplanet(86400.0);
    case 5:
        return exoplanet(432000.0);
    case 6:
        return exoplanet(1728000.0);
    case 7:
        return exoplanet(4320000.0);
    case 8: {
        // Mercury: eccentric enough that the forcing is expanded to second order in ecc.
        Body b =
            shell(20, 2450000.0, 400000.0, 7e10, 4000.0, 3000.0, 3.7, 3.7, 0.2, 7600521.6, 14, 24);
        b.eccentric_forcing = true;
        return b;
    }
    default:
        return std::nullopt;
    }
}

} // namespace tidal
