#pragma once
// The parameters of the rheologies beyond a layer's rigidity and viscosity, as the body file
// gives them, and the Prony series that carries the Andrade creep in time.
#include "rheology/prony_fit.hpp"

namespace tidal {

// Burgers body: a Maxwell element (rigidity mu, viscosity eta) in series with a Kelvin-Voigt
// element of rigidity mu * rigidity_ratio and viscosity eta * viscosity_ratio. The defaults,
// an equally stiff transient element fifty times less viscous, are the choice of Henning,
// O'Connell & Sasselov (2009, ApJ 707, 1000) for tidally heated rocky planets; ice studies use
// ratios of the same order.
struct BurgersParameters {
    double rigidity_ratio = 1.0;
    double viscosity_ratio = 0.02;
};

// Andrade body: creep compliance J(t) = 1/mu + t/eta + beta t^alpha with
// beta = mu^(alpha-1) eta^(-alpha) zeta^(-alpha). alpha = 0.3 is the exponent measured for
// ice and olivine (0.2-0.4; Castillo-Rogez et al. 2011, JGR 116, E09008), and zeta = 1 makes
// the Andrade time equal to the Maxwell time (Efroimsky 2012, ApJ 746, 150).
struct AndradeParameters {
    double alpha = 0.3;
    double zeta = 1.0;
    int elements = 16; // Kelvin-Voigt elements of the Prony series
    // The series fitted to s^(-alpha) over the band a run resolves; filled with the model.
    PronySeries series;
};

struct RheologyParameters {
    BurgersParameters burgers;
    AndradeParameters andrade;
};

} // namespace tidal
