#include "study/study_run.hpp"

#include "body/body_check.hpp"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <span>
#include <sstream>
#include <system_error>
#include <thread>

#include "engine/cost_estimate.hpp"
#include "engine/engine.hpp"
#include "engine/ordered_workers.hpp"
#include "files/body_file.hpp"
#include "files/exit_status.hpp"
#include "files/line_sink.hpp"
#include "files/progress.hpp"
#include "files/result_tables.hpp"
#include "files/run_output.hpp"
#include "study/point_writers.hpp"
#include "study/study_cube.hpp"
#include "study/study_results.hpp"
#include "study/study_table.hpp"

namespace tidal {

namespace {

// Writes body.toml (and the exact tide's tide.csv) first, as a single run does; returns true.
bool run_inputs_written(ResultDirectory& dir, const Body& body_spec) {
    write_run_inputs(dir, body_spec);
    return true;
}

// One point's directory, written by the code and in the order of a single run's: taken,
// body.toml, then the records of every viscosity; publish() when complete.
struct PointFiles {
    PointFiles(std::unique_ptr<ResultDirectory> into, const Body& body_spec,
               const ShellModel& model, std::vector<double> series, LineSink& console)
        : dir(std::move(into)), body(run_inputs_written(*dir, body_spec)),
          output(*dir, console, model, std::move(series)) {}
    void publish() {
        output.finish({});
        dir->publish();
    }
    std::unique_ptr<ResultDirectory> dir;
    bool body;
    RunOutput output;
};

// The engine of point k of a unit: the one that computed it, else (a unit from another
// process) built here.
std::shared_ptr<const Engine> engine_of(const UnitResult& r, std::size_t k, const Body& body) {
    return k < r.engines.size() ? r.engines[k] : std::make_shared<const Engine>(body);
}

// Whether a unit came back whole: a batch per point, each of its full size.
bool complete(const std::optional<UnitResult>& r, const StudyJob& job, int unit) {
    if (!r || static_cast<int>(r->batches.size()) != job.unit_points(unit)) return false;
    const auto [point, batch] = job.locate(unit);
    for (std::size_t k = 0; k < r->batches.size(); ++k)
        if (static_cast<int>(r->batches[k].size()) !=
            job.batch_size(point + static_cast<int>(k), batch))
            return false;
    return true;
}

// A point of a steady study, written as a single run with --method steady writes it:
// body.toml (and tide.csv), then its tables from its sweep of steady states; published.
// Returns its summary rows as study.nc reads them back.
StudyPointRows write_steady_point(ResultDirectory& dir, const Body& body_spec,
                                  const ShellModel& model, std::span<const SteadySweepRow> rows,
                                  LineSink& console) {
    write_run_inputs(dir, body_spec);
    std::vector<SummaryRow> summary;
    write_steady_tables(dir, console, model, rows, {}, nullptr, &summary);
    dir.publish();
    std::vector<std::string> names;
    for (const std::string_view n : table_names(model.body.models))
        names.emplace_back(n);
    return rows_as_read_back(summary, names);
}

} // namespace

std::variant<PreparedStudy, StudyError> prepare_study(const Study& study, const std::string& output,
                                                      const std::vector<double>& series) {
    if (study.steady && !series.empty())
        return StudyError{"option --series needs the time method: the steady state has no series"};
    {
        std::vector<Body> all;
        for (const StudyPoint& p : study.points)
            all.push_back(p.body);
        if (const auto e = study_series_error(all, series)) return StudyError{*e};
        if (!study.steady)
            for (std::size_t p = 0; p < all.size(); ++p)
                if (const auto problem = time_steps_problem(all[p]))
                    return StudyError{"point " + std::to_string(p + 1) + ": " + problem->key +
                                      ": " + problem->what};
    }
    PreparedStudy out;
    {
        // A study's points are kept one way: points of a study with point directories are not
        // looked for in a journal, nor the other way round, so such a resumed study is refused
        // (before the directory is taken) rather than computed anew beside what it had.
        std::error_code ec;
        const std::filesystem::path root(output);
        const bool journal = std::filesystem::exists(root / StudyDirectory::kJournalName, ec);
        bool directories = false;
        for (std::size_t p = 0; p < study.points.size() && !directories; ++p)
            directories = std::filesystem::is_directory(
                root / StudyDirectory::point_name(static_cast<int>(p)), ec);
        if (study.point_directories ? journal : directories)
            return StudyError{output + " holds a study " + (journal ? "without" : "with") +
                              " point directories; set point_directories = " +
                              (journal ? "false" : "true") +
                              " to resume it, or give this study a new output directory"};
    }
    out.dir = std::make_unique<StudyDirectory>(output, study.point_directories);
    const std::string method = study.steady ? "steady" : "time";

    {
        // Earlier versions recorded no method and ran time studies only.
        std::string had = out.dir->recorded_method();
        if (had.empty()) {
            for (std::size_t p = 0; p < study.points.size() && had.empty(); ++p)
                if (out.dir->published(static_cast<int>(p))) had = "time";
        }
        if (!had.empty() && had != method)
            return StudyError{out.dir->path() + " holds a study of the " + had +
                              " method; give this " + method +
                              " study a new output directory"};
    }
    std::vector<Body> bodies;
    std::vector<int> numbers;
    for (std::size_t p = 0; p < study.points.size(); ++p) {
        const int n = static_cast<int>(p);
        const Body& body = study.points[p].body;
        if (!out.dir->published(n)) {
            bodies.push_back(body);
            numbers.push_back(n);
            continue;
        }
        // Resuming: the point must be this study's, body.toml says which body it ran.
        std::optional<std::string> text;
        try {
            text = out.dir->point_text(n, "body.toml");
        } catch (const OutputError&) {
        }
        const auto read =
            text ? read_body(*text, "body.toml") : std::variant<Body, BodyError>(BodyError{});
        const auto* had = std::get_if<Body>(&read);
        if (had == nullptr || write_body(*had, "") != write_body(body, ""))
            return StudyError{(out.dir->point_directories() ? out.dir->point_path(n)
                                                            : out.dir->point_label(n, "body.toml")) +
                              " holds another body than point " +
                              std::to_string(n + 1) +
                              " of this study; give the study a new output directory"};
        ++out.published;
    }
    out.job = StudyJob(std::move(bodies), std::move(numbers), series, study.steady);
    out.dir->record_method(method);
    return out;
}

int run_study(const Study& study, PreparedStudy& prepared, std::ostream& err,
              const StudySettings& settings, RemoteWorkers* remote) {
    const StudyJob& job = prepared.job;
    StudyDirectory& dir = *prepared.dir;
    const int total = static_cast<int>(study.points.size());
    const auto stop = [&] { return settings.interrupted() != 0; };
    const int threads = std::max(1, settings.threads);
    const int slots = threads + (remote ? remote->slots() : 0);
    // A long study is announced with its forecast; the job holds the points still to compute.
    double core_seconds = 0.0;
    for (int p = 0; p < job.points(); ++p)
        core_seconds += job.steady()
                            ? forecast_steady_point_core_seconds(job.body(p), job.sweep(p).count)
                            : forecast_core_seconds(Engine(job.body(p)).model(), job.sweep(p).count);
    if (const auto note = cost_note(std::to_string(job.points()) + " of " +
                                        std::to_string(total) + " points to compute",
                                    core_seconds, slots))
        err << *note << '\n';

    // The study's own files are built as the points are published, in study order, beginning
    // with those an earlier run published.
    StudyResults study_files(study, dir, threads);
    // A failure in the study's files (a point published before whose tables cannot be read,
    // a disk full under study_sweep.csv) ends the study as soon as it is found: no further
    // point is computed, and the failure is reported once the points in hand are published.
    const auto give_up = [&] { return stop() || study_files.failed(); };
    OrderedResults<UnitResult> results(job.units(), 2 * slots);
    const auto make_worker = [&] {
        return [&, computer = UnitComputer(job, settings.plain)](int u) mutable {
            std::vector<Batch> batches = computer.compute(u, give_up);
            return UnitResult{std::move(batches), computer.engines()};
        };
    };
    std::vector<std::jthread> workers =
        start_ordered_workers(results, threads, make_worker, give_up);
    if (workers.empty())
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                "no thread for the study's points");
    const auto halt = [&] {
        results.stop();
        workers.clear(); // joins
        if (remote) remote->finish();
    };

