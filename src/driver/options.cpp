#include "driver/options.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

#include "driver/bodies.hpp"
#include "driver/menu.hpp"
#include "driver/sweep.hpp"

namespace tidal {

namespace {

constexpr int kMaxJobs = 1024;

// A whole decimal integer in [low, high], or nothing.
std::optional<int> bounded_integer(std::string_view text, int low, int high) {
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || text.empty() || value < low ||
        value > high)
        return std::nullopt;
    return value;
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
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::optional<std::string_view> inline_value;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            inline_value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        const auto flag = [&]() -> std::optional<OptionError> {
            if (inline_value) return OptionError{"option " + std::string(arg) + " takes no value"};
            return std::nullopt;
        };
        // The option's value: after '=' or the next argument.
        const auto value = [&]() -> std::optional<std::string_view> {
            if (inline_value) return inline_value;
            if (i + 1 < args.size()) return std::string_view(args[++i]);
            return std::nullopt;
        };

        if (arg == "--help" || arg == "-h") {
            if (auto e = flag()) return *e;
            o.help = true;
        } else if (arg == "--version") {
            if (auto e = flag()) return *e;
            o.version = true;
        } else if (arg == "--plain") {
            if (auto e = flag()) return *e;
            o.plain = true;
        } else if (arg == "--series") {
            const auto v = value();
            if (!v) return OptionError{"option --series needs a viscosity in Pa s, such as 1e15"};
            const auto eta = viscosity(*v);
            if (!eta)
                return OptionError{"option --series expects a positive viscosity in Pa s, such "
                                   "as 1e15, but got '" +
                                   printable(*v) + "'"};
            o.series.push_back(*eta);
        } else if (arg == "--body" || arg == "--jobs" || arg == "--output") {
            const auto v = value();
            if (!v) return OptionError{"option " + std::string(arg) + " needs a value"};
            if (arg == "--output") {
                if (v->empty()) return OptionError{"option --output needs a directory name"};
                o.output = std::string(*v);
            } else if (arg == "--body") {
                o.body = bounded_integer(*v, kFirstChoice, kLastChoice);
                if (!o.body)
                    return OptionError{"option --body expects an integer from 1 to 8, but got '" +
                                       printable(*v) + "'"};
            } else {
                o.jobs = bounded_integer(*v, 1, kMaxJobs);
                if (!o.jobs)
                    return OptionError{"option --jobs expects an integer from 1 to " +
                                       std::to_string(kMaxJobs) + ", but got '" + printable(*v) +
                                       "'"};
            }
        } else {
            return OptionError{"unknown option '" + printable(args[i]) + "' (try --help)"};
        }
    }
    return o;
}

std::string usage_text() {
    return "Usage: tidal [--body N] [--output DIR] [--jobs N] [--series ETA]... [--plain]\n"
           "             [--help] [--version]\n"
           "\n"
           "Tidal deformation and heating of a viscoelastic shell, for a sweep of viscosities\n"
           "and two rheologies (Maxwell and Kelvin-Voigt). Without --body the program shows\n"
           "a menu and reads the number of the body from standard input. Besides the ten\n"
           "result files of earlier versions it writes summary.csv (every result, columns\n"
           "named with their units) and, once the sweep is complete, peaks.csv.\n"
           "\n"
           "Options:\n"
           "  --body N      compute preset body N (1-8) without the menu\n"
           "  --output DIR  write the result files into DIR (created if missing;\n"
           "                default: the current directory)\n"
           "  --jobs N      threads for the sweep (default: OMP_NUM_THREADS if set,\n"
           "                else every core)\n"
           "  --series ETA  also write series-<viscosity>.csv: the surface displacement of\n"
           "                every step for the swept viscosity nearest to ETA (Pa s);\n"
           "                may be given several times\n"
           "  --plain       one viscosity at a time without vector lanes: slow, the same\n"
           "                numbers; for checking the fast path\n"
           "  --help        show this help\n"
           "  --version     show the version\n"
           "\n"
           "Preset bodies (N):\n"
           "  1  Enceladus, 26 km ice shell       viscosity 1e10 .. 1e22 Pa s\n"
           "  2  Enceladus, 52 km ice shell       viscosity 1e10 .. 1e22 Pa s\n"
           "  3  Europa, 30 km ice shell          viscosity 1e10 .. 1e22 Pa s\n"
           "  4  Exoplanet, 1 day orbit           viscosity 1e14 .. 1e24 Pa s\n"
           "  5  Exoplanet, 5 day orbit           viscosity 1e14 .. 1e24 Pa s\n"
           "  6  Exoplanet, 20 day orbit          viscosity 1e14 .. 1e24 Pa s\n"
           "  7  Exoplanet, 50 day orbit          viscosity 1e14 .. 1e24 Pa s\n"
           "  8  Mercury, 400 km mantle           viscosity 1e14 .. 1e24 Pa s\n"
           "\n"
           "Exit status: 0 done, 1 a result file could not be written (or another failure),\n"
           "2 bad option or menu choice, 128+N stopped by signal N (130 for Ctrl-C).\n";
}

std::string version_text() {
    return "tidal 1.1.0\n";
}

int thread_count(const Options& options, const char* omp_num_threads) {
    if (options.jobs) return *options.jobs;
    if (omp_num_threads != nullptr)
        if (const auto n = bounded_integer(omp_num_threads, 1, kMaxJobs)) return *n;
    return default_thread_count();
}

} // namespace tidal
