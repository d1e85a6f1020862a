#pragma once
// How a rheology declares the parameters it takes beyond a layer's rigidity and viscosity.
// Each rheology lists them beside its equations, as an array of Parameter<its Parameters>;
// the body file's reader, writer and checks, the help, the key table of the documentation
// and the Python module all read that list, so a new parameter is written in one place.
#include <array>
#include <string_view>

namespace tidal {

// Values a parameter may take: from `min` to `max`, each end included unless it is open.
struct ParameterRange {
    double min = 0.0, max = 0.0;
    bool min_open = false, max_open = false;
    bool contains(double v) const {
        return (min_open ? v > min : v >= min) && (max_open ? v < max : v <= max);
    }
};

// One parameter: the field of the rheology's Parameters struct it fills (a real or an
// integer; the struct's default member initialiser is its default), its key in the body file
// and what a user is told about it.
template <class P> struct Parameter {
    double P::*real = nullptr;
    int P::*integer = nullptr;
    std::string_view key = "";     // key within its table of the body file
    std::string_view table = "";   // the table; "" for the rheology's own, [rheology.<name>]
    std::string_view unit = "";    // SI unit; "" for a ratio or a count
    ParameterRange range = {};     // values accepted
    std::string_view meaning = ""; // one line, written beside the key in a body file
    std::string_view origin = "";  // where the default comes from

    bool is_integer() const { return integer != nullptr; }
    double get(const P& p) const {
        return is_integer() ? static_cast<double>(p.*integer) : p.*real;
    }
    void set(P& p, double v) const {
        if (is_integer())
            p.*integer = static_cast<int>(v);
        else
            p.*real = v;
    }
    double default_value() const {
        static const P defaults{};
        return get(defaults);
    }
};

// The parameters of a rheology that takes none.
struct NoParameters {
    bool operator==(const NoParameters&) const = default;
};

} // namespace tidal
