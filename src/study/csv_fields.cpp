#include "study/csv_fields.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "files/result_file.hpp"
#include "study/points_csv.hpp"

namespace tidal {

namespace {

// The characters a plain table (one read_csv_rows returns unchanged) is split at, and those
// it cannot hold: a quote to undo, a blank to trim, a carriage return to drop.
enum CharClass : unsigned char { kOther, kComma, kLineFeed, kNotPlain };

constexpr std::array<unsigned char, 256> char_classes() {
    std::array<unsigned char, 256> c{};
    c[static_cast<unsigned char>(',')] = kComma;
    c[static_cast<unsigned char>('\n')] = kLineFeed;
    for (const char n : {'"', ' ', '\t', '\r'})
        c[static_cast<unsigned char>(n)] = kNotPlain;
    return c;
}

constexpr std::array<unsigned char, 256> kClasses = char_classes();

// Every character of another class than kOther lies below this one ('-'): digits, letters,
// points, signs of exponents, underscores are skipped in words of eight bytes.
constexpr unsigned char kFirstPlain = '-';
static_assert([] {
    for (int c = kFirstPlain; c < 256; ++c)
        if (kClasses[static_cast<std::size_t>(c)] != kOther) return false;
    return true;
}());

// The first character at or after `c` (`end` if none) below kFirstPlain. Eight bytes at a
// time: a byte below n makes its top bit set in (w - n...n) & ~w & 80...80, and the borrow of
// a byte can only mark bytes after it, so the lowest marked byte is the first one below n.
const char* next_below_plain(const char* c, const char* end) {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    while (end - c >= 8) {
        std::uint64_t w;
        std::memcpy(&w, c, 8);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
        const std::uint64_t marked = (w - ones * kFirstPlain) & ~w & (ones * 0x80);
        if (marked != 0) return c + (std::countr_zero(marked) >> 3);
        c += 8;
    }
    while (c < end && static_cast<unsigned char>(*c) >= kFirstPlain)
        ++c;
    return c;
}

} // namespace

CsvFields::CsvFields(std::string text, const std::string& label) : text_(std::move(text)) {
    // A plain text is split in one pass (a blank line, then an empty one, is no row); any
    // other is given to read_csv_rows.
    const char* const begin = text_.data();
    const char* const end = begin + text_.size();
    const char* line = begin;  // where the current line starts
    const char* field = begin; // where the current field starts
    fields_.reserve(text_.size() / 16);
    bool plain = true;
    for (const char* c = begin;; ++c) {
        c = next_below_plain(c, end);
        const unsigned char k = c == end ? static_cast<unsigned char>(kLineFeed)
                                         : kClasses[static_cast<unsigned char>(*c)];
        if (k == kOther) continue;
        if (k == kNotPlain) {
            plain = false;
            break;
        }
        if (k == kComma || c > line)
            fields_.emplace_back(field, static_cast<std::size_t>(c - field));
        if (k == kLineFeed) {
            if (c > line) starts_.push_back(fields_.size());
            if (c == end) break;
            line = c + 1;
        }
        field = c + 1;
    }
    if (plain) {
        verbatim_ = true;
        return;
    }
    fields_.clear();
    starts_.assign(1, 0);
    auto parsed = read_csv_rows(text_, label);
    if (const auto* e = std::get_if<PointTableError>(&parsed)) throw OutputError(e->message);
    owned_ = std::get<std::vector<std::vector<std::string>>>(std::move(parsed));
    for (const std::vector<std::string>& row : owned_) {
        for (const std::string& f : row)
            fields_.emplace_back(f);
        starts_.push_back(fields_.size());
    }
}

std::string_view CsvFields::line(std::size_t row) const {
    const std::span<const std::string_view> f = (*this)[row];
    if (f.empty()) return {};
    return std::string_view(
        f.front().data(),
        static_cast<std::size_t>(f.back().data() + f.back().size() - f.front().data()));
}

} // namespace tidal
