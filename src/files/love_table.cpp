#include "files/love_table.hpp"

#include <array>

#include "files/csv.hpp"

namespace tidal {

std::span<const SurfaceLoveQuantity> surface_love_quantities() {
    using S = SurfaceLoveSummary;
    static constexpr std::array<SurfaceLoveQuantity, 9> quantities = {{
        {"h2_real", &S::h2_real, "real part of the Love number h2", true},
        {"h2_imag", &S::h2_imag, "imaginary part of the Love number h2", true},
        {"k2_real", &S::k2_real, "real part of the Love number k2", true},
        {"k2_imag", &S::k2_imag, "imaginary part of the Love number k2", true},
        {"l2_real", &S::l2_real, "real part of the tangential Love number l2", false},
        {"l2_imag", &S::l2_imag, "imaginary part of the tangential Love number l2", false},
        {"h2_grid_error", &S::h2_grid_error, "modulus of the relative grid error of h2", true},
        {"k2_grid_error", &S::k2_grid_error, "modulus of the relative grid error of k2", true},
        {"l2_grid_error", &S::l2_grid_error, "modulus of the relative grid error of l2", false},
    }};
    return quantities;
}

std::span<const SurfaceLoveQuantity> extrapolated_love_quantities() {
    using S = SurfaceLoveSummary;
    static constexpr std::array<SurfaceLoveQuantity, 6> quantities = {{
        {"extrapolated_h2_real", &S::extrapolated_h2_real, "real part of h2 extrapolated to zero grid spacing", true},
        {"extrapolated_h2_imag", &S::extrapolated_h2_imag, "imaginary part of h2 extrapolated to zero grid spacing", true},
        {"extrapolated_k2_real", &S::extrapolated_k2_real, "real part of k2 extrapolated to zero grid spacing", true},
        {"extrapolated_k2_imag", &S::extrapolated_k2_imag, "imaginary part of k2 extrapolated to zero grid spacing", true},
        {"extrapolated_l2_real", &S::extrapolated_l2_real, "real part of l2 extrapolated to zero grid spacing", false},
        {"extrapolated_l2_imag", &S::extrapolated_l2_imag, "imaginary part of l2 extrapolated to zero grid spacing", false},
    }};
    return quantities;
}

std::string love_numbers_header(bool extrapolated) {
    CsvRow row;
    row.text("viscosity_Pa_s").text("rheology");
    for (const SurfaceLoveQuantity& q : surface_love_quantities())
        row.text(q.name);
    if (extrapolated)
        for (const SurfaceLoveQuantity& q : extrapolated_love_quantities())
            row.text(q.name);
    return row.line();
}

std::string love_numbers_record(double viscosity, std::string_view rheology,
                                const SurfaceLoveSummary& love, bool extrapolated) {
    CsvRow row;
    row.number(viscosity).text(rheology);
    const auto put = [&](const SurfaceLoveQuantity& q) {
        const std::optional<double>& value = love.*q.value;
        value ? row.number(*value) : row.empty();
    };
    for (const SurfaceLoveQuantity& q : surface_love_quantities())
        put(q);
    if (extrapolated)
        for (const SurfaceLoveQuantity& q : extrapolated_love_quantities())
            put(q);
    return row.line();
}

} // namespace tidal
