#pragma once
// The mechanics every rheology's batched time integration shares: the constants, every lane's
// factorised system, the forcing, the right-hand sides, the dissipation windows and the
// surface records. RunBatch<R> (run_batch.cpp) adds the rheology's loads and history.
#include <array>
#include <functional>

#include "discretisation/assembly.hpp"
#include "description/rheology_spans.hpp"
#include "discretisation/unknowns.hpp"
#include "loads/boundary_loads.hpp"
#include "loads/diagnostics.hpp"
#include "loads/fundamental.hpp"
#include "model/forcing.hpp"
#include "timestep/run.hpp"

namespace tidal {

using Lanes = LaneVectors<kLanes>;

// Right-hand-side numbers of the three load components.
inline constexpr int kOrder0 = 0; // order-0 component
inline constexpr int kCosine = 1; // order-2 component of the cosine terms
inline constexpr int kSine = 2;   // order-2 component of the sine terms

// An oblique body's records: `out`, the runs of orders 0 and 2, with the dissipation of `one`,
// the same viscosities' runs of the order-1 pair (order_one_model), added as for any period
// (model/period_record.hpp; on a circular orbit the order-1 run's cosine component against
// its own tide is the same radial problem at the same frequency). Everything else is read
// from the order-0 component and stays out's.
void add_order_one(std::vector<RunRecords>& out, const std::vector<RunRecords>& one,
                   bool circular);

// Writes what rheology R's history columns of one unknown and component hold at the elastic
// start, where R says (a rheology whose columns start at zero says nothing).
template <class R, class K, class H>
[[gnu::always_inline]] inline void start_history(const K& k, double elastic, const H& h) {
    if constexpr (requires { R::start(k, elastic, h); }) R::start(k, elastic, h);
}

// The most history columns, and time-step constants, of the rheologies of the spans of a run
// of `swept` (description/rheology_spans.hpp): the places of every cell's columns and
// constants.
int history_stride(const Body& body, Rheology swept);
int constants_stride(const Body& body, Rheology swept);

// Outer-surface diagnostics of one lane: the step's record and, in the last forcing period,
// the minimum surface displacement, its phase, the largest equatorial displacement and the
// fundamental harmonic of the surface displacement.
class SurfaceTracker {
  public:
    SurfaceTracker(const ShellModel& model, RunRecords& out, bool keep_series);

    // Reads the order-0 and order-2 cosine solutions at the two outermost nodes, x(unknown,
    // component) for component kOrder0 or kCosine; `w` is the step's weight in the last
    // period's Fourier projection (read only in that period).
    template <class X> void record(int step, const X& x, FundamentalWeight w) {
        const auto ur = [&](int node, int comp) {
            return radial_displacement(f_, x(unknowns::u_minus(node), comp),
                                       x(unknowns::u_plus(node), comp));
        };
        const int c = response_;
        record_surface(step, ur(1, c), ur(2, c), ur(1, kCosine), ur(2, kCosine), w);
        // The inner interface lies midway between the two innermost nodes.
        if (step > nsteps_ - nperiod_) {
            // The surface's tangential displacement, for l2: the mean of the two outermost
            // nodes', second order at the mid-radius between them (docs/method.md §8).
            const auto vt = [&](int node) {
                return tangential_displacement(j_, x(unknowns::u_minus(node), c),
                                               x(unknowns::u_plus(node), c));
            };
            tangential_.add((vt(1) + vt(2)) / 2.0, w);
            interface_.add((ur(bottom_, c) + ur(bottom_ + 1, c)) / 2.0, w);
            // Under an ocean, the core's top midway between its two outermost nodes.
            if (core_top_ > 0)
                core_top_sums_.add((ur(core_top_, c) + ur(core_top_ + 1, c)) / 2.0, w);
            // And the inner region's base over a liquid core, midway between the last nodes.
            if (core_base_ > 0)
                core_base_sums_.add((ur(core_base_, c) + ur(core_base_ + 1, c)) / 2.0, w);
            // The density jumps inside the solid lie on their nodes.
            for (std::size_t k = 0; k < jump_nodes_.size(); ++k)
                jumps_[k].add(ur(jump_nodes_[k], c), w);
        }
    }

    // Amplitude and phase lag of the surface displacement's fundamental behind `tide`'s, and
    // the Love numbers.
    void finish(const Harmonic& tide);

