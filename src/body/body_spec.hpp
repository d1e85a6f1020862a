#pragma once
// Everything that defines a run, as the user states it in a body file: the shell, the orbit,
// the viscosity sweep, the rheologies and the numerics, in SI units, one field per key of the
// file.
#include <string>
#include <vector>

#include "rheology/rheologies.hpp"

namespace tidal {

struct BodySpec {
    std::string name; // free text, shown in titles

    // [shell]
    double outer_radius = 0.0; // m
    double thickness = 0.0;    // m
    std::vector<double>
        rigidity;         // Pa: one value for every layer, or one per layer (outermost first)
    double density = 0.0; // kg/m^3
    double density_contrast = 0.0; // kg/m^3: density below the shell minus `density`
    double surface_gravity = 0.0;  // m/s^2
    double bottom_gravity = 0.0;   // m/s^2
    // Per layer, outermost first, multiplying the swept viscosity; empty means all 1.
    std::vector<double> viscosity_factors;
    // The degree-2 potential of the displaced surface and inner interface loads the shell
    bool self_gravity = false;

    // [orbit]
    double period = 0.0; // s
    double eccentricity = 0.0;
    bool second_order = false; // tide expanded to second order in the eccentricity

    // [sweep]: viscosities 10^(k/steps_per_decade) Pa s for min <= k/steps_per_decade <= max
    double log10_viscosity_min = 0.0;
    double log10_viscosity_max = 0.0;
    int steps_per_decade = 20;

    // [rheology]: the rheologies swept, as the file lists them (the runs follow the list order
    // of the program whatever this order)
    std::vector<Rheology> models = {Rheology::Maxwell, Rheology::KelvinVoigt};
    // [rheology.<name>]: each rheology's parameters, as it declares them
    RheologyParameters rheology;

    // [numerics]
    int layers = 20;
    int periods = 10;
    int steps_per_period = 2000;
};

} // namespace tidal
