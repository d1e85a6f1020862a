#pragma once
// The preset bodies of the menu: one table feeds the menu, --help, --body and --print-body.
#include <optional>
#include <span>
#include <string_view>

#include "description/body.hpp"

namespace tidal {

struct Preset {
    std::string_view menu_label; // as the menu shows it, e.g. "Europa(3)"
    std::string_view summary;    // one line for --help
    Body body_spec;
};

inline constexpr int kFirstChoice = 1;
inline constexpr int kLastChoice = 8;

// The presets, choice 1 first.
std::span<const Preset> presets();

// Preset `choice` (kFirstChoice..kLastChoice).
const Preset& preset(int choice);

// The body of preset `choice`, or nothing for a choice without a preset.
std::optional<Body> preset_body(int choice);

} // namespace tidal
