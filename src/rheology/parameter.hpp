#pragma once
// How a rheology declares the parameters it takes beyond a layer's rigidity and viscosity.
// Each rheology lists them beside its equations, as an array of Parameter<its Parameters>;
// the body file's reader, writer and checks, the help, the key table of the documentation
// and the Python module all read that list, so a new parameter is written in one place.
// The list is written through declare_parameters, which checks every declaration while the
// rheology's header compiles: a slip there fails the build at that header's line.
#include <array>
#include <cstddef>
#include <string_view>

namespace tidal {

// Values a parameter may take: from `min` to `max`, each end included unless it is open.
struct ParameterRange {
    double min = 0.0, max = 0.0;
    bool min_open = false, max_open = false;
    constexpr bool contains(double v) const {
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

    constexpr bool is_integer() const { return integer != nullptr; }
    constexpr double get(const P& p) const {
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

// A rheology's parameters as declared and checked: the array of its declarations, built only
// by declare_parameters below, so that a rheology cannot hand the program an unchecked list.
template <class P, std::size_t N> class ParameterList : public std::array<Parameter<P>, N> {
    template <class Q, std::size_t M>
    friend consteval ParameterList<Q, M> declare_parameters(const Parameter<Q> (&)[M]);
    template <class Q> friend consteval ParameterList<Q, 0> declare_parameters();
    constexpr explicit ParameterList(const std::array<Parameter<P>, N>& a)
        : std::array<Parameter<P>, N>(a) {}
};

// What a declaration can get wrong. Each is a function that cannot run at compile time, so
// that reaching one stops the build with its name in the message, under the line of the
// rheology's header that calls declare_parameters.
namespace parameter_slip {
void fills_no_field_or_two(std::size_t index);
void fills_the_field_of_an_earlier_one(std::size_t index);
void has_an_empty_key(std::size_t index);
void has_a_key_not_of_lower_case_letters_digits_and_underscores(std::size_t index);
void is_in_a_table_neither_its_own_nor_numerics(std::size_t index);
void repeats_the_key_of_an_earlier_one_in_its_table(std::size_t index);
void has_no_range_or_an_empty_one(std::size_t index);
void has_a_default_outside_its_range(std::size_t index);
void is_whole_but_its_range_ends_are_not(std::size_t index);
void has_no_meaning_or_no_origin(std::size_t index);
} // namespace parameter_slip

namespace detail {
constexpr bool is_key(std::string_view key) {
    for (const char c : key)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}
constexpr bool is_whole(double v) {
    return v == static_cast<double>(static_cast<long long>(v));
}
// Checks declaration i of `list` against itself and the earlier ones.
template <class P, std::size_t N>
constexpr void check_parameter(const Parameter<P> (&list)[N], std::size_t i) {
    const Parameter<P>& p = list[i];
    if ((p.real == nullptr) == (p.integer == nullptr)) parameter_slip::fills_no_field_or_two(i);
    if (p.key.empty()) parameter_slip::has_an_empty_key(i);
    if (!is_key(p.key))
        parameter_slip::has_a_key_not_of_lower_case_letters_digits_and_underscores(i);
    // "" is the rheology's own table, [rheology.<name>]; numerics hold the resolutions.
    if (!p.table.empty() && p.table != "numerics")
        parameter_slip::is_in_a_table_neither_its_own_nor_numerics(i);
    for (std::size_t j = 0; j < i; ++j) {
        const Parameter<P>& q = list[j];
        if ((p.real != nullptr && p.real == q.real) ||
            (p.integer != nullptr && p.integer == q.integer))
            parameter_slip::fills_the_field_of_an_earlier_one(i);
        if (p.key == q.key && p.table == q.table)
            parameter_slip::repeats_the_key_of_an_earlier_one_in_its_table(i);
    }
    // A range that is left out is the single value 0: no range at all for a parameter.
    if (!(p.range.min < p.range.max)) parameter_slip::has_no_range_or_an_empty_one(i);
    if (!p.range.contains(p.get(P{}))) parameter_slip::has_a_default_outside_its_range(i);
    if (p.is_integer() && !(is_whole(p.range.min) && is_whole(p.range.max)))
        parameter_slip::is_whole_but_its_range_ends_are_not(i);
    if (p.meaning.empty() || p.origin.empty()) parameter_slip::has_no_meaning_or_no_origin(i);
}
} // namespace detail

// The list of a rheology's parameters, each declaration checked as the header compiles: it
// fills exactly one field, not another's; its key is a body-file key, once in its table; the
// table is the rheology's own or numerics; its range holds more than one value and its
// default (the member initialiser); a whole number's range has whole ends; the body file
// can say what it means and where its default comes from.
template <class P, std::size_t N>
consteval ParameterList<P, N> declare_parameters(const Parameter<P> (&list)[N]) {
    std::array<Parameter<P>, N> out{};
    for (std::size_t i = 0; i < N; ++i) {
        detail::check_parameter(list, i);
        out[i] = list[i];
    }
    return ParameterList<P, N>(out);
}
// The list of a rheology without parameters.
template <class P> consteval ParameterList<P, 0> declare_parameters() {
    return ParameterList<P, 0>(std::array<Parameter<P>, 0>{});
}

// Whether T is a checked list of parameters of type P.
template <class T, class P> inline constexpr bool is_parameter_list = false;
template <class P, std::size_t N>
inline constexpr bool is_parameter_list<ParameterList<P, N>, P> = true;

// The parameters of a rheology that takes none.
struct NoParameters {
    bool operator==(const NoParameters&) const = default;
};

} // namespace tidal
