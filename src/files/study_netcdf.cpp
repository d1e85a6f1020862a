#include "files/study_netcdf.hpp"

#include <algorithm>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>

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

void write_study_netcdf(const std::string& path, const StudyContent& c) {
    std::size_t count = 1;
    for (const StudyAxis& a : c.axes)
        count *= a.size();
    if (count != c.points.size())
        throw OutputError("cannot write result file '" + path + "': the study's axes hold " +
                          std::to_string(count) + " points, not its " +
                          std::to_string(c.points.size()));

    // Every point's rheologies (first seen first) and viscosities (ascending), together.
    std::vector<std::string> rheologies;
    std::vector<double> etas;
    for (const StudyPointRows& p : c.points) {
        for (const std::string& r : p.rheologies)
            if (std::find(rheologies.begin(), rheologies.end(), r) == rheologies.end())
                rheologies.push_back(r);
        for (const SummaryRow& row : p.rows)
            etas.push_back(row.eta);
    }
    std::sort(etas.begin(), etas.end());
    etas.erase(std::unique(etas.begin(), etas.end()), etas.end());

    NetcdfFile nc(path);
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
    const int d_rheology = nc.dimension("rheology", rheologies.size());
    const int d_viscosity = nc.dimension("viscosity", etas.size());
    const int v_rheology = nc.variable("rheology", T::String, std::array{d_rheology}, "",
                                       "rheology of the shell");
    const int v_viscosity = nc.variable("viscosity", T::Double, std::array{d_viscosity}, "Pa s",
                                        "shear viscosity of the shell");
    dims.push_back(d_rheology);
    dims.push_back(d_viscosity);
    std::vector<std::pair<int, SummaryVariable>> vars;
    for (SummaryVariable& v : summary_variables()) {
        vars.emplace_back(nc.variable(v.name, T::Double, dims, v.units, v.long_name, true),
                          std::move(v));
        nc.write_through(vars.back().first);
    }
    nc.end_definitions();

    for (std::size_t a = 0; a < c.axes.size(); ++a)
        put_axis(nc, axis_vars[a], c.axes[a]);
    for (std::size_t k = 0; k < c.table_keys.size(); ++k)
        put_axis(nc, key_vars[k], c.table_keys[k]);
    nc.put(v_rheology, std::span<const std::string>(rheologies));
    nc.put(v_viscosity, etas);

    // Where each point's rheology and row lands: the point's block is rheologies x etas. The
    // places are found once, for every variable.
    const std::size_t block = rheologies.size() * etas.size();
    std::vector<std::vector<std::size_t>> rheology_at(c.points.size()), eta_at(c.points.size());
    for (std::size_t p = 0; p < c.points.size(); ++p) {
        for (const std::string& r : c.points[p].rheologies)
            rheology_at[p].push_back(static_cast<std::size_t>(
                std::find(rheologies.begin(), rheologies.end(), r) - rheologies.begin()));
        for (const SummaryRow& row : c.points[p].rows)
            eta_at[p].push_back(static_cast<std::size_t>(
                std::lower_bound(etas.begin(), etas.end(), row.eta) - etas.begin()));
    }
    // A variable's hypercube: NaN where a point has no such rheology or viscosity.
    const auto gather = [&](const SummaryVariable& v, std::vector<double>& values) {
        values.assign(c.points.size() * block, std::numeric_limits<double>::quiet_NaN());
        for (std::size_t p = 0; p < c.points.size(); ++p) {
            const StudyPointRows& point = c.points[p];
            for (std::size_t r = 0; r < point.rheologies.size(); ++r) {
                const std::size_t at = p * block + rheology_at[p][r] * etas.size();
                for (std::size_t k = 0; k < point.rows.size(); ++k)
                    values[at + eta_at[p][k]] = v.value(point.rows[k], r);
            }
        }
    };
    // Each variable's values are gathered on a thread of their own while the one before them
    // is compressed into the file (where no thread can be had, here, after it).
    std::vector<double> values, next;
    if (!vars.empty()) gather(vars.front().second, values);
    for (std::size_t i = 0; i < vars.size(); ++i) {
        bool ahead = false;
        std::exception_ptr failure;
        {
            std::jthread helper;
            if (i + 1 < vars.size()) {
                try {
                    helper = std::jthread([&, i] {
                        try {
                            gather(vars[i + 1].second, next);
                        } catch (...) {
                            failure = std::current_exception();
                        }
                    });
                    ahead = true;
                } catch (const std::system_error&) {
                }
            }
            nc.put(vars[i].first, values);
        } // the helper has finished
        if (failure) std::rethrow_exception(failure);
        if (i + 1 < vars.size()) {
            if (!ahead) gather(vars[i + 1].second, next);
            std::swap(values, next);
        }
    }
    nc.close();
}

} // namespace tidal
