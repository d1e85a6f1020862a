#include "files/rheology_keys.hpp"

#include <algorithm>
#include <vector>

#include "body/body_check.hpp"
#include "description/body.hpp"
#include "rheology/rheologies.hpp"

namespace tidal {

namespace {

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& words) {
    std::string s;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) s += i + 1 == words.size() ? " and " : ", ";
        s += words[i];
    }
    return s;
}

} // namespace

std::string rheologies_sentence() {
    const std::vector<Rheology>& defaults = Body{}.models;
    std::vector<std::string> first, others;
    for (const RheologyNames& r : kRheologies)
        (std::find(defaults.begin(), defaults.end(), r.id) != defaults.end() ? first : others)
            .emplace_back(r.title);
    return "the rheologies " + listed(first) +
           (others.empty() ? "" : ", or any of those and " + listed(others));
}

std::string rheology_key_table() {
    std::string out = "| rheology | key | unit | default | values | meaning | default from |\n"
                      "|---|---|---|---|---|---|---|\n";
    for (const RheologyNames& r : kRheologies) {
        std::string who = "`";
        who.append(r.name).append("` (").append(r.title).append(")");
        bool any = false;
        for (const RheologyParameter& p : rheology_parameters()) {
            if (p.rheology != r.id) continue;
            any = true;
            out += "| " + who + " | `" + p.dotted() + "` | " + std::string(p.unit) + " | " +
                   bound_text(p.default_value) + " | " + range_text(p.range) +
                   (p.integer ? ", whole" : "") + " | " + std::string(p.meaning) + " | " +
                   std::string(p.origin) + " |\n";
        }
        if (!any) out += "| " + who + " | | | | | no parameters beyond rigidity and viscosity | |\n";
    }
    return out;
}

} // namespace tidal
