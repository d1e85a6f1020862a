// Method: docs/method.md §6 (the periodic steady state) and §2.1 (the tide's harmonics).
#include "study/shared_radial_problem.hpp"

#include <cstddef>

#include "files/body_file.hpp"
#include "model/orbit_tide.hpp"

namespace tidal {

namespace {

// How many harmonics the steady forcing of the body has: the exact tide's count depends on
// the eccentricity (model/orbit_tide.hpp), the expanded tides' does not.
std::size_t tide_harmonics(const Body& body) {
    if (!body.exact_tide()) return 0;
    return OrbitTide(body).harmonics(kTideHarmonicTolerance, kTideHarmonicCap).size();
}

} // namespace

bool share_radial_problem(const Body& a, const Body& b) {
    if (a.oblique() || b.oblique()) return false;
    if ((a.eccentricity == 0.0) != (b.eccentricity == 0.0)) return false;
    // Every key compared through the body file's text, so that a key added to the body is
    // compared without a list of fields to keep up: b with a's eccentricity must be a.
    Body other = b;
    other.eccentricity = a.eccentricity;
    if (write_body(other, "") != write_body(a, "")) return false;
    return tide_harmonics(a) == tide_harmonics(b);
}

} // namespace tidal
