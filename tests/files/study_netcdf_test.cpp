// study.nc built point by point: every value lands where the study's order puts its point,
// whatever the chunks, and the file refuses points it has no place for.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <netcdf.h>

#include "files/result_file.hpp"
#include "files/results_netcdf.hpp"
#include "files/study_netcdf.hpp"
#include "scratch_dir.hpp"

namespace tidal {
namespace {

// Axes of three different lengths, so that a transposed or shifted axis cannot pass.
const std::vector<std::size_t> kSizes = {3, 5, 2};
const std::vector<std::string> kRheologies = {"maxwell", "andrade"};
const std::vector<double> kEtas = {1e13, 1e14, 1e15};

// A hypercube over axes of these lengths (slowest first), each axis's values its own.
StudyShape shape(const std::vector<std::size_t>& sizes = kSizes) {
    StudyShape s;
    for (std::size_t a = 0; a < sizes.size(); ++a) {
        const std::string name = "axis_" + std::to_string(a);
        StudyAxis axis{name, name, "1", "", {}, {}};
        for (std::size_t i = 0; i < sizes[a]; ++i)
            axis.numbers.push_back(static_cast<double>(10 * (a + 1) + i));
        s.axes.push_back(axis);
    }
    s.rheologies = kRheologies;
    s.viscosities = kEtas;
    s.source = "test";
    return s;
}

// The same with the powers of two body layers (1 and 3: an ocean between them).
StudyShape layered(const std::vector<std::size_t>& sizes = kSizes) {
    StudyShape s = shape(sizes);
    s.layer_numbers = {1, 3};
    s.layer_names = {"ice shell", "rocky core"};
    return s;
}

// Point p's rows: every quantity of every rheology a value of its own (and with `layers`, so
// many body layers' powers). Some points lack a rheology (the second) or a viscosity (the
// first), which the cube holds as NaN.
StudyPointRows point(std::size_t p, std::size_t layers = 0) {
    StudyPointRows out;
    out.rheologies = p % 4 == 1 ? std::vector<std::string>{"andrade"} : kRheologies;
    double next = 1000.0 * static_cast<double>(p + 1);
    for (std::size_t k = p % 3 == 2 ? 1 : 0; k < kEtas.size(); ++k) {
        SummaryRow row;
        row.eta = kEtas[k];
        const std::size_t n = out.rheologies.size();
        row.values.resize(n);
        row.steady.resize(n);
        row.love.resize(n);
        row.grid.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            for (const SummaryQuantity& q : summary_quantities())
                row.values[i].*q.value = ++next;
            for (const SteadyQuantity& q : steady_quantities())
                row.steady[i].*q.value = ++next;
            for (const LoveQuantity& q : love_quantities())
                row.love[i].*q.value = ++next;
            for (const GridErrorQuantity& q : grid_error_quantities())
                row.grid[i].*q.value = ++next;
            if (layers > 0) {
                std::vector<double>& powers = row.layer_power.emplace_back();
                for (std::size_t l = 0; l < layers; ++l)
                    powers.push_back(++next);
            }
        }
        out.rows.push_back(row);
    }
    return out;
}

std::size_t points(const std::vector<std::size_t>& sizes = kSizes) {
    std::size_t n = 1;
    for (const std::size_t k : sizes)
        n *= k;
    return n;
}

std::vector<std::size_t> sizes_of(const StudyShape& s) {
    std::vector<std::size_t> out;
    for (const StudyAxis& a : s.axes)
        out.push_back(a.size());
    return out;
}

std::string written(const std::filesystem::path& dir, const std::string& name,
                    std::size_t chunk_values, const StudyShape& s = shape()) {
    const std::string path = (dir / name).string();
    StudyNetcdfWriter w(path, s, chunk_values);
    for (std::size_t p = 0; p < points(sizes_of(s)); ++p)
        w.add(point(p, s.layer_numbers.size()));
    w.close();
    return path;
}

struct Opened {
    explicit Opened(const std::string& path) { EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &id), NC_NOERR); }
    ~Opened() { nc_close(id); }
    std::vector<double> values(const std::string& name, std::vector<std::size_t>* chunks = nullptr) const {
        int var = -1;
        EXPECT_EQ(nc_inq_varid(id, name.c_str(), &var), NC_NOERR) << name;
        int ndims = 0;
        nc_inq_varndims(id, var, &ndims);
        int dims[NC_MAX_VAR_DIMS];
        nc_inq_vardimid(id, var, dims);
        std::size_t count = 1;
        for (int d = 0; d < ndims; ++d) {
            std::size_t len = 0;
            nc_inq_dimlen(id, dims[d], &len);
            count *= len;
        }
        std::vector<double> out(count);
        EXPECT_EQ(nc_get_var_double(id, var, out.data()), NC_NOERR) << name;
        if (chunks) {
            int storage = 0;
            chunks->assign(static_cast<std::size_t>(ndims), 0);
            nc_inq_var_chunking(id, var, &storage, chunks->data());
        }
        return out;
    }
    int id = -1;
};

