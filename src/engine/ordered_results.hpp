#pragma once
// Work units numbered 0, 1, 2, ... computed by any number of workers in any order and handed
// to one consuming thread in their numbered order. Workers may run at most `ahead` units in
// front of the consumer, which bounds the results held in memory.
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace tidal {

template <class Result> class OrderedResults {
  public:
    OrderedResults(int count, int ahead) : slots_(static_cast<std::size_t>(count)), ahead_(ahead) {}

    // Next unit for a worker, or nothing when all are claimed or the work is stopped. Waits
    // while the worker would run too far ahead of the consumer.
    std::optional<int> claim() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || next_ < consumed_ + ahead_; });
        if (stop_ || next_ >= count()) return std::nullopt;
        return next_++;
    }

    // What try_claim found.
    enum class Claim { Unit, NotYet, None };

    // Like claim, without waiting: NotYet while the consumer lags `ahead` units behind.
    Claim try_claim(int& unit) {
        std::lock_guard lock(mutex_);
        if (stop_ || next_ >= count()) return Claim::None;
        if (next_ >= consumed_ + ahead_) return Claim::NotYet;
        unit = next_++;
        return Claim::Unit;
    }

    void deliver(int unit, Result&& r) {
        std::lock_guard lock(mutex_);
        slots_[static_cast<std::size_t>(unit)] = std::move(r);
        changed_.notify_all();
    }

    void fail(std::exception_ptr e) {
        std::lock_guard lock(mutex_);
        if (!error_) error_ = e;
        stop_ = true;
        changed_.notify_all();
    }

    void stop() {
        std::lock_guard lock(mutex_);
        stop_ = true;
        changed_.notify_all();
    }

    // Waits for result `unit`, calling `idle` every `interval` while it waits: nothing if
    // `idle` returns true first. Rethrows a worker's failure.
    std::optional<Result> take(int unit, const std::function<bool()>& idle,
                               std::chrono::milliseconds interval = std::chrono::milliseconds(50)) {
        std::unique_lock lock(mutex_);
        auto& slot = slots_[static_cast<std::size_t>(unit)];
        while (!changed_.wait_for(lock, interval, [&] { return error_ || slot.has_value(); })) {
            lock.unlock();
            const bool quit = idle();
            lock.lock();
            if (quit) return std::nullopt;
        }
        if (error_) std::rethrow_exception(error_);
        Result r = std::move(*slot);
        slot.reset();
        consumed_ = unit + 1;
        changed_.notify_all();
        return r;
    }

  private:
    int count() const { return static_cast<int>(slots_.size()); }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::optional<Result>> slots_;
    int ahead_;
    int next_ = 0;
    int consumed_ = 0;
    bool stop_ = false;
    std::exception_ptr error_;
};

} // namespace tidal
