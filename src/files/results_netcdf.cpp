#include "files/results_netcdf.hpp"

#include "files/result_file.hpp"

#include <array>
#include <cmath>
#include <limits>
#include <optional>

namespace tidal {

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();

double value_or_missing(const std::optional<double>& v) { return v ? *v : kMissing; }

} // namespace

std::vector<SummaryVariable> summary_variables(bool extrapolated) {
    std::vector<SummaryVariable> out;
    for (const SummaryQuantity& q : summary_quantities())
        out.push_back({q.name, q.units, q.long_name, [&q](const SummaryRow& row, std::size_t r) {
                           return row.values[r].*q.value;
                       }});
    // The other blocks' fields are empty where not computed.
    const auto optional = [&out](const auto& q, auto block) {
        out.push_back({q.name, q.units, q.long_name, [&q, block](const SummaryRow& row, std::size_t r) {
                           return value_or_missing((row.*block)[r].*q.value);
                       }});
    };
    for (const SteadyQuantity& q : steady_quantities())
        optional(q, &SummaryRow::steady);
    for (const LoveQuantity& q : love_quantities())
        optional(q, &SummaryRow::love);
    for (const GridErrorQuantity& q : grid_error_quantities())
        optional(q, &SummaryRow::grid);
    if (extrapolated)
        for (const ExtrapolatedQuantity& q : extrapolated_quantities())
            optional(q, &SummaryRow::extrapolated);
    return out;
}

std::vector<SummaryVariable> surface_love_variables(bool extrapolated) {
    std::vector<SummaryVariable> out;
    const auto add = [&out](std::span<const SurfaceLoveQuantity> quantities) {
        for (const SurfaceLoveQuantity& q : quantities)
            if (!q.in_summary)
                out.push_back({q.name, "1", q.long_name, [&q](const SummaryRow& row, std::size_t r) {
                                   return value_or_missing(row.surface_love[r].*q.value);
                               }});
    };
    add(surface_love_quantities());
    if (extrapolated) add(extrapolated_love_quantities());
    return out;
}

void put_attribute(NetcdfFile& nc, int var, const FileAttribute& a) {
    if (const auto* d = std::get_if<double>(&a.value)) nc.number(var, a.name, *d);
    else if (const auto* n = std::get_if<long long>(&a.value)) nc.integer(var, a.name, *n);
    else nc.text(var, a.name, std::get<std::string>(a.value));
}

LayerVariables define_layer_power(NetcdfFile& nc, std::size_t layers, std::vector<int> dims,
                                  bool compressed) {
    using T = NetcdfFile::Type;
    LayerVariables v;
    const int d_layer = nc.dimension("layer", layers);
    v.layer = nc.variable("layer", T::Int, std::array{d_layer}, "1", "body layer, 1 the outermost");
    v.name = nc.variable("layer_name", T::String, std::array{d_layer}, "", "name of the body layer");
    dims.push_back(d_layer);
    v.power = nc.variable("layer_power_W", T::Double, dims, "W", "power dissipated in the body layer",
                          compressed);
    nc.text(v.power, "coordinates", "layer_name");
    return v;
}

void put_layer_coordinates(NetcdfFile& nc, const LayerVariables& v, std::span<const int> numbers,
                           std::span<const std::string> names) {
    nc.put(v.layer, numbers);
    nc.put(v.name, names);
}

