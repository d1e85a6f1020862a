#pragma once
// The program's name and version, as --version shows them and as every written body file,
// results.nc and study.nc records them (setup.py reads the Python package's version here).
namespace tidal {

inline constexpr const char* kVersion = "tidal 1.2.0";

} // namespace tidal
