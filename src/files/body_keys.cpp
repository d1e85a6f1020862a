#include "files/body_keys.hpp"

#include <algorithm>
#include <sstream>

#include "files/body_file.hpp"
#include "files/toml_document.hpp"

namespace tidal {

namespace {

void flatten(const std::string& prefix, const toml::node& node, std::vector<BodyKey>& out) {
    if (const toml::table* t = node.as_table()) {
        // The file's order, not the table's (kept sorted by name).
        std::vector<std::pair<std::string, const toml::node*>> items;
        for (const auto& [k, v] : *t)
            items.emplace_back(std::string(k.str()), &v);
        std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
            const auto &sa = a.second->source().begin, &sb = b.second->source().begin;
            return sa.line != sb.line ? sa.line < sb.line : sa.column < sb.column;
        });
        for (const auto& [k, v] : items)
            flatten(prefix.empty() ? k : prefix + "." + k, *v, out);
        return;
    }
    if (const toml::array* a = node.as_array(); a && a->is_array_of_tables()) {
        for (std::size_t i = 0; i < a->size(); ++i)
            flatten(prefix + "." + std::to_string(i + 1), *a->get(i), out);
        return;
    }
    if (const auto* d = node.as_floating_point()) {
        out.push_back({prefix, d->get()});
    } else if (const auto* n = node.as_integer()) {
        out.push_back({prefix, static_cast<long long>(n->get())});
    } else if (const auto* s = node.as_string()) {
        out.push_back({prefix, s->get()});
    } else if (const auto* b = node.as_boolean()) {
        out.push_back({prefix, std::string(b->get() ? "true" : "false")});
    } else {
        std::ostringstream text;
        text << toml::toml_formatter(node);
        out.push_back({prefix, text.str()});
    }
}

} // namespace

std::string key_units(std::string_view dotted_key) {
    // The comment's head, before ';' or ':', is the unit when it is one: short, no comma
    // ("m", "kg/m^3", "Pa s", "degrees"); a phrase ("radial layers of the shell") is not.
    const std::string comment = key_comment(dotted_key);
    const std::string unit = comment.substr(0, comment.find_first_of(";:"));
    if (unit.empty() || unit.size() > 8 || unit.find(',') != std::string::npos) return "1";
    return unit;
}

std::vector<BodyKey> body_keys(const Body& body) {
    toml::table doc;
    // The body's own file reads back, so it parses.
    if (const auto e = parse_toml_document(write_body(body, ""), "body", doc)) return {};
    std::vector<BodyKey> out;
    flatten("", doc, out);
    return out;
}

} // namespace tidal
