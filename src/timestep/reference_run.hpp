#pragma once
// The time integrations written the plain way: one viscosity at a time, every strain column
// and every dissipation sample of the run kept, each load component solved on its own with
// the general band substitution. Slow, but the operations are those of the method as stated;
// the batched runs must reproduce it bit for bit.
#include <span>

#include "discretisation/assembly.hpp"
#include "timestep/run.hpp"

namespace tidal {

// One run of `rheology` at the swept viscosity `eta` (Pa s; layer l gets eta times the body's
// factor for it); keeps the series.
RunRecords run_reference(const ShellModel& model, double eta, Rheology rheology);

// The same with a viscosity per layer (N values, Pa s); the record's viscosity is the first
// layer's.
RunRecords run_reference(const ShellModel& model, std::span<const double> layer_eta,
                         Rheology rheology);

} // namespace tidal
