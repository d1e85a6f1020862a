#include "model/prepared_rheologies.hpp"

#include <bit>
#include <cstdint>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

namespace tidal {

namespace {

// The bits of every input of a preparation: each parameter of each rheology, in the table's
// order, then the two ends of the band. Bits, not values: a different -0 or NaN is another
// input, never the same one.
std::vector<std::uint64_t> inputs_of(const RheologyParameters& p, double band_low,
                                     double band_high) {
    std::vector<std::uint64_t> key;
    const std::vector<RheologyParameter>& all = rheology_parameters();
    key.reserve(all.size() + 2);
    for (const RheologyParameter& which : all)
        key.push_back(std::bit_cast<std::uint64_t>(parameter_value(p, which)));
    key.push_back(std::bit_cast<std::uint64_t>(band_low));
    key.push_back(std::bit_cast<std::uint64_t>(band_high));
    return key;
}

// The preparations kept, the most recent last. A handful covers a study whose points share a
// few rheology parameter sets; one that varies them at every point only misses.
constexpr std::size_t kKept = 16;

struct Prepared {
    std::vector<std::uint64_t> inputs;
    RheologyParameters parameters;
};

std::mutex kept_mutex;
std::deque<Prepared> kept;

} // namespace

RheologyParameters prepared_rheologies(const RheologyParameters& p, double band_low,
                                       double band_high) {
    std::vector<std::uint64_t> inputs = inputs_of(p, band_low, band_high);
    {
        const std::lock_guard lock(kept_mutex);
        for (const Prepared& k : kept)
            if (k.inputs == inputs) return k.parameters;
    }
    // Fitted outside the lock: two threads that miss at once fit the same series twice, and
    // either keeps the same bits.
    RheologyParameters out = p;
    prepare_rheologies(out, band_low, band_high);
    const std::lock_guard lock(kept_mutex);
    if (kept.size() == kKept) kept.pop_front();
    kept.push_back({std::move(inputs), out});
    return out;
}

} // namespace tidal
