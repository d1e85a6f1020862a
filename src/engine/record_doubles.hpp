#pragma once
// A run's records as a flat sequence of doubles and back, bit for bit, for sending them
// between processes. The layout follows the records' field lists (`fields()`, in declaration
// order), so a field added to a record travels without anyone writing its packing:
//   double                     itself
//   int                        its value (exact in a double)
//   std::complex<double>       real, imaginary
//   std::optional<T>           1 then T, or 0
//   std::vector<T>             the count, then every element
//   std::array<T, N>           every element
//   a record with fields()     every field in order
// Reading checks every count and flag against what is left, so a truncated or corrupted
// message is refused instead of read past its end.
#include <array>
#include <complex>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace tidal {

template <class T>
concept RecordWithFields = requires(T& t, const T& c) {
    t.fields();
    c.fields();
    T::field_names;
};

// Thrown by a reading that runs out of doubles or meets a count or flag that cannot be one.
class RecordDoublesError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Where a reading stands in a sequence of doubles.
class DoublesReader {
  public:
    DoublesReader(const double* begin, const double* end) : at_(begin), end_(end) {}
    double next() {
        if (at_ == end_) throw RecordDoublesError("a record's doubles end too early");
        return *at_++;
    }
    // A count of at most `limit` (a non-negative integer in a double).
    std::size_t count(std::size_t limit) {
        const double c = next();
        if (!(c >= 0.0) || c > static_cast<double>(limit) ||
            c != static_cast<double>(static_cast<std::size_t>(c)))
            throw RecordDoublesError("a record's count is not a count");
        return static_cast<std::size_t>(c);
    }
    std::size_t left() const { return static_cast<std::size_t>(end_ - at_); }
    bool done() const { return at_ == end_; }

  private:
    const double* at_;
    const double* end_;
};

inline void append_doubles(std::vector<double>& out, double x) { out.push_back(x); }
inline void append_doubles(std::vector<double>& out, int x) {
    out.push_back(static_cast<double>(x));
}
inline void append_doubles(std::vector<double>& out, std::complex<double> z) {
    out.push_back(z.real());
    out.push_back(z.imag());
}
template <class T> void append_doubles(std::vector<double>& out, const std::optional<T>& o);
template <class T> void append_doubles(std::vector<double>& out, const std::vector<T>& v);
template <class T, std::size_t N>
void append_doubles(std::vector<double>& out, const std::array<T, N>& a);
template <RecordWithFields R> void append_doubles(std::vector<double>& out, const R& r);

template <class T> void append_doubles(std::vector<double>& out, const std::optional<T>& o) {
    out.push_back(o ? 1.0 : 0.0);
    if (o) append_doubles(out, *o);
}
template <class T> void append_doubles(std::vector<double>& out, const std::vector<T>& v) {
    out.push_back(static_cast<double>(v.size()));
    for (const T& x : v)
        append_doubles(out, x);
}
template <class T, std::size_t N>
void append_doubles(std::vector<double>& out, const std::array<T, N>& a) {
    for (const T& x : a)
        append_doubles(out, x);
}
template <RecordWithFields R> void append_doubles(std::vector<double>& out, const R& r) {
    std::apply([&](const auto&... field) { (append_doubles(out, field), ...); }, r.fields());
}

inline void read_doubles(DoublesReader& in, double& x) { x = in.next(); }
inline void read_doubles(DoublesReader& in, int& x) {
    const double d = in.next();
    if (!(d >= -2147483648.0 && d <= 2147483647.0) || d != static_cast<double>(static_cast<int>(d)))
        throw RecordDoublesError("a record's integer is not an integer");
    x = static_cast<int>(d);
}
inline void read_doubles(DoublesReader& in, std::complex<double>& z) {
    const double re = in.next();
    z = {re, in.next()};
}
template <class T> void read_doubles(DoublesReader& in, std::optional<T>& o);
template <class T> void read_doubles(DoublesReader& in, std::vector<T>& v);
template <class T, std::size_t N> void read_doubles(DoublesReader& in, std::array<T, N>& a);
template <RecordWithFields R> void read_doubles(DoublesReader& in, R& r);

template <class T> void read_doubles(DoublesReader& in, std::optional<T>& o) {
    const std::size_t flag = in.count(1);
    if (flag == 0) {
        o.reset();
        return;
    }
    read_doubles(in, o.emplace());
}
template <class T> void read_doubles(DoublesReader& in, std::vector<T>& v) {
    // Every element takes at least one double, so no count can exceed what is left.
    v.resize(in.count(in.left()));
    for (T& x : v)
        read_doubles(in, x);
}
template <class T, std::size_t N> void read_doubles(DoublesReader& in, std::array<T, N>& a) {
    for (T& x : a)
        read_doubles(in, x);
}
template <RecordWithFields R> void read_doubles(DoublesReader& in, R& r) {
    std::apply([&](auto&... field) { (read_doubles(in, field), ...); }, r.fields());
}

} // namespace tidal
