#include "engine/sweep.hpp"

#include "timestep/reference_run.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/ordered_results.hpp"
#include "engine/ordered_workers.hpp"

namespace tidal {

std::optional<double> nearest_swept_viscosity(const ViscositySweep& sweep, double eta) {
    const double at = std::log10(eta);
    std::optional<double> best;
    double distance = 0.0;
    for (int i = 0; i < sweep.count; ++i) {
        const double v = sweep.viscosity(sweep.first_k + i);
        const double d = std::fabs(std::log10(v) - at);
        if (!best || d < distance) {
            best = v;
            distance = d;
        }
    }
    // Half a step in log10, with room for the rounding of the logarithms.
    const double half_step = 0.5 / sweep.steps_per_decade;
    if (!(distance <= half_step * (1.0 + 1e-9))) return std::nullopt;
    return best;
}

namespace {

// Every rheology for the viscosities of sweep indices k = first .. first+count-1, the plain
// way: one run at a time, every run keeping its series. Stops early (short result) if asked.
std::vector<ViscosityResults> compute_plain(const ShellModel& model, const ViscositySweep& sweep,
                                            int first, int count, const SweepSettings& settings) {
    std::vector<ViscosityResults> out;
    for (int i = 0; i < count && !settings.stop(); ++i) {
        const double eta = sweep.viscosity(first + i);
        ViscosityResults r;
        r.k = first + i;
        for (const Rheology m : model.body.models)
            r[m] = run_reference(model, eta, m);
        out.push_back(std::move(r));
        if (settings.steady)
            out.back().steady =
                steady_sweep(model, std::span<const double>(&eta, 1), SteadyFlavours::Both)[0];
    }
    return out;
}

// The rheologies `models` (and the steady states, when `steady`) for the viscosities of sweep
// indices k = first .. first+count-1; the other rheologies' records stay empty.
std::vector<ViscosityResults> compute(const ShellModel& model, const ViscositySweep& sweep,
                                      int first, int count, const SweepSettings& settings,
                                      RunWorkspace& ws, std::span<const Rheology> models,
                                      bool steady_states) {
    const std::vector<double>& series = settings.series;
    std::vector<double> etas;
    for (int i = 0; i < count; ++i)
        etas.push_back(sweep.viscosity(first + i));
    // The legacy series files keep only the latest run's series: a batch keeps its last one,
    // and those asked for.
    SeriesMask keep = 1u << (count - 1);
    for (int i = 0; i < count; ++i)
        if (std::find(series.begin(), series.end(), etas[static_cast<std::size_t>(i)]) !=
            series.end())
            keep |= 1u << i;
    std::array<std::vector<RunRecords>, kRheologyCount> runs;
    for (const Rheology m : models)
        runs[index_of(m)] = run_batch(m, model, etas, ws, keep);
    std::vector<SteadySweepRow> steady;
    if (steady_states) steady = steady_sweep(model, etas, SteadyFlavours::Both);
    std::vector<ViscosityResults> out(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i].k = first + static_cast<int>(i);
        for (const Rheology m : models)
            out[i][m] = std::move(runs[index_of(m)][i]);
        if (steady_states) out[i].steady = std::move(steady[i]);
    }
    return out;
}

// The batched path's part `part` of batch b (0 .. models - 1): the rheology of that place in
// the body's list, with the steady states in part 0. Empty if stopped.
Batch compute_part(const ShellModel& model, const ViscositySweep& sweep, int b, int part,
                   const SweepSettings& settings, RunWorkspace& ws) {
    struct AskStop {
        RunWorkspace& ws;
        ~AskStop() { ws.stop = nullptr; }
    } ask{ws};
    ws.stop = settings.stop;
    const Rheology m = model.body.models[static_cast<std::size_t>(part)];
    try {
        return compute(model, sweep, sweep.first_k + b * kLanes, batch_size(sweep, b), settings,
                       ws, std::span<const Rheology>(&m, 1), settings.steady && part == 0);
    } catch (const RunStopped&) {
        return {};
    }
}

// Moves the records of rheology m (and the steady states, if any) of `part` into `whole`.
void merge_part(Batch& whole, Batch&& part, Rheology m) {
    if (whole.empty()) {
        whole = std::move(part);
        return;
    }
    for (std::size_t i = 0; i < whole.size() && i < part.size(); ++i) {
        whole[i][m] = std::move(part[i][m]);
        if (part[i].steady) whole[i].steady = std::move(part[i].steady);
    }
}

} // namespace

