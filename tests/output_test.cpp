// Record form and result files, including the failures a user can run into.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "output/record.hpp"
#include "output/result_directory.hpp"
#include "output/result_file.hpp"
#include "output/result_set.hpp"

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

class InScratchDir : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tidal_output_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        old = fs::current_path();
        fs::current_path(dir);
    }
    void TearDown() override {
        fs::current_path(old);
        fs::remove_all(dir);
    }
    static std::string slurp(const char* name) {
        std::ifstream in(name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir, old;
};

TEST_F(InScratchDir, FilesArePublishedOnlyWhenTheRunIsComplete) {
    {
        std::ofstream f("ureta");
        f << " earlier complete result\n";
    }
    ResultDirectory dir(".");
    ResultSet files(dir);
    files.summary(Summary::MinSurfaceMaxwell, 1e10, -16.5);
    // Flushed at once into the temporary file; the earlier result is not touched yet.
    EXPECT_EQ(slurp("ureta.partial"), " 1e+10 -16.5\n");
    EXPECT_EQ(slurp("ureta"), " earlier complete result\n");
    files.series(kSeriesMaxwell, {0.25, -1.5, 3.0, 4.0});
    files.series(kSeriesMaxwell, {0.25, -1.5, 3.0}); // a later run replaces a longer series
    EXPECT_FALSE(fs::exists("time"));
    dir.publish();
    EXPECT_EQ(slurp("ureta"), " 1e+10 -16.5\n");
    EXPECT_EQ(slurp("time"), " 1 0.25\n 2 -1.5\n 3 3\n");
    for (auto name : summary_file_names())
        EXPECT_TRUE(fs::exists(std::string(name))) << name;
    for (const auto& entry : fs::directory_iterator("."))
        EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
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

TEST_F(InScratchDir, ASecondRunIntoTheSameDirectoryIsRefused) {
    ResultDirectory first("shared");
    try {
        ResultDirectory second("shared");
        FAIL() << "expected DirectoryInUse";
    } catch (const DirectoryInUse& e) {
        const std::string msg = e.what();
        EXPECT_NE(msg.find("'shared'"), std::string::npos) << msg;
        EXPECT_NE(msg.find("process " + std::to_string(getpid())), std::string::npos) << msg;
    }
    ResultDirectory elsewhere("other"); // another directory is free
}

TEST_F(InScratchDir, UncreatableFileNamesTheFileAndTheReason) {
    fs::create_directory("tneta"); // a directory where a result must be published
    ResultDirectory dir(".");
    try {
        ResultSet files(dir);
        FAIL() << "expected an OutputError";
    } catch (const OutputError& e) {
        const std::string msg = e.what();
        EXPECT_NE(msg.find("'tneta'"), std::string::npos) << msg;
        EXPECT_NE(msg.find("Is a directory"), std::string::npos) << msg;
    }
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
    bool reported = false;
    try {
        f.write(std::string(99, 'b') + "\n");
        f.flush();
    } catch (const OutputError& e) {
        reported = std::string(e.what()).find("'limited'") != std::string::npos;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_TRUE(reported);
    EXPECT_EQ(slurp("limited"), std::string(99, 'a') + "\n");
}

TEST(ResultFile, FullDiskIsReportedNotSwallowed) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    ResultFile f("/dev/full");
    bool reported = false;
    try {
        f.write(" 1 2\n");
        f.flush();
    } catch (const OutputError& e) {
        reported = std::string(e.what()).find("No space left on device") != std::string::npos;
    }
    EXPECT_TRUE(reported);
}

TEST(ResultFile, CloseReportsADelayedWriteFailure) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
    ResultFile f("/dev/full");
    f.write(" 1 2\n"); // buffered, fails only when handed to the system
    EXPECT_THROW(f.close(), OutputError);
}

} // namespace
} // namespace tidal
