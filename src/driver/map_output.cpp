#include "driver/map_output.hpp"

#include "driver/result_tables.hpp"
#include "output/result_file.hpp"
#include "output/tables.hpp"
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

void write_maps(ResultDirectory& dir, const ShellModel& model, const std::vector<SweepMap>& maps) {
    const std::vector<std::string_view> names = table_names(model.body.models);
    for (const SweepMap& m : maps) {
        const MapPoints axes = map_axes(m.grid);
        std::vector<MapColumns> columns;
        for (std::size_t i = 0; i < m.maps.size(); ++i)
            columns.push_back({names[i], &m.maps[i].flux, &m.maps[i].top, &m.maps[i].bottom});
        dir.open(map_file_name(m.eta)).rewrite(map_table(axes.latitudes, axes.longitudes, columns));
    }
}

} // namespace tidal
