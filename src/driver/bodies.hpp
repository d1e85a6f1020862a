#pragma once
// The eight preset bodies of the menu.
#include <optional>

#include "discretisation/body.hpp"

namespace tidal {

inline constexpr int kFirstChoice = 1;
inline constexpr int kLastChoice = 8;

// Parameter set of menu choice 1..8; no parameter set exists for any other choice.
std::optional<Body> preset_body(int choice);

} // namespace tidal
