#pragma once
// From the body as the user states it to the body the equations use: the inner radius, the
// density below the shell, the orbital frequency and one rigidity and viscosity factor per
// layer.
#include <optional>

#include "body/body_spec.hpp"
#include "discretisation/body.hpp"

namespace tidal {

// The physical body of a checked BodySpec.
Body make_body(const BodySpec& body_spec);

// The physical body of preset `choice`, or nothing for a choice without a preset.
std::optional<Body> preset_body(int choice);

} // namespace tidal
