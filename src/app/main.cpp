// Tidal deformation and heating of a viscoelastic shell: takes a body (a preset from the menu or
// --body, or a body file), sweeps the viscosity for a Maxwell and a Kelvin-Voigt rheology and
// writes the result files.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>
#include <span>

#include <unistd.h>

#include "files/body_file.hpp"
#include "body/presets.hpp"
#include "files/rheology_keys.hpp"
#include "files/body_source.hpp"
#include "cli/interrupt.hpp"
#include "cli/launch.hpp"
#include "cli/options.hpp"
#include "cli/program.hpp"
#include "engine/thread_count.hpp"
#include "files/result_file.hpp"
#include "study/study_command.hpp"

int main(int argc, char** argv) {
    try {
        const auto parsed = tidal::parse_options(std::span<const char* const>(
            argv + 1, static_cast<std::size_t>(argc > 0 ? argc - 1 : 0)));
        if (const auto* e = std::get_if<tidal::OptionError>(&parsed)) {
            std::cerr << "error: " << e->message << '\n';
            return tidal::kExitBadChoice;
        }
        const tidal::Options& options = std::get<tidal::Options>(parsed);
        if (options.help || options.version) {
            std::cout << (options.help ? tidal::usage_text() : tidal::version_text()) << std::flush;
            return std::cout ? tidal::kExitSuccess : tidal::kExitFailure;
        }

        if (options.rheologies) {
            std::cout << tidal::rheology_key_table() << std::flush;
            return std::cout ? tidal::kExitSuccess : tidal::kExitFailure;
        }

        if (options.print_body) {
            const auto body = tidal::override_body(tidal::preset(*options.print_body).body_spec,
                                                   "body " + std::to_string(*options.print_body),
                                                   options.overrides);
            if (const auto* e = std::get_if<tidal::BodyError>(&body)) {
                std::cerr << "error: " << e->message << '\n';
                return tidal::kExitBadChoice;
            }
            std::cout << tidal::write_body(std::get<tidal::Body>(body),
                                           "Preset body " + std::to_string(*options.print_body) +
                                               ", written by " + tidal::kVersion +
                                               "; SI units throughout")
                      << std::flush;
            return std::cout ? tidal::kExitSuccess : tidal::kExitFailure;
        }

        const tidal::Launch launch = tidal::launch_from_environment(
            [](const char* name) -> const char* { return std::getenv(name); });
        if (options.study && !options.maps.empty()) {
            std::cerr << "error: option --map is not available for studies; map a point of the "
                         "study by running its body.toml with --body-file\n";
            return tidal::kExitBadChoice;
        }
        if (options.study) {
            tidal::StudySettings settings;
            settings.threads = tidal::thread_count(options.jobs, std::getenv("OMP_NUM_THREADS"));
            settings.plain = options.plain;
            settings.series = options.series;
            if (options.method_given) settings.steady = options.steady;
            settings.progress = isatty(STDERR_FILENO) == 1;
            settings.interrupted = &tidal::InterruptCatcher::caught;
            const tidal::InterruptCatcher catcher;
            if (launch.size > 1)
                return tidal::mpi_study_command(*options.study, options.output, settings,
                                                std::cerr);
            return tidal::study_command(*options.study, options.output, settings, std::cerr);
        }
        if (launch.size > 1) {
            // Each of the processes would compute the same body into the same files.
            if (launch.rank == 0)
                std::cerr << "error: a single body is not run under mpirun (" << launch.size
                          << " processes would each compute it); run it without mpirun, or "
                             "spread a study over the processes with --study\n";
            return tidal::kExitBadChoice;
        }

        tidal::ProgramSettings settings;
        if (options.body_file) {
            auto body = tidal::read_body_file(*options.body_file, options.overrides);
            if (const auto* e = std::get_if<tidal::BodyError>(&body)) {
                std::cerr << "error: " << e->message << '\n';
                return tidal::kExitBadChoice;
            }
            settings.body_spec = std::get<tidal::Body>(std::move(body));
        }
        settings.body = options.body;
        settings.overrides = options.overrides;
        settings.output = options.output;
        settings.threads = tidal::thread_count(options.jobs, std::getenv("OMP_NUM_THREADS"));
        settings.plain = options.plain;
        settings.series = options.series;
        settings.maps = options.maps;
        settings.map_step = options.map_step;
        settings.method = options.steady ? tidal::Method::Steady : tidal::Method::Time;
        settings.progress = isatty(STDERR_FILENO) == 1;
        settings.interrupted = &tidal::InterruptCatcher::caught;
        const tidal::InterruptCatcher catcher;
        return tidal::run_program(std::cin, std::cout, std::cerr, settings);
    } catch (const std::bad_alloc&) {
        std::cerr << "Allocation would exceed memory limit\n";
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "error: unexpected failure\n";
    }
    return tidal::kExitFailure;
}
