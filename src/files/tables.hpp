#pragma once
// The self-describing CSV tables of a run, beside the legacy files: "summary.csv" (one row per
// viscosity, one block of columns per rheology), "peaks.csv" (one row per rheology) and
// "series-<viscosity>.csv" (one row per time step). Every header name carries its unit.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "files/csv.hpp"
#include "files/love_table.hpp"

namespace tidal {

// One rheology's results at one viscosity, as the summary table shows them.
struct RheologySummary {
    double power = 0.0;         // mean dissipated power over the last period, W
    double heat_flux = 0.0;     // that power through the outer surface, W/m^2
    double min_surface = 0.0;   // minimum order-0 surface radial displacement, m
    double min_phase = 0.0;     // when it occurs, fraction of the period
    double max_equator = 0.0;   // largest |radial displacement| at the equator, m
    double phase_lag_deg = 0.0; // lag of the displacement's fundamental, degrees
    double amplitude = 0.0;     // amplitude of that fundamental, m
};

// A column of every rheology's block: its name (with unit), its value, and how the NetCDF
// results describe it (there the name is the variable's, over rheology and viscosity).
struct SummaryQuantity {
    std::string_view name;
    double RheologySummary::*value;
    std::string_view units;     // as the NetCDF file states it (UDUNITS; "1": dimensionless)
    std::string_view long_name; // what it is, in words
};

// The columns of a rheology's block, in order; a new quantity is a new entry here.
std::span<const SummaryQuantity> summary_quantities();

// What the periodic steady state adds to one rheology's results at one viscosity. A value that
// does not exist (the transient of a sweep done without time integration) stays empty.
struct SteadySummary {
    std::optional<double> power;         // mean power of the exact-in-time periodic state, W
    std::optional<double> phase_lag_deg; // its phase lag, degrees
    std::optional<double> transient;     // time-domain power / the scheme's periodic power - 1
    std::optional<double> step_error;    // the scheme's periodic power / the exact one - 1
};

struct SteadyQuantity {
    std::string_view name;
    std::optional<double> SteadySummary::*value;
    std::string_view units;     // as the NetCDF file states it (UDUNITS; "1": dimensionless)
    std::string_view long_name; // what it is, in words
};

// The steady-state columns of a rheology, in order; they follow every rheology's block of
// time-domain columns.
std::span<const SteadyQuantity> steady_quantities();

// A rheology's Love numbers at one viscosity (dimensionless): h2 and k2 as complex numbers
// (e^{i omega t}: a lagging response has a negative imaginary part), k2/Q = -Im k2 and Q,
// which exists only where the response lags.
struct LoveSummary {
    std::optional<double> h2_real, h2_imag, k2_real, k2_imag, minus_im_k2, tidal_q;
};

struct LoveQuantity {
    std::string_view name;
    std::optional<double> LoveSummary::*value;
    std::string_view units;     // as the NetCDF file states it (UDUNITS; "1": dimensionless)
    std::string_view long_name; // what it is, in words
};

// The Love-number columns of a rheology, in order; they follow the steady-state columns.
std::span<const LoveQuantity> love_quantities();

// A rheology's grid error at one viscosity (dimensionless), from the periodic state on twice
// the cells: the power's signed relative error (value / Richardson limit - 1), and the
// modulus of h2's and k2's complex relative error. Empty where not computed.
struct GridErrorSummary {
    std::optional<double> power, h2, k2;
};

struct GridErrorQuantity {
    std::string_view name;
    std::optional<double> GridErrorSummary::*value;
    std::string_view units;     // as the NetCDF file states it (UDUNITS; "1": dimensionless)
    std::string_view long_name; // what it is, in words
};

// The grid-error columns of a rheology, in order; they follow the Love-number columns.
std::span<const GridErrorQuantity> grid_error_quantities();

// A rheology's values extrapolated to zero grid spacing from N and 2N cells, on request: the
// power (W), the phase lag (degrees) and h2 and k2. Empty where not computed.
struct ExtrapolatedSummary {
    std::optional<double> power, phase_lag_deg, h2_real, h2_imag, k2_real, k2_imag;
};

struct ExtrapolatedQuantity {
    std::string_view name;
    std::optional<double> ExtrapolatedSummary::*value;
    std::string_view units;     // as the NetCDF file states it (UDUNITS; "1": dimensionless)
    std::string_view long_name; // what it is, in words
};

// The extrapolated columns of a rheology, in order; where asked for, they follow the
// grid-error columns.
std::span<const ExtrapolatedQuantity> extrapolated_quantities();

// The header record: "viscosity_Pa_s", then "<rheology>_<quantity>" for every rheology (in the
// given order) and every quantity, then "<rheology>_<steady quantity>" likewise, then
// "<rheology>_<Love-number quantity>" likewise, then "<rheology>_<grid-error quantity>", then,
// with `extrapolated`, "<rheology>_<extrapolated quantity>", then for a body given by its
// layers "<rheology>_layer<k>_power_W" for each of its solid layers, k their numbers in
// `solid_layers` (1 the outermost, as listed; an ocean's number is left out).
std::string summary_header(std::span<const std::string_view> rheologies,
                           bool extrapolated = false, std::span<const int> solid_layers = {});

// The record of one viscosity (Pa s): one RheologySummary, one SteadySummary, one
// LoveSummary and one GridErrorSummary per rheology, and one ExtrapolatedSummary per rheology
// where the header has their columns (none otherwise), in header order.
std::string summary_record(double viscosity, std::span<const RheologySummary> values,
                           std::span<const SteadySummary> steady,
                           std::span<const LoveSummary> love,
                           std::span<const GridErrorSummary> grid,
                           std::span<const ExtrapolatedSummary> extrapolated = {},
                           std::span<const std::vector<double>> layer_power = {});

// One layer of a heating profile, as "heating_profile.csv" shows it: the radii (m) of the
// layer's quadrature cell, its mean volumetric heating (W/m^3) and its share of the power (W).
// A body given by its [[layer]] tables also names the body layer that holds the cell.
struct ProfileRecord {
    int layer = 0; // 1 = outermost
    double outer_radius = 0.0, inner_radius = 0.0, heating = 0.0, power = 0.0;
    std::string body_layer; // the [[layer]]'s name; empty for a [shell] body
};

// The header of "heating_profile.csv" (long format: one row per viscosity, rheology and
// layer), with the column "body_layer" last for a body given by its layers.
std::string profile_header(bool named_layers = false);

// The rows of one viscosity (Pa s) and rheology (each with its body layer if `named_layers`).
// With `radii`, the layers' radii (the same at every viscosity of a model) are formatted once
// per value and layer: the same text.
std::string profile_records(double viscosity, std::string_view rheology,
                            std::span<const ProfileRecord> layers, bool named_layers = false,
                            NumberSlots* radii = nullptr);

// The record of one viscosity in "summary.csv": its time-domain (or steady) values and its
// steady-state columns, every rheology of the tables in column order.
struct SummaryRow {
    double eta = 0.0; // Pa s
    std::vector<RheologySummary> values;
    std::vector<SteadySummary> steady;
    std::vector<LoveSummary> love;
    std::vector<GridErrorSummary> grid;
    // With numerics.extrapolate, the Richardson limits of every rheology; else empty.
    std::vector<ExtrapolatedSummary> extrapolated;
    // Every rheology's surface Love numbers with l2, their grid errors and (with
    // numerics.extrapolate) their limits: the rows of "love_numbers.csv".
    std::vector<SurfaceLoveSummary> surface_love;
    // The heating profile of every rheology (column order), the rows of "heating_profile.csv".
    std::vector<std::vector<ProfileRecord>> profile;
    // A body given by its layers: per rheology, the power (W) of each solid layer, outermost
    // first, the sum of its cells' shares of the profile; else empty.
    std::vector<std::vector<double>> layer_power;
};

// A rheology's heating peak, as "peaks.csv" shows it.
struct PeakRecord {
    std::string_view rheology;
    double viscosity = 0.0, power = 0.0, heat_flux = 0.0; // the swept sample: Pa s, W, W/m^2
    std::optional<double> refined_viscosity, refined_power, refined_heat_flux;
    int rank = 1; // 1: the rheology's largest power; 2, 3, ...: its further peaks, by power
    // "interior", or "sweep_start" / "sweep_end" when the largest power lies at an end of the
    // sweep: a maximum of the swept range, not a peak of the curve.
    std::string_view position = "interior";
};

// The whole "peaks.csv": header and one record per peak, ranked: first every rheology's
// largest power (rank 1, one record per rheology, in column order), then the further peaks.
std::string peaks_table(std::span<const PeakRecord> peaks);

// The time columns of a series table at step 1, 2, ...: seconds (`dt` the time step, s) and
// orbital periods (`nperiod` steps per period).
inline double series_time_s(int step, double dt) { return step * dt; }
inline double series_time_periods(int step, int nperiod) {
    return static_cast<double>(step) / nperiod;
}

// The whole "series-<viscosity>.csv" of one viscosity: step, time (s), time (orbital periods)
// and every rheology's outer-surface radial displacement (m) at every step. The series are of
// equal length; `dt` is the time step (s) and `nperiod` the steps per period.
std::string series_table(double dt, int nperiod, std::span<const std::string_view> rheologies,
                         std::span<const std::vector<double>* const> series);

// The whole "map-<viscosity>.csv" of one viscosity: latitude and longitude (degrees) of every
// grid point (latitude-major: `latitudes` x `longitudes`), then per rheology its
// depth-integrated heat flux (W/m^2) and the volumetric heating of its outermost and
// innermost layer (W/m^3), each a column of latitudes.size() * longitudes.size() values.
struct MapColumns {
    std::string_view rheology;
    const std::vector<double>* flux;
    const std::vector<double>* top;
    const std::vector<double>* bottom;
};
std::string map_table(std::span<const double> latitudes, std::span<const double> longitudes,
                      std::span<const MapColumns> maps);

// File name of the map table of a viscosity (Pa s): "map-" + the viscosity as in
// series_file_name + ".csv".
std::string map_file_name(double viscosity);

// File name of the series table of a viscosity (Pa s): "series-" + the viscosity in shortest
// round-trip form + ".csv", e.g. "series-1e+15.csv".
std::string series_file_name(double viscosity);

} // namespace tidal
