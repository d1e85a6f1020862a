#include "body/body_check.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "model/orbit_tide.hpp"
#include "rheology/rheologies.hpp"

namespace tidal {

std::string shortest(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

namespace {

std::optional<BodyProblem> positive(const char* key, double v) {
    if (!std::isfinite(v)) return BodyProblem{key, "must be a finite number"};
    if (!(v > 0.0)) return BodyProblem{key, "must be positive (got " + shortest(v) + ")"};
    return std::nullopt;
}

// Every entry positive, and one per layer where more than one is given.
std::optional<BodyProblem> layer_values(const char* key, const std::vector<double>& v, int layers,
                                        bool scalar_allowed) {
    if (!(scalar_allowed && v.size() == 1) && v.size() != static_cast<std::size_t>(layers))
        return BodyProblem{key, "has " + std::to_string(v.size()) +
                                    " values but numerics.layers is " + std::to_string(layers) +
                                    " (give one value per layer" +
                                    (scalar_allowed ? ", or a single number)" : ")")};
    for (std::size_t i = 0; i < v.size(); ++i)
        if (auto p = positive(key, v[i])) {
            if (v.size() > 1) p->what += " in layer " + std::to_string(i + 1);
            return p;
        }
    return std::nullopt;
}

} // namespace

std::string compact_exponent(const std::string& s) {
    const auto e = s.find('e');
    if (e == std::string::npos) return s;
    std::string exponent = s.substr(e + 1);
    const bool negative = exponent[0] == '-';
    exponent.erase(0, exponent.find_first_not_of("+-0"));
    return s.substr(0, e) + "e" + (negative ? "-" : "") + (exponent.empty() ? "0" : exponent);
}

std::string bound_text(double v) {
    return compact_exponent(shortest(v));
}

std::string range_text(const ParameterRange& r) {
    const std::string low = bound_text(r.min), high = bound_text(r.max);
    if (!r.min_open && !r.max_open) return "from " + low + " to " + high;
    return (r.min_open ? "greater than " + low : "at least " + low) + " and " +
           (r.max_open ? "less than " + high : "at most " + high);
}

SweepIndices sweep_indices(double log10_min, double log10_max, int steps_per_decade) {
    const double s = static_cast<double>(steps_per_decade);
    SweepIndices out;
    // Start below the bound and step up, so that rounding in min*s cannot skip an end point.
    long long k = static_cast<long long>(std::floor(log10_min * s)) - 1;
    while (static_cast<double>(k) / s < log10_min)
        ++k;
    out.first_k = k;
    k = static_cast<long long>(std::floor(log10_max * s)) + 1;
    while (static_cast<double>(k) / s > log10_max)
        --k;
    out.last_k = k;
    return out;
}

std::optional<BodyProblem> check_body(const Body& b) {
    // The layer count first: the arrays are checked against it.
    if (b.layers < 2 || b.layers > kMaxLayers)
        return BodyProblem{"numerics.layers", "must be from 2 to " + std::to_string(kMaxLayers) +
                                                  " (got " + std::to_string(b.layers) + ")"};
    if (auto p = positive("shell.outer_radius", b.outer_radius)) return p;
    if (auto p = positive("shell.thickness", b.thickness)) return p;
    // A layered body's solid may reach the centre (thickness = outer_radius); a [shell] lies
    // over a fluid.
    const bool solid_centre = !b.interior.empty() && b.thickness == b.outer_radius;
    if (!(b.thickness < b.outer_radius) && !solid_centre)
        return BodyProblem{"shell.thickness", "must be less than shell.outer_radius (" +
                                                  shortest(b.outer_radius) + " m), got " +
                                                  shortest(b.thickness)};
    if (auto p = layer_values("shell.rigidity", b.rigidity, b.layers, true)) return p;
    if (auto p = positive("shell.density", b.density)) return p;
    // A layered body's density may jump either way at the liquid's top (a warning says so).
    if (b.interior.empty())
        if (auto p = positive("shell.density_contrast", b.density_contrast)) return p;
    if (auto p = positive("shell.surface_gravity", b.surface_gravity)) return p;
    if (!solid_centre)
        if (auto p = positive("shell.bottom_gravity", b.bottom_gravity)) return p;
    if (!b.viscosity_factors.empty())
        if (auto p = layer_values("shell.viscosity_factors", b.viscosity_factors, b.layers, false))
            return p;
    if (auto p = positive("orbit.period", b.period)) return p;
    // The spin axis's tilt, 0 (the orbit normal) to 180 degrees (against it), both bounds
    // included; the pericentre's argument any finite angle.
    if (!std::isfinite(b.obliquity)) return BodyProblem{"orbit.obliquity", "must be a finite number"};
    if (!(b.obliquity >= 0.0 && b.obliquity <= 180.0))
        return BodyProblem{"orbit.obliquity",
                           "must be from 0 to 180 degrees (got " + shortest(b.obliquity) + ")"};
    if (!std::isfinite(b.pericentre_argument))
        return BodyProblem{"orbit.pericentre_argument", "must be a finite number"};
    // An oblique body's geometry (docs/method.md §2.2) is that of a synchronous spin.
    if (b.oblique() && b.three_to_two())
        return BodyProblem{"orbit.obliquity",
                           "the obliquity tide is that of a synchronous body (got " +
                               shortest(b.obliquity) + " degrees with the 3:2 rotation)"};
    // Without obliquity the tide is the eccentricity tide alone: a circular orbit raises none
    // and heats nothing. An oblique body on a circular orbit feels the obliquity tide.
    const bool oblique_circular = b.oblique() && b.eccentricity == 0.0;
    if (!oblique_circular && !(b.eccentricity > 0.0 && b.eccentricity < 1.0))
        return BodyProblem{"orbit.eccentricity",
                           "must be more than 0 and less than 1 (got " +
                               shortest(b.eccentricity) + ")" +
                               (b.eccentricity == 0.0
                                    ? ": a circular orbit raises no eccentricity tide"
                                    : "")};

    if (b.rotation != "synchronous" && b.rotation != "3:2")
        return BodyProblem{"orbit.rotation", "unknown rotation \"" + b.rotation +
                                                 "\" (the rotations are \"synchronous\", \"3:2\")"};
    if (b.tide != "expansion" && b.tide != "exact")
        return BodyProblem{"orbit.tide", "unknown tide \"" + b.tide +
                                             "\" (the tides are \"expansion\", \"exact\")"};
    // The exact tide's harmonics must converge within the cap: the time steps must resolve
    // them, and they say how fast the tide varies near pericentre.
    if (b.exact_tide() &&
        OrbitTide(b)
            .harmonics(kTideHarmonicTolerance, kTideHarmonicCap)
            .empty())
        return BodyProblem{"orbit.eccentricity",
                           "the exact tide at eccentricity " + shortest(b.eccentricity) +
                               " needs more than " + std::to_string(kTideHarmonicCap) +
                               " harmonics of the orbital frequency (the cap)"};
    for (const auto& [key, v] : {std::pair{"sweep.log10_viscosity_min", b.log10_viscosity_min},
                                 std::pair{"sweep.log10_viscosity_max", b.log10_viscosity_max}})
        if (!(std::fabs(v) <= 300.0))
            return BodyProblem{key, "must be from -300 to 300 (got " + shortest(v) + ")"};
    if (b.steps_per_decade < 1)
        return BodyProblem{"sweep.steps_per_decade",
                           "must be at least 1 (got " + std::to_string(b.steps_per_decade) + ")"};
    if (b.log10_viscosity_min > b.log10_viscosity_max)
        return BodyProblem{"sweep.log10_viscosity_min",
                           "must not exceed sweep.log10_viscosity_max (" +
                               shortest(b.log10_viscosity_min) + " > " +
                               shortest(b.log10_viscosity_max) + ")"};
    const SweepIndices k =
        sweep_indices(b.log10_viscosity_min, b.log10_viscosity_max, b.steps_per_decade);
    if (k.count() < 1)
        return BodyProblem{"sweep.steps_per_decade", "leaves no viscosity 10^(k/" +
                                                         std::to_string(b.steps_per_decade) +
                                                         ") between the sweep's bounds"};
    if (k.count() > kMaxViscosities)
        return BodyProblem{"sweep.steps_per_decade",
                           "gives " + std::to_string(k.count()) + " viscosities; at most " +
                               std::to_string(kMaxViscosities) + " fit in one sweep"};

    if (b.models.empty()) return BodyProblem{"rheology.models", "must name at least one rheology"};
    for (auto r = b.models.begin(); r != b.models.end(); ++r)
        if (std::find(b.models.begin(), r, *r) != r)
            return BodyProblem{"rheology.models", "names \"" +
                                                      std::string(kRheologies[index_of(*r)].name) +
                                                      "\" twice"};
    // Each rheology's parameters, within the range it declares.
    for (const RheologyParameter& p : rheology_parameters()) {
        const double v = parameter_value(b.rheology, p);
        if (!p.range.contains(v))
            return BodyProblem{p.dotted(),
                               "must be " + range_text(p.range) + " (got " +
                                   (p.integer ? std::to_string(static_cast<long long>(v))
                                              : shortest(v)) +
                                   ")"};
    }

    if (b.periods < 1)
        return BodyProblem{"numerics.periods",
                           "must be at least 1 (got " + std::to_string(b.periods) + ")"};
    if (b.steps_per_period < kMinStepsPerPeriod)
        return BodyProblem{"numerics.steps_per_period",
                           "must be at least " + std::to_string(kMinStepsPerPeriod) +
                               " to sample a period (got " + std::to_string(b.steps_per_period) +
                               ")"};
    if (!(b.doubt_limit > 0.0 && b.doubt_limit < 1.0))
        return BodyProblem{"numerics.doubt_limit",
                           "must lie between 0 and 1, exclusive (got " + shortest(b.doubt_limit) +
                               ")"};
    if (b.extrapolate && !b.grid_error)
        return BodyProblem{"numerics.extrapolate",
                           "needs the solve on twice the layers that numerics.grid_error = false "
                           "turns off"};
    const long long steps = static_cast<long long>(b.periods) * b.steps_per_period;
    if (steps > kMaxStepsPerRun)
        return BodyProblem{"numerics.steps_per_period", "gives " + std::to_string(steps) +
                                                            " steps per run (numerics.periods x "
                                                            "numerics.steps_per_period); at most " +
                                                            std::to_string(kMaxStepsPerRun) +
                                                            " fit in memory"};
    return std::nullopt;
}

std::optional<BodyProblem> time_steps_problem(const Body& b) {
    if (!b.exact_tide()) return std::nullopt;
    const std::size_t harmonics = OrbitTide(b)
                                      .harmonics(kTideHarmonicTolerance, kTideHarmonicCap)
                                      .size();
    if (b.steps_per_period < 1 || static_cast<std::size_t>(b.steps_per_period) > harmonics)
        return std::nullopt;
    return BodyProblem{"numerics.steps_per_period",
                       std::to_string(b.steps_per_period) + " steps per period cannot carry the " +
                           std::to_string(harmonics) +
                           " harmonics of the exact tide at eccentricity " +
                           shortest(b.eccentricity) + ": harmonic " +
                           std::to_string(b.steps_per_period) +
                           " is a constant load to the time steps, under which the shell has no "
                           "periodic state; raise numerics.steps_per_period above " +
                           std::to_string(2 * harmonics) + " (or use --method steady)"};
}

std::optional<std::string> unused_rheology_parameters(const Body& b) {
    // The first rheology that does not run but has a parameter set, and where it is set:
    // its own table, or the keys it keeps in another.
    for (const RheologyNames& r : kRheologies) {
        if (std::find(b.models.begin(), b.models.end(), r.id) != b.models.end()) continue;
        // A fixed layer's rheology runs in that layer, with these parameters.
        if (std::any_of(b.interior.begin(), b.interior.end(),
                        [&](const InteriorLayer& L) { return L.rheology == r.id; }))
            continue;
        std::vector<std::string> places;
        for (const RheologyParameter& p : rheology_parameters()) {
            if (p.rheology != r.id || parameter_value(b.rheology, p) == p.default_value)
                continue;
            const std::string place = p.own_table ? "[" + p.table + "]" : p.dotted();
            if (std::find(places.begin(), places.end(), place) == places.end())
                places.push_back(place);
        }
        if (places.empty()) continue;
        std::string where = places[0];
        for (std::size_t i = 1; i < places.size(); ++i)
            where += (i + 1 == places.size() ? " and " : ", ") + places[i];
        return "warning: " + where + (places.size() == 1 ? " is" : " are") + " set but " +
               std::string(r.name) +
               " is not in rheology.models: it has no effect on this run";
    }
    return std::nullopt;
}

} // namespace tidal
