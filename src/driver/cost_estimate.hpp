#pragma once
// A rough forecast of how long a time sweep takes, told before a long one starts so that a
// user who mistyped steps_per_period (or asked for a thousand points) can stop it at once.
#include <optional>
#include <string>

#include "timestep/shell_model.hpp"

namespace tidal {

// Core-seconds one time step of one viscosity and rheology takes per layer, measured on the
// development machine (body 1: 241 viscosities x 2 rheologies x 20000 steps x 20 layers in
// about 38 core-seconds); machines differ by a factor of a few.
inline constexpr double kSecondsPerLayerStep = 2e-7;

// Only jobs forecast to take longer than this (s) are announced.
inline constexpr double kAnnouncedCost = 60.0;

// The forecast core-seconds of a time sweep of `viscosities` viscosities of `model`.
double forecast_core_seconds(const ShellModel& model, long long viscosities);

// The size of such a sweep in words: "241 viscosities x 2 rheologies x 20000 time steps of 20
// layers".
std::string sweep_size(const ShellModel& model, long long viscosities);

// "note: JOB: about 3 hours on 2 threads (...)" when `core_seconds` spread over `threads`
// exceed kAnnouncedCost, else nothing.
std::optional<std::string> cost_note(const std::string& job, double core_seconds, int threads);

} // namespace tidal
