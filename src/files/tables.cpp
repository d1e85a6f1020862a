#include "files/tables.hpp"

#include <array>

#include "files/csv.hpp"

namespace tidal {

std::span<const SummaryQuantity> summary_quantities() {
    static constexpr std::array<SummaryQuantity, 7> quantities = {{
        {"power_W", &RheologySummary::power, "W", "mean dissipated power over the last period"},
        {"heat_flux_W_m2", &RheologySummary::heat_flux, "W m-2", "mean dissipated power per unit area of the outer surface"},
        {"min_surface_displacement_m", &RheologySummary::min_surface, "m", "minimum order-0 radial displacement of the outer surface"},
        {"min_phase", &RheologySummary::min_phase, "1", "time of the minimum surface displacement, fraction of the orbital period"},
        {"max_equator_displacement_m", &RheologySummary::max_equator, "m", "largest absolute radial displacement at the equator"},
        {"phase_lag_deg", &RheologySummary::phase_lag_deg, "degree", "phase lag of the fundamental of the surface displacement"},
        {"amplitude_m", &RheologySummary::amplitude, "m", "amplitude of the fundamental of the surface displacement"},
    }};
    return quantities;
}

std::span<const SteadyQuantity> steady_quantities() {
    static constexpr std::array<SteadyQuantity, 4> quantities = {{
        {"steady_power_W", &SteadySummary::power, "W", "mean power of the exact-in-time periodic state"},
        {"steady_phase_lag_deg", &SteadySummary::phase_lag_deg, "degree", "phase lag of the exact-in-time periodic state"},
        {"transient", &SteadySummary::transient, "1", "time-domain power over the periodic power of the scheme, minus 1"},
        {"step_error", &SteadySummary::step_error, "1", "periodic power of the scheme over the exact-in-time one, minus 1"},
    }};
    return quantities;
}

std::span<const LoveQuantity> love_quantities() {
    static constexpr std::array<LoveQuantity, 6> quantities = {{
        {"h2_real", &LoveSummary::h2_real, "1", "real part of the Love number h2"},
        {"h2_imag", &LoveSummary::h2_imag, "1", "imaginary part of the Love number h2"},
        {"k2_real", &LoveSummary::k2_real, "1", "real part of the Love number k2"},
        {"k2_imag", &LoveSummary::k2_imag, "1", "imaginary part of the Love number k2"},
        {"minus_im_k2", &LoveSummary::minus_im_k2, "1", "k2/Q, minus the imaginary part of k2"},
        {"tidal_q", &LoveSummary::tidal_q, "1", "tidal quality factor Q"},
    }};
    return quantities;
}

std::span<const GridErrorQuantity> grid_error_quantities() {
    static constexpr std::array<GridErrorQuantity, 3> quantities = {{
        {"grid_error", &GridErrorSummary::power, "1", "relative grid error of the power"},
        {"h2_grid_error", &GridErrorSummary::h2, "1", "modulus of the relative grid error of h2"},
        {"k2_grid_error", &GridErrorSummary::k2, "1", "modulus of the relative grid error of k2"},
    }};
    return quantities;
}

std::span<const ExtrapolatedQuantity> extrapolated_quantities() {
    static constexpr std::array<ExtrapolatedQuantity, 6> quantities = {{
        {"extrapolated_power_W", &ExtrapolatedSummary::power, "W", "mean power extrapolated to zero grid spacing"},
        {"extrapolated_phase_lag_deg", &ExtrapolatedSummary::phase_lag_deg, "degree", "phase lag extrapolated to zero grid spacing"},
        {"extrapolated_h2_real", &ExtrapolatedSummary::h2_real, "1", "real part of h2 extrapolated to zero grid spacing"},
        {"extrapolated_h2_imag", &ExtrapolatedSummary::h2_imag, "1", "imaginary part of h2 extrapolated to zero grid spacing"},
        {"extrapolated_k2_real", &ExtrapolatedSummary::k2_real, "1", "real part of k2 extrapolated to zero grid spacing"},
        {"extrapolated_k2_imag", &ExtrapolatedSummary::k2_imag, "1", "imaginary part of k2 extrapolated to zero grid spacing"},
    }};
    return quantities;
}

std::string summary_header(std::span<const std::string_view> rheologies, bool extrapolated,
                           std::span<const int> solid_layers) {
    CsvRow row;
    row.text("viscosity_Pa_s");
    for (const std::string_view rheology : rheologies)
        for (const SummaryQuantity& q : summary_quantities())
            row.text(std::string(rheology) + "_" + std::string(q.name));
    for (const std::string_view rheology : rheologies)
        for (const SteadyQuantity& q : steady_quantities())
            row.text(std::string(rheology) + "_" + std::string(q.name));
    for (const std::string_view rheology : rheologies)
        for (const LoveQuantity& q : love_quantities())
            row.text(std::string(rheology) + "_" + std::string(q.name));
    for (const std::string_view rheology : rheologies)
        for (const GridErrorQuantity& q : grid_error_quantities())
            row.text(std::string(rheology) + "_" + std::string(q.name));
    if (extrapolated)
        for (const std::string_view rheology : rheologies)
            for (const ExtrapolatedQuantity& q : extrapolated_quantities())
                row.text(std::string(rheology) + "_" + std::string(q.name));
    for (const std::string_view rheology : rheologies)
        for (const int k : solid_layers)
            row.text(std::string(rheology) + "_layer" + std::to_string(k) + "_power_W");
    return row.line();
}

std::string summary_record(double viscosity, std::span<const RheologySummary> values,
                           std::span<const SteadySummary> steady,
                           std::span<const LoveSummary> love,
                           std::span<const GridErrorSummary> grid,
                           std::span<const ExtrapolatedSummary> extrapolated,
                           std::span<const std::vector<double>> layer_power) {
    // A field is at most 24 characters and its comma ("-1.2345678901234567e-123").
    std::size_t fields = 1 + values.size() * summary_quantities().size() +
                         steady.size() * steady_quantities().size() +
                         love.size() * love_quantities().size() +
                         grid.size() * grid_error_quantities().size() +
                         extrapolated.size() * extrapolated_quantities().size();
    for (const std::vector<double>& powers : layer_power)
        fields += powers.size();
    CsvRow row;
    row.reserve(25 * fields + 1);
    row.number(viscosity);
    for (const RheologySummary& v : values)
        for (const SummaryQuantity& q : summary_quantities())
            row.number(v.*q.value);
    for (const SteadySummary& v : steady)
        for (const SteadyQuantity& q : steady_quantities()) {
            const std::optional<double>& value = v.*q.value;
            value ? row.number(*value) : row.empty();
        }
    for (const LoveSummary& v : love)
        for (const LoveQuantity& q : love_quantities()) {
            const std::optional<double>& value = v.*q.value;
            value ? row.number(*value) : row.empty();
        }
    for (const GridErrorSummary& v : grid)
        for (const GridErrorQuantity& q : grid_error_quantities()) {
            const std::optional<double>& value = v.*q.value;
            value ? row.number(*value) : row.empty();
        }
    for (const ExtrapolatedSummary& v : extrapolated)
        for (const ExtrapolatedQuantity& q : extrapolated_quantities()) {
            const std::optional<double>& value = v.*q.value;
            value ? row.number(*value) : row.empty();
        }
    for (const std::vector<double>& powers : layer_power)
        for (const double p : powers)
            row.number(p);
    return row.line();
}

std::string profile_header(bool named_layers) {
    CsvRow row;
    row.text("viscosity_Pa_s")
        .text("rheology")
        .text("layer")
        .text("outer_radius_m")
        .text("inner_radius_m")
        .text("heating_W_m3")
        .text("power_W");
    if (named_layers) row.text("body_layer");
    return row.line();
}

std::string profile_records(double viscosity, std::string_view rheology,
                            std::span<const ProfileRecord> layers, bool named_layers,
                            NumberSlots* radii) {
    // The viscosity and the rheology, the same in every row, formatted once.
    std::string eta;
    append_number(eta, viscosity);
    std::string text;
    text.reserve(layers.size() * 128);
    CsvRow row;
    row.reserve(128);
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const ProfileRecord& l = layers[i];
        row.clear().formatted(eta).text(rheology).integer(l.layer);
        if (radii) {
            row.formatted(radii->text(2 * i, l.outer_radius))
                .formatted(radii->text(2 * i + 1, l.inner_radius));
        } else {
            row.number(l.outer_radius).number(l.inner_radius);
        }
        row.number(l.heating).number(l.power);
        if (named_layers) row.text(l.body_layer);
        text += row.line();
    }
    return text;
}

