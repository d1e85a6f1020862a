// Tidal deformation and heating of a viscoelastic shell: reads a preset body (from the menu or
// --body), sweeps the viscosity for a Maxwell and a Kelvin-Voigt rheology and writes the result
// files.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>
#include <span>

#include <unistd.h>

#include "driver/interrupt.hpp"
#include "driver/options.hpp"
#include "driver/program.hpp"
#include "output/result_file.hpp"

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

        tidal::ProgramSettings settings;
        settings.body = options.body;
        settings.output = options.output;
        settings.threads = tidal::thread_count(options, std::getenv("OMP_NUM_THREADS"));
        settings.plain = options.plain;
        settings.series = options.series;
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
