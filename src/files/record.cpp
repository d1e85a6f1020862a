#include "files/record.hpp"

#include <charconv>

namespace tidal {

namespace {
void append_double(std::string& out, double v) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}
void append_integer(std::string& out, long long v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}
} // namespace

Record& Record::text(std::string_view s) {
    buf_ += ' ';
    buf_ += s;
    return *this;
}

Record& Record::real(double v) {
    buf_ += ' ';
    append_double(buf_, v);
    return *this;
}

const std::string& Record::line() {
    if (buf_.empty() || buf_.back() != '\n') buf_ += '\n';
    return buf_;
}

void append_step_record(std::string& out, int step, double value) {
    out += ' ';
    append_integer(out, step);
    out += ' ';
    append_double(out, value);
    out += '\n';
}

} // namespace tidal
