#pragma once
// How far a sweep's numbers can be trusted, as one-line warnings for standard error (or for
// Python's warnings): runs whose last period is still far from the periodic state (raise
// numerics.periods), and a time step whose own error is large (raise
// numerics.steps_per_period). Fed with the rows of summary.csv as they are written.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/tables.hpp"
#include "rheology/rheologies.hpp"

namespace tidal {

// How far from its periodic state a run's last period may be before the user is told.
inline constexpr double kTransientLimit = 1e-3;
// How far the time scheme's periodic power may be from the exact one before the user is told.
inline constexpr double kStepErrorLimit = 1e-3;

class SweepDoubts {
  public:
    // `models`: the rheologies of the rows, column order; `periods`: the periods integrated.
    SweepDoubts(std::vector<Rheology> models, int periods);

    // Notes the steady-state columns of one viscosity's row (one entry per rheology, column
    // order); a row without a transient (a sweep without time integration) adds nothing.
    void add(double eta, const std::vector<SteadySummary>& steady);

    // When some viscosity's transient exceeds kTransientLimit, one line saying how many and
    // the worst; else nothing.
    std::optional<std::string> transient_warning() const;
    // The same for the step error beyond kStepErrorLimit, naming numerics.steps_per_period.
    std::optional<std::string> step_error_warning() const;
    // The largest transient and step error in magnitude, with their sign (0 before any).
    double worst_transient() const { return transient_.worst; }
    double worst_step_error() const { return step_error_.worst; }

  private:
    // Viscosities at which a figure of doubt exceeds its limit, and its largest value in
    // magnitude with where it was found.
    struct Exceedance {
        int count = 0;
        double worst = 0.0, eta = 0.0;
        std::string_view rheology;
    };
    void note(Exceedance& e, double eta, std::size_t rheology, double value, double limit,
              bool& over);
    // The warning line of `e`: how many viscosities `what`, the worst, and the key to raise.
    std::optional<std::string> warning(const Exceedance& e, std::string_view what,
                                       std::string_view fix) const;

    std::vector<Rheology> models_;
    int periods_;
    int rows_ = 0;
    Exceedance transient_, step_error_;
};

} // namespace tidal
