// Record form and result files, including the failures a user can run into.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "files/csv.hpp"
#include "files/peak.hpp"
#include "files/record.hpp"
#include "files/result_directory.hpp"
#include "files/result_file.hpp"
#include "files/result_set.hpp"
#include "files/tables.hpp"
#include "scratch_dir.hpp"
#include "test_data.hpp"

namespace tidal {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> items;
    for (std::string s; in >> s;)
        items.push_back(s);
    return items;
}

TEST(Record, OneLeadingBlankAndShortestRoundTripDoubles) {
    const double values[] = {1e10, 11220184543.019653,     -16.924849751068784, 0.0015, 5e-324,
                             -0.0, 1.7976931348623157e308, 2854483189.588189};
    for (double v : values) {
        Record rec;
        const std::string line = rec.real(1e10).real(v).line();
        ASSERT_EQ(line.front(), ' ');
        ASSERT_EQ(line.back(), '\n');
        const auto items = split(line);
        ASSERT_EQ(items.size(), 2u);
        double back = 0;
        std::from_chars(items[1].data(), items[1].data() + items[1].size(), back);
        EXPECT_EQ(std::signbit(back), std::signbit(v));
        EXPECT_EQ(back, v) << items[1];
    }
    Record rec;
    EXPECT_EQ(rec.text("viscosity ").real(1e10).line(), " viscosity  1e+10\n");
    std::string series;
    append_step_record(series, 20000, -0.5);
    EXPECT_EQ(series, " 20000 -0.5\n");
}

TEST(Csv, QuotedTextRoundTripNumbersAndLf) {
    CsvRow row;
    const std::string line =
        row.text("plain").text("a,b").text("say \"x\"").number(-16.924849751068784).number(0.0005).empty().integer(20000).line();
    EXPECT_EQ(line, "plain,\"a,b\",\"say \"\"x\"\"\",-16.924849751068784,5e-04,,20000\n");
    // A large whole number is written with an exponent, not as 22 digits that a reader may
    // take for an integer it cannot hold; it still reads back exactly.
    for (const double v : {1.6631486199180844e21, -1e21, 3.1622776601683794e20, 1e15}) {
        std::string s;
        append_number(s, v);
        EXPECT_LE(s.size(), 24u) << s;
        EXPECT_NE(s.find_first_of(".e"), std::string::npos) << s;
        double back = 0;
        std::from_chars(s.data(), s.data() + s.size(), back);
        EXPECT_EQ(back, v) << s;
    }
    // A number formatted once per slot is formatted again when the slot is given another
    // double, by its bits (-0 after 0). Deliberate faults this caught: the slot's text kept
    // whatever it is given; the doubles compared by value, not bits.
    NumberSlots slots;
    for (const double v : {2.5, 2.5, 0.0, -0.0, 1e21, 2.5}) {
        std::string s;
        append_number(s, v);
        EXPECT_EQ(slots.text(1, v), s);
    }
}

