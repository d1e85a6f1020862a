#pragma once
// The rheologies of the program, in the column order of every table and file. Each has its
// type in this folder; rheologies.hpp lists the types in the same order.
namespace tidal {

enum class Rheology {
    Maxwell,     // spring and dashpot in series, trapezoidal rule in time
    KelvinVoigt, // spring and dashpot in parallel, backward Euler in time
    Burgers,     // Maxwell in series with one Kelvin-Voigt element, trapezoidal rule
    Andrade,     // Maxwell with power-law transient creep (a Prony series), trapezoidal rule
};

} // namespace tidal