TEST(StudyNetcdf, ChunksAreRunsOfConsecutivePointsOfAboutTheTarget) {
    // Whole trailing axes, then a stretch of the axis before them.
    EXPECT_EQ(study_chunk_points(std::vector<std::size_t>{20, 50}, 723, kStudyChunkValues),
              (std::vector<std::size_t>{1, 50}));
    EXPECT_EQ(study_chunk_points(std::vector<std::size_t>{5, 4, 6}, 1, 50),
              (std::vector<std::size_t>{2, 4, 6}));
    // Part of the last axis when it alone is too long, cut as evenly as chunks allow (100
    // points at most 45 a chunk: three chunks of 34, 34 and 32); one point when one is more
    // than the target; everything when all of it is less.
    EXPECT_EQ(study_chunk_points(std::vector<std::size_t>{1000}, 723, kStudyChunkValues),
              (std::vector<std::size_t>{84}));
    EXPECT_EQ(study_chunk_points(std::vector<std::size_t>{3, 100}, 1, 45),
              (std::vector<std::size_t>{1, 34}));
    EXPECT_EQ(study_chunk_points(std::vector<std::size_t>{3, 100}, 1000, 45),
              (std::vector<std::size_t>{1, 1}));
    EXPECT_EQ(study_chunk_points(std::vector<std::size_t>{2, 3}, 10, 1000),
              (std::vector<std::size_t>{2, 3}));
}

// Every variable of a cube over axes of these lengths, written with chunks of about
// `chunk_points` points, holds each point's values at the point's place in study order (the
// last axis fastest), bit for bit, NaN where a point lacks a rheology or a viscosity.
void expect_every_value_at_its_point(const std::filesystem::path& dir, const StudyShape& cube,
                                     std::size_t chunk_points) {
    const std::vector<std::size_t> sizes = sizes_of(cube);
    const std::size_t block = kRheologies.size() * kEtas.size();
    std::string label = "axes";
    for (const std::size_t k : sizes)
        label += " " + std::to_string(k);
    label += ", chunks of " + std::to_string(chunk_points) + " points";
    const std::string file = written(dir, "cube.nc", chunk_points * block, cube);
    const Opened f(file);
    for (const SummaryVariable& v : summary_variables()) {
        const std::string name(v.name);
        std::vector<double> expected(points(sizes) * block,
                                     std::numeric_limits<double>::quiet_NaN());
        for (std::size_t p = 0; p < points(sizes); ++p) {
            const StudyPointRows rows = point(p, cube.layer_numbers.size());
            for (std::size_t r = 0; r < rows.rheologies.size(); ++r) {
                const std::size_t ri = rows.rheologies[r] == "maxwell" ? 0 : 1;
                for (const SummaryRow& row : rows.rows) {
                    const std::size_t k = static_cast<std::size_t>(
                        std::find(kEtas.begin(), kEtas.end(), row.eta) - kEtas.begin());
                    expected[(p * kRheologies.size() + ri) * kEtas.size() + k] = v.value(row, r);
                }
            }
        }
        std::vector<std::size_t> chunks;
        const std::vector<double> got = f.values(name, &chunks);
        // Stored compressed (shuffled and deflated), a missing value declared as NaN.
        int var = -1, shuffle = 0, deflate = 0, level = 0, no_fill = 1;
        double fill = 0.0;
        ASSERT_EQ(nc_inq_varid(f.id, name.c_str(), &var), NC_NOERR);
        ASSERT_EQ(nc_inq_var_deflate(f.id, var, &shuffle, &deflate, &level), NC_NOERR);
        EXPECT_TRUE(shuffle && deflate && level > 0) << label << " " << name;
        ASSERT_EQ(nc_inq_var_fill(f.id, var, &no_fill, &fill), NC_NOERR);
        EXPECT_TRUE(!no_fill && std::isnan(fill)) << label << " " << name;
        ASSERT_EQ(got.size(), expected.size()) << label << " " << name;
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(got[i]), std::bit_cast<std::uint64_t>(expected[i]))
                << label << " " << name << " value " << i;
        // The chunks: the rule's points along each axis, then whole rheology and viscosity.
        std::vector<std::size_t> want = study_chunk_points(sizes, block, chunk_points * block);
        want.push_back(kRheologies.size());
        want.push_back(kEtas.size());
        EXPECT_EQ(chunks, want) << label << " " << name;
    }
    // The body layers' powers: over the same place and a last dimension, the layers.
    const std::size_t L = cube.layer_numbers.size();
    if (L > 0) {
        std::vector<double> expected(points(sizes) * block * L,
                                     std::numeric_limits<double>::quiet_NaN());
        for (std::size_t p = 0; p < points(sizes); ++p) {
            const StudyPointRows rows = point(p, L);
            for (std::size_t r = 0; r < rows.rheologies.size(); ++r) {
                const std::size_t ri = rows.rheologies[r] == "maxwell" ? 0 : 1;
                for (const SummaryRow& row : rows.rows) {
                    const std::size_t k = static_cast<std::size_t>(
                        std::find(kEtas.begin(), kEtas.end(), row.eta) - kEtas.begin());
                    for (std::size_t l = 0; l < L; ++l)
                        expected[((p * kRheologies.size() + ri) * kEtas.size() + k) * L + l] =
                            row.layer_power[r][l];
                }
            }
        }
        std::vector<std::size_t> chunks;
        const std::vector<double> got = f.values("layer_power_W", &chunks);
        ASSERT_EQ(got.size(), expected.size()) << label;
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(std::bit_cast<std::uint64_t>(got[i]), std::bit_cast<std::uint64_t>(expected[i]))
                << label << " layer_power_W value " << i;
        std::vector<std::size_t> want = study_chunk_points(sizes, block, chunk_points * block);
        want.insert(want.end(), {kRheologies.size(), kEtas.size(), L});
        EXPECT_EQ(chunks, want) << label << " layer_power_W";
    } else {
        int var = -1;
        EXPECT_NE(nc_inq_varid(f.id, "layer_power_W", &var), NC_NOERR) << label;
    }
    // Each axis's coordinate, in its own dimension of its own length.
    for (const StudyAxis& a : cube.axes)
        EXPECT_EQ(f.values(a.name), a.numbers) << label;
    EXPECT_EQ(f.values("viscosity"), kEtas) << label;
}

