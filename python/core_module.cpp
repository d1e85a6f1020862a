// tidal._core: the sweep engine and the body files of the program, for the Python package
// `tidal` (python/tidal/__init__.py wraps it and documents it for the user). Every number
// comes from the same library functions the command line uses.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <limits>
#include <mutex>
#include <sstream>
#include <string>
#include <tuple>
#include <thread>
#include <vector>

#include "body/body_check.hpp"
#include "files/body_file.hpp"
#include "body/plausibility.hpp"
#include "body/presets.hpp"
#include "engine/engine.hpp"
#include "files/body_source.hpp"
#include "files/map_output.hpp"
#include "engine/thread_count.hpp"
#include "files/line_sink.hpp"
#include "files/version.hpp"
#include "files/result_tables.hpp"
#include "files/run_output.hpp"
#include "engine/sweep.hpp"
#include "files/sweep_doubts.hpp"
#include "loads/diagnostics.hpp"
#include "files/result_directory.hpp"
#include "files/tables.hpp"
#include "steady/steady_sweep.hpp"

namespace py = pybind11;

namespace tidal {
namespace {

// A checked body and the name its messages use ("body 3", or the file it came from).
struct PyBody {
    Body body_spec;
    std::string source;
};

Body checked(std::variant<Body, BodyError>&& read) {
    if (const auto* e = std::get_if<BodyError>(&read)) throw py::value_error(e->message);
    return std::get<Body>(std::move(read));
}

PyBody preset_py_body(int n) {
    if (n < kFirstChoice || n > kLastChoice)
        throw py::value_error("preset expects an integer from 1 to 8, but got " +
                              std::to_string(n));
    return {preset(n).body_spec, "body " + std::to_string(n)};
}

// The names of a CSV header line, in order.
std::vector<std::string> header_names(const std::string& line) {
    std::vector<std::string> names;
    std::string name;
    std::istringstream in(line.substr(0, line.find('\n')));
    while (std::getline(in, name, ','))
        names.push_back(name.substr(0, name.find('\r')));
    return names;
}

py::array_t<double> array_of(const std::vector<double>& v) {
    py::array_t<double> a(static_cast<py::ssize_t>(v.size()));
    std::copy(v.begin(), v.end(), a.mutable_data());
    return a;
}

// Runs `work(stop)` on a thread of its own with the GIL released. Every 50 ms the calling
// thread takes the GIL back to let Python run its signal handlers: a KeyboardInterrupt (or any
// exception a handler raises) sets `stop`, waits for the work to end, and is raised; the work's
// result is then dropped. An exception from the work is rethrown.
template <class Work>
void run_interruptibly(Work&& work) {
    std::atomic<bool> stop{false};
    std::mutex m;
    std::condition_variable cv;
    bool done = false, raised = false;
    std::exception_ptr failure;
    {
        py::gil_scoped_release release;
        std::thread worker([&] {
            try {
                work(stop);
            } catch (...) {
                failure = std::current_exception();
            }
            const std::lock_guard<std::mutex> lock(m);
            done = true;
            cv.notify_all();
        });
        std::unique_lock<std::mutex> lock(m);
        while (!done) {
            if (cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; })) break;
            lock.unlock();
            {
                py::gil_scoped_acquire acquire;
                raised = PyErr_CheckSignals() != 0;
            }
            lock.lock();
            if (raised) {
                stop = true;
                cv.wait(lock, [&] { return done; });
            }
        }
        lock.unlock();
        worker.join();
    }
    if (raised) throw py::error_already_set();
    if (failure) std::rethrow_exception(failure);
}

// The summary columns of a sweep: their names (the header of "summary.csv") and values.
struct Columns {
    TableRheologies models;
    std::vector<std::string> names;
    std::vector<std::vector<double>> values;

