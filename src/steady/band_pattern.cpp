// Method: docs/method.md §4 (the band) and §6 (the periodic steady state).
#include "steady/band_pattern.hpp"

#include <bit>

namespace tidal {

std::vector<std::uint32_t> assembly_pattern(PeriodicSolver& solver, Rheology rheology,
                                            Flavour flavour) {
    const ShellModel& model = solver.model();
    const int n = model.order();
    // A quiet NaN with a payload that no arithmetic produces (a NaN it makes is the default
    // one, or an operand's, and the assembly's operands are the body's finite numbers).
    constexpr std::uint64_t kMarker = 0x7ff8'5eed'0bad'cafeULL;
    const double marker = std::bit_cast<double>(kMarker);
    std::vector<Complex> band(static_cast<std::size_t>(n) * kBandColumns, Complex(marker, marker));
    // Any viscosity: which entries are written does not depend on it.
    const std::vector<double> eta(static_cast<std::size_t>(model.body.layers), 1e18);
    solver.assemble(rheology, flavour, 1, eta, mat1(band, n, kBandColumns), BandWrite::Entries);
    std::vector<std::uint32_t> rows(static_cast<std::size_t>(n), 0);
    for (int c = 0; c < kBandColumns; ++c)
        for (int i = 0; i < n; ++i) {
            const Complex v = band[static_cast<std::size_t>(c) * static_cast<std::size_t>(n) +
                                   static_cast<std::size_t>(i)];
            if (std::bit_cast<std::uint64_t>(v.real()) != kMarker ||
                std::bit_cast<std::uint64_t>(v.imag()) != kMarker)
                rows[static_cast<std::size_t>(i)] |= 1u << c;
        }
    return rows;
}

} // namespace tidal