// The heating profile's rows of one viscosity and rheology: one line per layer holding that
// layer's own fields, each number reading back to its double's bits, whether the radii are
// formatted afresh or taken from slots kept over the viscosities (the same radii again, then
// other ones). Deliberate fault this caught: the row not emptied between layers (each line
// holding every line before it), which a study and a single run share, so that comparing
// their files let it through.
TEST(Csv, ProfileRowsAreEachLayersOwnFieldsWithOrWithoutRadiusSlots) {
    const std::vector<ProfileRecord> layers = {
        {1, 1.5608e6, 1.5517e6, 2.5e-7, 1.25e11, "ice"},
        {2, 1.5517e6, 1.5426000000000002e6, -0.0, 3.0000000000000004e10, "rock"},
        {3, 1.5426000000000002e6, 1.4e6, 1e-300, 0.1, "core"},
    };
    std::vector<ProfileRecord> moved = layers;
    for (ProfileRecord& l : moved) {
        l.outer_radius *= 0.5;
        l.inner_radius *= 0.5;
    }
    const auto read = [](const std::string& s) {
        double v = 0.0;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
        EXPECT_TRUE(r.ec == std::errc() && r.ptr == s.data() + s.size()) << s;
        return v;
    };
    const auto same = [](double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); };
    NumberSlots radii;
    for (const bool named : {false, true})
        for (const auto& [eta, records] :
             std::vector<std::pair<double, const std::vector<ProfileRecord>*>>{
                 {1e14, &layers}, {3e14, &layers}, {1e15, &moved}}) {
            SCOPED_TRACE(std::to_string(eta) + (named ? " named" : ""));
            const std::string fresh = profile_records(eta, "andrade", *records, named);
            EXPECT_EQ(profile_records(eta, "andrade", *records, named, &radii), fresh);
            std::istringstream in(fresh);
            std::size_t row = 0;
            for (std::string line; std::getline(in, line); ++row) {
                ASSERT_LT(row, records->size()) << line;
                const ProfileRecord& l = (*records)[row];
                std::vector<std::string> f;
                std::istringstream fields(line);
                for (std::string x; std::getline(fields, x, ',');)
                    f.push_back(x);
                ASSERT_EQ(f.size(), named ? 8u : 7u) << line;
                EXPECT_TRUE(same(read(f[0]), eta)) << line;
                EXPECT_EQ(f[1], "andrade");
                EXPECT_EQ(f[2], std::to_string(l.layer));
                EXPECT_TRUE(same(read(f[3]), l.outer_radius)) << line;
                EXPECT_TRUE(same(read(f[4]), l.inner_radius)) << line;
                EXPECT_TRUE(same(read(f[5]), l.heating)) << line;
                EXPECT_TRUE(same(read(f[6]), l.power)) << line;
                if (named) {
                    EXPECT_EQ(f[7], l.body_layer);
                }
            }
            EXPECT_EQ(row, records->size());
        }
}

// The peak finder on a table of curves: a maximum at every sample from the first to the last
// (refined exactly where a parabola in log-log has it), flat tops, equal peaks, several peaks
// of known rank, ripples below and above the prominence. (A refined peak converging under
// refinement of the sweep: Peaks in engine/edges_test.cpp.)
// Deliberate faults this catches: the last sample taken as interior (i + 1 > size), the later of
// two equal largest samples chosen (>= for >), the second sample of a flat top counted as a peak
// of its own (y[i] >= y[i - 1]), the ranks sorted by position instead of power, and a prominence
// measured from the lower base instead of the higher one.
TEST(Peak, ATableOfCurves) {
    const auto samples = [](std::size_t n) {
        std::vector<double> x;
        for (std::size_t i = 0; i < n; ++i)
            x.push_back(std::pow(10.0, static_cast<double>(i)));
        return x;
    };
    // A parabola in log-log with its top on sample m: every position from first to last.
    const std::size_t n = 9;
    const std::vector<double> x = samples(n);
    for (std::size_t m = 0; m < n; ++m) {
        std::vector<double> y;
        for (std::size_t i = 0; i < n; ++i) {
            const double d = static_cast<double>(i) - static_cast<double>(m);
            y.push_back(std::pow(10.0, 3.0 - 0.1 * d * d));
        }
        const std::vector<Peak> peaks = find_peaks(x, y);
        ASSERT_EQ(peaks.size(), 1u) << "top at " << m;
        const Peak& p = peaks.front();
        EXPECT_EQ(p.index, m);
        EXPECT_EQ(p.position, m == 0       ? PeakPosition::SweepStart
                              : m == n - 1 ? PeakPosition::SweepEnd
                                           : PeakPosition::Interior)
            << "top at " << m;
        // One sample from either end is still inside the sweep: refined, exactly here.
        EXPECT_EQ(p.refined_x.has_value(), m != 0 && m != n - 1) << "top at " << m;
        if (p.refined_x) {
            EXPECT_NEAR(std::log10(*p.refined_x), static_cast<double>(m), 1e-12);
            EXPECT_NEAR(*p.refined_y, 1e3, 1e3 * 1e-12);
        }
    }
    // A flat top of two equal samples: one peak, the first of them, refined to their middle.
    const std::vector<double> flat = {1.0, 2.0, 3.0, 3.0, 2.0, 1.0};
    const std::vector<Peak> top = find_peaks(samples(6), flat);
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].index, 2u);
    ASSERT_TRUE(top[0].refined_x);
    EXPECT_NEAR(std::log10(*top[0].refined_x), 2.5, 1e-12);
    // Two equal peaks: both, the first one first; a flat top at the end of a sweep.
    const std::vector<double> twins = {1.0, 5.0, 1.0, 5.0, 1.0, 4.0, 4.0};
    const std::vector<Peak> two = find_peaks(samples(7), twins);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].index, 1u);
    EXPECT_EQ(two[1].index, 3u);
    // Four peaks of known rank, by power, not by position; the last sample is not one.
    const std::vector<double> four = {1.0, 3.0, 1.0, 7.0, 1.0, 5.0, 1.0, 9.0, 1.0};
    std::vector<std::size_t> ranked;
    for (const Peak& p : find_peaks(samples(9), four))
        ranked.push_back(p.index);
    EXPECT_EQ(ranked, (std::vector<std::size_t>{7, 3, 5, 1}));
    // A curve still rising at the end with a peak inside: the end first, marked, then the peak.
    const std::vector<double> rising = {1.0, 4.0, 2.0, 3.0, 6.0};
    const std::vector<Peak> edge = find_peaks(samples(5), rising);
    ASSERT_EQ(edge.size(), 2u);
    EXPECT_EQ(edge[0].position, PeakPosition::SweepEnd);
    EXPECT_EQ(edge[1].index, 1u);
    // Ripples on the slope of one peak: below the prominence they are not peaks, above it they
    // are. The ripple's prominence is measured from the higher of its two bases.
    for (const double ripple : {0.5 * kPeakProminence, 2.0 * kPeakProminence}) {
        std::vector<double> y = {1.0, 2.0, 4.0, 8.0, 16.0, 10.0, 6.0, 5.0, 3.0, 1.0};
        y[7] = y[6] * (1.0 + ripple) / (1.0 - ripple); // a bump above both neighbours
        y[6] = y[7] * (1.0 - ripple);
        y[8] = y[7] * (1.0 - ripple) * 0.5; // far lower on the far side: the near base rules
        const std::vector<Peak> found = find_peaks(samples(10), y);
        EXPECT_EQ(found.size(), ripple > kPeakProminence ? 2u : 1u) << "ripple " << ripple;
    }
}

