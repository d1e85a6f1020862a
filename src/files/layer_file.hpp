#pragma once
// The [[layer]] tables of a body file, listed from the surface down, each with a name, a
// thickness (or its outer radius; the innermost, given neither, reaches the centre), a density
// and a state ("solid": rigidity, viscosity "swept" with an optional viscosity_factor or a
// fixed value in Pa s with its own rheology, cells; "liquid": static and inviscid).
//
// Read with every key checked: a failure is one line "source:line: layer[i].key: what".
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <toml++/toml.h>

#include "description/body.hpp"

namespace tidal {

// "source:line" of a node, for messages.
using NodeWhere = std::function<std::string(const toml::node*)>;

// Reads the `layer` array of a body file into layers (outermost first), checking every key,
// the radii (no gap, no overlap, decreasing, the innermost reaching the centre), densities and
// states. `outer_radius` is the body's (top-level `outer_radius`). The failure's message, or
// nothing.
std::optional<std::string> read_interior_layers(const toml::node& array, double outer_radius,
                                                const NodeWhere& where,
                                                std::vector<InteriorLayer>& layers);

// Whether `key` is a key of a [[layer]] table ("density", "cells", ...).
bool is_layer_key(std::string_view key);

// What a key of a [[layer]] table holds, its unit first where it has one ("m", "kg/m^3"), as
// the body keys' comments say it; empty for a key that is none.
std::string layer_key_comment(std::string_view key);

// The top-level outer_radius and the [[layer]] tables of a layered body as body-file text.
std::string write_interior_layers(const Body& body);

} // namespace tidal
