// A batch of records sent between processes as doubles comes back with every field's bits,
// whatever the nesting (optional steady pairs, per-rheology arrays, vectors of any length),
// and a message cut short or with a broken count is refused instead of read past its end.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/record_doubles.hpp"
#include "engine/sweep.hpp"
#include "same_records.hpp"

namespace tidal {
namespace {

// Gives every double of a record a value of its own (a counter, with a NaN payload and a
// negative zero among them), every optional a value and every vector `length` elements, so
// that a field read into its neighbour's place or dropped cannot go unseen. Walks the same
// field lists as the packing, so a field added later is filled too.
struct Filler {
    double next = 1.0;
    std::size_t length = 3;
    void operator()(double& x) {
        x = next;
        next += 1.0;
        if (next == 5.0) x = -0.0;
        if (next == 9.0) x = std::bit_cast<double>(std::uint64_t{0x7ff8000000000123});
    }
    void operator()(int& x) { x = static_cast<int>(next++); }
    void operator()(std::complex<double>& z) {
        double re = 0, im = 0;
        (*this)(re);
        (*this)(im);
        z = {re, im};
    }
    template <class T> void operator()(std::optional<T>& o) { (*this)(o.emplace()); }
    template <class T> void operator()(std::vector<T>& v) {
        v.resize(length++);
        for (T& x : v)
            (*this)(x);
    }
    template <class T, std::size_t N> void operator()(std::array<T, N>& a) {
        for (T& x : a)
            (*this)(x);
    }
    template <RecordWithFields R> void operator()(R& r) {
        std::apply([&](auto&... field) { ((*this)(field), ...); }, r.fields());
    }
};

Batch round_trip(const Batch& batch) {
    std::vector<double> doubles;
    append_doubles(doubles, batch);
    DoublesReader reader(doubles.data(), doubles.data() + doubles.size());
    Batch back;
    read_doubles(reader, back);
    EXPECT_TRUE(reader.done());
    return back;
}

// Fault caught: an optional read back without its value (o.reset() for a present flag) loses
// the discrete and refined steady records; a vector read with its count off by one shifts
// every later field.
TEST(RecordDoubles, EveryFieldOfEveryNestingComesBackBitForBit) {
    Batch full(2);
    Filler fill;
    for (ViscosityResults& v : full)
        fill(v);
    ASSERT_TRUE(full[1].steady && full[1].steady->pairs[0].refined);
    const Batch back = round_trip(full);
    ASSERT_EQ(back.size(), full.size());
    for (std::size_t i = 0; i < full.size(); ++i)
        expect_same_record(back[i], full[i]);
}

// Fault caught: absent optionals written as present (a flag of 1 always) or empty vectors
// given a stale length.
TEST(RecordDoubles, AbsentOptionalsAndEmptyVectorsStayAbsentAndEmpty) {
    Batch sparse(3);
    sparse[1].k = -7;
    sparse[1].runs[0].period.tn = 0.25;
    sparse[2].steady.emplace();
    sparse[2].steady->pairs[0].discrete.emplace();
    const Batch back = round_trip(sparse);
    ASSERT_EQ(back.size(), 3u);
    for (std::size_t i = 0; i < sparse.size(); ++i)
        expect_same_record(back[i], sparse[i]);
    EXPECT_FALSE(back[0].steady.has_value());
    EXPECT_FALSE(back[2].steady->pairs[0].refined.has_value());
    EXPECT_TRUE(back[0].runs[0].ursurf.empty());
}

// Fault caught: a reader that does not check what is left reads past the end of a message
// cut short; one that takes any double as a count allocates from garbage.
TEST(RecordDoubles, ShortOrCorruptedMessagesAreRefused) {
    Batch full(1);
    Filler fill;
    fill(full[0]);
    std::vector<double> doubles;
    append_doubles(doubles, full);
    for (std::size_t cut = 0; cut < doubles.size(); cut += 7) {
        DoublesReader reader(doubles.data(), doubles.data() + cut);
        Batch back;
        EXPECT_THROW(read_doubles(reader, back), RecordDoublesError) << "cut at " << cut;
    }
    for (const double bad : {-1.0, 0.5, 1e300, std::numeric_limits<double>::quiet_NaN()}) {
        std::vector<double> broken = doubles;
        broken[0] = bad; // the batch's count
        DoublesReader reader(broken.data(), broken.data() + broken.size());
        Batch back;
        EXPECT_THROW(read_doubles(reader, back), RecordDoublesError) << bad;
    }
}

} // namespace
} // namespace tidal