TEST(StudyNetcdf, EveryValueLandsAtItsPointWhateverTheChunks) {
    const auto dir = testing_scratch::scratch_dir("tidal_study_netcdf_test");
    // One chunk for all; chunks of 4 points (2 x 2, the last of each row of the middle axis
    // a single pair); a chunk per point.
    for (const std::size_t chunk : {std::size_t{1} << 20, std::size_t{4}, std::size_t{1}})
        expect_every_value_at_its_point(dir, shape(), chunk);
    // The chunk shapes those cases are meant to have, spelled out.
    const std::size_t block = kRheologies.size() * kEtas.size();
    EXPECT_EQ(study_chunk_points(kSizes, block, 4 * block), (std::vector<std::size_t>{1, 2, 2}));
    EXPECT_EQ(study_chunk_points(kSizes, block, 1 << 20), (std::vector<std::size_t>{3, 5, 2}));
    // A single axis (as a table of points gives), cut into uneven chunks; axes of length one
    // first, between and last; two axes of which the slower is the longer.
    for (const auto& [sizes, chunk] : std::vector<std::pair<std::vector<std::size_t>, std::size_t>>{
             {{7}, 3}, {{7}, 1 << 20}, {{1, 4, 1}, 3}, {{3, 1, 2}, 1}, {{6, 2}, 5}, {{1}, 1}})
        expect_every_value_at_its_point(dir, shape(sizes), chunk);
    // A body given by its layers: its layers' powers land likewise, in one chunk, chunks of
    // four points and a chunk per point.
    for (const std::size_t chunk : {std::size_t{1} << 20, std::size_t{4}, std::size_t{1}})
        expect_every_value_at_its_point(dir, layered(), chunk);

    // A table of points: the one axis "point", numbered from 1, and each key of the table a
    // variable over it, numbers or texts, in the table's order.
    StudyShape table = shape({5});
    table.axes[0] = StudyAxis{"point", "point", "1", "", {1, 2, 3, 4, 5}, {}};
    table.table_keys = {StudyAxis{"shell_thickness", "shell.thickness", "m", "", {9e3, 8e3, 7e3, 6e3, 5e3}, {}},
                        StudyAxis{"shell_rheology", "shell.rheology", "", "", {}, {"maxwell", "andrade", "maxwell", "sundberg_cooper", "burgers"}}};
    expect_every_value_at_its_point(dir, table, 2);
    const Opened f(written(dir, "table.nc", 2 * kRheologies.size() * kEtas.size(), table));
    EXPECT_EQ(f.values("shell_thickness"), table.table_keys[0].numbers);
    int var = -1;
    ASSERT_EQ(nc_inq_varid(f.id, "shell_rheology", &var), NC_NOERR);
    std::vector<char*> texts(5, nullptr);
    ASSERT_EQ(nc_get_var_string(f.id, var, texts.data()), NC_NOERR);
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.end()), table.table_keys[1].texts);
    nc_free_string(texts.size(), texts.data());
    std::filesystem::remove_all(dir);
}

