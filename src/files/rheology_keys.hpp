#pragma once
// What the command line and the documentation tell of the rheologies, made from their list:
// the sentence of --help that names them, and the table of --rheologies (docs/body-files.md carries
// the same table, and a test holds the two equal).
#include <string>

namespace tidal {

// "the rheologies Maxwell and Kelvin-Voigt, or any of those and Burgers, Andrade and Zener":
// the rheologies a body runs by default, then the others.
std::string rheologies_sentence();

// A Markdown table, one row per parameter of every rheology (one row for a rheology that takes
// none): the rheology's name in rheology.models and its title, the parameter's dotted key,
// unit, default, accepted values, meaning and where its default comes from.
std::string rheology_key_table();

} // namespace tidal
