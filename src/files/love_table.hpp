#pragma once
// The table of the surface Love numbers, "love_numbers.csv", beside the legacy files and
// summary.csv: one row per viscosity and rheology (long format, as heating_profile.csv) with
// h2, k2 and the tangential l2 (docs/method.md §8), their grid errors and, on request, their
// Richardson limits. Every value is dimensionless; e^{i omega t}, so a lagging response has a
// negative imaginary part.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tidal {

// One rheology's surface Love numbers at one viscosity. A value that was not computed (the
// grid errors of a sweep without the periodic state) stays empty.
struct SurfaceLoveSummary {
    std::optional<double> h2_real, h2_imag, k2_real, k2_imag, l2_real, l2_imag;
    std::optional<double> h2_grid_error, k2_grid_error, l2_grid_error;
    std::optional<double> extrapolated_h2_real, extrapolated_h2_imag, extrapolated_k2_real,
        extrapolated_k2_imag, extrapolated_l2_real, extrapolated_l2_imag;
};

struct SurfaceLoveQuantity {
    std::string_view name;
    std::optional<double> SurfaceLoveSummary::*value;
    std::string_view long_name; // what it is, in words (the NetCDF variable's long_name)
    // Whether summary.csv (and so results.nc) has this quantity already, under the
    // rheology's prefix: results.nc adds only the others.
    bool in_summary;
};

// The columns after viscosity and rheology, in order; the extrapolated ones only where the
// body asks for them (numerics.extrapolate).
std::span<const SurfaceLoveQuantity> surface_love_quantities();
std::span<const SurfaceLoveQuantity> extrapolated_love_quantities();

// The header record: "viscosity_Pa_s", "rheology", then the quantities' names.
std::string love_numbers_header(bool extrapolated);

// The record of one viscosity (Pa s) and rheology; with `extrapolated`, the Richardson limits
// too (as the header).
std::string love_numbers_record(double viscosity, std::string_view rheology,
                                const SurfaceLoveSummary& love, bool extrapolated);

} // namespace tidal
