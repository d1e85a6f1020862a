// What a study takes from its points without reading their text back the slow way: the tables
// split in place must be the tables the general CSV reader gives, and the summary rows kept in
// memory must be the rows study.nc would parse back out of summary.csv, to the bit; a point
// written into a journal (its profile and Love tables dropped, its rows trimmed to the
// summary's columns) must write the summary and peaks of a point written to disk.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "engine/engine.hpp"
#include "files/body_file.hpp"
#include "files/line_sink.hpp"
#include "files/result_directory.hpp"
#include "files/run_output.hpp"
#include "files/tables.hpp"
#include "same_records.hpp"
#include "shell_fixtures.hpp"
#include "scratch_dir.hpp"
#include "study/csv_fields.hpp"
#include "study/points_csv.hpp"
#include "study/study_cube.hpp"
#include "study/study_directory.hpp"
#include "study/study_file.hpp"
#include "study/study_results.hpp"
#include "test_data.hpp"

namespace tidal {
namespace {

// The engine of the layered body of tests/data swept from 1e13 to 1e15 Pa s, with `more` keys.
Engine layered_engine(std::vector<std::string> more) {
    more.insert(more.begin(), {"sweep.log10_viscosity_min=13.0", "sweep.log10_viscosity_max=15.0"});
    return Engine(read_ok(test_data("layered_body.toml"), more));
}

std::vector<std::string> fields_of(const CsvFields& t, std::size_t r) {
    return {t[r].begin(), t[r].end()};
}

// Deliberate faults this caught: the last field of every line dropped by the in-place split
// (`k == kComma` alone pushing a field); an empty line taken for a row of one empty field.
TEST(StudyReadBack, TablesSplitInPlaceAsTheGeneralReaderSplitsThem) {
    struct Case {
        std::string text;
        bool in_place; // the split in place applies
    };
    const std::vector<Case> cases = {
        {"viscosity_Pa_s,maxwell_power_W\n1e+14,2.5\n1e+15,-3e-09\n", true},
        {"a,b,c\n\n\n1,,3\n,\n", true}, // empty fields, empty lines
        {"a,b\n1,2", true},             // no line feed at the end
        {"x", true},
        {"", true},
        {"\"a, b\",c\n1,\"say \"\"hi\"\"\"\n", false}, // quoted fields
        {" a , b \n\t1,2\n", false},                   // blanks trimmed
        {"a,b\r\n1,2\r\n\r\n", false},                 // carriage returns, a blank line
        // Fields longer than a word of eight bytes, commas, line ends, a quote or a blank at
        // every place in one.
        {"viscosity_Pa_s,1.2345678901234567e+15,x\nabcdefgh,ijklmnopq\nrstuvwxyz0123456", true},
        {"abcdefghijk\"l\"\n", false},
        {"abcdefghijklmn opq\n", false},
        {"abcdefghijklmnopqrstuvw\tx\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const CsvFields split(c.text, "t.csv");
        const auto read = read_csv_rows(c.text, "t.csv");
        ASSERT_TRUE(std::holds_alternative<std::vector<std::vector<std::string>>>(read));
        const auto& rows = std::get<std::vector<std::vector<std::string>>>(read);
        EXPECT_EQ(split.verbatim(), c.in_place);
        ASSERT_EQ(split.size(), rows.size());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            EXPECT_EQ(fields_of(split, r), rows[r]) << "row " << r;
            if (!split.verbatim()) continue;
            // The row's stretch of text is its fields with commas between.
            std::string joined;
            for (std::size_t f = 0; f < rows[r].size(); ++f)
                joined += (f ? "," : "") + rows[r][f];
            EXPECT_EQ(split.line(r), joined) << "row " << r;
        }
    }
    EXPECT_THROW(CsvFields("a,\"b\n", "t.csv"), OutputError);
}

double bits(std::uint64_t b) {
    return std::bit_cast<double>(b);
}

// Deliberate fault this caught: a NaN kept with its own payload instead of the NaN its text
// "nan" reads back as (the hypercube of a study would then differ from the one built from its
// journal after a resume).
TEST(StudyReadBack, RowsKeptInMemoryAreTheRowsTheSummaryReadsBackAs) {
    const std::vector<std::string> names = {"maxwell", "andrade"};
    const std::vector<std::string_view> views = {"maxwell", "andrade"};
    // Values whose text is no plain decimal: NaNs with a payload and a sign, infinities, a
    // negative zero, the smallest denormal, a whole number past 1e15 (written with an
    // exponent), and some that need all 17 digits.
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> special = {bits(0x7ff8000000000123), -bits(0x7ff8000000000000), inf, -inf, -0.0, bits(1),
                                         1e21, 0.1, 1.0 / 3.0, -2.5e-300};
    std::vector<SummaryRow> rows;
    std::size_t next = 0;
    const auto value = [&] { return special[next++ % special.size()]; };
    for (int r = 0; r < 7; ++r) {
        SummaryRow row;
        row.eta = r == 3 ? value() : 1e13 * (r + 1);
        for (std::size_t i = 0; i < names.size(); ++i) {
            RheologySummary v{value(), value(), value(), value(), value(), value(), value()};
            row.values.push_back(v);
            // Empty values stay empty: a sweep without time runs has no transient.
            row.steady.push_back(
                {value(), value(), std::nullopt, r % 2 ? std::optional(value()) : std::nullopt});
            row.love.push_back({value(), value(), value(), value(), value(), std::nullopt});
            row.grid.push_back({value(), std::nullopt, value()});
            // The extrapolated values (numerics.extrapolate), which the summary shows too.
            row.extrapolated.push_back({value(), value(), value(), value(), value(), std::nullopt});
            // What summary.csv does not show, and study.nc must not hold either.
            SurfaceLoveSummary surface;
            surface.h2_real = value();
            surface.l2_imag = value();
            row.surface_love.push_back(surface);
            row.profile.push_back({{1, 2.0, 1.0, value(), value(), "ice"}});
        }
        rows.push_back(row);
    }
    std::string text = summary_header(views, true);
    for (const SummaryRow& row : rows)
        text += summary_record(row.eta, row.values, row.steady, row.love, row.grid, row.extrapolated);
    const StudyPointRows parsed = point_rows(CsvFields(text, "summary.csv"), "summary.csv", names);
    const StudyPointRows kept = rows_as_read_back(rows, names);
    EXPECT_EQ(kept.rheologies, parsed.rheologies);
    ASSERT_EQ(kept.rows.size(), parsed.rows.size());
    for (std::size_t r = 0; r < kept.rows.size(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        expect_same_record(kept.rows[r], parsed.rows[r]);
    }
}

// Deliberate fault this caught: the layers' powers left out of a row trimmed to the summary's
// columns (a body given by its layers then wrote a journal summary short of its last columns).
TEST(StudyReadBack, AJournalPointWritesTheSummaryAndPeaksOfAPointOnDisk) {
    const Engine engine = layered_engine({"sweep.steps_per_decade=4", "rheology.models=[\"maxwell\", \"andrade\"]"});
    ASSERT_FALSE(engine.body().interior.empty());
    const std::vector<SteadySweepRow> sweep = engine.steady(engine.swept());
    DiscardedLines console;

    ResultDirectory memory(ResultDirectory::InMemory{{"summary.csv", "peaks.csv"}});
    std::vector<SummaryRow> kept;
    write_steady_tables(memory, console, engine.model(), sweep, {}, nullptr, &kept);

    const auto dir = testing_scratch::scratch_dir("tidal_read_back_test");
    {
        ResultDirectory disk(dir.string());
        write_steady_tables(disk, console, engine.model(), sweep, {});
        disk.publish();
    }
    const std::string summary = file_text(dir / "summary.csv");
    EXPECT_EQ(memory.text("summary.csv"), summary);
    EXPECT_EQ(memory.text("peaks.csv"), file_text(dir / "peaks.csv"));
    std::filesystem::remove_all(dir);

    const std::vector<std::string> names = {"maxwell", "andrade"};
    ASSERT_EQ(kept.size(), sweep.size());
    EXPECT_TRUE(kept.front().profile.empty());
    const StudyPointRows parsed = point_rows(CsvFields(summary, "summary.csv"), "summary.csv", names);
    const StudyPointRows from_memory = rows_as_read_back(kept, names);
    ASSERT_EQ(from_memory.rows.size(), parsed.rows.size());
    for (std::size_t r = 0; r < parsed.rows.size(); ++r)
        expect_same_record(from_memory.rows[r], parsed.rows[r]);
}

// The study's files are built as points are published: whatever order they come in, from
// whichever threads, with their rows in hand or read back, and with some published by an
// earlier run, the files are the same bytes. A point never published is reported at the end
// and leaves no study.nc; files abandoned part way leave none either.
// A steady study of five eccentricities of the layered body (five viscosities each), and the
// publication of its points into a study directory's journal.
struct FivePoints {
    Study study;
    std::vector<Engine> engines;
    std::vector<std::vector<SteadySweepRow>> sweeps;
    std::vector<std::string> names;

    FivePoints() {
        study.steady = true;
        study.keys = {"orbit.eccentricity"};
        study.axes = {{"0.001", "0.002", "0.003", "0.004", "0.005"}};
        engines.reserve(study.axes[0].size());
        for (const std::string& e : study.axes[0]) {
            engines.emplace_back(read_ok(test_data("layered_body.toml"),
                                         {"sweep.log10_viscosity_min=13.0",
                                          "sweep.log10_viscosity_max=15.0",
                                          "sweep.steps_per_decade=2", "orbit.eccentricity=" + e}));
            sweeps.push_back(engines.back().steady(engines.back().swept()));
            study.points.push_back({{e}, engines.back().body()});
        }
        names = point_rheologies(study, 0);
    }

    // Publishes point p into the study's journal; its rows as study.nc takes them.
    StudyPointRows publish(StudyDirectory& d, int p) const {
        DiscardedLines console;
        std::unique_ptr<ResultDirectory> point = d.begin_point(p);
        std::vector<SummaryRow> kept;
        const std::size_t at = static_cast<std::size_t>(p);
        write_steady_tables(*point, console, engines[at].model(), sweeps[at], {}, nullptr, &kept);
        point->publish();
        d.publish_point(p, std::move(point));
        return rows_as_read_back(kept, names);
    }

    // The bytes of study.csv, study_sweep.csv and study.nc of a finished study in `dir`.
    static std::vector<std::string> files_in(const std::filesystem::path& dir) {
        std::vector<std::string> out;
        for (const char* f : {"study.csv", "study_sweep.csv", "study.nc"})
            out.push_back(file_text(dir / f));
        return out;
    }
};

TEST(StudyReadBack, TheStudysFilesAreTheSameBytesWhateverOrderThePointsComeIn) {
    const FivePoints five;
    const Study& study = five.study;
    const auto publish = [&](StudyDirectory& d, int p) { return five.publish(d, p); };
    // The bytes of the three files after publishing `before` first (an earlier run), then the
    // rest of `order` on two threads, alternately with and without their rows.
    const auto files = [&](std::vector<int> order, std::size_t before) {
        const auto dir = testing_scratch::scratch_dir("tidal_read_back_test");
        {
            StudyDirectory d(dir.string(), false);
            for (std::size_t i = 0; i < before; ++i)
                publish(d, order[i]);
            StudyResults results(study, d, 2);
            std::mutex journal; // one point appended at a time, as the study's writer does
            const auto half = [&](std::size_t parity) {
                for (std::size_t i = before; i < order.size(); ++i) {
                    if (i % 2 != parity) continue;
                    std::optional<StudyPointRows> rows;
                    {
                        const std::lock_guard lock(journal);
                        rows = publish(d, order[i]);
                    }
                    results.published(order[i], i % 4 < 2 ? std::move(rows) : std::nullopt);
                }
            };
            {
                std::jthread other(half, 1);
                half(0);
            }
            EXPECT_EQ(results.finish().size(), study.points.size());
            d.publish_files();
        }
        std::vector<std::string> out = FivePoints::files_in(dir);
        std::filesystem::remove_all(dir);
        return out;
    };
    const std::vector<std::string> in_order = files({0, 1, 2, 3, 4}, 0);
    ASSERT_EQ(in_order.size(), 3u);
    EXPECT_NE(in_order[1].find("point-00005"), std::string::npos);
    EXPECT_EQ(files({4, 2, 0, 3, 1}, 0), in_order);
    EXPECT_EQ(files({3, 1, 4, 0, 2}, 2), in_order);
    EXPECT_EQ(files({0, 1, 2, 3, 4}, 5), in_order);

    // Point 4 never published: finish() names it (and abandoned without finish(), nothing
    // is published).
    for (const bool finished : {true, false}) {
        const auto dir = testing_scratch::scratch_dir("tidal_read_back_test");
        std::string error;
        {
            StudyDirectory d(dir.string(), false);
            StudyResults results(study, d, 2);
            for (const int p : {0, 1, 2, 4})
                results.published(p, publish(d, p));
            if (finished) {
                try {
                    results.finish();
                } catch (const OutputError& e) {
                    error = e.what();
                }
            }
        }
        if (finished) {
            EXPECT_NE(error.find("point 4 of the study was never published"), std::string::npos)
                << error;
        }
        EXPECT_EQ(error.empty(), !finished) << error;
        std::filesystem::remove_all(dir);
    }
}

// The rows handed over wait for the taking thread in a bounded backlog: while the taking
// thread is held (a slow disk) with one point's rows waiting, the next point's publication
// waits too; a point it cannot yet take (one before it missing) never waits, so points
// published out of order cannot stall the study. Either way the files are those of a study
// published in order with no bound. Caught: the wait left out (the second publication
// returned while the thread was held); the wait asked for any point (the study stalled on
// points published after a missing one).
TEST(StudyReadBack, PublishedRowsWaitForTheTakingThreadBeyondTheirBound) {
    const FivePoints five;
    const std::size_t per_point = five.sweeps[0].size();
    const auto study_of = [&](const std::vector<int>& order, bool hold) {
        const auto dir = testing_scratch::scratch_dir("tidal_read_back_test");
        std::size_t peak = 0;
        {
            StudyDirectory d(dir.string(), false);
            StudyResults results(five.study, d, 2, per_point); // one point's rows at most
            results.hold_taking(hold);
            std::atomic<int> returned{0};
            std::jthread publisher([&] {
                for (const int p : order) {
                    results.published(p, five.publish(d, p));
                    ++returned;
                }
            });
            if (hold) {
                // The first point's rows fill the backlog (its journal record synced first,
                // however slow the disk); the second must then wait for them.
                for (int waited = 0; returned.load() < 1 && waited < 60000; waited += 10)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                EXPECT_EQ(returned.load(), 1) << "published while the taking thread was held";
                results.hold_taking(false);
            }
            publisher.join();
            EXPECT_EQ(results.finish().size(), five.study.points.size());
            peak = results.peak_held_rows();
            d.publish_files();
        }
        std::vector<std::string> out = FivePoints::files_in(dir);
        std::filesystem::remove_all(dir);
        return std::pair{out, peak};
    };
    // Unbounded and in order: the files to match.
    std::vector<std::string> expected;
    {
        const auto dir = testing_scratch::scratch_dir("tidal_read_back_test");
        {
            StudyDirectory d(dir.string(), false);
            StudyResults results(five.study, d, 2);
            for (int p = 0; p < 5; ++p)
                results.published(p, five.publish(d, p));
            results.finish();
            d.publish_files();
        }
        expected = FivePoints::files_in(dir);
        std::filesystem::remove_all(dir);
    }
    const auto [held_files, held_peak] = study_of({0, 1, 2, 3, 4}, true);
    EXPECT_EQ(held_files, expected);
    EXPECT_EQ(held_peak, per_point); // never two points' rows at once
    // Point 0 last: the four before it wait in the backlog beyond its bound, and nothing stalls.
    const auto [late_files, late_peak] = study_of({1, 2, 3, 4, 0}, false);
    EXPECT_EQ(late_files, expected);
    EXPECT_GE(late_peak, 4 * per_point);
}

// Deliberate faults this caught: a point whose summary cannot be read back for study.nc
// reported there, before an earlier point's damaged peaks (the first bad point in study
// order is the one named); study.nc.partial left behind, written by its thread, when the
// tables written beside it failed.
TEST(StudyReadBack, ADamagedPointIsReportedInStudyOrderAndLeavesNoCubeBehind) {
    const Engine engine = layered_engine({"sweep.steps_per_decade=2"});
    const std::vector<SteadySweepRow> sweep = engine.steady(engine.swept());
    Study study;
    study.steady = true;
    study.keys = {"orbit.eccentricity"};
    study.axes = {{"0.001", "0.002", "0.003"}};
    for (const std::string& v : study.axes[0])
        study.points.push_back({{v}, engine.body()});
    DiscardedLines console;
    // The three points published (by an earlier run), their tables damaged as `damage` says:
    // what the study's files say, and whether study.nc.partial is left.
    const auto run = [&](const std::function<void(const std::filesystem::path&)>& damage) {
        const auto dir = testing_scratch::scratch_dir("tidal_read_back_test");
        StudyDirectory study_dir(dir.string());
        for (int p = 0; p < 3; ++p) {
            std::unique_ptr<ResultDirectory> point = study_dir.begin_point(p);
            write_steady_tables(*point, console, engine.model(), sweep, {});
            point->publish();
            study_dir.publish_point(p, std::move(point));
        }
        damage(dir);
        std::string error;
        try {
            StudyResults files(study, study_dir, 2);
            EXPECT_EQ(files.finish().size(), 3u);
        } catch (const OutputError& e) {
            error = e.what();
        }
        const bool partial_left = std::filesystem::exists(dir / "study.nc.partial");
        std::filesystem::remove_all(dir);
        return std::pair(error, partial_left);
    };
    const auto overwrite = [](const std::filesystem::path& file, const char* text) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    };
    // Written when nothing is damaged, for the publication that follows.
    EXPECT_EQ(run([](const std::filesystem::path&) {}), std::pair(std::string(), true));
    const std::string peaks = "point-00002/peaks.csv' is not a table of peaks";
    for (const bool summary_too : {true, false}) {
        const auto [error, partial] = run([&](const std::filesystem::path& d) {
            overwrite(d / "point-00002" / "peaks.csv", "x\n");
            if (summary_too) overwrite(d / "point-00003" / "summary.csv", "\"viscosity_Pa_s\n");
        });
        EXPECT_NE(error.find(peaks), std::string::npos) << error;
        EXPECT_FALSE(partial);
    }
}

} // namespace
} // namespace tidal
