// Tidal deformation and heating of a viscoelastic shell: reads a preset body from the menu,
// sweeps the viscosity for a Maxwell and a Kelvin-Voigt rheology and writes the result files.
#include <exception>
#include <iostream>
#include <new>

#include "driver/program.hpp"
#include "driver/sweep.hpp"
#include "output/result_file.hpp"

int main() {
    try {
        return tidal::run_program(std::cin, std::cout, std::cerr, tidal::default_thread_count());
    } catch (const std::bad_alloc&) {
        std::cerr << "Allocation would exceed memory limit\n";
    } catch (const tidal::OutputError& e) {
        std::cerr << "error: " << e.what() << '\n';
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "error: unexpected failure\n";
    }
    return tidal::kExitFailure;
}