    explicit Columns(const TableRheologies& m, bool extrapolated)
        : models(m), names(header_names(summary_header(table_names(models), extrapolated))),
          values(names.size()), love_names(header_names(love_numbers_header(extrapolated))),
          love_values(love_names.size() - 2), extrapolated_(extrapolated) {}
    // Appends a row in the order summary_record() writes it; an empty value is a NaN.
    void add(const SummaryRow& row) {
        std::size_t c = 0;
        values[c++].push_back(row.eta);
        for (const RheologySummary& v : row.values)
            for (const SummaryQuantity& q : summary_quantities())
                values[c++].push_back(v.*q.value);
        for (const SteadySummary& v : row.steady)
            for (const SteadyQuantity& q : steady_quantities())
                values[c++].push_back((v.*q.value).value_or(kEmpty));
        for (const LoveSummary& v : row.love)
            for (const LoveQuantity& q : love_quantities())
                values[c++].push_back((v.*q.value).value_or(kEmpty));
        for (const GridErrorSummary& v : row.grid)
            for (const GridErrorQuantity& q : grid_error_quantities())
                values[c++].push_back((v.*q.value).value_or(kEmpty));
        for (const ExtrapolatedSummary& v : row.extrapolated)
            for (const ExtrapolatedQuantity& q : extrapolated_quantities())
                values[c++].push_back((v.*q.value).value_or(kEmpty));
        const std::vector<std::string_view> rheologies = table_names(models);
        for (std::size_t i = 0; i < row.profile.size(); ++i)
            for (const ProfileRecord& l : row.profile[i]) {
                profile_eta.push_back(row.eta);
                profile_rheology.emplace_back(rheologies[i]);
                profile_layer.push_back(l.layer);
                profile_body_layer.push_back(l.body_layer);
                profile_values[0].push_back(l.outer_radius);
                profile_values[1].push_back(l.inner_radius);
                profile_values[2].push_back(l.heating);
                profile_values[3].push_back(l.power);
            }
        add_love(row);
    }
    // The rows of "heating_profile.csv", column by column.
    std::vector<double> profile_eta;
    // The rows of "love_numbers.csv", column by column after viscosity and rheology.
    std::vector<std::string> love_names;
    std::vector<double> love_eta;
    std::vector<std::string> love_rheology;
    std::vector<std::vector<double>> love_values;
    bool extrapolated_;
    void add_love(const SummaryRow& row) {
        const std::vector<std::string_view> rheologies = table_names(models);
        for (std::size_t i = 0; i < row.surface_love.size(); ++i) {
            love_eta.push_back(row.eta);
            love_rheology.emplace_back(rheologies[i]);
            std::size_t k = 0;
            for (const SurfaceLoveQuantity& q : surface_love_quantities())
                love_values[k++].push_back((row.surface_love[i].*q.value).value_or(kEmpty));
            if (extrapolated_)
                for (const SurfaceLoveQuantity& q : extrapolated_love_quantities())
                    love_values[k++].push_back((row.surface_love[i].*q.value).value_or(kEmpty));
        }
    }
    py::dict love_dict() const {
        py::dict d;
        d[py::str(love_names[0])] = array_of(love_eta);
        d[py::str(love_names[1])] = py::array(py::cast(love_rheology));
        for (std::size_t k = 0; k < love_values.size(); ++k)
            d[py::str(love_names[2 + k])] = array_of(love_values[k]);
        return d;
    }
    std::vector<std::string> profile_rheology;
    std::vector<long> profile_layer;
    std::vector<std::string> profile_body_layer; // the cells' [[layer]] names, or empty
    std::array<std::vector<double>, 4> profile_values;
    py::dict profile_dict() const {
        const std::vector<std::string> n = header_names(profile_header());
        py::dict d;
        d[py::str(n[0])] = array_of(profile_eta);
        d[py::str(n[1])] = py::array(py::cast(profile_rheology));
        py::array_t<long> layer(static_cast<py::ssize_t>(profile_layer.size()));
        std::copy(profile_layer.begin(), profile_layer.end(), layer.mutable_data());
        d[py::str(n[2])] = layer;
        for (std::size_t k = 0; k < profile_values.size(); ++k)
            d[py::str(n[3 + k])] = array_of(profile_values[k]);
        // A body given by its layers names each cell's, as the file's last column does.
        if (!profile_body_layer.empty() && !profile_body_layer.front().empty())
            d[py::str("body_layer")] = py::array(py::cast(profile_body_layer));
        return d;
    }
    static constexpr double kEmpty = std::numeric_limits<double>::quiet_NaN();
    py::dict to_dict() const {
        py::dict d;
        for (std::size_t c = 0; c < names.size(); ++c)
            d[py::str(names[c])] = array_of(values[c]);
        return d;
    }
    // The power column (W) of each rheology, for the peaks.
    std::vector<std::vector<double>> powers() const {
        std::vector<std::vector<double>> p;
        for (const std::string_view r : table_names(models))
            for (std::size_t c = 0; c < names.size(); ++c)
                if (names[c] == std::string(r) + "_power_W") p.push_back(values[c]);
        return p;
    }
};

