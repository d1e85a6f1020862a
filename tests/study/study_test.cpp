// Study files and tables: the points of axes in the file's order with their values to the bit,
// CSV tables with quoted fields, type and range errors naming the point, the study table from
// the points' peaks, and the unit numbering that orders a study's writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <tuple>
#include <variant>

#include "files/body_file.hpp"
#include "files/result_file.hpp"
#include "study/points_csv.hpp"
#include "study/study_directory.hpp"
#include "study/study_file.hpp"
#include "study/study_job.hpp"
#include "study/study_table.hpp"
#include "scratch_dir.hpp"
#include "test_data.hpp"

namespace tidal {
namespace {

Study read_ok(const std::string& text) {
    auto s = read_study(text, "s.toml");
    if (const auto* e = std::get_if<StudyError>(&s)) ADD_FAILURE() << e->message;
    return std::holds_alternative<Study>(s) ? std::get<Study>(s) : Study{};
}

std::string error_of(const std::string& text) {
    auto s = read_study(text, "s.toml");
    return std::holds_alternative<StudyError>(s) ? std::get<StudyError>(s).message : "no error";
}

TEST(StudyFile, AxesInFileOrderFirstSlowestWithExactValues) {
    // The keys are not in alphabetical order: the file's order decides.
    const Study s = read_ok("base = 3\n[axes]\n"
                            "\"shell.thickness\" = [1.0000000000000002e4, 2e4]\n"
                            "\"orbit.eccentricity\" = [0.1, 0.2, 0.30000000000000004]\n"
                            "\"numerics.layers\" = [7]\n");
    ASSERT_EQ(s.points.size(), 6u);
    EXPECT_EQ(s.keys, (std::vector<std::string>{"shell.thickness", "orbit.eccentricity",
                                                "numerics.layers"}));
    EXPECT_EQ(std::tuple(s.points[0].body.thickness, s.points[2].body.eccentricity, s.points[3].body.thickness,
                         s.points[3].body.eccentricity, s.points[5].body.layers),
              std::tuple(1.0000000000000002e4, 0.30000000000000004, 2e4, 0.1, 7));
    EXPECT_EQ(s.points[4].values, (std::vector<std::string>{"20000.0", "0.2", "7"}));
}

TEST(StudyFile, MethodChoosesStepsOrSteadyStatesAndIsNoBodyKey) {
    const std::string axes = "[axes]\n\"orbit.eccentricity\" = [0.1]\n";
    const Study time = read_ok("base = 3\n" + axes);
    const Study steady = read_ok("base = 3\nmethod = \"steady\"\n" + axes);
    EXPECT_EQ(std::tuple(time.steady, steady.steady, read_ok("base = 3\nmethod = \"time\"\n" + axes).steady),
              std::tuple(false, true, false));
    // The method changes how the points run, not the bodies.
    EXPECT_EQ(write_body(time.points[0].body, ""), write_body(steady.points[0].body, ""));
}

TEST(StudyFile, BodySectionsApplyToEveryPoint) {
    // Sections within sections too, and an axis of rheology lists.
    const Study s = read_ok("base = 1\n[sweep]\nsteps_per_decade = 4\n"
                            "[rheology.andrade]\nalpha = 0.25\n[axes]\n"
                            "\"rheology.models\" = [[\"maxwell\"], [\"andrade\", \"burgers\"]]\n");
    ASSERT_EQ(s.points.size(), 2u);
    for (const StudyPoint& p : s.points)
        EXPECT_EQ(std::tuple(p.body.steps_per_decade, p.body.rheology.of<Andrade>().alpha), std::tuple(4, 0.25));
    EXPECT_EQ(s.points[1].body.models,
              (std::vector<Rheology>{Rheology::Burgers, Rheology::Andrade}));
}

TEST(StudyFile, BadInputIsOneLineNamingWhereAndWhat) {
    const std::pair<const char*, const char*> cases[] = {
        // A float where an integer belongs stays a float, and is refused.
        {"base = 3\n[axes]\n\"numerics.layers\" = [8, 9.0]\n", "point 2: numerics.layers=9.0"},
        {"base = 3\n[axes]\n\"orbit.eccentricity\" = [0.1, 1.5]\n", "point 2: orbit.eccentricity"},
        {"base = 3\n[axes]\n\"shell.thicknes\" = [1e4]\n", "did you mean shell.thickness?"},
        {"base = 9\n[axes]\n\"orbit.eccentricity\" = [0.1]\n", "base: expected a preset"},
        {"base = 3\n[axes]\n\"orbit.eccentricity\" = []\n", "one or more values"},
        {"base = 3\npoints = \"p.csv\"\n[axes]\n\"orbit.eccentricity\" = [0.1]\n", "give one"},
        {"base = 3\n", "no points"},
        {"bsae = 3\n[axes]\n\"orbit.eccentricity\" = [0.1]\n", "s.toml:1: bsae: unknown key"},
        {"base = 3\n[axis]\n\"orbit.eccentricity\" = [0.1]\n",
         "s.toml:2: [axis]: unknown section (did you mean [axes]?)"},
        {"base = 3\n[numerics]\nlayers = 0\n[axes]\n\"orbit.eccentricity\" = [0.1]\n",
         "numerics.layers"},
        {"base = 3\nmethod = \"fast\"\n[axes]\n\"orbit.eccentricity\" = [0.1]\n",
         "s.toml:2: method: expected \"time\" or \"steady\""},
    };
    for (const auto& [text, expected] : cases) {
        const std::string m = error_of(text);
        EXPECT_NE(m.find(expected), std::string::npos) << m;
        EXPECT_EQ(m.find('\n'), std::string::npos) << m;
    }
}

TEST(PointsCsv, QuotedFieldsBlankLinesAndErrors) {
    auto t = read_points_csv("a, b\r\n\n1,\"[1, 2]\"\n\" x\"\"y\" ,3\n", "p.csv");
    ASSERT_TRUE(std::holds_alternative<PointTable>(t));
    const PointTable& p = std::get<PointTable>(t);
    EXPECT_EQ(std::tuple(p.keys, p.rows, p.lines),
              std::tuple(std::vector<std::string>{"a", "b"},
                         std::vector<std::vector<std::string>>{{"1", "[1, 2]"}, {" x\"y", "3"}},
                         std::vector<int>{3, 4}));
    for (const auto& [text, expected] : {std::pair{"a,b\n1\n", "p.csv:2: 1 values for 2 keys"},
                                         {"a,a\n1,2\n", "named twice"},
                                         {"a\n\"1\n", "not closed"},
                                         {"a,b\n1,\n", "p.csv:2: b: no value"},
                                         {"a\n", "no points"}}) {
        auto bad = read_points_csv(text, "p.csv");
        ASSERT_TRUE(std::holds_alternative<PointTableError>(bad)) << text;
        EXPECT_NE(std::get<PointTableError>(bad).message.find(expected), std::string::npos)
            << std::get<PointTableError>(bad).message;
    }
}

TEST(StudyTable, PeaksAndWorstTransientsAsThePointWroteThem) {
    const auto dir = testing_scratch::scratch_dir("tidal_study_test");
    std::filesystem::create_directories(dir / "point-00001");
    std::ofstream(dir / "point-00001" / "peaks.csv", std::ios::binary)
        << "rheology,viscosity_Pa_s,power_W,refined_power_W\r\n"
           "maxwell,1e+14,2.5,\r\nkelvin_voigt,3e+15,4.0000000000000001e+21,7\r\n";
    std::ofstream(dir / "point-00001" / "summary.csv", std::ios::binary)
        << "viscosity_Pa_s,maxwell_transient,kelvin_voigt_transient,maxwell_k2_imag,"
           "maxwell_grid_error\r\n"
           "1e+14,0.5,-1e-9,-0.125,1e-4\r\n1e+15,-0.75,2e-9,-0.5,2e-4\r\n"
           "1e+16,0.25,-3e-09,-0.25,3e-4\r\n";
    std::optional<StudyDirectory> study_dir(std::in_place, dir.string());
    const PointPeaks p = read_point_peaks(*study_dir, 0);
    EXPECT_THROW(read_point_peaks(*study_dir, 1), OutputError); // no such point
    study_dir.reset();
    std::filesystem::remove_all(dir);
    std::vector<std::string> columns;
    for (const std::string r : {"maxwell", "kelvin_voigt"})
        for (const std::string q : {"viscosity_Pa_s", "power_W", "refined_power_W"})
            columns.push_back(r + "_peak_" + q);
    columns.insert(columns.end(), {"maxwell_worst_transient", "kelvin_voigt_worst_transient"});
    // The Love numbers, then the grid errors after every Love number: the columns study.csv had
    // keep their places.
    for (const auto& quantities : {std::vector<std::string>{"h2_real", "h2_imag", "k2_real", "k2_imag", "minus_im_k2", "tidal_q"},
                                   std::vector<std::string>{"grid_error", "h2_grid_error", "k2_grid_error"}})
        for (const std::string r : {"maxwell", "kelvin_voigt"})
            for (const std::string& q : quantities)
                columns.push_back(r + "_peak_" + q);
    EXPECT_EQ(p.columns, columns);
    // The Love numbers of the peak's own row; none where summary.csv lacks the column or row.
    EXPECT_EQ(std::vector<std::string>(p.values.begin() + 8, p.values.end()),
              (std::vector<std::string>{"", "", "", "-0.125", "", "", "", "", "", "", "", "",
                                        "1e-4", "", "", "", "", ""}));
    EXPECT_EQ(p.worst_transient, 0.75); // the largest in magnitude, of either sign
    Study s;
    s.keys = {"name"};
    s.points.push_back({{"\"a, b\""}, {}});
    // The texts are copied, not read and written again; a field with a comma is quoted.
    EXPECT_EQ(study_table(s, {p}).substr(study_table(s, {p}).find('\n') + 1),
              "point-00001,\"\"\"a, b\"\"\",1e+14,2.5,,3e+15,4.0000000000000001e+21,7,-0.75,"
              "-3e-09,,,,-0.125,,,,,,,,,1e-4,,,,,\n");
}

// Deliberate fault this catches: the files located from the shortened name of messages.
TEST(StudyFile, APointsTableIsFoundBesideTheStudyFile) {
    // A path longer than messages show it (they shorten it): the files are found all the same.
    const auto dir = testing_scratch::scratch_dir(
        "tidal_study_beside_a_directory_whose_name_is_longer_than_a_message_shows");
    std::filesystem::create_directories(dir / "sub");
    std::ofstream(dir / "sub" / "s.toml") << "base = 3\npoints = \"points.csv\"\n";
    std::ofstream(dir / "sub" / "points.csv") << "orbit.eccentricity\n0.03\n";
    std::ofstream(dir / "points.csv") << "orbit.eccentricity\n0.05\n"; // not this one
    const auto s = read_study_file((dir / "sub" / "s.toml").string());
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(std::holds_alternative<Study>(s)) << std::get<StudyError>(s).message;
    ASSERT_EQ(std::get<Study>(s).points.size(), 1u);
    EXPECT_EQ(std::get<Study>(s).points[0].body.eccentricity, 0.03);
}

TEST(StudyTable, PointsWithOtherColumnsAreRefused) {
    // An axis of rheology.models gives points of other rheologies, so other peak columns: no
    // table can hold them.
    const Study s = read_ok("base = 1\n[axes]\n"
                            "\"rheology.models\" = [[\"maxwell\"], [\"andrade\"]]\n");
    const PointPeaks maxwell{{"maxwell_peak_viscosity_Pa_s", "maxwell_peak_power_W"}, {"1e+14", "2.5"}};
    const PointPeaks andrade{{"andrade_peak_viscosity_Pa_s", "andrade_peak_power_W"}, {"1e+14", "3.5"}};
    const std::string m = thrown<OutputError>([&] { (void)study_table(s, {maxwell, andrade}); });
    EXPECT_NE(m.find("point-00002 have other columns"), std::string::npos) << m;
}

TEST(StudyJob, UnitsRunPointByPointInSweepOrder) {
    Body a, b;
    a.log10_viscosity_min = b.log10_viscosity_min = 10.0;
    a.log10_viscosity_max = 12.0; // 41 viscosities: 6 batches of 8 lanes
    b.log10_viscosity_max = 10.0; // 1 viscosity: 1 batch
    a.steps_per_decade = b.steps_per_decade = 20;
    const StudyJob job({a, b, a}, {0, 4, 5});
    ASSERT_EQ(job.units(), 13);
    EXPECT_EQ(job.locate(5), (std::pair{0, 5}));
    EXPECT_EQ(job.locate(6), (std::pair{1, 0}));
    EXPECT_EQ(job.locate(12), (std::pair{2, 5}));
    EXPECT_EQ(job.number(1), 4);
    EXPECT_EQ(job.batch_size(0, 5), 1);

    // A steady study: each point's whole sweep is one unit.
    const StudyJob steady({a, b, a}, {0, 4, 5}, {}, true);
    ASSERT_EQ(steady.units(), 3);
    EXPECT_EQ(steady.locate(1), (std::pair{1, 0}));
    EXPECT_EQ(steady.batch_size(0, 0), 41);
    EXPECT_EQ(steady.batch_size(1, 0), 1);
}

// --series in a study: every point's sweep must hold the viscosities asked for, and the one
// that does not is named by its number in the study (from 1). Caught: the point named from 0.
TEST(StudyJob, ASeriesOutsideAPointsSweepNamesThatPoint) {
    Body wide, narrow;
    wide.log10_viscosity_min = narrow.log10_viscosity_min = 10.0;
    wide.log10_viscosity_max = 12.0;
    narrow.log10_viscosity_max = 10.0;
    EXPECT_EQ(study_series_error({wide, narrow}, {}), std::nullopt);
    EXPECT_EQ(study_series_error({wide, narrow}, {1e10}), std::nullopt);
    const auto e = study_series_error({wide, narrow, wide}, {1e10, 1e12});
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->rfind("point 2: option --series 1e+12 lies outside the swept viscosities", 0), 0u) << *e;
    const auto first = study_series_error({narrow, wide}, {1e12});
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->rfind("point 1: ", 0), 0u) << *first;
}

} // namespace
} // namespace tidal
