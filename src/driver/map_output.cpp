#include "driver/map_output.hpp"

#include "driver/result_tables.hpp"
#include "output/result_file.hpp"
#include "output/tables.hpp"
#include "steady/surface_maps.hpp"

namespace tidal {

void write_maps(ResultDirectory& dir, const ShellModel& model, const std::vector<double>& etas,
                Flavour flavour, double step) {
    const MapGrid grid{step};
    std::vector<double> latitudes, longitudes;
    for (int i = 0; i < grid.latitudes(); ++i)
        latitudes.push_back(grid.latitude(i));
    for (int k = 0; k < grid.longitudes(); ++k)
        longitudes.push_back(grid.longitude(k));
    const std::vector<std::string_view> names = table_names(model.body.models);
    for (const double eta : etas) {
        const std::vector<HeatingMap> maps = surface_maps(model, eta, flavour, grid);
        std::vector<MapColumns> columns;
        for (std::size_t i = 0; i < maps.size(); ++i)
            columns.push_back({names[i], &maps[i].flux, &maps[i].top, &maps[i].bottom});
        dir.open(map_file_name(eta)).rewrite(map_table(latitudes, longitudes, columns));
    }
}

} // namespace tidal
