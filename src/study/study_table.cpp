#include "study/study_table.hpp"

#include <charconv>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

#include "output/result_file.hpp"
#include "study/study_directory.hpp"

namespace tidal {

namespace {

// The peak of one rheology's power file: records " viscosity power", ascending viscosity.
HeatingPeak file_peak(const std::string& path, double outer_radius) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream whole;
    whole << in.rdbuf();
    if (!in) throw OutputError("cannot read '" + path + "'");
    const std::string s = whole.str();
    HeatingPeak peak;
    bool any = false;
    const char* at = s.data();
    const char* const end = s.data() + s.size();
    const auto next = [&](double& v) {
        while (at < end && (*at == ' ' || *at == '\n'))
            ++at;
        const auto r = std::from_chars(at, end, v);
        if (r.ec != std::errc()) return false;
        at = r.ptr;
        return true;
    };
    double eta = 0.0, power = 0.0;
    while (next(eta) && next(power)) {
        // A power that is not a number (a broken run) never hides a real peak.
        if (!any || power > peak.power || std::isnan(peak.power)) {
            peak.viscosity = eta;
            peak.power = power;
        }
        any = true;
    }
    if (!any || at != end) throw OutputError("'" + path + "' holds no whole power records");
    // Mean flux through the outer surface 4 pi R^2.
    peak.heat_flux = peak.power / (4.0 * std::numbers::pi * outer_radius * outer_radius);
    return peak;
}

void number(std::string& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void text(std::string& out, const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) {
        out += s;
        return;
    }
    out += '"';
    for (const char c : s)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
}

} // namespace

PointPeaks read_point_peaks(const std::string& point_dir, const BodySpec& body) {
    return {file_peak(point_dir + "/pcelketa", body.outer_radius),
            file_peak(point_dir + "/pcelketakelvin", body.outer_radius)};
}

std::string study_table(const Study& study, const std::vector<PointPeaks>& peaks) {
    std::string out = "point";
    for (const std::string& key : study.keys) {
        out += ',';
        text(out, key);
    }
    for (const char* rheology : {"maxwell", "kelvin_voigt"})
        for (const char* column : {"_peak_viscosity_Pa_s", "_peak_power_W", "_peak_heat_flux_W_m2"})
            out += std::string(",") + rheology + column;
    out += "\r\n";
    for (std::size_t p = 0; p < study.points.size(); ++p) {
        out += StudyDirectory::point_name(static_cast<int>(p));
        for (const std::string& v : study.points[p].values) {
            out += ',';
            text(out, v);
        }
        for (const HeatingPeak* h : {&peaks[p].maxwell, &peaks[p].kelvin_voigt}) {
            for (const double v : {h->viscosity, h->power, h->heat_flux}) {
                out += ',';
                number(out, v);
            }
        }
        out += "\r\n";
    }
    return out;
}

} // namespace tidal
