#pragma once
// The threads of a sweep or a study: each computes work units claimed from an OrderedResults
// and delivers them, so that the consumer takes them in their numbered order.
#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/ordered_results.hpp"

namespace tidal {

// Starts up to `threads` threads on the units of `results`. Each thread first makes its own
// worker with `make_worker()` (a callable owning the thread's scratch state: a workspace, a
// unit computer), then delivers worker(unit) for every unit it claims, until the units run
// out, `stop()` says so, or a unit throws (the failure goes to `results`, which rethrows it in
// the consumer's take()). Returns the threads started: fewer when the system grants no more,
// none when it grants none (the caller then computes alone or gives up). The caller stops
// `results` before the returned threads are joined (cleared or destroyed).
template <class Result, class MakeWorker>
std::vector<std::jthread> start_ordered_workers(OrderedResults<Result>& results, int threads,
                                                const MakeWorker& make_worker,
                                                const std::function<bool()>& stop) {
    std::vector<std::jthread> started;
    const auto work = [&results, make_worker, stop] {
        try {
            auto worker = make_worker();
            while (const auto u = results.claim()) {
                if (stop()) break;
                results.deliver(*u, worker(*u));
            }
        } catch (...) {
            results.fail(std::current_exception());
        }
    };
    for (int t = 0; t < threads; ++t) {
        try {
            started.emplace_back(work);
        } catch (const std::system_error&) {
            break; // the system grants no more threads: go on with those that run
        }
    }
    return started;
}

} // namespace tidal
