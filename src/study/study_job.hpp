#pragma once
// The work of a study: the points still to compute, each a sweep cut into batches of
// viscosities. A work unit is one batch of one point; units are numbered point by point, in
// sweep order, which is the order in which their records are written. A study of periodic
// steady states takes a point's whole sweep as one unit: a steady sweep costs a few tens of
// milliseconds, so the points themselves keep the threads busy. Consecutive points of such a
// study that share their radial problem (study/shared_radial_problem.hpp: e.g. the
// eccentricities of one shell) form units of up to kSteadyGroup of them, each solved together.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "description/body.hpp"
#include "engine/engine.hpp"
#include "engine/sweep.hpp"

namespace tidal {

// The most points of a steady study solved as one unit. A unit's points share one
// factorisation per viscosity and harmonic, their loads its further right-hand sides: more
// points spend fewer instructions on the factorisation, but past a dozen or so the block of
// right-hand sides (three columns a point, in every lane) no longer stays in the second-level
// cache and the states kept grow the memory (docs/performance-steady.md).
inline constexpr int kSteadyGroup = 13;

class StudyJob {
  public:
    StudyJob() = default;
    // `bodies[i]` is point `numbers[i]` of the study (counted from 0). `series`: the
    // viscosities (Pa s) whose series tables every point writes, each taken as the point's
    // nearest swept one (study_series_error has checked that there is one). `steady`: every
    // point a sweep of periodic steady states (no time integration, no series); `group`: the
    // most points of a steady unit.
    StudyJob(std::vector<Body> bodies, std::vector<int> numbers,
             const std::vector<double>& series = {}, bool steady = false,
             int group = kSteadyGroup);

    int units() const;
    int points() const { return static_cast<int>(bodies_.size()); }

    // The job's point (index into the job) and the batch of a unit; a steady unit's first
    // point (its whole sweep, batch 0).
    std::pair<int, int> locate(int unit) const;
    // The points of a unit: one for the time method, the group's for a steady unit (the
    // points locate(unit).first onwards).
    int unit_points(int unit) const;
    int first_unit(int point) const { return first_unit_[static_cast<std::size_t>(point)]; }
    int batches(int point) const { return first_unit(point + 1) - first_unit(point); }
    // The viscosities of batch `batch` of a point.
    int batch_size(int point, int batch) const;
    bool steady() const { return steady_; }

    const Body& body(int point) const { return bodies_[static_cast<std::size_t>(point)]; }
    const ViscositySweep& sweep(int point) const {
        return sweeps_[static_cast<std::size_t>(point)];
    }
    int number(int point) const { return numbers_[static_cast<std::size_t>(point)]; }
    const std::vector<double>& series(int point) const {
        return series_[static_cast<std::size_t>(point)];
    }

  private:
    std::vector<Body> bodies_;
    std::vector<int> numbers_;
    std::vector<ViscositySweep> sweeps_;
    std::vector<std::vector<double>> series_;
    std::vector<int> first_unit_; // points + 1 entries
    std::vector<int> group_start_; // a steady job's units + 1 entries: each unit's first point
    bool steady_ = false;
};

// A unit as the thread that writes the points takes it: the records of each of its points
// and the engines of its points that computed them, whose models the points' files are
// written from (built once per point and thread); none for a unit computed by another
// process.
struct UnitResult {
    std::vector<Batch> batches; // per point of the unit
    std::vector<std::shared_ptr<const Engine>> engines;
};

// Computes units of a job in one thread, keeping the model of the latest point (the units a
// thread takes are mostly of one point).
class UnitComputer {
  public:
    UnitComputer(const StudyJob& job, bool plain) : job_(job), plain_(plain) {}
    // Every rheology for the viscosities of `unit`: time runs with the steady state beside
    // them, or the steady state alone (continuous in time) for a steady study. The plain path
    // may stop inside (a short batch) when `stop` says so. One batch per point of the unit.
    std::vector<Batch> compute(int unit, const std::function<bool()>& stop);
    // The engines of the points of the unit computed last (shared: they stay valid for
    // whoever holds them after this computer moves on to other points).
    const std::vector<std::shared_ptr<const Engine>>& engines() const { return engines_; }

  private:
    const StudyJob& job_;
    bool plain_;
    int point_ = -1; // the first point of engines_
    std::vector<std::shared_ptr<const Engine>> engines_;
    std::optional<RunWorkspace> ws_;
};

// A one-line message naming the first point whose sweep lies too far from a viscosity of
// `series`, or nothing.
std::optional<std::string> study_series_error(const std::vector<Body>& bodies,
                                              const std::vector<double>& series);

} // namespace tidal
