#include "files/map_output.hpp"

#include "files/result_tables.hpp"
#include "files/result_file.hpp"
#include "files/tables.hpp"

namespace tidal {

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