// Every peak of "peaks.csv", in its order: one dict per record, its columns by name (an empty
// field is None).
py::list peaks_list(const std::vector<PeakRecord>& peaks) {
    const std::vector<std::string> names = header_names(peaks_table({}));
    py::list out;
    for (const PeakRecord& p : peaks) {
        const auto value = [](const std::optional<double>& v) -> py::object {
            return v ? py::object(py::float_(*v)) : py::object(py::none());
        };
        // In the order of the columns of "peaks.csv".
        const py::object values[] = {py::str(std::string(p.rheology)),
                                     py::float_(p.viscosity),
                                     py::float_(p.power),
                                     py::float_(p.heat_flux),
                                     value(p.refined_viscosity),
                                     value(p.refined_power),
                                     value(p.refined_heat_flux),
                                     py::int_(p.rank),
                                     py::str(std::string(p.position))};
        static_assert(std::size(values) == 9);
        py::dict row;
        for (std::size_t i = 0; i < std::size(values); ++i)
            row[py::str(names[i])] = values[i];
        out.append(row);
    }
    return out;
}

// The maps of a sweep: viscosity -> the columns of its "map-<viscosity>.csv".
py::dict maps_dict(const std::vector<SweepMap>& maps, const TableRheologies& models) {
    const std::vector<std::string_view> names = table_names(models);
    py::dict out;
    for (const SweepMap& m : maps) {
        const MapPoints axes = map_axes(m.grid);
        std::vector<double> lat, lon;
        for (const double a : axes.latitudes)
            for (const double b : axes.longitudes) {
                lat.push_back(a);
                lon.push_back(b);
            }
        py::dict table;
        table["latitude_deg"] = array_of(lat);
        table["longitude_deg"] = array_of(lon);
        for (std::size_t i = 0; i < m.maps.size(); ++i) {
            const std::string r(names[i]);
            table[py::str(r + "_heat_flux_W_m2")] = array_of(m.maps[i].flux);
            table[py::str(r + "_top_heating_W_m3")] = array_of(m.maps[i].top);
            table[py::str(r + "_bottom_heating_W_m3")] = array_of(m.maps[i].bottom);
        }
        out[py::float_(m.eta)] = table;
    }
    return out;
}

// The swept viscosities nearest to those asked for a map (Pa s); ValueError outside the sweep.
std::vector<double> map_viscosities(const ViscositySweep& sweep, const std::vector<double>& asked,
                                    double step) {
    if (!map_step_divides(step))
        throw py::value_error("map_step expects a grid step in degrees that divides 180, from 0.1 "
                              "to 90 (such as 2 or 0.5), but got " + std::to_string(step));
    auto swept = series_viscosities(sweep, asked, "--map");
    if (const auto* e = std::get_if<std::string>(&swept))
        throw py::value_error(e->substr(e->find("--map ") + 2)); // "map ETA lies ..."
    return std::get<std::vector<double>>(std::move(swept));
}

// The lines the command line prints on standard error for a sweep of `body` ("note: ..." or
// "warning: ..."), those of `doubts` and of `peaks`, in the program's order.
std::vector<std::string> sweep_messages(const Body& body, const ShellModel& model,
                                        bool time, const SweepDoubts& doubts,
                                        const std::vector<PeakRecord>& peaks,
                                        std::size_t viscosities) {
    std::vector<std::string> lines = implausible_values(body);
    if (auto unused = unused_rheology_parameters(body)) lines.push_back(*unused);
    if (time)
        for (std::string& note : law_approximation_notes(model))
            lines.push_back(std::move(note));
    for (std::string& w : doubts.warnings())
        lines.push_back(std::move(w));
    // A sweep of one viscosity has no curve whose peak could lie beyond it.
    if (viscosities > 1)
        if (auto w = sweep_edge_warning(peaks)) lines.push_back(*w);
    if (auto s = doubts.accuracy_summary()) lines.push_back(*s);
    return lines;
}

