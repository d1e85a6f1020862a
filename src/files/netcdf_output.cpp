#include "files/netcdf_output.hpp"

#include <unistd.h>

#include "files/body_keys.hpp"
#include "files/version.hpp"
#include "files/result_tables.hpp"
#include "files/results_netcdf.hpp"

namespace tidal {

void write_results_nc(ResultDirectory& dir, const ShellModel& model,
                      std::span<const SummaryRow> rows, const std::vector<SweepMap>& maps,
                      std::string_view method) {
    const std::optional<std::string> reserved = dir.reserve(kResultsNetcdfName);
    if (!reserved) return; // a directory in memory keeps no NetCDF file
    const std::string& partial = *reserved;
    RunContent c;
    for (const std::string_view name : table_names(model.body.models))
        c.rheologies.emplace_back(name);
    c.rows = rows;
    std::vector<ViscosityMaps> by_viscosity;
    for (const SweepMap& m : maps) {
        ViscosityMaps v{m.eta, {}};
        for (std::size_t i = 0; i < m.maps.size(); ++i)
            v.rheologies.push_back(
                {c.rheologies[i], &m.maps[i].flux, &m.maps[i].top, &m.maps[i].bottom});
        by_viscosity.push_back(std::move(v));
    }
    if (!maps.empty()) {
        // Every map of a run is drawn on the same grid.
        const MapPoints axes = map_axes(maps.front().grid);
        c.latitudes = axes.latitudes;
        c.longitudes = axes.longitudes;
    }
    c.maps = by_viscosity;
    c.layer_numbers = solid_layer_numbers(model.body);
    c.layer_names = solid_layer_names(model.body);
    if (!model.body.interior.empty() && !rows.empty() && !rows.front().profile.empty())
        for (const ProfileRecord& cell : rows.front().profile.front())
            c.cell_layers.push_back(cell.body_layer);
    c.source = kVersion;
    c.attributes.push_back({"method", std::string(method)});
    for (const BodyKey& k : body_keys(model.body))
        c.attributes.push_back({k.name, k.value});

    try {
        write_results_netcdf(partial, c);
    } catch (...) {
        ::unlink(partial.c_str());
        throw;
    }
}

} // namespace tidal
