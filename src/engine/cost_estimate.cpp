#include "engine/cost_estimate.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace tidal {

double forecast_core_seconds(const ShellModel& model, long long viscosities) {
    return static_cast<double>(viscosities) * static_cast<double>(model.body.models.size()) *
           static_cast<double>(model.run.nsteps) * static_cast<double>(model.body.layers) *
           kSecondsPerLayerStep;
}

namespace {

// Core-seconds of the solves of one viscosity and rheology of `body`.
double steady_solve_seconds(const Body& body) {
    const double grid_error = body.grid_error ? kGridErrorSolveFactor : 1.0;
    return static_cast<double>(body.layers) * kSecondsPerLayerSteadySolve * grid_error;
}

double viscosity_rheologies(const Body& body, long long viscosities) {
    return static_cast<double>(viscosities) * static_cast<double>(body.models.size());
}

} // namespace

double forecast_steady_core_seconds(const ShellModel& model, long long viscosities) {
    const Body& body = model.body;
    return viscosity_rheologies(body, viscosities) *
           (steady_solve_seconds(body) +
            static_cast<double>(body.layers) * kSecondsPerLayerSteadyOutput);
}

double forecast_steady_point_core_seconds(const Body& body, long long viscosities) {
    return viscosity_rheologies(body, viscosities) *
           (steady_solve_seconds(body) + kSecondsPerSteadyStudyRow);
}

std::string sweep_size(const ShellModel& model, long long viscosities) {
    const std::size_t rheologies = model.body.models.size();
    std::ostringstream out;
    out << viscosities << (viscosities == 1 ? " viscosity x " : " viscosities x ") << rheologies
        << (rheologies == 1 ? " rheology x " : " rheologies x ") << model.run.nsteps
        << " time steps of " << model.body.layers << " layers";
    return out.str();
}

std::string steady_sweep_size(const ShellModel& model, long long viscosities) {
    const std::size_t rheologies = model.body.models.size();
    std::ostringstream out;
    out << viscosities << (viscosities == 1 ? " viscosity x " : " viscosities x ") << rheologies
        << (rheologies == 1 ? " rheology" : " rheologies") << " of periodic states on "
        << model.body.layers << " layers";
    return out.str();
}

namespace {

// 90 s as "about 2 minutes", 5400 s as "about 1.5 hours", and so on.
std::string duration(double s) {
    std::ostringstream out;
    out.precision(2);
    if (s < 5400.0)
        out << "about " << std::lround(s / 60.0) << " minutes";
    else if (s < 2.0 * 86400.0)
        out << "about " << s / 3600.0 << " hours";
    else
        out << "about " << s / 86400.0 << " days";
    return out.str();
}

} // namespace

std::optional<std::string> cost_note(const std::string& job, double core_seconds, int threads) {
    threads = std::max(threads, 1);
    const double s = core_seconds / threads;
    if (!(s > kAnnouncedCost)) return std::nullopt;
    return "note: " + job + ": " + duration(s) + " on " + std::to_string(threads) +
           (threads == 1 ? " thread" : " threads") +
           " (a rough forecast; SIGTERM or Ctrl-C stops it, keeping what is done)";
}

} // namespace tidal