void write_results_netcdf(const std::string& path, const RunContent& c) {
    using T = NetcdfFile::Type;
    NetcdfFile nc(path);
    nc.text(NetcdfFile::kGlobal, "Conventions", "CF-1.8");
    nc.text(NetcdfFile::kGlobal, "title",
            "Tidal deformation and heating of a viscoelastic shell over its viscosity");
    nc.text(NetcdfFile::kGlobal, "source", c.source);
    for (const FileAttribute& a : c.attributes)
        put_attribute(nc, NetcdfFile::kGlobal, a);

    const std::size_t cells = c.rows.empty() || c.rows.front().profile.empty()
                                  ? 0
                                  : c.rows.front().profile.front().size();
    const int d_rheology = nc.dimension("rheology", c.rheologies.size());
    const int d_viscosity = nc.dimension("viscosity", c.rows.size());
    const int d_cell = nc.dimension("cell", cells);
    const int d_bounds = nc.dimension("bounds", 2);

    const int v_rheology = nc.variable("rheology", T::String, std::array{d_rheology}, "",
                                       "rheology of the shell");
    const int v_viscosity = nc.variable("viscosity", T::Double, std::array{d_viscosity}, "Pa s",
                                        "shear viscosity of the shell");
    std::vector<std::pair<int, SummaryVariable>> summary;
    const bool extrapolated = !c.rows.empty() && !c.rows.front().extrapolated.empty();
    std::vector<SummaryVariable> variables = summary_variables(extrapolated);
    for (SummaryVariable& v : surface_love_variables(extrapolated))
        variables.push_back(std::move(v));
    for (SummaryVariable& v : variables)
        summary.emplace_back(nc.variable(v.name, T::Double, std::array{d_rheology, d_viscosity},
                                         v.units, v.long_name),
                             std::move(v));

    const int v_cell = nc.variable("cell", T::Int, std::array{d_cell}, "1",
                                   "quadrature cell of the shell, 1 the outermost");
    const int v_radius = nc.variable("radius", T::Double, std::array{d_cell}, "m",
                                     "mid radius of the cell");
    nc.text(v_radius, "bounds", "radius_bounds");
    nc.text(v_radius, "positive", "up");
    const int v_bounds = nc.variable("radius_bounds", T::Double, std::array{d_cell, d_bounds}, "m",
                                     "outer and inner radius of the cell");
    const std::array profile_dims{d_rheology, d_viscosity, d_cell};
    const int v_heating = nc.variable("cell_heating_W_m3", T::Double, profile_dims, "W m-3",
                                      "mean volumetric heating of the cell", true);
    const int v_power = nc.variable("cell_power_W", T::Double, profile_dims, "W",
                                    "power dissipated in the cell", true);
    for (const int v : {v_heating, v_power})
        nc.text(v, "coordinates", "radius");

    // The body layers of a body given by its layers: each solid one's power, and the layer
    // that holds each cell.
    const std::size_t layers = c.layer_numbers.size();
    LayerVariables layer_vars;
    if (layers > 0) layer_vars = define_layer_power(nc, layers, {d_rheology, d_viscosity}, false);
    int v_cell_layer = -1;
    if (!c.cell_layers.empty())
        v_cell_layer = nc.variable("body_layer", T::String, std::array{d_cell}, "",
                                   "name of the body layer that holds the cell");

    std::array<int, 3> map_vars{-1, -1, -1};
    int v_map_eta = -1, v_lat = -1, v_lon = -1;
    if (!c.maps.empty()) {
        const int d_map = nc.dimension("map_viscosity", c.maps.size());
        const int d_lat = nc.dimension("lat", c.latitudes.size());
        const int d_lon = nc.dimension("lon", c.longitudes.size());
        v_map_eta = nc.variable("map_viscosity", T::Double, std::array{d_map}, "Pa s",
                                "shear viscosity of the shell of the map");
        v_lat = nc.variable("lat", T::Double, std::array{d_lat}, "degrees_north", "latitude");
        nc.text(v_lat, "standard_name", "latitude");
        nc.text(v_lat, "axis", "Y");
        v_lon = nc.variable("lon", T::Double, std::array{d_lon}, "degrees_east",
                            "longitude east of the sub-planet meridian");
        nc.text(v_lon, "standard_name", "longitude");
        nc.text(v_lon, "axis", "X");
        const std::array dims{d_rheology, d_map, d_lat, d_lon};
        map_vars[0] = nc.variable("map_heat_flux_W_m2", T::Double, dims, "W m-2",
                                  "depth-integrated heating per unit area of the outer surface",
                                  true);
        map_vars[1] = nc.variable("map_top_heating_W_m3", T::Double, dims, "W m-3",
                                  "volumetric heating of the outermost cell", true);
        map_vars[2] = nc.variable("map_bottom_heating_W_m3", T::Double, dims, "W m-3",
                                  "volumetric heating of the innermost cell", true);
    }
    nc.end_definitions();

    nc.put(v_rheology, std::span<const std::string>(c.rheologies));
    std::vector<double> eta;
    for (const SummaryRow& row : c.rows)
        eta.push_back(row.eta);
    nc.put(v_viscosity, eta);
    for (const auto& [id, v] : summary) {
        // Over (rheology, viscosity), C order.
        std::vector<double> values;
        for (std::size_t r = 0; r < c.rheologies.size(); ++r)
            for (const SummaryRow& row : c.rows)
                values.push_back(v.value(row, r));
        nc.put(id, values);
    }

    std::vector<int> cell;
    std::vector<double> radius, bounds;
    if (cells > 0)
        for (const ProfileRecord& l : c.rows.front().profile.front()) {
            cell.push_back(l.layer);
            // Evaluated as written: the mean of the two bounds.
            radius.push_back((l.outer_radius + l.inner_radius) / 2.0);
            bounds.push_back(l.outer_radius);
            bounds.push_back(l.inner_radius);
        }
    nc.put(v_cell, cell);
    nc.put(v_radius, radius);
    nc.put(v_bounds, bounds);
    std::vector<double> heating, power;
    for (std::size_t r = 0; r < c.rheologies.size(); ++r)
        for (const SummaryRow& row : c.rows)
            for (const ProfileRecord& l : row.profile[r]) {
                heating.push_back(l.heating);
                power.push_back(l.power);
            }
    nc.put(v_heating, heating);
    nc.put(v_power, power);
    if (layers > 0) {
        put_layer_coordinates(nc, layer_vars, c.layer_numbers, c.layer_names);
        std::vector<double> values;
        for (std::size_t r = 0; r < c.rheologies.size(); ++r)
            for (const SummaryRow& row : c.rows) {
                if (row.layer_power.size() != c.rheologies.size() ||
                    row.layer_power[r].size() != layers)
                    throw OutputError("cannot write result file '" + nc.path() +
                                      "': a row without the power of every body layer");
                values.insert(values.end(), row.layer_power[r].begin(), row.layer_power[r].end());
            }
        nc.put(layer_vars.power, values);
    }
    if (v_cell_layer >= 0) nc.put(v_cell_layer, std::span<const std::string>(c.cell_layers));

    if (!c.maps.empty()) {
        std::vector<double> map_eta;
        for (const ViscosityMaps& m : c.maps)
            map_eta.push_back(m.eta);
        nc.put(v_map_eta, map_eta);
        nc.put(v_lat, c.latitudes);
        nc.put(v_lon, c.longitudes);
        const std::array<const std::vector<double>* MapColumns::*, 3> fields{
            &MapColumns::flux, &MapColumns::top, &MapColumns::bottom};
        for (std::size_t f = 0; f < fields.size(); ++f) {
            std::vector<double> values;
            for (std::size_t r = 0; r < c.rheologies.size(); ++r)
                for (const ViscosityMaps& m : c.maps) {
                    const std::vector<double>& v = *(m.rheologies[r].*fields[f]);
                    values.insert(values.end(), v.begin(), v.end());
                }
            nc.put(map_vars[f], values);
        }
    }
    nc.close();
}

} // namespace tidal