  private:
    // The step's record from the radial displacements of the two outermost nodes, order 0
    // and order 2 (cosine).
    void record_surface(int step, double ur0_1, double ur0_2, double ur22_1, double ur22_2,
                        FundamentalWeight w);

    DegreeFactors f_;
    double j_; // the harmonic degree
    EquatorHarmonics equator_;
    int N_, nperiod_, nsteps_;
    // The component whose surface response the records read: order 0, or an order-1 model's
    // cosine component (response_slot; its records give the Love numbers and phase only).
    int response_;
    bool keep_series_;
    FundamentalSums fundamental_, interface_, tangential_;
    std::vector<int> jump_nodes_;         // the nodes of the density jumps
    std::vector<FundamentalSums> jumps_; // and their displacements' sums
    int bottom_ = 0;                     // the first node under the inner boundary
    int core_top_ = 0;                   // an ocean's floor: the core's first node, or 0
    FundamentalSums core_top_sums_;
    int core_base_ = 0;                  // a liquid core under the ocean's floor: node N, or 0
    FundamentalSums core_base_sums_;
    LoveNumberScale love_;
    RunRecords& out_;
};

// What every rheology's runs share. The rheology supplies the matrix, the constitutive loads
// and what happens to the solutions.
class LaneBatch {
  public:
    // Assembles one lane's matrix into `a` from the layer viscosities `eta` (N values, Pa s).
    using Assemble = std::function<void(Mat1View<double> a, Vec1View<const double> eta)>;

    // Sets up the runs of the viscosities `etas` (at most kLanes; the remaining lanes repeat
    // the last one and are dropped at the end): assembles and factorises every lane's matrix
    // and clears the windows and the `columns` history columns.
    LaneBatch(const ShellModel& model, const Assemble& assemble, int columns,
              std::span<const double> etas, RunWorkspace& ws, SeriesMask series);
    LaneBatch(const LaneBatch&) = delete;
    LaneBatch& operator=(const LaneBatch&) = delete;

    const ShellModel& model;
    const int N, n, nsteps, nperiod;
    const double dt;
    const std::array<double, kLanes> eta; // swept viscosity of every lane, Pa s
    // Viscosity of layer l in lane `lane` at [(l-1)*kLanes + lane], Pa s: the lane's viscosity
    // times the layer's factor.
    const std::vector<double> layer_eta;
    const int window_start; // step of the windows' first column
    const Lanes x;          // right-hand sides / solutions

    // The history columns (as many as asked for) of every unknown, component and lane, all
    // zero at the start; their layout is the rheology's runs' own.
    double* history() const;

    // Writes the step's tidal loads (boundary and interior rows; every other row zero) into
    // every lane's three right-hand sides, except in the constitutive rows of the stresses,
    // which the rheology fills before every solve.
    void load(int step);
    // Solves every lane's system in place. For a self-gravitating body the boundaries'
    // coupling is added to the rows that the runs read (the stresses and the displacements
    // of the nodes around both boundaries); the other rows keep the banded solution.
    void solve();
    // Whether the dissipation of `step` is sampled (the last period, both ends included).
    bool in_window(int step) const { return step >= window_start; }
    // Dissipation samples of layer l at a step in the window (one per lane).
    void sample(int l, int step, const double* values);
    // Surface records of the step, from the solutions.
    void record(int step);
    // Throws RunStopped when the workspace's stop function asks for it.
    void check_stop() const {
        if (ws_.stop && ws_.stop()) throw RunStopped{};
    }
    // The records, with the power of every lane from its window and the phase lag of its
    // surface displacement; `layer_power`(l, integral, eta) turns the time integral of layer
    // l's samples into its dissipation, eta the layer's viscosity in the lane.
    std::vector<RunRecords> finish(const std::function<double(int, double, double)>& layer_power);

  private:
    RunWorkspace& ws_;
    std::vector<int> load_rows_; // the rows `load` writes
    std::vector<int> read_rows_; // a self-gravitating body: the rows `solve` corrects
    TidalForcing forcing_;
    std::vector<RunRecords> out_;
    std::vector<SurfaceTracker> surface_;
    std::size_t count_;
    Harmonic tide_; // the order-0 tide's fundamental over the last period
};

} // namespace tidal
