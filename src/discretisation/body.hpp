#pragma once
// Physical description of one planetary body's shell and orbit, in SI units.
#include <vector>

#include "rheology/rheologies.hpp"

namespace tidal {

inline constexpr double kPi = 3.141592653589793;

struct Body {
    int N = 0;              // number of radial layers
    double rout = 0.0;      // outer radius of the shell, m
    double rin = 0.0;       // inner radius of the shell, m
    std::vector<double> mu; // shear modulus of every layer (N, outermost first), Pa
    double rho = 0.0;       // density of the shell, kg/m^3
    double drho = 0.0;      // density contrast at the inner boundary, kg/m^3
    double rhobelow = 0.0;  // density below the shell (rho + drho), kg/m^3
    double gsurf = 0.0;     // gravity at the outer surface, m/s^2
    double gbot = 0.0;      // gravity at the inner boundary, m/s^2
    double ecc = 0.0;       // orbital eccentricity
    double omega = 0.0;     // orbital angular frequency, rad/s
    // Per layer (N, outermost first): the layer's viscosity is the swept viscosity times this.
    std::vector<double> viscosity_factor;
    bool eccentric_forcing = false; // forcing expanded to second order in eccentricity
    // The potential of the displaced surface and inner interface loads the boundaries
    // (loads/self_gravity.hpp).
    bool self_gravity = false;
    // The rheologies swept, in the order of the list (Maxwell and Kelvin-Voigt alone write
    // the legacy files), and the parameters of those that have any.
    std::vector<Rheology> models = {Rheology::Maxwell, Rheology::KelvinVoigt};
    RheologyParameters rheology;
};

} // namespace tidal
