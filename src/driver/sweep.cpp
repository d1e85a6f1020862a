#include "driver/sweep.hpp"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tidal {

int sweep_length(const Body& body) { return 20 * body.logetamax - 20 * body.logetamin + 1; }

int default_thread_count() {
    const unsigned hw = std::thread::hardware_concurrency();
    return hw == 0 ? 1 : static_cast<int>(hw);
}

namespace {

ViscosityResults compute(const ShellModel& model, int k, RunWorkspace& ws) {
    ViscosityResults r;
    r.k = k;
    const double eta = sweep_viscosity(k);
    r.maxwell = run_maxwell(model, eta, ws);
    r.kelvin = run_kelvin_voigt(model, eta, ws);
    return r;
}

// Results handed from the workers to the consuming thread, in sweep order.
class OrderedResults {
  public:
    OrderedResults(int count, int ahead) : slots_(static_cast<std::size_t>(count)), ahead_(ahead) {}

    // Next index for a worker, or nothing when the sweep is done or stopped. Waits while the
    // worker would run too far ahead of the consumer.
    std::optional<int> claim() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || next_ < consumed_ + ahead_; });
        if (stop_ || next_ >= static_cast<int>(slots_.size())) return std::nullopt;
        return next_++;
    }

    void deliver(int index, ViscosityResults&& r) {
        std::lock_guard lock(mutex_);
        slots_[static_cast<std::size_t>(index)] = std::move(r);
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

    // Waits for result `index`; rethrows a worker's failure.
    ViscosityResults take(int index) {
        std::unique_lock lock(mutex_);
        auto& slot = slots_[static_cast<std::size_t>(index)];
        changed_.wait(lock, [&] { return error_ || slot.has_value(); });
        if (error_) std::rethrow_exception(error_);
        ViscosityResults r = std::move(*slot);
        slot.reset();
        consumed_ = index + 1;
        changed_.notify_all();
        return r;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::optional<ViscosityResults>> slots_;
    int ahead_;
    int next_ = 0;
    int consumed_ = 0;
    bool stop_ = false;
    std::exception_ptr error_;
};

} // namespace

void run_sweep(const ShellModel& model, int threads,
               const std::function<void(ViscosityResults&&)>& consume) {
    const int first = 20 * model.body.logetamin;
    const int count = sweep_length(model.body);

    if (threads <= 1) {
        RunWorkspace ws(model);
        for (int i = 0; i < count; ++i) consume(compute(model, first + i, ws));
        return;
    }

    OrderedResults results(count, 2 * threads);
    std::vector<std::jthread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            try {
                RunWorkspace ws(model);
                while (const auto i = results.claim()) results.deliver(*i, compute(model, first + *i, ws));
            } catch (...) {
                results.fail(std::current_exception());
            }
        });
    }
    try {
        for (int i = 0; i < count; ++i) consume(results.take(i));
    } catch (...) {
        results.stop();
        workers.clear(); // joins
        throw;
    }
}

} // namespace tidal
