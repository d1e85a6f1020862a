#include "cli/options.hpp"
#include "engine/thread_count.hpp"

#include "loads/heating_map.hpp"

#include <algorithm>
#include <charconv>
#include <memory>
#include <string_view>

#include <CLI/CLI.hpp>

#include "body/presets.hpp"
#include "files/rheology_keys.hpp"
#include "loads/heating_map.hpp"
#include "cli/menu.hpp"
#include "cli/program.hpp"
#include "engine/sweep.hpp"

namespace tidal {

namespace {

constexpr int kMaxJobs = kMaxThreads;

// A whole decimal integer in [low, high], or nothing.
std::optional<int> bounded_integer(std::string_view text, int low, int high) {
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty() || value < low ||
        value > high)
        return std::nullopt;
    return value;
}

// The options' texts as given, before their values are checked.
struct Given {
    std::string body, body_file, study, print_body, output, jobs, method, map_step;
    std::vector<std::string> overrides, series, maps;
    bool plain = false, version = false, rheologies = false;
};

std::string presets_text() {
    std::string s = "Preset bodies (N):\n";
    for (std::size_t i = 0; i < presets().size(); ++i) {
        const Preset& p = presets()[i];
        std::string line = "  " + std::to_string(i + 1) + "  " + std::string(p.summary);
        line.resize(std::max<std::size_t>(line.size() + 1, 38), ' ');
        char range[64];
        std::snprintf(range, sizeof range, "viscosity 1e%g .. 1e%g Pa s",
                      p.body_spec.log10_viscosity_min, p.body_spec.log10_viscosity_max);
        s += line + range + "\n";
    }
    return s;
}

// `text` broken into lines of at most `width` characters at spaces.
std::string wrapped(const std::string& text, std::size_t width) {
    std::string out, line;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line.clear();
        }
        if (!line.empty()) line += ' ';
        line += word;
        at = end + 1;
    }
    return out + line;
}

// The command line's description; the parsed texts go to `g`.
std::unique_ptr<CLI::App> command_line(Given& g) {
    auto app = std::make_unique<CLI::App>(
        wrapped("Tidal deformation and heating of a viscoelastic shell, for a sweep of "
                "viscosities and " +
                    rheologies_sentence() +
                    " (--set 'rheology.models=[\"maxwell\", \"andrade\"]'; --rheologies "
                    "lists them and their parameters). Without --body or --body-file the "
                    "program shows a menu and reads the number of a preset body from standard "
                    "input.",
                84),
        "tidal");
    app->set_help_flag("-h,--help", "show this help");
    app->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app->add_option("--body", g.body, "compute preset body N (1-8) without the menu")
        ->type_name("N");
    app->add_option("--body-file", g.body_file, "compute the body described in the TOML file FILE")
        ->type_name("FILE");
    app->add_option("--study", g.study,
                    "compute every point of the study file FILE, one directory\n"
                    "each, study.csv and study_sweep.csv (run again, it resumes;\n"
                    "under mpirun with an MPI build the points spread over the\n"
                    "processes)")
        ->type_name("FILE");
    app->add_option("--set", g.overrides,
                    "replace one key of the body, e.g. --set shell.thickness=20000\n"
                    "(repeatable; the keys are those of a body file)")
        ->type_name("KEY=VALUE")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app->add_option("--print-body", g.print_body,
                    "write preset N as a body file on standard output and stop")
        ->type_name("N");
    app->add_option("--output", g.output,
                    "write the result files into DIR (created if missing;\n"
                    "default: the current directory)")
        ->type_name("DIR");
    app->add_option("--jobs", g.jobs,
                    "threads for the sweep (default: OMP_NUM_THREADS if set,\n"
                    "else every core)")
        ->type_name("N");
    app->add_option("--method", g.method,
                    "time (default): step each viscosity from rest through the\n"
                    "periods, and give the periodic steady state beside it;\n"
                    "steady: the periodic steady state alone, in milliseconds\n"
                    "(summary.csv, peaks.csv, love_numbers.csv, heating_profile.csv,\n"
                    "results.nc, body.toml; no legacy files);\n"
                    "for --study it replaces the study file's method")
        ->type_name("METHOD");
    app->add_option("--series", g.series,
                    "also write series-<viscosity>.csv: the surface displacement of\n"
                    "every step for the swept viscosity nearest to ETA (Pa s); repeatable")
        ->type_name("ETA")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app->add_option("--map", g.maps,
                    "also write map-<viscosity>.csv: every rheology's tidal heat flux\n"
                    "(depth-integrated heating, W/m^2) on a latitude-longitude grid, for\n"
                    "the swept viscosity nearest to ETA (Pa s); repeatable")
        ->type_name("ETA")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app->add_option("--map-step", g.map_step,
                    "grid step of the maps in degrees, dividing 180 (default 2)")
        ->type_name("DEG");
    app->add_flag("--plain", g.plain,
                  "one viscosity at a time without vector lanes: slow, the same\n"
                  "numbers; for checking the fast path");
    app->add_flag("--rheologies", g.rheologies,
                  "list the rheologies and the parameters each takes (key, unit,\n"
                  "default, values, meaning) as a table, and stop");
    app->add_flag("--version", g.version, "show the version");
    app->footer(
        presets_text() +
        "\nBesides the ten result files of earlier versions (those of Maxwell and\n"
        "Kelvin-Voigt, when they run) each run writes summary.csv (every result, columns\n"
        "named with their units), peaks.csv, love_numbers.csv, heating_profile.csv,\n"
        "results.nc (the same results as NetCDF) and body.toml (the body it ran, for\n"
        "--body-file).\n"
        "\nThe result files are written as NAME.partial and renamed to NAME when the sweep\n"
        "is complete. A run that fails or is stopped leaves its completed viscosities in\n"
        "the .partial files and earlier results untouched; a run into a directory that\n"
        "another run is writing is refused and changes nothing.\n"
        "\nExit status: 0 done, 1 a result file could not be written, the directory is in\n"
        "use (or another failure), 2 bad option, body file or menu choice (nothing is\n"
        "created), 128+N stopped by signal N (130 for Ctrl-C).");
    return app;
}

