#include "files/csv.hpp"

#include <bit>
#include <charconv>

namespace tidal {

void append_number(std::string& out, double v) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    // The shortest form of a large whole number can be a long run of digits (1e21 as
    // "1000000000000000000000"), which some readers take for an integer too wide for them:
    // such numbers are written in exponent form.
    const std::string_view digits(buf[0] == '-' ? buf + 1 : buf, res.ptr);
    const auto all_digits = [](std::string_view d) {
        for (const char c : d)
            if (c < '0' || c > '9') return false;
        return true;
    };
    if (digits.size() > 15 && all_digits(digits))
        res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    out.append(buf, res.ptr);
}

std::string_view NumberSlots::text(std::size_t slot, double v) {
    if (slot >= slots_.size()) slots_.resize(slot + 1);
    auto& [bits, text] = slots_[slot];
    const std::uint64_t b = std::bit_cast<std::uint64_t>(v);
    if (text.empty() || bits != b) {
        bits = b;
        text.clear();
        append_number(text, v);
    }
    return text;
}

void CsvRow::separate() {
    if (!first_) buf_ += ',';
    first_ = false;
}

CsvRow& CsvRow::text(std::string_view s) {
    separate();
    bool plain = true;
    for (const char c : s)
        plain = plain && c != ',' && c != '"' && c != '\r' && c != '\n';
    if (plain) {
        buf_ += s;
        return *this;
    }
    buf_ += '"';
    for (const char c : s) {
        if (c == '"') buf_ += '"';
        buf_ += c;
    }
    buf_ += '"';
    return *this;
}

CsvRow& CsvRow::formatted(std::string_view s) {
    separate();
    buf_ += s;
    return *this;
}

CsvRow& CsvRow::clear() {
    buf_.clear();
    first_ = true;
    return *this;
}

CsvRow& CsvRow::number(double v) {
    separate();
    append_number(buf_, v);
    return *this;
}

CsvRow& CsvRow::integer(long long v) {
    separate();
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    buf_.append(buf, res.ptr);
    return *this;
}

CsvRow& CsvRow::empty() {
    separate();
    return *this;
}

CsvRow& CsvRow::reserve(std::size_t bytes) {
    buf_.reserve(bytes);
    return *this;
}

const std::string& CsvRow::line() {
    if (!buf_.ends_with('\n')) buf_ += '\n';
    return buf_;
}

} // namespace tidal
