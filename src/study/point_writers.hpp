#pragma once
// Threads that write a steady study's point directories while the next points are computed.
// Writing a point is formatting its tables (numbers to shortest round-trip text), its
// results.nc, and handing every file to the disk before the directory is renamed into place:
// work as long as a share of the solves, and mostly spent waiting on the disk. Each point
// directory is published whole on its own, so the points need not be written in study order;
// their bytes are those of the single writer's, whatever thread writes them.
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tidal {

class PointWriters {
  public:
    // `threads` writers (at least one), holding at most `queued` tasks not yet started.
    PointWriters(int threads, int queued);
    // Waits for the tasks in hand (their failures are dropped: finish() reports them).
    ~PointWriters();
    PointWriters(const PointWriters&) = delete;
    PointWriters& operator=(const PointWriters&) = delete;

    // Queues `task` (write and publish one point), waiting while the queue is full. Rethrows
    // the first failure of an earlier task instead of queuing more once one has failed.
    void submit(std::function<void()> task);
    // Tasks completed without failure so far.
    int done() const;
    // Waits until every queued task has run, ends the threads and rethrows the first failure.
    void finish();

  private:
    void work();
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
    std::size_t queued_;
    int done_ = 0;
    bool closing_ = false;
    std::exception_ptr failure_;
    std::vector<std::jthread> threads_;
};

} // namespace tidal
