#pragma once
// "Did you mean ...?" for a mistyped key.
#include <string>
#include <string_view>
#include <vector>

namespace tidal {

// The known key closest to `given` by edit distance (comparing whole dotted keys, and the
// last components alone so that a key in the wrong section is found), or "" if none is close.
std::string nearest_key(std::string_view given, const std::vector<std::string>& known);

} // namespace tidal
