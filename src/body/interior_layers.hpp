#pragma once
// A body given by its concentric layers (outermost first; files/layer_file.hpp reads and
// writes them): what the methods run of them, and the warning of a density inversion.
#include <cstddef>
#include <optional>
#include <string>

#include "description/body.hpp"

namespace tidal {

// What the time and steady methods run of a layered body: its layers mapped onto the solid
// shell over a liquid interior (or, under an ocean, onto the shell and the core as two blocks
// of one band system, docs/method.md §10), the gravities from the densities and
// self-gravitation on. The
// layer at fault and why where the layers are valid but not (yet) of that form, or nothing.
struct InteriorProblem {
    std::size_t layer; // 0-based, outermost first
    std::string key;   // the layer's key at fault
    std::string what;
};
std::optional<InteriorProblem> derive_shell_from_layers(Body& body);

// The most density jumps inside the solid that the methods run (each is an interface of the
// self-gravitation coupling, beside the surface and the liquid's top; an ocean's floor takes
// one more, leaving 13).
inline constexpr std::size_t kMaxDensityJumps = 14;

// The warning, once, when some layer is denser than the one below it (allowed: a stably
// layered body has density decreasing outward, so it is almost always a slip).
std::optional<std::string> density_inversion_warning(const Body& body);

} // namespace tidal