// A time-domain sweep, run to the end: every viscosity's records, as the program wrote them.
class TimeSweep {
  public:
    TimeSweep(PyBody body, std::vector<double> series, int threads, std::vector<double> maps,
              double map_step)
        : body_(std::move(body)), engine_(body_.body_spec), model_(engine_.model()),
          columns_(model_.body.models, model_.body.extrapolate) {
        const ViscositySweep& viscosities = engine_.viscosities();
        const std::vector<double> map_etas = map_viscosities(viscosities, maps, map_step);
        auto swept = series_viscosities(viscosities, series);
        if (const auto* e = std::get_if<std::string>(&swept))
            throw py::value_error(e->substr(e->find("--series ") + 2)); // "series ETA lies ..."
        series_ = std::get<std::vector<double>>(std::move(swept));
        SweepSettings settings;
        settings.threads = threads;
        settings.series = series_;
        settings.steady = true; // the steady columns of summary.csv
        bool complete = false;
        run_interruptibly([&](std::atomic<bool>& stop) {
            settings.stop = [&stop] { return stop.load(); };
            complete = engine_.time(settings, [&](ViscosityResults&& r) {
                results_.push_back(std::move(r));
            });
        });
        if (!complete) throw py::error_already_set(); // not reached: a stop raises above
        maps_ = engine_.maps(map_etas, Flavour::Discrete, map_step);
        double tn = 0.0;
        for (const ViscosityResults& r : results_) {
            const ViscosityPeriods v = periods_of(r, model_.body.models);
            const SummaryRow row = summary_row(v, model_, written_phases(tn, v));
            columns_.add(row);
            doubts_.add(row.eta, row.steady, row.grid);
        }
    }

    py::dict columns() const { return columns_.to_dict(); }
    py::dict profile() const { return columns_.profile_dict(); }
    py::dict love() const { return columns_.love_dict(); }
    py::dict maps() const { return maps_dict(maps_, model_.body.models); }
    std::vector<PeakRecord> peak_records() const {
        return sweep_peaks(model_.body.models, columns_.values[0], columns_.powers(),
                           model_.body.outer_radius);
    }
    py::list peaks() const { return peaks_list(peak_records()); }
    std::vector<std::string> messages() const {
        return sweep_messages(body_.body_spec, model_, true, doubts_, peak_records(),
                              columns_.values[0].size());
    }
    // The largest transient, step and grid error in magnitude, with their sign.
    std::tuple<double, double, double> worst() const {
        return {doubts_.worst_transient(), doubts_.worst_step_error(), doubts_.worst_grid_error()};
    }
    // The one-line accuracy summary of the sweep (empty if it has none).
    std::string accuracy() const { return doubts_.accuracy_summary().value_or(""); }

    // The series of the asked-for viscosities: viscosity -> the columns of its series table.
    py::dict series() const {
        const std::vector<std::string> names = header_names(
            series_table(0.0, 1, table_names(model_.body.models),
                         std::span<const std::vector<double>* const>{}));
        const double dt = time_step(model_);
        const int nperiod = model_.run.nperiod;
        py::dict out;
        for (const ViscosityResults& r : results_) {
            const double eta = r[model_.body.models.front()].eta;
            if (std::find(series_.begin(), series_.end(), eta) == series_.end()) continue;
            const auto runs = series_of(r, model_.body.models);
            const std::size_t steps = runs[0]->size();
            py::array_t<long> step(static_cast<py::ssize_t>(steps));
            std::vector<double> seconds(steps), periods(steps);
            for (std::size_t i = 0; i < steps; ++i) {
                const int s = static_cast<int>(i) + 1;
                step.mutable_data()[i] = s;
                seconds[i] = series_time_s(s, dt);
                periods[i] = series_time_periods(s, nperiod);
            }
            py::dict table;
            table[py::str(names[0])] = step;
            table[py::str(names[1])] = array_of(seconds);
            table[py::str(names[2])] = array_of(periods);
            for (std::size_t k = 0; k < runs.size(); ++k)
                table[py::str(names[3 + k])] = array_of(*runs[k]);
            out[py::float_(eta)] = table;
        }
        return out;
    }

    // Writes the command line's files of this sweep into `dir`, published together.
    void write(const std::string& dir) const {
        DiscardedLines console;
        ResultDirectory out(dir);
        write_body_toml(out, body_.body_spec);
        RunOutput output(out, console, model_, series_);
        for (const ViscosityResults& r : results_)
            output.add(r);
        output.finish(maps_);
        out.publish();
    }

