#pragma once
// Bit-for-bit comparison of whole records through their field lists (a record's `fields()`
// and `field_names`), so that a field added to a record is compared without anyone
// remembering to. Doubles are compared by their bits: -0 against +0 and one NaN against
// another are differences too.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <complex>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace tidal::testing_records {

// Declared first so that each overload finds the others whatever their nesting (a record
// inside an optional inside an array...).
template <class T>
void expect_same_bits(const std::optional<T>& got, const std::optional<T>& want,
                      const std::string& where);
template <class T>
void expect_same_bits(const std::vector<T>& got, const std::vector<T>& want,
                      const std::string& where);
template <class T, std::size_t N>
void expect_same_bits(const std::array<T, N>& got, const std::array<T, N>& want,
                      const std::string& where);
template <class R>
    requires requires(const R& r) { r.fields(); R::field_names; }
void expect_same_bits(const R& got, const R& want, const std::string& where,
                      std::initializer_list<std::string_view> skip = {});

inline void expect_same_bits(double got, double want, const std::string& where) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want))
        << where << ": " << got << " against " << want;
}
inline void expect_same_bits(std::complex<double> got, std::complex<double> want,
                             const std::string& where) {
    expect_same_bits(got.real(), want.real(), where + ".real");
    expect_same_bits(got.imag(), want.imag(), where + ".imag");
}
template <class T>
void expect_same_bits(const std::optional<T>& got, const std::optional<T>& want,
                      const std::string& where) {
    ASSERT_EQ(got.has_value(), want.has_value()) << where;
    if (got) expect_same_bits(*got, *want, where);
}
template <class T>
void expect_same_bits(const std::vector<T>& got, const std::vector<T>& want,
                      const std::string& where) {
    ASSERT_EQ(got.size(), want.size()) << where;
    for (std::size_t i = 0; i < got.size(); ++i)
        expect_same_bits(got[i], want[i], where + "[" + std::to_string(i) + "]");
}
template <class T, std::size_t N>
void expect_same_bits(const std::array<T, N>& got, const std::array<T, N>& want,
                      const std::string& where) {
    for (std::size_t i = 0; i < N; ++i)
        expect_same_bits(got[i], want[i], where + "[" + std::to_string(i) + "]");
}
// A record with a field list: every field but those named in `skip`.
template <class R>
    requires requires(const R& r) { r.fields(); R::field_names; }
void expect_same_bits(const R& got, const R& want, const std::string& where,
                      std::initializer_list<std::string_view> skip) {
    const auto a = got.fields();
    const auto b = want.fields();
    static_assert(std::tuple_size_v<decltype(a)> == R::field_names.size());
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        auto one = [&](const auto& x, const auto& y, std::string_view name) {
            for (const std::string_view s : skip)
                if (s == name) return;
            expect_same_bits(x, y, where.empty() ? std::string(name)
                                                 : where + "." + std::string(name));
        };
        (one(std::get<I>(a), std::get<I>(b), R::field_names[I]), ...);
    }(std::make_index_sequence<R::field_names.size()>{});
}

} // namespace tidal::testing_records

namespace tidal {
// Every field of two records of one type agrees to the bit (except those named in `skip`).
template <class R>
void expect_same_record(const R& got, const R& want,
                        std::initializer_list<std::string_view> skip = {}) {
    testing_records::expect_same_bits(got, want, std::string(), skip);
}
} // namespace tidal