class InScratchDir : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = testing_scratch::scratch_dir(
            "tidal_output_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        old = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override {
        fs::current_path(old);
        fs::remove_all(dir);
    }
    static std::string slurp(const char* name) { return file_text(name); }
    fs::path dir, old;
};

TEST_F(InScratchDir, FilesArePublishedOnlyWhenTheRunIsComplete) {
    std::ofstream("ureta") << " earlier complete result\n";
    ResultDirectory dir(".");
    ResultSet files(dir, {"", "kelvin"});
    files.summary(LegacyQuantity::MinSurface, 0, 1e10, -16.5);
    // Flushed at once into the temporary file; the earlier result is not touched yet.
    EXPECT_EQ(slurp("ureta.partial"), " 1e+10 -16.5\n");
    EXPECT_EQ(slurp("ureta"), " earlier complete result\n");
    files.series(0, {0.25, -1.5, 3.0, 4.0});
    files.series(0, {0.25, -1.5, 3.0}); // a later run replaces a longer series
    EXPECT_FALSE(fs::exists("time"));
    dir.publish();
    EXPECT_EQ(slurp("ureta"), " 1e+10 -16.5\n");
    EXPECT_EQ(slurp("time"), " 1 0.25\n 2 -1.5\n 3 3\n");
    for (const std::string& name : ResultSet::file_names({"", "kelvin"}))
        EXPECT_TRUE(fs::exists(name)) << name;
    for (const auto& entry : fs::directory_iterator("."))
        EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
}

// A study's journal keeps three files of each point in memory. Faults caught: a kept file
// that loses the text of a write flushed before a rewrite or keeps the old text after it; a
// dropped file whose text is kept anyway; anything (a lock, a .partial, a NetCDF file) left
// on the disk.
TEST_F(InScratchDir, ADirectoryInMemoryKeepsItsKeptFilesTextsAndTouchesNoDisk) {
    ResultDirectory dir(ResultDirectory::InMemory{{"summary.csv", "peaks.csv"}});
    ResultFile& summary = dir.open("summary.csv");
    summary.write("a,b\n");
    summary.flush();
    summary.write("1,2\n"); // pending: flushed by publish()
    ResultFile& peaks = dir.open("peaks.csv");
    peaks.write("old\n");
    peaks.flush();
    peaks.rewrite("new\n");
    ResultSet legacy(dir, {"", "kelvin"});
    legacy.summary(LegacyQuantity::MinSurface, 0, 1e10, -16.5);
    EXPECT_FALSE(dir.reserve("results.nc").has_value());
    dir.publish();
    EXPECT_EQ(dir.text("summary.csv"), "a,b\n1,2\n");
    EXPECT_EQ(dir.text("peaks.csv"), "new\n");
    EXPECT_EQ(dir.text("ureta"), "");
    EXPECT_TRUE(fs::is_empty(fs::current_path()));
}

