// study.nc built point by point: every value lands where the study's order puts its point,
// whatever the chunks, and the file refuses points it has no place for.
#include <gtest/gtest.h>

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

StudyShape shape() {
    StudyShape s;
    const std::vector<std::string> names = {"shell_thickness", "orbit_eccentricity",
                                            "orbit_obliquity"};
    for (std::size_t a = 0; a < kSizes.size(); ++a) {
        StudyAxis axis{names[a], names[a], "1", "", {}, {}};
        for (std::size_t i = 0; i < kSizes[a]; ++i)
            axis.numbers.push_back(static_cast<double>(10 * (a + 1) + i));
        s.axes.push_back(axis);
    }
    s.rheologies = kRheologies;
    s.viscosities = kEtas;
    s.source = "test";
    return s;
}

// Point p's rows: every quantity of every rheology a value of its own. Some points lack a
// rheology (the second) or a viscosity (the first), which the cube holds as NaN.
StudyPointRows point(std::size_t p) {
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
        }
        out.rows.push_back(row);
    }
    return out;
}

std::size_t points() { return kSizes[0] * kSizes[1] * kSizes[2]; }

std::string written(const std::filesystem::path& dir, const std::string& name,
                    std::size_t chunk_values) {
    const std::string path = (dir / name).string();
    StudyNetcdfWriter w(path, shape(), chunk_values);
    for (std::size_t p = 0; p < points(); ++p)
        w.add(point(p));
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

TEST(StudyNetcdf, EveryValueLandsAtItsPointWhateverTheChunks) {
    const auto dir = testing_scratch::scratch_dir("tidal_study_netcdf_test");
    const std::size_t block = kRheologies.size() * kEtas.size();
    // One chunk for all; chunks of 4 points (2 x 2, the last of each row of the middle axis
    // a single pair); a chunk per point.
    const std::string whole = written(dir, "whole.nc", 1 << 20);
    const std::string fours = written(dir, "fours.nc", 4 * block);
    const std::string ones = written(dir, "ones.nc", 1);
    for (const SummaryVariable& v : summary_variables()) {
        const std::string name(v.name);
        std::vector<double> expected(points() * block, std::numeric_limits<double>::quiet_NaN());
        for (std::size_t p = 0; p < points(); ++p) {
            const StudyPointRows rows = point(p);
            for (std::size_t r = 0; r < rows.rheologies.size(); ++r) {
                const std::size_t ri = rows.rheologies[r] == "maxwell" ? 0 : 1;
                for (const SummaryRow& row : rows.rows) {
                    const std::size_t k = static_cast<std::size_t>(
                        std::find(kEtas.begin(), kEtas.end(), row.eta) - kEtas.begin());
                    expected[(p * kRheologies.size() + ri) * kEtas.size() + k] = v.value(row, r);
                }
            }
        }
        for (const std::string& file : {whole, fours, ones}) {
            std::vector<std::size_t> chunks;
            const std::vector<double> got = Opened(file).values(name, &chunks);
            ASSERT_EQ(got.size(), expected.size()) << file << " " << name;
            for (std::size_t i = 0; i < got.size(); ++i)
                ASSERT_EQ(std::bit_cast<std::uint64_t>(got[i]),
                          std::bit_cast<std::uint64_t>(expected[i]))
                    << file << " " << name << " value " << i;
            if (file == fours) {
                EXPECT_EQ(chunks, (std::vector<std::size_t>{1, 2, 2, 2, 3}));
            }
            if (file == whole) {
                EXPECT_EQ(chunks, (std::vector<std::size_t>{3, 5, 2, 2, 3}));
            }
        }
    }
    // The coordinates, as given.
    const Opened f(fours);
    EXPECT_EQ(f.values("orbit_eccentricity"), (std::vector<double>{20, 21, 22, 23, 24}));
    EXPECT_EQ(f.values("viscosity"), kEtas);
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
    // A rheology or a viscosity the shape does not hold.
    EXPECT_TRUE(refused([](StudyNetcdfWriter& w) {
        StudyPointRows p = point(0);
        p.rheologies[1] = "burgers";
        w.add(p);
        w.add(point(1));
    }));
    EXPECT_TRUE(refused([](StudyNetcdfWriter& w) {
        StudyPointRows p = point(0);
        p.rows[1].eta = std::nextafter(kEtas[1], 2e14);
        w.add(p);
        w.add(point(1));
    }));
    // Abandoned part way: nothing written either, and nothing refused.
    EXPECT_FALSE(refused([](StudyNetcdfWriter& w) { w.add(point(0)); }));
    EXPECT_FALSE(refused([](StudyNetcdfWriter&) {}));
    // Every point added and closed: written.
    EXPECT_TRUE(std::filesystem::exists(written(dir, "complete.nc", 4)));
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace tidal
