#include "study/point_writers.hpp"

#include <algorithm>
#include <system_error>
#include <utility>

namespace tidal {

PointWriters::PointWriters(int threads, int queued)
    : queued_(static_cast<std::size_t>(std::max(1, queued))) {
    for (int t = 0; t < std::max(1, threads); ++t) {
        try {
            threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            if (threads_.empty()) throw; // not one writer: the study cannot write its points
            break;
        }
    }
}

PointWriters::~PointWriters() {
    try {
        finish();
    } catch (...) {
    }
}

void PointWriters::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return closing_ || !tasks_.empty(); });
        if (tasks_.empty()) return; // closing and nothing left
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        changed_.notify_all(); // room in the queue
        // After a failure the queue is drained without writing: finish() reports it.
        const bool skip = failure_ != nullptr;
        lock.unlock();
        std::exception_ptr failed;
        if (!skip) {
            try {
                task();
            } catch (...) {
                failed = std::current_exception();
            }
        }
        lock.lock();
        if (failed && !failure_) failure_ = failed;
        if (!skip && !failed) ++done_;
        changed_.notify_all();
    }
}

void PointWriters::submit(std::function<void()> task) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return failure_ != nullptr || tasks_.size() < queued_; });
    if (failure_) std::rethrow_exception(failure_);
    tasks_.push_back(std::move(task));
    changed_.notify_all();
}

int PointWriters::done() const {
    std::lock_guard lock(mutex_);
    return done_;
}

void PointWriters::finish() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    threads_.clear(); // joins once the queue is empty
    std::lock_guard lock(mutex_);
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

} // namespace tidal