TEST_F(InScratchDir, AStoppedRunLeavesPartialFilesThatTheNextRunReplaces) {
    {
        ResultDirectory dir("out");
        dir.open("pcelketa").rewrite(" 1 2\n");
        dir.open("series-1.csv").rewrite("1,2\n");
    } // stopped: never published
    EXPECT_EQ(slurp("out/pcelketa.partial"), " 1 2\n");
    EXPECT_FALSE(fs::exists("out/pcelketa"));
    ResultDirectory again("out");
    // Every stale temporary file is gone before the new run writes, even those it will not
    // write again.
    EXPECT_FALSE(fs::exists("out/pcelketa.partial"));
    EXPECT_FALSE(fs::exists("out/series-1.csv.partial"));
    again.open("pcelketa").rewrite(" 3 4\n");
    again.publish();
    EXPECT_EQ(slurp("out/pcelketa"), " 3 4\n");
}

TEST_F(InScratchDir, APlantedLinkAtTheTemporaryNameIsNeitherWrittenThroughNorPublished) {
    std::ofstream("victim") << "not yours\n";
    fs::create_directory("out");
    fs::create_symlink("../victim", "out/pcelketa.partial");
    ResultDirectory dir("out");
    dir.open("pcelketa").rewrite(" 1 2\n");
    dir.publish();
    EXPECT_EQ(slurp("victim"), "not yours\n");
    EXPECT_FALSE(fs::is_symlink("out/pcelketa"));
    EXPECT_EQ(slurp("out/pcelketa"), " 1 2\n");
}

TEST_F(InScratchDir, ASecondRunIntoTheSameDirectoryIsRefused) {
    ResultDirectory first("shared");
    const std::string msg = thrown<DirectoryInUse>([] { ResultDirectory second("shared"); });
    EXPECT_NE(msg.find("'shared'"), std::string::npos) << msg;
    EXPECT_NE(msg.find("process " + std::to_string(getpid())), std::string::npos) << msg;
    ResultDirectory elsewhere("other"); // another directory is free
}

TEST_F(InScratchDir, UncreatableFileNamesTheFileAndTheReason) {
    fs::create_directory("tneta"); // a directory where a result must be published
    ResultDirectory dir(".");
    const std::string msg = thrown<OutputError>([&] { ResultSet files(dir, {"", "kelvin"}); });
    EXPECT_NE(msg.find("'tneta'"), std::string::npos) << msg;
    EXPECT_NE(msg.find("Is a directory"), std::string::npos) << msg;
}

// A write that the system takes only in part (here a file size limit, as a full disk would)
// leaves the file at its last whole record.
TEST_F(InScratchDir, AWriteCutShortLeavesNoTornRecord) {
    ResultFile f("limited");
    f.write(std::string(99, 'a') + "\n");
    f.flush();
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 150;
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string msg = thrown<OutputError>([&] { f.write(std::string(99, 'b') + "\n"); f.flush(); });
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_NE(msg.find("'limited'"), std::string::npos) << msg;
    EXPECT_EQ(slurp("limited"), std::string(99, 'a') + "\n");
}

// A full disk is reported at the flush, and at the close of a write still buffered.
TEST(ResultFile, FullDiskIsReportedNotSwallowedAtAFlushOrAClose) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    ResultFile f("/dev/full"), g("/dev/full");
    const std::string msg = thrown<OutputError>([&] { f.write(" 1 2\n"); f.flush(); });
    EXPECT_NE(msg.find("No space left on device"), std::string::npos) << msg;
    g.write(" 1 2\n"); // buffered, fails only when handed to the system
    EXPECT_THROW(g.close(), OutputError);
}

} // namespace
} // namespace tidal
