#include "files/study_netcdf.hpp"

#include <algorithm>
#include <limits>
#include <optional>

#include "files/netcdf_file.hpp"

namespace tidal {

namespace {

using T = NetcdfFile::Type;

// Declares an axis's coordinate variable (or, for the keys of a points table, a variable over
// the point axis).
int define_axis(NetcdfFile& nc, const StudyAxis& a, int dim) {
    const bool numeric = !a.numbers.empty();
    const int var = nc.variable(a.name, numeric ? T::Double : T::String, std::array{dim}, a.units,
                                a.key);
    nc.text(var, "body_key", a.key);
    if (!a.comment.empty()) nc.text(var, "comment", a.comment);
    return var;
}

void put_axis(NetcdfFile& nc, int var, const StudyAxis& a) {
    if (!a.numbers.empty()) nc.put(var, a.numbers);
    else nc.put(var, std::span<const std::string>(a.texts));
}

} // namespace

std::vector<std::size_t> study_chunk_points(std::span<const std::size_t> sizes,
                                            std::size_t per_point, std::size_t target) {
    std::vector<std::size_t> out(sizes.size(), 1);
    const std::size_t points = std::max<std::size_t>(1, target / std::max<std::size_t>(1, per_point));
    std::size_t run = 1; // points of the whole trailing axes taken so far
    for (std::size_t a = sizes.size(); a-- > 0;) {
        const std::size_t n = std::max<std::size_t>(1, sizes[a]);
        if (run * n <= points) {
            out[a] = n;
            run *= n;
            continue;
        }
        // As few stretches as the target allows, of sizes as even as chunks can be: 50
        // points at most 45 a chunk make two chunks of 25, not 45 and 5.
        const std::size_t most = std::max<std::size_t>(1, points / run);
        const std::size_t pieces = (n + most - 1) / most;
        out[a] = (n + pieces - 1) / pieces;
        break;
    }
    return out;
}

struct StudyNetcdfWriter::State {
    StudyShape shape;
    NetcdfFile nc;
    std::vector<std::pair<int, SummaryVariable>> vars;
    int layer_power = -1; // layer_power_W, of a body given by its layers
    std::vector<std::size_t> sizes; // of the axes
    std::vector<std::size_t> chunk; // points a chunk spans along each axis
    std::size_t total = 1;          // points
    std::size_t added = 0;          // points added so far
    std::size_t first = 0;          // the first point of the chunk in the making
    std::vector<StudyPointRows> pending; // its points added so far
    // Per pending point: where each of its rheologies and rows lands in its block
    // (rheologies x viscosities), found as it is added.
    std::vector<std::vector<std::size_t>> rheology_at, eta_at;
    std::vector<double> values;     // one variable's chunk
    State(std::string path, StudyShape s) : shape(std::move(s)), nc(std::move(path)) {}