    TimeSweep(const TimeSweep&) = delete; // model_ refers into engine_
    TimeSweep& operator=(const TimeSweep&) = delete;

  private:
    PyBody body_;
    Engine engine_;
    const ShellModel& model_;
    std::vector<double> series_;
    std::vector<ViscosityResults> results_;
    Columns columns_;
    std::vector<SweepMap> maps_;
    SweepDoubts doubts_{model_.body.models, model_.run.nsteps / model_.run.nperiod,
                        model_.body.doubt_limit, grid_refinement_key(model_.body)};
};

// A sweep of periodic steady states (the continuous flavour): the same columns as a time
// sweep, each rheology's values those of its steady state.
class SteadySweep {
  public:
    SteadySweep(PyBody body, std::vector<double> maps, double map_step)
        : body_(std::move(body)), engine_(body_.body_spec), model_(engine_.model()),
          columns_(model_.body.models, model_.body.extrapolate) {
        const std::vector<double> map_etas =
            map_viscosities(engine_.viscosities(), maps, map_step);
        const std::vector<double> etas = engine_.swept();
        run_interruptibly([&](std::atomic<bool>& stop) {
            // A few viscosities at a time, so that a stop is seen soon.
            constexpr std::size_t kChunk = 4;
            for (std::size_t i = 0; i < etas.size() && !stop; i += kChunk) {
                const std::span<const double> chunk(etas.data() + i,
                                                    std::min(kChunk, etas.size() - i));
                for (SteadySweepRow& row : engine_.steady(chunk))
                    rows_.push_back(std::move(row));
            }
        });
        maps_ = engine_.maps(map_etas, Flavour::Continuous, map_step);
        double tn = 0.0;
        for (const SteadySweepRow& row : rows_) {
            const ViscosityPeriods v = periods_of(row, model_.body.models);
            const SummaryRow summary = summary_row(v, model_, written_phases(tn, v));
            columns_.add(summary);
            doubts_.add(summary.eta, summary.steady, summary.grid);
        }
    }

    // Writes the command line's files of this sweep (`--method steady`) into `dir`.
    void write(const std::string& dir) const {
        DiscardedLines console;
        ResultDirectory out(dir);
        write_body_toml(out, body_.body_spec);
        write_steady_tables(out, console, model_, rows_, maps_);
        out.publish();
    }

    py::dict columns() const { return columns_.to_dict(); }
    py::dict profile() const { return columns_.profile_dict(); }
    py::dict love() const { return columns_.love_dict(); }
    py::dict maps() const { return maps_dict(maps_, model_.body.models); }
    std::vector<PeakRecord> peak_records() const {
        return sweep_peaks(model_.body.models, columns_.values[0], columns_.powers(),
                           model_.body.outer_radius);
    }
    py::list peaks() const { return peaks_list(peak_records()); }
    std::vector<std::string> messages() const {
        return sweep_messages(body_.body_spec, model_, false, doubts_, peak_records(),
                              columns_.values[0].size());
    }
    std::tuple<double, double, double> worst() const {
        return {doubts_.worst_transient(), doubts_.worst_step_error(), doubts_.worst_grid_error()};
    }
    std::string accuracy() const { return doubts_.accuracy_summary().value_or(""); }

    SteadySweep(const SteadySweep&) = delete; // model_ refers into engine_
    SteadySweep& operator=(const SteadySweep&) = delete;

  private:
    PyBody body_;
    Engine engine_;
    const ShellModel& model_;
    std::vector<SteadySweepRow> rows_;
    Columns columns_;
    std::vector<SweepMap> maps_;
    SweepDoubts doubts_{model_.body.models, 1, model_.body.doubt_limit,
                        grid_refinement_key(model_.body)};
};

int threads_for(std::optional<int> jobs) {
    if (jobs && *jobs < 1)
        throw py::value_error("jobs expects a positive integer, but got " + std::to_string(*jobs));
    return thread_count(jobs, std::getenv("OMP_NUM_THREADS"));
}

} // namespace
} // namespace tidal

