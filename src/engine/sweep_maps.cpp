#include "engine/sweep_maps.hpp"

#include "steady/surface_maps.hpp"

namespace tidal {

std::vector<SweepMap> sweep_maps(const ShellModel& model, const std::vector<double>& etas,
                                 Flavour flavour, double step) {
    std::vector<SweepMap> out;
    for (const double eta : etas) {
        const MapGrid grid{step};
        out.push_back({eta, grid, surface_maps(model, eta, flavour, grid)});
    }
    return out;
}

MapPoints map_axes(const MapGrid& grid) {
    MapPoints p;
    for (int i = 0; i < grid.latitudes(); ++i)
        p.latitudes.push_back(grid.latitude(i));
    for (int k = 0; k < grid.longitudes(); ++k)
        p.longitudes.push_back(grid.longitude(k));
    return p;
}

} // namespace tidal