    // The points of the chunk that starts at point `p`: the stretch of the axis before the
    // whole trailing ones, cut at its end.
    std::size_t chunk_length(std::size_t p) const {
        std::size_t run = 1, a = sizes.size();
        while (a > 0 && chunk[a - 1] == sizes[a - 1]) {
            --a;
            run *= sizes[a];
        }
        if (a == 0) return total;
        const std::size_t along = (p / run) % sizes[a - 1];
        return std::min(chunk[a - 1], sizes[a - 1] - along) * run;
    }
};

StudyNetcdfWriter::StudyNetcdfWriter(std::string path, StudyShape shape,
                                     std::size_t chunk_values)
    : s_(std::make_unique<State>(std::move(path), std::move(shape))) {
    State& s = *s_;
    const StudyShape& c = s.shape;
    for (const StudyAxis& a : c.axes) {
        s.sizes.push_back(a.size());
        s.total *= a.size();
    }
    NetcdfFile& nc = s.nc;
    nc.text(NetcdfFile::kGlobal, "Conventions", "CF-1.8");
    nc.text(NetcdfFile::kGlobal, "title",
            "Tidal heating of a viscoelastic shell over the axes of a study and its viscosity");
    nc.text(NetcdfFile::kGlobal, "source", c.source);
    for (const FileAttribute& a : c.attributes)
        put_attribute(nc, NetcdfFile::kGlobal, a);

    std::vector<int> dims, axis_vars;
    for (const StudyAxis& a : c.axes) {
        dims.push_back(nc.dimension(a.name, a.size()));
        axis_vars.push_back(define_axis(nc, a, dims.back()));
    }
    std::vector<int> key_vars;
    for (const StudyAxis& k : c.table_keys)
        key_vars.push_back(define_axis(nc, k, dims.front()));
    const int d_rheology = nc.dimension("rheology", c.rheologies.size());
    const int d_viscosity = nc.dimension("viscosity", c.viscosities.size());
    const int v_rheology = nc.variable("rheology", T::String, std::array{d_rheology}, "",
                                       "rheology of the shell");
    const int v_viscosity = nc.variable("viscosity", T::Double, std::array{d_viscosity}, "Pa s",
                                        "shear viscosity of the shell");
    dims.push_back(d_rheology);
    dims.push_back(d_viscosity);
    const std::size_t block = c.rheologies.size() * c.viscosities.size();
    s.chunk = study_chunk_points(s.sizes, block, chunk_values);
    std::vector<std::size_t> chunk_sizes = s.chunk;
    chunk_sizes.push_back(std::max<std::size_t>(1, c.rheologies.size()));
    chunk_sizes.push_back(std::max<std::size_t>(1, c.viscosities.size()));
    for (SummaryVariable& v : summary_variables(c.extrapolated)) {
        const int var = nc.variable(v.name, T::Double, dims, v.units, v.long_name, true);
        if (s.total > 0 && block > 0) nc.chunks(var, chunk_sizes);
        s.vars.emplace_back(var, std::move(v));
    }
    // A body given by its layers: each solid layer's power over (axes, rheology, viscosity,
    // layer), chunked as the other variables with the layers whole.
    const std::size_t layers = c.layer_numbers.size();
    LayerVariables layer_vars;
    if (layers > 0) {
        layer_vars = define_layer_power(nc, layers, dims, true);
        s.layer_power = layer_vars.power;
        std::vector<std::size_t> layer_chunks = chunk_sizes;
        layer_chunks.push_back(layers);
        if (s.total > 0 && block > 0) nc.chunks(s.layer_power, layer_chunks);
    }
    nc.end_definitions();
    // Each chunk is put whole, once: compressed and stored within the put. (Set once the
    // variables exist: declaring a variable's chunks sizes its cache to hold them.)
    for (const auto& [var, v] : s.vars)
        nc.write_through(var);
    if (s.layer_power >= 0) nc.write_through(s.layer_power);
    if (layers > 0) put_layer_coordinates(nc, layer_vars, c.layer_numbers, c.layer_names);

    for (std::size_t a = 0; a < c.axes.size(); ++a)
        put_axis(nc, axis_vars[a], c.axes[a]);
    for (std::size_t k = 0; k < c.table_keys.size(); ++k)
        put_axis(nc, key_vars[k], c.table_keys[k]);
    nc.put(v_rheology, std::span<const std::string>(c.rheologies));
    nc.put(v_viscosity, c.viscosities);
}

StudyNetcdfWriter::~StudyNetcdfWriter() = default;

void StudyNetcdfWriter::add(StudyPointRows point) {
    State& s = *s_;
    if (s.added == s.total)
        throw OutputError("cannot write result file '" + s.nc.path() +
                          "': more points than the study's axes hold (" +
                          std::to_string(s.total) + ")");
    // A point that does not fit the shape is named as it comes, not when its chunk fills.
    const StudyShape& c = s.shape;
    const std::size_t number = s.first + s.pending.size() + 1;
    std::vector<std::size_t> rheology_at, eta_at;
    for (const std::string& r : point.rheologies) {
        const auto at = std::find(c.rheologies.begin(), c.rheologies.end(), r);
        if (at == c.rheologies.end())
            throw OutputError("cannot write result file '" + s.nc.path() + "': point " +
                              std::to_string(number) + " has rheology " + r +
                              ", which the study does not list");
        rheology_at.push_back(static_cast<std::size_t>(at - c.rheologies.begin()));
    }
    for (const SummaryRow& row : point.rows) {
        if (c.extrapolated && row.extrapolated.size() != point.rheologies.size())
            throw OutputError("cannot write result file '" + s.nc.path() + "': point " +
                              std::to_string(number) + " has no extrapolated values");
        const auto every_layer = [&] {
            if (row.layer_power.size() != point.rheologies.size()) return false;
            for (const std::vector<double>& powers : row.layer_power)
                if (powers.size() != c.layer_numbers.size()) return false;
            return true;
        };
        if (!c.layer_numbers.empty() && !every_layer())
            throw OutputError("cannot write result file '" + s.nc.path() + "': point " +
                              std::to_string(number) + " has not the study's " +
                              std::to_string(c.layer_numbers.size()) + " body layers");
        const auto at = std::lower_bound(c.viscosities.begin(), c.viscosities.end(), row.eta);
        if (at == c.viscosities.end() || !(*at == row.eta))
            throw OutputError("cannot write result file '" + s.nc.path() + "': point " +
                              std::to_string(number) + " has a viscosity outside its sweep");
        eta_at.push_back(static_cast<std::size_t>(at - c.viscosities.begin()));
    }
    ++s.added;
    s.pending.push_back(std::move(point));
    s.rheology_at.push_back(std::move(rheology_at));
    s.eta_at.push_back(std::move(eta_at));
    if (s.pending.size() == s.chunk_length(s.first)) put_chunk();
}

void StudyNetcdfWriter::put_chunk() {
    State& s = *s_;
    const StudyShape& c = s.shape;
    const std::size_t R = c.rheologies.size(), V = c.viscosities.size(), block = R * V;
    const auto& rheology_at = s.rheology_at;
    const auto& eta_at = s.eta_at;
    // The chunk's place: the indices of its first point, and its extent.
    std::vector<std::size_t> start(s.sizes.size() + 2, 0), count(s.sizes.size() + 2, 1);
    {
        std::size_t rest = s.first;
        for (std::size_t a = s.sizes.size(); a-- > 0;) {
            start[a] = rest % s.sizes[a];
            rest /= s.sizes[a];
        }
        std::size_t left = s.pending.size();
        for (std::size_t a = s.sizes.size(); a-- > 0 && left > 1;) {
            count[a] = std::min(left, s.sizes[a]);
            left /= count[a];
        }
        count[s.sizes.size()] = R;
        count[s.sizes.size() + 1] = V;
    }
    for (const auto& [var, v] : s.vars) {
        // NaN where a point has no such rheology or viscosity.
        s.values.assign(s.pending.size() * block, std::numeric_limits<double>::quiet_NaN());
        for (std::size_t i = 0; i < s.pending.size(); ++i) {
            const StudyPointRows& point = s.pending[i];
            for (std::size_t r = 0; r < point.rheologies.size(); ++r) {
                const std::size_t at = i * block + rheology_at[i][r] * V;
                for (std::size_t k = 0; k < point.rows.size(); ++k)
                    s.values[at + eta_at[i][k]] = v.value(point.rows[k], r);
            }
        }
        s.nc.put(var, start, count, s.values);
    }
    if (s.layer_power >= 0) {
        const std::size_t L = c.layer_numbers.size();
        s.values.assign(s.pending.size() * block * L, std::numeric_limits<double>::quiet_NaN());
        for (std::size_t i = 0; i < s.pending.size(); ++i) {
            const StudyPointRows& point = s.pending[i];
            for (std::size_t r = 0; r < point.rheologies.size(); ++r) {
                const std::size_t at = (i * block + rheology_at[i][r] * V) * L;
                for (std::size_t k = 0; k < point.rows.size(); ++k) {
                    const std::vector<double>& powers = point.rows[k].layer_power[r];
                    const auto into = static_cast<std::ptrdiff_t>(at + eta_at[i][k] * L);
                    std::copy(powers.begin(), powers.end(), s.values.begin() + into);
                }
            }
        }
        start.push_back(0);
        count.push_back(L);
        s.nc.put(s.layer_power, start, count, s.values);
    }
    s.first += s.pending.size();
    s.pending.clear();
    s.rheology_at.clear();
    s.eta_at.clear();
}

void StudyNetcdfWriter::close() {
    State& s = *s_;
    if (s.added != s.total)
        throw OutputError("cannot write result file '" + s.nc.path() + "': " +
                          std::to_string(s.added) + " of the study's " +
                          std::to_string(s.total) + " points were given");
    s.nc.close();
}

} // namespace tidal
