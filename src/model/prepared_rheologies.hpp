#pragma once
// The rheologies' parameters prepared for the band of angular frequencies a run resolves
// (prepare_rheologies: the Andrade creep's Prony series fitted to that band), shared between
// the models that ask for the same preparation. A study builds one model per point, and its
// points mostly differ in the shell or the orbit, not in the rheologies or the time step: the
// fit (a non-negative least-squares solve over the band, docs/method.md section 5) is then
// the same at every point and is computed once.
#include "rheology/rheologies.hpp"

namespace tidal {

// `p` prepared for the band [band_low, band_high] (rad/s), as prepare_rheologies(p, band_low,
// band_high) leaves it, bit for bit. The result is taken from an earlier call whose inputs
// were the same bits: every parameter of every rheology (rheology_parameters(), the values
// prepare_rheologies reads) and both ends of the band. Thread-safe; a few recent preparations
// are kept.
RheologyParameters prepared_rheologies(const RheologyParameters& p, double band_low,
                                       double band_high);

} // namespace tidal
