#pragma once
// Values that are valid but almost certainly in the wrong unit (a thickness given in km where
// the file takes m, a period in days where it takes s): one warning line each, naming the key,
// the value and the unit it is read in. Nothing is refused: a tiny moon or a slow orbit may be
// meant.
#include <string>
#include <vector>

#include "description/body.hpp"

namespace tidal {

// The warning lines for the implausible magnitudes of `body`, in the order of the keys of a
// body file; none for the presets.
std::vector<std::string> implausible_values(const Body& body);

} // namespace tidal
