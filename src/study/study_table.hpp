#pragma once
// "study.csv": one row per point, its values of the varied keys, then per rheology the peak
// of the heating over the swept viscosities. CSV records end in CRLF; numbers are in the
// shortest form that reads back to the same double.
#include <string>
#include <vector>

#include "body/body_spec.hpp"
#include "study/study_file.hpp"

namespace tidal {

// The largest mean dissipated power of one rheology's sweep and where it is.
struct HeatingPeak {
    double viscosity = 0.0; // the swept viscosity of the largest power, Pa s
    double power = 0.0;     // that power, W
    double heat_flux = 0.0; // that power through the outer surface, W/m^2
};

struct PointPeaks {
    HeatingPeak maxwell, kelvin_voigt;
};

// The peaks of a published point, from the power records of its directory; the first of equal
// largest powers counts. Throws OutputError if a power file cannot be read or holds no record.
PointPeaks read_point_peaks(const std::string& point_dir, const BodySpec& body);

// The whole study.csv.
std::string study_table(const Study& study, const std::vector<PointPeaks>& peaks);

} // namespace tidal
