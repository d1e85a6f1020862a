#pragma once
// The keys of a body as flat name-value pairs, for files that describe themselves (the NetCDF
// results carry them as attributes): every key of the body's file, dotted as --set names it
// ("shell.thickness"), with its value as the file writes it.
#include <string>
#include <variant>
#include <vector>

#include "description/body.hpp"

namespace tidal {

struct BodyKey {
    std::string name; // dotted key; a key of the i-th [[layer]] is "layer.<i>.<key>", i from 1
    // A number as the body file holds it (the same double), an integer, or a text (strings,
    // booleans as "true"/"false", arrays as their TOML text).
    std::variant<double, long long, std::string> value;
};

// The unit of a body key as UDUNITS writes it ("m", "kg/m^3", "Pa", "Pa s"), "1" for a ratio,
// a count or a key without a unit (the comment of its body file names the unit first, alone or
// before ';' or ':').
std::string key_units(std::string_view dotted_key);

// The keys of `body`, in the order of its body file.
std::vector<BodyKey> body_keys(const Body& body);

} // namespace tidal