// A parser's message as one line, control bytes replaced, with a hint to the help.
std::string one_line(const std::string& s) {
    std::string out;
    for (const char c : s.substr(0, 300)) {
        const unsigned char u = static_cast<unsigned char>(c);
        out += c == '\n' ? ' ' : (u < 0x20 || u == 0x7f) ? '?' : c;
    }
    return out + " (try --help)";
}

// A positive finite viscosity in Pa s (decimal or exponent form, 1e15), or nothing.
std::optional<double> viscosity(std::string_view text) {
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty() ||
        !std::isfinite(value) || !(value > 0.0))
        return std::nullopt;
    return value;
}

} // namespace

std::variant<Options, OptionError> parse_options(std::span<const char* const> args) {
    Given g;
    const auto app = command_line(g);
    // CLI11 reads the arguments from the back.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    Options o;
    try {
        app->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        o.help = true;
        return o;
    } catch (const CLI::ParseError& e) {
        return OptionError{one_line(e.what())};
    }
    const auto given = [&](const char* name) { return app->count(name) > 0; };
    o.plain = g.plain;
    o.version = g.version;
    o.rheologies = g.rheologies;
    o.overrides = g.overrides;
    if (given("--body")) {
        o.body = bounded_integer(g.body, kFirstChoice, kLastChoice);
        if (!o.body)
            return OptionError{"option --body expects an integer from 1 to 8, but got '" +
                               printable(g.body) + "'"};
    }
    if (given("--print-body")) {
        o.print_body = bounded_integer(g.print_body, kFirstChoice, kLastChoice);
        if (!o.print_body)
            return OptionError{"option --print-body expects an integer from 1 to 8, but got '" +
                               printable(g.print_body) + "'"};
    }
    if (given("--body") && given("--body-file"))
        return OptionError{"options --body and --body-file name two bodies; give one"};
    if (given("--study")) {
        for (const char* other : {"--body", "--body-file", "--set", "--print-body"})
            if (given(other))
                return OptionError{std::string("options --study and ") + other +
                                   " do not go together: a study names its bodies in its file"};
        if (g.study.empty()) return OptionError{"option --study needs a file name"};
        o.study = g.study;
    }
    if (given("--body-file")) {
        if (g.body_file.empty()) return OptionError{"option --body-file needs a file name"};
        o.body_file = g.body_file;
    }
    if (given("--output")) {
        if (g.output.empty()) return OptionError{"option --output needs a directory name"};
        o.output = g.output;
    }
    if (given("--method")) {
        if (g.method != "time" && g.method != "steady")
            return OptionError{"option --method expects time or steady, but got '" +
                               printable(g.method) + "'"};
        o.steady = g.method == "steady";
        o.method_given = true;
    }
    for (const std::string& text : g.series) {
        const auto eta = viscosity(text);
        if (!eta)
            return OptionError{"option --series expects a positive viscosity in Pa s, such as "
                               "1e15, but got '" +
                               printable(text) + "'"};
        o.series.push_back(*eta);
    }
    for (const std::string& text : g.maps) {
        const auto eta = viscosity(text);
        if (!eta)
            return OptionError{"option --map expects a positive viscosity in Pa s, such as "
                               "1e15, but got '" +
                               printable(text) + "'"};
        o.maps.push_back(*eta);
    }
    if (given("--map-step")) {
        const auto step = viscosity(g.map_step);
        if (!step || !map_step_divides(*step))
            return OptionError{"option --map-step expects a grid step in degrees that divides "
                               "180, from 0.1 to 90 (such as 2 or 0.5), but got '" +
                               printable(g.map_step) + "'"};
        o.map_step = *step;
    }
    if (given("--jobs")) {
        o.jobs = bounded_integer(g.jobs, 1, kMaxJobs);
        if (!o.jobs)
            return OptionError{"option --jobs expects an integer from 1 to " +
                               std::to_string(kMaxJobs) + ", but got '" + printable(g.jobs) + "'"};
    }
    return o;
}

std::string usage_text() {
    Given g;
    return command_line(g)->help();
}

std::string version_text() {
    return std::string(kVersion) + "\n";
}

} // namespace tidal
