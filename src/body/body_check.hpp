#pragma once
// The checks that make a body meaningful: positive sizes and material constants, a shell
// thinner than the body, a bound orbit, rheologies named once each with parameters in the
// ranges they declare,
// enough layers and time steps, a sweep and a run that fit in memory.
#include <optional>
#include <string>

#include "description/body.hpp"

namespace tidal {

// A double in the shortest decimal form that reads back to the same bits, for messages.
std::string shortest(double v);
// A number's text with its exponent written short: "1e-06" -> "1e-6", "1.1e+14" -> "1.1e14".
std::string compact_exponent(const std::string& s);
// shortest() with the exponent written short, as a bound in a message: 1e-6, 1e6, 0.5, 64.
std::string bound_text(double v);
// The values a range holds, in words: "from 1e-6 to 1e6", "greater than 0 and less than 1".
std::string range_text(const ParameterRange& r);

// Largest run the program accepts: layers, time steps of one run (its series are kept in
// memory, 8 bytes a step for each rheology) and viscosities of one sweep.
inline constexpr int kMaxLayers = 10000;
inline constexpr long long kMaxStepsPerRun = 50'000'000;
inline constexpr long long kMaxViscosities = 100'000;
inline constexpr int kMinStepsPerPeriod = 4; // the second harmonic of the tide needs > 2 a period
struct BodyProblem {
    std::string key;  // dotted key, e.g. "shell.thickness"
    std::string what; // what is wrong, e.g. "must be less than shell.outer_radius (252100)"
};

// The first problem of the body, in the order of the file's keys, or nothing.
std::optional<BodyProblem> check_body(const Body& body);

// A warning line when the body sets parameters of a rheology it does not run (they are kept in
// its body.toml but have no effect), else nothing.
std::optional<std::string> unused_rheology_parameters(const Body& body);

// The refusal of a time integration whose steps cannot carry the exact tide: with
// numerics.steps_per_period = n at most the tide's H harmonics, harmonic n turns by a whole
// period every step, a constant load to the scheme (z = e^{2 pi i n / n} = 1, the time
// derivatives' factor s = 0). A Maxwell shell creeps under it without end, so the scheme has no
// periodic state to measure the run against (docs/method.md §6). Nothing for the expanded
// tides, nor for more steps than harmonics (those alias, and are warned about).
std::optional<BodyProblem> time_steps_problem(const Body& body);

// The integers k of the sweep: first_k/s >= log10_viscosity_min, last_k/s <= ..._max, formed
// with the same division by which the viscosity 10^(k/s) is computed.
struct SweepIndices {
    long long first_k = 0, last_k = -1;
    long long count() const { return last_k - first_k + 1; }
};
SweepIndices sweep_indices(double log10_min, double log10_max, int steps_per_decade);

} // namespace tidal