    // Waiting for a unit, remote workers are served every millisecond.
    const auto idle = [&] {
        if (remote) remote->poll(results);
        return give_up();
    };
    const auto interval = std::chrono::milliseconds(remote ? 1 : 50);

    // The per-viscosity console lines of a single run are not shown for study points.
    DiscardedLines console;
    int computed = 0;
    // A steady study's point directories are written by threads of their own, while this
    // thread takes the next results in order; a journal is appended here, in study order.
    std::optional<PointWriters> writers;
    if (job.steady() && dir.point_directories()) writers.emplace(threads, 2 * threads);
    const auto published_now = [&] { return computed + (writers ? writers->done() : 0); };
    std::shared_ptr<const Engine> engine; // of the point being written
    std::optional<PointFiles> writing;
    {
        ProgressLine progress(err, total, settings.progress, "point");
        progress.update(prepared.published);
        try {
            for (int u = 0; u < job.units(); ++u) {
                if (study_files.failed()) break;
                if (remote) remote->poll(results); // also when no unit keeps us waiting
                std::optional<UnitResult> r = results.take(u, idle, interval);
                const auto [point, batch] = job.locate(u);
                const bool whole = complete(r, job, u);
                if (!whole && !stop() && study_files.failed()) break; // reported by finish()
                if (!whole) {
                    halt();
                    if (writers) writers->finish(); // the points in hand are published
                    computed = published_now();
                    progress.clear();
                    const int sig = settings.interrupted();
                    err << "interrupted by signal " << sig << ": " << prepared.published + computed
                        << " of " << total << " points published, " << computed
                        << " of them now; the same command resumes the study\n";
                    return kExitSignalBase + sig;
                }
                if (job.steady()) {
                    // Each point of the unit, in study order, written from its steady rows,
                    // moved out of its records (not copied: a point's are some thousands of
                    // vectors).
                    auto steady_rows =
                        std::make_shared<std::vector<std::vector<SteadySweepRow>>>();
                    for (Batch& b : r->batches) {
                        std::vector<SteadySweepRow>& rows = steady_rows->emplace_back();
                        rows.reserve(b.size());
                        for (ViscosityResults& v : b)
                            rows.push_back(std::move(*v.steady));
                    }
                    auto in_hand = std::make_shared<const UnitResult>(std::move(*r));
                    for (int k = 0; k < job.unit_points(u); ++k) {
                        const int p = point + k, number = job.number(p);
                        const std::size_t at = static_cast<std::size_t>(k);
                        if (writers) {
                            writers->submit([&dir, &job, p, at, number, in_hand, steady_rows,
                                             &study_files] {
                                DiscardedLines lines;
                                const auto point_engine = engine_of(*in_hand, at, job.body(p));
                                std::unique_ptr<ResultDirectory> point_dir =
                                    dir.begin_point(number);
                                StudyPointRows rows = write_steady_point(
                                    *point_dir, job.body(p), point_engine->model(),
                                    (*steady_rows)[at], lines);
                                dir.publish_point(number, std::move(point_dir));
                                study_files.published(number, std::move(rows));
                            });
                            progress.update(prepared.published + published_now());
                            continue;
                        }
                        const auto point_engine = engine_of(*in_hand, at, job.body(p));
                        std::unique_ptr<ResultDirectory> point_dir = dir.begin_point(number);
                        StudyPointRows rows =
                            write_steady_point(*point_dir, job.body(p), point_engine->model(),
                                               (*steady_rows)[at], console);
                        dir.publish_point(number, std::move(point_dir));
                        study_files.published(number, std::move(rows));
                        ++computed;
                        progress.update(prepared.published + computed);
                    }
                    continue;
                }
                const int number = job.number(point);
                if (batch == 0) {
                    writing.reset();
                    engine = engine_of(*r, 0, job.body(point));
                    writing.emplace(dir.begin_point(number), job.body(point), engine->model(),
                                    job.series(point), console);
                }
                for (const ViscosityResults& v : r->batches.front())
                    writing->output.add(v);
                if (batch + 1 == job.batches(point)) {
                    writing->publish();
                    std::unique_ptr<ResultDirectory> written = std::move(writing->dir);
                    writing.reset();
                    dir.publish_point(number, std::move(written));
                    study_files.published(number);
                    ++computed;
                    progress.update(prepared.published + computed);
                }
            }
        } catch (...) {
            halt();
            throw;
        }
        halt();
        if (writers) writers->finish();
        computed = published_now();
        writers.reset();
        progress.update(prepared.published + computed);
    }

    const std::vector<PointPeaks> peaks = study_files.finish();
    dir.publish_files();
    int unsettled = 0;
    for (const PointPeaks& p : peaks)
        unsettled += !(p.worst_transient <=
                       study.points[static_cast<std::size_t>(&p - peaks.data())].body.doubt_limit)
                         ? 1
                         : 0;
    if (unsettled > 0)
        err << "warning: " << unsettled << " of " << total << " points have runs further than "
            << "numerics.doubt_limit from their periodic state (the worst_transient columns of "
            << "study.csv); raise numerics.periods\n";
    err << "study of " << total << " points complete in " << dir.path()
        << "/study.csv: " << computed << " computed now, " << prepared.published
        << " published before";
    if (remote) {
        // How the work divided: this process's units, then each other's.
        const std::vector<int> handed = remote->units_handed();
        int local = job.units();
        for (const int n : handed)
            local -= n;
        err << "; work units per process: " << local;
        for (const int n : handed)
            err << ' ' << n;
    }
    err << '\n';
    return kExitSuccess;
}

} // namespace tidal
