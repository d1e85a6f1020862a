#pragma once
// The surface heat-flux maps of swept viscosities: the angular structure of the heating
// (loads/heating_map.hpp) from the periodic state of one flavour, every rheology of the body.
#include <vector>

#include "loads/heating_map.hpp"
#include "model/shell_model.hpp"
#include "rheology/constitutive.hpp"

namespace tidal {

// The maps of every rheology of a body (its models, in list order) at one swept viscosity.
struct SweepMap {
    double eta = 0.0; // Pa s
    MapGrid grid;
    std::vector<HeatingMap> maps;
};

// The maps of the swept viscosities `etas` (Pa s) on a grid of `step` degrees, from the
// periodic state of `flavour` (the time method's: the scheme's own, which a run's last period
// approaches to its transient; the steady method's: exact in time).
std::vector<SweepMap> sweep_maps(const ShellModel& model, const std::vector<double>& etas,
                                 Flavour flavour, double step);

// The latitudes and longitudes of every point of a map's grid (latitude-major), degrees.
struct MapPoints {
    std::vector<double> latitudes, longitudes;
};
MapPoints map_axes(const MapGrid& grid);

} // namespace tidal
