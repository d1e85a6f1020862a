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

// Core-seconds one periodic steady state of one viscosity and rheology takes per layer to
// compute (its complex band solve, Love numbers and profile, no output), measured on a 2-core
// AVX2 machine: body 1, 24001 viscosities x 2 rheologies at 20 layers in about 0.5 s
// (bench/steady_speed.sh).
inline constexpr double kSecondsPerLayerSteadySolve = 5e-7;
// The grid error solves each state again on twice the layers and reduces both: 2.8 times the
// plain solve, measured as above.
inline constexpr double kGridErrorSolveFactor = 2.8;
// Core-seconds a single steady run spends per layer of each viscosity and rheology writing its
// files (the heating profile's rows, summary.csv, love_numbers.csv, results.nc) and making them
// durable: the 24001-viscosity run of body 1 takes about 3 s beyond its solves.
inline constexpr double kSecondsPerLayerSteadyOutput = 3e-6;
// Core-seconds a steady study spends per viscosity and rheology of a point on its rows (the
// point's tables or journal record, study_sweep.csv, study.nc): a 1000-point study of 241
// viscosities x 3 rheologies spends about 4 s on them.
inline constexpr double kSecondsPerSteadyStudyRow = 6e-6;

// The forecast core-seconds of a time sweep of `viscosities` viscosities of `model`.
double forecast_core_seconds(const ShellModel& model, long long viscosities);

// The forecast core-seconds of a single run's sweep of periodic steady states (--method
// steady): the solves, with the grid error's where the body asks for it, and the files.
double forecast_steady_core_seconds(const ShellModel& model, long long viscosities);
// The same for a point of a steady study, whose rows are its only output (the steady forecast
// needs no model: a study forecasts every point before computing any).
double forecast_steady_point_core_seconds(const Body& body, long long viscosities);

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
