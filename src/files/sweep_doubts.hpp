#pragma once
// How far a sweep's numbers can be trusted, as one-line warnings for standard error (or for
// Python's warnings): runs whose last period is still far from the periodic state (raise
// numerics.periods), and a time step whose own error is large (raise
// numerics.steps_per_period). Fed with the rows of summary.csv as they are written.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "description/body.hpp"
#include "files/tables.hpp"
#include "rheology/rheologies.hpp"

namespace tidal {


// What refines the grid of `body`, as the grid error's warning names it: numerics.layers for
// a uniform shell; a body given by its layers has no such key (it is refused there), so its
// layers' own cell counts.
std::string grid_refinement_key(const Body& body);

class SweepDoubts {
  public:
    // `models`: the rheologies of the rows, column order; `periods`: the periods integrated;
    // `limit`: the relative error beyond which a value is in doubt (numerics.doubt_limit);
    // `grid_fix`: what refines the grid, named by the grid error's warning (grid_refinement_key).
    SweepDoubts(std::vector<Rheology> models, int periods, double limit,
                std::string grid_fix = "numerics.layers");

    // Notes the error columns of one viscosity's row (one entry per rheology, column order);
    // an empty value (no time integration, no grid error) adds nothing.
    void add(double eta, const std::vector<SteadySummary>& steady,
             const std::vector<GridErrorSummary>& grid);

    // When some viscosity's transient exceeds the limit, one line saying how many and the
    // worst, naming numerics.periods; else nothing.
    std::optional<std::string> transient_warning() const;
    // The same for the step error, naming numerics.steps_per_period.
    std::optional<std::string> step_error_warning() const;
    // The same for the power's grid error, naming what refines the grid.
    std::optional<std::string> grid_error_warning() const;
    // Every warning above that applies, in that order.
    std::vector<std::string> warnings() const;
    // The run's accuracy in one line: the largest transient, step and grid error of the sweep
    // and where they occur (those the rows carry); nothing before any row.
    std::optional<std::string> accuracy_summary() const;
    // The largest transient, step and grid error in magnitude, with their sign (0 before
    // any).
    double worst_transient() const { return transient_.worst; }
    double worst_step_error() const { return step_error_.worst; }
    double worst_grid_error() const { return grid_error_.worst; }

  private:
    // Viscosities at which a figure of doubt exceeds its limit, and its largest value in
    // magnitude with where it was found.
    struct Exceedance {
        int count = 0;
        bool seen = false; // some row carried this error
        double worst = 0.0, eta = 0.0;
        std::string_view rheology;
    };
    void note(Exceedance& e, double eta, std::size_t rheology, double value, bool& over);
    // The warning line of `e`: how many viscosities `what`, the worst, and the key to raise.
    std::optional<std::string> warning(const Exceedance& e, std::string_view what,
                                       std::string_view fix) const;

    std::vector<Rheology> models_;
    std::string grid_fix_;
    int periods_;
    double limit_;
    int rows_ = 0;
    Exceedance transient_, step_error_, grid_error_;
};

} // namespace tidal