int batch_count(const ViscositySweep& sweep) {
    return (sweep.count + kLanes - 1) / kLanes;
}

int batch_size(const ViscositySweep& sweep, int b) {
    return std::min(kLanes, sweep.count - b * kLanes);
}

Batch compute_batch(const ShellModel& model, const ViscositySweep& sweep, int b,
                    const SweepSettings& settings, RunWorkspace& ws) {
    const int first = sweep.first_k + b * kLanes;
    if (settings.plain) return compute_plain(model, sweep, first, batch_size(sweep, b), settings);
    // The runs ask the stop function inside their time loops too: a stop ends the batch
    // within a few hundred steps, however long the runs are, and leaves it empty.
    struct AskStop {
        RunWorkspace& ws;
        ~AskStop() { ws.stop = nullptr; }
    } ask{ws};
    ws.stop = settings.stop;
    try {
        return compute(model, sweep, first, batch_size(sweep, b), settings, ws,
                       model.body.models, settings.steady);
    } catch (const RunStopped&) {
        return {};
    }
}

bool run_sweep(const ShellModel& model, const ViscositySweep& sweep, const SweepSettings& settings,
               const std::function<void(ViscosityResults&&)>& consume) {
    const int batches = batch_count(sweep);
    const auto batch = [&](int b, RunWorkspace& ws) {
        return compute_batch(model, sweep, b, settings, ws);
    };
    // A batch is complete only if it has all its viscosities (the plain path may stop inside).
    const auto complete = [&](int b, const Batch& r) {
        return static_cast<int>(r.size()) == batch_size(sweep, b);
    };

    if (settings.threads <= 1) {
        RunWorkspace ws(model);
        for (int b = 0; b < batches; ++b) {
            if (settings.stop()) return false;
            Batch r = batch(b, ws);
            if (!complete(b, r)) return false;
            for (ViscosityResults& v : r)
                consume(std::move(v));
        }
        return true;
    }

    // The threads' units: on the batched path every rheology of a batch is a unit of its own,
    // so that the units outnumber the threads more and the last batch (often a single
    // viscosity, at the cost of a full one) is shared out too; the plain path's unit is the
    // batch.
    const int parts = settings.plain ? 1 : static_cast<int>(model.body.models.size());
    OrderedResults<Batch> results(batches * parts, 2 * settings.threads * parts);
    const auto make_worker = [&] {
        return [&, ws = RunWorkspace(model)](int u) mutable {
            return parts == 1 ? batch(u, ws)
                              : compute_part(model, sweep, u / parts, u % parts, settings, ws);
        };
    };
    std::vector<std::jthread> workers =
        start_ordered_workers(results, settings.threads, make_worker, settings.stop);
    if (workers.empty()) {
        results.stop();
        SweepSettings alone = settings;
        alone.threads = 1;
        return run_sweep(model, sweep, alone, consume);
    }
    const auto halt = [&] {
        results.stop();
        workers.clear(); // joins
    };
    try {
        for (int b = 0; b < batches; ++b) {
            Batch whole;
            for (int part = 0; part < parts; ++part) {
                std::optional<Batch> r = results.take(b * parts + part, settings.stop);
                if (!r || !complete(b, *r)) {
                    halt();
                    return false;
                }
                merge_part(whole, std::move(*r),
                           model.body.models[static_cast<std::size_t>(part)]);
            }
            for (ViscosityResults& v : whole)
                consume(std::move(v));
        }
    } catch (...) {
        halt();
        throw;
    }
    return true;
}

} // namespace tidal
