// A point journal read back must give every file of every record exactly as it was appended,
// in the process that wrote it and in the next one that opens the journal (a resumed study);
// a record cut short by a stopped append is dropped and the next one takes its place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include "files/result_file.hpp"
#include "scratch_dir.hpp"
#include "study/point_journal.hpp"

namespace tidal {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

void expect_records(const PointJournal& journal,
                    const std::vector<std::pair<std::string, Files>>& records, const char* when) {
    for (const auto& [name, files] : records) {
        ASSERT_TRUE(journal.has(name)) << when << ": " << name;
        for (const auto& [file, text] : files)
            EXPECT_EQ(journal.text(name, file), text) << when << ": " << name << "/" << file;
    }
}

// Run with the short-writes shim (tests/shims/short_writes.cpp, TIDAL_SHORT_WRITES=K): a
// gathering write of more than K bytes must write exactly K of them, the first K, or the
// journal's tests below would not be exercising its loop over short writes at all.
void expect_short_writes_if_asked(const std::filesystem::path& dir) {
    const char* k = std::getenv("TIDAL_SHORT_WRITES");
    if (k == nullptr) return;
    const long limit = std::strtol(k, nullptr, 10);
    ASSERT_GT(limit, 0);
    const std::string path = (dir / "probe").string();
    const int fd = ::open(path.c_str(), O_CREAT | O_RDWR | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    std::string a(static_cast<std::size_t>(limit) / 2, 'a'), b(static_cast<std::size_t>(limit), 'b');
    iovec pieces[] = {{a.data(), a.size()}, {b.data(), b.size()}};
    const ssize_t n = ::pwritev(fd, pieces, 2, 0);
    ::close(fd);
    EXPECT_EQ(n, limit) << "the preloaded pwritev is not in effect";
    std::ifstream in(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, (a + b).substr(0, static_cast<std::size_t>(limit)));
    std::filesystem::remove(path);
}

// Deliberate faults this caught: the record's last line left out of what is written (the next
// run finds the journal damaged at the first record); each file's offset counted from the
// record's start rather than after its first line (every text read back shifted by the header).
// Under short writes (ctest study.journal_short_writes): the pieces after a partly written one
// resumed at the same byte as it; a partly written piece resumed whole from its start; the
// write resumed at the record's start rather than after the bytes already written.
TEST(PointJournal, RecordsReadBackAsWrittenInThisRunAndTheNext) {
    const std::filesystem::path dir = testing_scratch::scratch_dir("tidal-journal");
    const std::string path = (dir / "study.journal").string();
    // An empty file, texts shorter and longer than the record's first line (and than the
    // shim's short writes), and one holding what looks like a record's last line.
    expect_short_writes_if_asked(dir);
    // A text whose bytes say where they sit, so that a piece resumed at the wrong byte shows.
    std::string long_text;
    for (int i = 0; i < 5000; ++i)
        long_text += static_cast<char>('a' + (i * 7 + i / 26) % 26);
    const std::vector<std::pair<std::string, Files>> records = {
        {"point-00000", {{"body.toml", "a = 1\n"}, {"summary.csv", "eta,p\n1e13,2.5\n"}}},
        {"point-00007", {{"body.toml", ""}, {"summary.csv", long_text}, {"peaks.csv", "end point-00007\n"}}},
        {"point-00003", {{"summary.csv", "1,2,3"}}},
    };
    {
        PointJournal journal(path);
        for (const auto& [name, files] : records)
            journal.append(name, files);
        expect_records(journal, records, "as written");
        EXPECT_FALSE(journal.has("point-00001"));
    }
    {
        const PointJournal journal(path);
        expect_records(journal, records, "opened again");
    }
    // A stopped append: half a record at the end, cut off when the journal is opened, and the
    // next record appended after the last complete one.
    const auto whole = std::filesystem::file_size(path);
    {
        PointJournal journal(path);
        journal.append("point-00009", {{"summary.csv", "half of a record that goes on"}});
    }
    std::filesystem::resize_file(path, whole + 20);
    std::vector<std::pair<std::string, Files>> more = records;
    more.push_back({"point-00010", {{"summary.csv", "after the cut"}}});
    {
        PointJournal journal(path);
        EXPECT_FALSE(journal.has("point-00009"));
        journal.append(more.back().first, more.back().second);
        expect_records(journal, more, "after a cut, as written");
    }
    {
        const PointJournal journal(path);
        EXPECT_FALSE(journal.has("point-00009"));
        expect_records(journal, more, "after a cut, opened again");
    }
    std::filesystem::remove_all(dir);
}

// The bytes of `text` as the whole file at `path`.
void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A complete record whose first line does not read as a point's name and its files' sizes is
// refused where it starts, and the journal is left as it was (not cut back to the records
// before it); first lines at the edges of what reads are accepted. Each bad record is made to
// end where its sizes say, so that only the reading of its first line can refuse it (-3 then 3
// lands back on the end line).
// Caught: "point-" without digits taken for a name; a negative size accepted; a size followed
// by other characters read as its digits; a file without a name accepted.
TEST(PointJournal, RecordsWhoseFirstLineDoesNotReadAreRefusedNotCut) {
    const std::filesystem::path dir = testing_scratch::scratch_dir("tidal-journal-refused");
    const std::string path = (dir / "study.journal").string();
    const std::string good = "point-00001 body.toml=3\nabcend point-00001\n";
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"no digits", "point- body.toml=2\nabend point-\n"},
        {"a negative size", "point-00002 body.toml=-3 summary.csv=3\nend point-00002\n"},
        {"characters after the size", "point-00002 body.toml=2x\nabend point-00002\n"},
        {"a size without a file", "point-00002 =2\nabend point-00002\n"},
        {"no size", "point-00002 body.toml\nend point-00002\n"},
        {"another name first", "summary.csv=2 point-00002\nabend summary.csv=2\n"},
    };
    for (const auto& [what, record] : bad) {
        write_file(path, good + record);
        try {
            const PointJournal journal(path);
            ADD_FAILURE() << what << ": accepted";
        } catch (const OutputError& e) {
            EXPECT_NE(std::string(e.what()).find("is damaged at byte " + std::to_string(good.size())),
                      std::string::npos)
                << what << ": " << e.what();
        }
        EXPECT_EQ(file_text(path), good + record) << what << ": the journal changed";
    }
    // Accepted: a one-digit name, an empty file, a file name with '=' only as its separator.
    const std::string edges = "point-0 body.toml=0\nend point-0\npoint-12345678 a.csv=4 b=1\n1234xend point-12345678\n";
    write_file(path, good + edges);
    {
        const PointJournal journal(path);
        EXPECT_EQ(journal.text("point-00001", "body.toml"), "abc");
        EXPECT_EQ(journal.text("point-0", "body.toml"), "");
        EXPECT_EQ(journal.text("point-12345678", "a.csv"), "1234");
        EXPECT_EQ(journal.text("point-12345678", "b"), "x");
    }
    EXPECT_EQ(file_text(path), good + edges);
    std::filesystem::remove_all(dir);
}

