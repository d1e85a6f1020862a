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

} // namespace
} // namespace tidal
