#include "files/body_source.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "files/printable_text.hpp"

namespace tidal {

std::variant<std::string, BodyError> read_text_file(const std::string& path,
                                                    std::string_view kind) {
    const auto cannot = [&](int err) {
        return BodyError{"cannot read " + std::string(kind) + " '" + printable_path(path) +
                         "': " + std::strerror(err)};
    };
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"),
                                                            &std::fclose);
    if (!f) return cannot(errno);
    std::string text;
    char buf[65536];
    std::size_t got = 0;
    while ((got = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
        text.append(buf, got);
        if (text.size() > kMaxBodyFileBytes)
            return BodyError{printable_path(path) + ": not a " + std::string(kind) + " (larger than " +
                             std::to_string(kMaxBodyFileBytes >> 20) + " MiB)"};
    }
    if (std::ferror(f.get())) return cannot(errno != 0 ? errno : EIO);
    return text;
}

std::variant<Body, BodyError> read_body_file(const std::string& path,
                                                 std::span<const std::string> overrides) {
    auto text = read_text_file(path, "body file");
    if (auto* e = std::get_if<BodyError>(&text)) return std::move(*e);
    return read_body(std::get<std::string>(text), printable_path(path), overrides);
}

} // namespace tidal