PYBIND11_MODULE(_core, m) {
    using namespace tidal;
    m.doc() = "The compiled engine of the tidal package; use the package `tidal` itself.";
    m.attr("version") = kVersion;
    m.attr("first_preset") = kFirstChoice;
    m.attr("last_preset") = kLastChoice;
    // The rheologies in column order, and each one's parameters: (dotted key, meaning, unit,
    // default, accepted values).
    py::list rheologies, parameters;
    for (const RheologyNames& r : kRheologies)
        rheologies.append(std::string(r.name));
    for (const RheologyParameter& p : rheology_parameters())
        parameters.append(py::make_tuple(p.dotted(), std::string(p.meaning), std::string(p.unit),
                                         p.default_value, range_text(p.range)));
    m.attr("rheologies") = py::tuple(rheologies);
    m.attr("rheology_parameters") = py::tuple(parameters);

    py::class_<PyBody>(m, "Body")
        .def_static("preset", &preset_py_body)
        .def_static("from_text",
                    [](const std::string& text, const std::string& source) {
                        return PyBody{checked(read_body(text, source)), source};
                    })
        .def_static("from_file",
                    [](const std::string& path) {
                        return PyBody{checked(read_body_file(path, {})), path};
                    })
        .def("with_overrides",
             [](const PyBody& b, const std::vector<std::string>& overrides) {
                 return PyBody{checked(override_body(b.body_spec, b.source, overrides)), b.source};
             })
        .def("to_toml", [](const PyBody& b,
                           const std::string& header) { return write_body(b.body_spec, header); })
        .def_property_readonly("source", [](const PyBody& b) { return b.source; })
        .def_property_readonly("name", [](const PyBody& b) { return b.body_spec.name; })
        // The layers of a body given by them, from the surface down (empty for a [shell] body).
        .def_property_readonly("layers", [](const PyBody& b) {
            py::list out;
            const Body& body = b.body_spec;
            for (std::size_t i = 0; i < body.interior.size(); ++i) {
                const InteriorLayer& L = body.interior[i];
                py::dict d;
                d["name"] = L.name;
                d["outer_radius"] = body.interior_outer_radius(i);
                d["thickness"] = L.thickness;
                d["density"] = L.density;
                d["state"] = L.solid ? "solid" : "liquid";
                if (L.solid) {
                    d["rigidity"] = L.rigidity;
                    if (L.swept) {
                        d["viscosity"] = "swept";
                        d["viscosity_factor"] = L.viscosity_factor;
                    } else {
                        d["viscosity"] = L.viscosity;
                        d["rheology"] = std::string(kRheologies[index_of(*L.rheology)].name);
                    }
                    d["cells"] = L.cells;
                }
                out.append(d);
            }
            return out;
        });

    py::class_<TimeSweep>(m, "TimeSweep")
        .def(py::init([](const PyBody& body, std::vector<double> series, std::optional<int> jobs,
                         std::vector<double> maps, double map_step) {
            return std::make_unique<TimeSweep>(body, std::move(series), threads_for(jobs),
                                               std::move(maps), map_step);
        }))
        .def("columns", &TimeSweep::columns)
        .def("profile", &TimeSweep::profile)
        .def("love", &TimeSweep::love)
        .def("maps", &TimeSweep::maps)
        .def("peaks", &TimeSweep::peaks)
        .def("series", &TimeSweep::series)
        .def("messages", &TimeSweep::messages)
        .def("worst", &TimeSweep::worst)
        .def("accuracy", &TimeSweep::accuracy)
        .def("write", &TimeSweep::write, py::call_guard<py::gil_scoped_release>());

    py::class_<SteadySweep>(m, "SteadySweep")
        .def(py::init([](const PyBody& body, std::vector<double> maps, double map_step) {
            return std::make_unique<SteadySweep>(body, std::move(maps), map_step);
        }))
        .def("columns", &SteadySweep::columns)
        .def("profile", &SteadySweep::profile)
        .def("love", &SteadySweep::love)
        .def("maps", &SteadySweep::maps)
        .def("peaks", &SteadySweep::peaks)
        .def("messages", &SteadySweep::messages)
        .def("worst", &SteadySweep::worst)
        .def("accuracy", &SteadySweep::accuracy)
        .def("write", &SteadySweep::write, py::call_guard<py::gil_scoped_release>());

    // The command line's failures, raised as Python exceptions.
    // (the most recently registered translator is tried first: the derived class last).
    const auto output_error = py::register_exception<OutputError>(m, "OutputError", PyExc_OSError);
    py::register_exception<DirectoryInUse>(m, "DirectoryInUse", output_error.ptr());
}