// A stopped append that left more bytes than the next record takes: they are cut off when the
// journal is opened, so that none of them is left after that record to be read as one (here
// lines of a table, which would make the next run find the journal damaged).
// Caught: the incomplete last record dropped from the index but left in the file.
TEST(PointJournal, AStoppedAppendLongerThanTheNextRecordLeavesNothingBehindIt) {
    const std::filesystem::path dir = testing_scratch::scratch_dir("tidal-journal-cut");
    const std::string path = (dir / "study.journal").string();
    const Files first = {{"summary.csv", "eta,p\n1e13,2.5\n"}};
    std::string table;
    for (int i = 0; i < 500; ++i)
        table += "1e" + std::to_string(13 + i % 5) + ",2." + std::to_string(i % 10) + "\n";
    {
        PointJournal journal(path);
        journal.append("point-00000", first);
    }
    const auto whole = std::filesystem::file_size(path);
    {
        PointJournal journal(path);
        journal.append("point-00001", {{"summary.csv", table}});
    }
    std::filesystem::resize_file(path, whole + table.size() / 2);
    const Files next = {{"summary.csv", "short"}};
    {
        PointJournal journal(path);
        EXPECT_EQ(std::filesystem::file_size(path), whole) << "the incomplete record not cut off";
        EXPECT_FALSE(journal.has("point-00001"));
        journal.append("point-00002", next);
    }
    const PointJournal journal(path);
    expect_records(journal, {{"point-00000", first}, {"point-00002", next}}, "after the cut");
    EXPECT_FALSE(journal.has("point-00001"));
    EXPECT_EQ(file_text(path).substr(whole), "point-00002 summary.csv=5\nshortend point-00002\n");
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace tidal