TEST(StudyNetcdf, PointsItHasNoPlaceForAreRefusedAndNothingIsWritten) {
    const auto dir = testing_scratch::scratch_dir("tidal_study_netcdf_test");
    const auto refused = [&](auto&& act) {
        const std::string path = (dir / "cube.nc").string();
        bool threw = false;
        try {
            StudyNetcdfWriter w(path, shape(), 4);
            act(w);
        } catch (const OutputError&) {
            threw = true;
        }
        EXPECT_FALSE(std::filesystem::exists(path));
        return threw;
    };
    // Too few points at the close, one too many.
    EXPECT_TRUE(refused([](StudyNetcdfWriter& w) {
        for (std::size_t p = 0; p + 1 < points(); ++p)
            w.add(point(p));
        w.close();
    }));
    EXPECT_TRUE(refused([](StudyNetcdfWriter& w) {
        for (std::size_t p = 0; p <= points(); ++p)
            w.add(point(p));
    }));
    // A rheology or a viscosity the shape does not hold: refused as the point is added, its
    // chunk (every point of the study) far from full, and named. Caught: the check left to
    // the chunk's put (the study computed every point of the chunk before it was told).
    const auto refused_as_added = [&](StudyPointRows bad, const std::string& what) {
        const std::string path = (dir / "cube.nc").string();
        {
            StudyNetcdfWriter w(path, shape(), std::size_t{1} << 30);
            w.add(point(0));
            try {
                w.add(std::move(bad));
                ADD_FAILURE() << "point 2 accepted: " << what;
            } catch (const OutputError& e) {
                EXPECT_NE(std::string(e.what()).find("point 2 has " + what), std::string::npos)
                    << e.what();
            }
        }
        EXPECT_FALSE(std::filesystem::exists(path));
    };
    StudyPointRows other_rheology = point(1);
    other_rheology.rheologies[0] = "burgers";
    refused_as_added(other_rheology, "rheology burgers");
    StudyPointRows other_viscosity = point(1);
    other_viscosity.rows[1].eta = std::nextafter(kEtas[1], 2e14);
    refused_as_added(other_viscosity, "a viscosity outside its sweep");
    // A body given by its layers: a point without the powers of both layers is refused as it
    // is added; one with them is taken.
    const auto refused_by_layered = [&](StudyPointRows candidate) {
        const std::string path = (dir / "cube.nc").string();
        bool threw = false;
        {
            StudyNetcdfWriter w(path, layered(), std::size_t{1} << 30);
            w.add(point(0, 2));
            try {
                w.add(std::move(candidate));
            } catch (const OutputError& e) {
                threw = std::string(e.what()).find("point 2 has not the study's 2 body layers") !=
                        std::string::npos;
                EXPECT_TRUE(threw) << e.what();
            }
        }
        EXPECT_FALSE(std::filesystem::exists(path));
        return threw;
    };
    EXPECT_TRUE(refused_by_layered(point(1)));
    EXPECT_TRUE(refused_by_layered(point(1, 1)));
    EXPECT_TRUE(refused_by_layered(point(1, 3)));
    EXPECT_FALSE(refused_by_layered(point(1, 2)));
    // Abandoned part way: nothing written either, and nothing refused.
    EXPECT_FALSE(refused([](StudyNetcdfWriter& w) { w.add(point(0)); }));
    EXPECT_FALSE(refused([](StudyNetcdfWriter&) {}));
    // Every point added and closed: written.
    EXPECT_TRUE(std::filesystem::exists(written(dir, "complete.nc", 4)));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace tidal
