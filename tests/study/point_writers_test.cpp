// The writer threads of a steady study: every task queued runs once, however many threads and
// however short the queue, and the count of tasks done is theirs; a failing task's exception
// reaches the study (at the next submit and at finish) and the tasks after it are not run, so
// that no point is published after a failure is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "study/point_writers.hpp"

namespace tidal {
namespace {

// Caught: finish() that let the threads end with tasks still queued (points lost).
TEST(PointWriters, RunsEveryTaskOnceOnAnyNumberOfThreads) {
    for (const int threads : {1, 3}) {
        std::mutex m;
        std::vector<int> ran;
        PointWriters writers(threads, 2);
        for (int i = 0; i < 50; ++i)
            writers.submit([&, i] {
                std::lock_guard lock(m);
                ran.push_back(i);
            });
        writers.finish();
        EXPECT_EQ(writers.done(), 50) << threads << " threads";
        std::sort(ran.begin(), ran.end());
        std::vector<int> all(50);
        for (int i = 0; i < 50; ++i)
            all[static_cast<std::size_t>(i)] = i;
        EXPECT_EQ(ran, all) << threads << " threads";
    }
}

// Caught: a failure kept inside the writer thread (the study would end "complete" with a point
// missing), tasks still run after the failure was known, and done() counting a task as it was
// taken rather than once it had completed (a failed point counted as published).
TEST(PointWriters, AFailureReachesTheStudyAndStopsTheWriting) {
    PointWriters writers(1, 1);
    int after = 0;
    writers.submit([] { throw std::runtime_error("disk full"); });
    bool refused = false;
    // One thread takes the tasks in order, so the second task after the failing one finds the
    // queue full until the failure is known: that submit is refused, and finish() reports it.
    try {
        for (int i = 0; i < 100; ++i)
            writers.submit([&] { ++after; });
    } catch (const std::runtime_error& e) {
        refused = std::string(e.what()) == "disk full";
    }
    bool finished_with_it = false;
    try {
        writers.finish();
    } catch (const std::runtime_error& e) {
        finished_with_it = std::string(e.what()) == "disk full";
    }
    EXPECT_TRUE(refused);
    EXPECT_TRUE(finished_with_it);
    EXPECT_EQ(writers.done(), 0);
    EXPECT_EQ(after, 0) << "tasks ran after the failure";
}

} // namespace
} // namespace tidal
