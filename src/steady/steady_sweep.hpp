#pragma once
// The periodic steady state of a body for a sweep of viscosities, every rheology: the fast
// alternative to the time integration (continuous flavour), and the yardstick of how far a
// time integration's last period is from its periodic state (discrete flavour).
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <tuple>
#include <vector>

#include "steady/grid_refinement.hpp"
#include "steady/period_reduction.hpp"
#include "steady/periodic_lanes.hpp"
#include "steady/periodic_state.hpp"

namespace tidal {

// One body's solver and reduction, reused from viscosity to viscosity (one per thread); or
// those of a group of bodies that share their radial problem (study/shared_radial_problem.hpp),
// solved with one factorisation and reduced each on its own.
class SteadyEngine {
  public:
    explicit SteadyEngine(const ShellModel& model);
    // The group's models, in order (not oblique when more than one).
    explicit SteadyEngine(std::vector<const ShellModel*> group);

    int points() const { return lanes_.points(); }

    // The steady state of `rheology` with per-layer viscosities `layer_eta` (N values, Pa s),
    // reduced to the record's `fields`.
    PeriodRecord solve(Rheology rheology, Flavour flavour, std::span<const double> layer_eta,
                       RecordFields fields = RecordFields::All);

    // The same for up to kLanes profiles at once, out[g * P + i] for layer_etas[i] (P of them)
    // and the group's model g (the same records as one model and one profile at a time,
    // solved in vector lanes).
    void solve(Rheology rheology, Flavour flavour,
               std::span<const std::span<const double>> layer_etas, std::span<PeriodRecord> out,
               RecordFields fields = RecordFields::All);

  private:
    // An oblique body's order-1 pair: its model (order_one_model) and engine, whose records'
    // dissipation is added to this one's.
    std::unique_ptr<const ShellModel> one_model_;
    std::unique_ptr<SteadyEngine> one_;
    bool circular_; // e = 0: the Love numbers are the order-1 pair's
    PeriodicSolver solver_; // the first model's, for one profile at a time
    PeriodicLanes lanes_;
    // The group's models differ only in the tide's loads, which each reduction is given: one
    // reduction (its trigonometric tables, windows and Love number scale) serves them all.
    PeriodReduction reduction_;
    PeriodicState state_;
    std::vector<PeriodicState> states_; // [g * kLanes + i]
};

struct SteadyPair {
    PeriodRecord continuous;
    std::optional<PeriodRecord> discrete; // when asked for
    // The continuous state on twice the cells, when the model carries them: only what the
    // grid error and the Richardson limits read (RecordFields::GridError; its extremes are
    // left at their defaults).
    std::optional<PeriodRecord> refined = std::nullopt;

    // Every field with its name (see PeriodRecord::fields).
    static constexpr std::array<const char*, 3> field_names = {"continuous", "discrete",
                                                               "refined"};
    auto fields() const {
        const auto& [a, b, c] = *this;
        return std::tie(a, b, c);
    }
    auto fields() {
        auto& [a, b, c] = *this;
        return std::tie(a, b, c);
    }
};

struct SteadySweepRow {
    double eta = 0.0; // the swept viscosity, Pa s
    std::array<SteadyPair, kRheologyCount> pairs; // per rheology, in list order
    const SteadyPair& operator[](Rheology r) const { return pairs[index_of(r)]; }
    SteadyPair& operator[](Rheology r) { return pairs[index_of(r)]; }

    // Every field with its name (see PeriodRecord::fields).
    static constexpr std::array<const char*, 2> field_names = {"eta", "pairs"};
    auto fields() const {
        const auto& [a, b] = *this;
        return std::tie(a, b);
    }
    auto fields() {
        auto& [a, b] = *this;
        return std::tie(a, b);
    }
};

enum class SteadyFlavours {
    Continuous, // enough for the steady method
    Both,       // beside a time integration: also the scheme's own periodic state
};

// Steady states for every swept viscosity of `etas` (Pa s), in order; layer l's viscosity is
// eta times the body's factor for it, as in the time integration. When the model carries its
// twice-the-cells model, each pair also holds the continuous state on it. `stop`, asked
// between batches of lanes, ends the sweep early: the rows then cover the first viscosities
// only (each complete).
std::vector<SteadySweepRow> steady_sweep(const ShellModel& model, std::span<const double> etas,
                                         SteadyFlavours flavours,
                                         const std::function<bool()>& stop = {});

// The same for models that share their radial problem (study/shared_radial_problem.hpp), in
// one pass: rows[g] is what steady_sweep gives for group[g] alone, bit for bit.
std::vector<std::vector<SteadySweepRow>>
steady_sweep(const std::vector<const ShellModel*>& group, std::span<const double> etas,
             SteadyFlavours flavours, const std::function<bool()>& stop = {});

// How far a time integration's last-period power is from the scheme's periodic state:
// time-domain power / discrete steady power - 1 (0 once the transient has died).
double transient(double time_domain_power, const SteadyPair& steady);

// Time-step error of the periodic state: discrete / continuous steady power - 1.
double step_error(const SteadyPair& steady);

// Grid error of the N-cell continuous state against the Richardson limit of N and 2N cells
// (steady/grid_refinement.hpp) on the coarse grid `grid`; none without the refined state.
std::optional<GridError> grid_error(const SteadyPair& steady, const RadialGrid& grid);

// The Richardson limits of N and 2N cells; none without the refined state.
std::optional<Extrapolated> extrapolated(const SteadyPair& steady, const RadialGrid& grid);

} // namespace tidal
