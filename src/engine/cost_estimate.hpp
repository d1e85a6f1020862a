#pragma once
// A rough forecast of how long a time sweep takes, told before a long one starts so that a
// user who mistyped steps_per_period (or asked for a thousand points) can stop it at once.
#include <optional>
#include <string>

#include "model/shell_model.hpp"

namespace tidal {

// Core-seconds one time step of one viscosity and rheology takes per layer, measured on the
// development machine (body 1: 241 viscosities x 2 rheologies x 20000 steps x 20 layers in
// about 38 core-seconds); machines differ by a factor of a few.
inline constexpr double kSecondsPerLayerStep = 2e-7;

// Only jobs forecast to take longer than this (s) are announced.
inline constexpr double kAnnouncedCost = 60.0;

// Core-seconds one periodic steady state of one viscosity and rheology takes per layer (its
// complex band solve, Love numbers and profile, output included), measured on the development
// machine: body 1, 24001 viscosities x 2 rheologies at 20 layers in about 2.4 core-seconds.
inline constexpr double kSecondsPerLayerSteadySolve = 2.5e-6;

// The forecast core-seconds of a time sweep of `viscosities` viscosities of `model`.
double forecast_core_seconds(const ShellModel& model, long long viscosities);

// The forecast core-seconds of a sweep of periodic steady states alone (--method steady, a
// steady study's point). The grid error solves each state again on twice the layers, which
// measures as 2.5 times the plain sweep.
double forecast_steady_core_seconds(const ShellModel& model, long long viscosities);
// The same from the body alone (the steady forecast needs no model: a study forecasts every
// point before computing any).
double forecast_steady_core_seconds(const Body& body, long long viscosities);

// The size of such a sweep in words: "241 viscosities x 2 rheologies x 20000 time steps of 20
// layers".
std::string sweep_size(const ShellModel& model, long long viscosities);

// The size of a steady sweep in words: "241 viscosities x 2 rheologies of periodic states on
// 20 layers".
std::string steady_sweep_size(const ShellModel& model, long long viscosities);

// "note: JOB: about 3 hours on 2 threads (...)" when `core_seconds` spread over `threads`
// exceed kAnnouncedCost, else nothing.
std::optional<std::string> cost_note(const std::string& job, double core_seconds, int threads);

} // namespace tidal