std::string peaks_table(std::span<const PeakRecord> peaks) {
    std::string text = CsvRow()
                           .text("rheology")
                           .text("viscosity_Pa_s")
                           .text("power_W")
                           .text("heat_flux_W_m2")
                           .text("refined_viscosity_Pa_s")
                           .text("refined_power_W")
                           .text("refined_heat_flux_W_m2")
                           .text("rank")
                           .text("position")
                           .line();
    for (const PeakRecord& p : peaks) {
        CsvRow row;
        row.text(p.rheology).number(p.viscosity).number(p.power).number(p.heat_flux);
        for (const auto& v : {p.refined_viscosity, p.refined_power, p.refined_heat_flux})
            v ? row.number(*v) : row.empty();
        row.integer(p.rank).text(p.position);
        text += row.line();
    }
    return text;
}

std::string series_table(double dt, int nperiod, std::span<const std::string_view> rheologies,
                         std::span<const std::vector<double>* const> series) {
    CsvRow header;
    header.text("step").text("time_s").text("time_periods");
    for (const std::string_view rheology : rheologies)
        header.text(std::string(rheology) + "_surface_displacement_m");
    std::string text = header.line();
    const std::size_t steps = series.empty() ? 0 : series.front()->size();
    text.reserve(text.size() + steps * (24 * (3 + series.size())));
    for (std::size_t i = 0; i < steps; ++i) {
        const int step = static_cast<int>(i) + 1;
        CsvRow row;
        row.integer(step).number(series_time_s(step, dt)).number(series_time_periods(step, nperiod));
        for (const std::vector<double>* s : series)
            row.number((*s)[i]);
        text += row.line();
    }
    return text;
}

std::string map_table(std::span<const double> latitudes, std::span<const double> longitudes,
                      std::span<const MapColumns> maps) {
    CsvRow header;
    header.text("latitude_deg").text("longitude_deg");
    for (const MapColumns& m : maps) {
        header.text(std::string(m.rheology) + "_heat_flux_W_m2");
        header.text(std::string(m.rheology) + "_top_heating_W_m3");
        header.text(std::string(m.rheology) + "_bottom_heating_W_m3");
    }
    std::string text = header.line();
    std::size_t point = 0;
    for (const double lat : latitudes)
        for (const double lon : longitudes) {
            CsvRow row;
            row.number(lat).number(lon);
            for (const MapColumns& m : maps)
                row.number((*m.flux)[point]).number((*m.top)[point]).number((*m.bottom)[point]);
            text += row.line();
            ++point;
        }
    return text;
}

std::string map_file_name(double viscosity) {
    std::string name = "map-";
    append_number(name, viscosity);
    return name + ".csv";
}

std::string series_file_name(double viscosity) {
    std::string name = "series-";
    append_number(name, viscosity);
    return name + ".csv";
}

} // namespace tidal
