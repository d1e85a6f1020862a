#pragma once
// The engine that every caller runs a body through: the command line, the points of a study
// and the Python module. A checked body goes in (it carries its numerics and rheologies);
// its discretised model, its swept viscosities and the records of either method come out,
// in ascending viscosity. Nothing here writes a file: the caller that owns the output
// directory does.
#include <functional>
#include <span>
#include <vector>

#include "description/body.hpp"
#include "engine/sweep.hpp"
#include "engine/sweep_maps.hpp"
#include "steady/steady_sweep.hpp"
#include "model/shell_model.hpp"

namespace tidal {

// The swept viscosities of a checked body: 10^(k/steps_per_decade) Pa s over its range.
ViscositySweep viscosity_sweep(const Body& body);

class Engine {
  public:
    // The model of a checked body: grid, coefficients and time stepping, shared read-only by
    // every run.
    explicit Engine(const Body& body);

    const Body& body() const { return model_.body; }
    const ShellModel& model() const { return model_; }
    const ViscositySweep& viscosities() const { return viscosities_; }
    // The swept viscosities in Pa s, ascending.
    std::vector<double> swept() const;

    // The time method: every viscosity's runs (and, as `settings` asks, their series and
    // periodic states) to `consume` in ascending order, on settings.threads threads. False
    // when settings.stop ended it early (everything consumed until then is complete).
    bool time(const SweepSettings& settings,
              const std::function<void(ViscosityResults&&)>& consume) const;
    // One batch of the time method (a study's unit of work), with the caller's workspace.
    Batch time_batch(int batch, const SweepSettings& settings, RunWorkspace& ws) const;

    // The steady method: the continuous periodic state of each of `etas` (Pa s); fewer rows,
    // the first viscosities', when `stop` ended it early.
    std::vector<SteadySweepRow> steady(std::span<const double> etas,
                                       const std::function<bool()>& stop = {}) const;

    // The surface heat-flux maps of `etas` (Pa s) on a grid of `step` degrees, from the
    // periodic state of `flavour` (Discrete for the time method, Continuous for the steady).
    std::vector<SweepMap> maps(const std::vector<double>& etas, Flavour flavour,
                               double step) const;

  private:
    ShellModel model_;
    ViscositySweep viscosities_;
};

// The steady method for engines whose bodies share their radial problem (they differ only in
// the orbit's eccentricity, study/shared_radial_problem.hpp), solved together: rows[g] is
// what engines[g]->steady(etas) gives, bit for bit.
std::vector<std::vector<SteadySweepRow>> steady_together(const std::vector<const Engine*>& engines,
                                                         std::span<const double> etas);

} // namespace tidal
