#include "output/tables.hpp"

#include <array>

#include "output/csv.hpp"

namespace tidal {

std::span<const SummaryQuantity> summary_quantities() {
    static constexpr std::array<SummaryQuantity, 7> quantities = {{
        {"power_W", &RheologySummary::power},
        {"heat_flux_W_m2", &RheologySummary::heat_flux},
        {"min_surface_displacement_m", &RheologySummary::min_surface},
        {"min_phase", &RheologySummary::min_phase},
        {"max_equator_displacement_m", &RheologySummary::max_equator},
        {"phase_lag_deg", &RheologySummary::phase_lag_deg},
        {"amplitude_m", &RheologySummary::amplitude},
    }};
    return quantities;
}

std::span<const SteadyQuantity> steady_quantities() {
    static constexpr std::array<SteadyQuantity, 4> quantities = {{
        {"steady_power_W", &SteadySummary::power},
        {"steady_phase_lag_deg", &SteadySummary::phase_lag_deg},
        {"transient", &SteadySummary::transient},
        {"step_error", &SteadySummary::step_error},
    }};
    return quantities;
}

std::string summary_header(std::span<const std::string_view> rheologies) {
    CsvRow row;
    row.text("viscosity_Pa_s");
    for (const std::string_view rheology : rheologies)
        for (const SummaryQuantity& q : summary_quantities())
            row.text(std::string(rheology) + "_" + std::string(q.name));
    for (const std::string_view rheology : rheologies)
        for (const SteadyQuantity& q : steady_quantities())
            row.text(std::string(rheology) + "_" + std::string(q.name));
    return row.line();
}

std::string summary_record(double viscosity, std::span<const RheologySummary> values,
                           std::span<const SteadySummary> steady) {
    CsvRow row;
    row.number(viscosity);
    for (const RheologySummary& v : values)
        for (const SummaryQuantity& q : summary_quantities())
            row.number(v.*q.value);
    for (const SteadySummary& v : steady)
        for (const SteadyQuantity& q : steady_quantities()) {
            const std::optional<double>& value = v.*q.value;
            value ? row.number(*value) : row.empty();
        }
    return row.line();
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

std::string series_file_name(double viscosity) {
    std::string name = "series-";
    append_number(name, viscosity);
    return name + ".csv";
}

} // namespace tidal
