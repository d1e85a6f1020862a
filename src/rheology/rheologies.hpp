#pragma once
// The list of rheologies: every table, file, key and sweep is built from it. A new rheology is
// one file in this folder (a type as documented in constitutive.hpp and checked by
// rheology_model.hpp, with its parameters declared as in parameter.hpp) and one entry here:
// its include and its type in RheologyList (and a name in enum Rheology if code must name it).
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "rheology/andrade.hpp"
#include "rheology/burgers.hpp"
#include "rheology/kelvin_voigt.hpp"
#include "rheology/maxwell.hpp"
#include "rheology/rheology_model.hpp"
#include "rheology/zener.hpp"

namespace tidal {

// The rheologies, in the column order of every table and file. Each must model the interface
// (rheology_model.hpp): a type that does not fails to compile here, naming itself and what it
// lacks.
template <class R> struct CheckedRheology {
    static_assert(is_parameter_list<std::remove_cv_t<decltype(R::parameters)>,
                                    typename R::Parameters>,
                  "a rheology's `parameters` must be written as declare_parameters<Parameters>(...) "
                  "(parameter.hpp), which checks each declaration");
    static_assert(RheologyModel<R>,
                  "a rheology of the list lacks a member of the interface in rheology_model.hpp; "
                  "the type and the member are named below");
    using type = R;
};
template <class... R> struct RheologiesOf {
    using type = std::tuple<typename CheckedRheology<R>::type...>;
};
using RheologyList = RheologiesOf<Maxwell, KelvinVoigt, Burgers, Andrade, Zener>::type;
inline constexpr std::size_t kRheologyCount = std::tuple_size_v<RheologyList>;

namespace rheology_slip {
void is_not_in_the_list_exactly_once(); // a type named as a rheology that the list lacks or repeats
void shares_a_numerics_key_with_another_rheology(std::size_t rheology, std::size_t parameter);
} // namespace rheology_slip

// The place of rheology type R in the list; a type that is not there once fails the build.
template <class R> consteval std::size_t list_index() {
    std::size_t at = 0, found = 0;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        ((std::is_same_v<R, std::tuple_element_t<I, RheologyList>> ? (at = I, ++found) : 0),
         ...);
    }(std::make_index_sequence<kRheologyCount>{});
    if (found != 1) rheology_slip::is_not_in_the_list_exactly_once();
    return at;
}

// A rheology's id, valued by its type's place in the list: the names are for code that
// means one rheology, and their order here does not matter (nor does a rheology of the list
// need a name here unless such code exists).
enum class Rheology {
    Maxwell = list_index<tidal::Maxwell>(),         // spring and dashpot in series, trapezoidal rule
    KelvinVoigt = list_index<tidal::KelvinVoigt>(), // in parallel, backward Euler
    Burgers = list_index<tidal::Burgers>(),         // Maxwell in series with one Kelvin-Voigt element
    Andrade = list_index<tidal::Andrade>(),         // Maxwell with power-law creep (a Prony series)
    Zener = list_index<tidal::Zener>(),             // spring in series with one Kelvin-Voigt element
};

// The id of rheology type R.
template <class R>
inline constexpr Rheology rheology_id = static_cast<Rheology>(list_index<R>());

// Index of a rheology in the list (and in every per-rheology array).
constexpr std::size_t index_of(Rheology r) {
    return static_cast<std::size_t>(r);
}

// Calls f(R{}) for the type R of the rheology `r`, returning what f returns.
template <class F> decltype(auto) with_rheology(Rheology r, F&& f) {
    return [&]<std::size_t... I>(std::index_sequence<I...>) -> decltype(auto) {
        using Result = decltype(f(std::tuple_element_t<0, RheologyList>{}));
        if constexpr (std::is_void_v<Result>) {
            ((index_of(r) == I ? (f(std::tuple_element_t<I, RheologyList>{}), true) : false) ||
             ...);
        } else {
            Result out{};
            ((index_of(r) == I ? (out = f(std::tuple_element_t<I, RheologyList>{}), true)
                               : false) ||
             ...);
            return out;
        }
    }(std::make_index_sequence<kRheologyCount>{});
}

// The names of every rheology, in list order.
struct RheologyNames {
    Rheology id;
    std::string_view name, title, legacy_suffix;
    bool legacy_files; // writes the legacy files ("pcelketa" + legacy_suffix, ...)
};
inline constexpr std::array<RheologyNames, kRheologyCount> kRheologies = [] {
    std::array<RheologyNames, kRheologyCount> out{};
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        ((out[I] = {static_cast<Rheology>(I),
                    std::tuple_element_t<I, RheologyList>::name,
                    std::tuple_element_t<I, RheologyList>::title,
                    std::tuple_element_t<I, RheologyList>::legacy_suffix,
                    std::tuple_element_t<I, RheologyList>::legacy_files}),
         ...);
    }(std::make_index_sequence<kRheologyCount>{});
    return out;
}();

// The rheology named `name` (as in the tables and body files), if any.
constexpr std::optional<Rheology> rheology_named(std::string_view name) {
    for (const RheologyNames& r : kRheologies)
        if (r.name == name) return r.id;
    return std::nullopt;
}

// Every name once: the tables' columns and the body file's keys are made from them.
static_assert(
    [] {
        for (std::size_t i = 0; i < kRheologyCount; ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (kRheologies[i].name == kRheologies[j].name) return false;
        return true;
    }(),
    "two rheologies of RheologyList have the same name");

// A key in a table shared by rheologies (numerics) is declared by one of them only; their own
// tables cannot meet, their names being distinct.
inline constexpr bool kSharedKeysDistinct = [] {
    constexpr std::size_t most = 256;
    std::array<std::string_view, most> keys{};
    std::array<std::size_t, most> owner{};
    std::size_t n = 0;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (
            [&] {
                for (std::size_t j = 0; j < std::tuple_element_t<I, RheologyList>::parameters.size(); ++j) {
                    const auto& p = std::tuple_element_t<I, RheologyList>::parameters[j];
                    if (p.table.empty()) continue;
                    for (std::size_t m = 0; m < n; ++m)
                        if (keys[m] == p.key && owner[m] != I)
                            rheology_slip::shares_a_numerics_key_with_another_rheology(I, j);
                    keys[n] = p.key;
                    owner[n++] = I;
                }
            }(),
            ...);
    }(std::make_index_sequence<kRheologyCount>{});
    return true;
}();
static_assert(kSharedKeysDistinct);

// The parameters of every rheology of the list, each in its rheology's own type.
class RheologyParameters {
  public:
    template <class R> typename R::Parameters& of() {
        return std::get<index_of(rheology_id<R>)>(values_);
    }
    template <class R> const typename R::Parameters& of() const {
        return std::get<index_of(rheology_id<R>)>(values_);
    }

  private:
    template <class List> struct Values;
    template <class... R> struct Values<std::tuple<R...>> {
        using type = std::tuple<typename R::Parameters...>;
    };
    typename Values<RheologyList>::type values_;
};

// One parameter of one rheology, as the body file and the help present it.
struct RheologyParameter {
    Rheology rheology;
    std::size_t index;        // in the rheology's `parameters`
    std::string table;        // "rheology.<name>", or the table the rheology names
    bool own_table;           // whether `table` is the rheology's own, [rheology.<name>]
    std::string_view key;
    std::string_view unit, meaning, origin;
    ParameterRange range;
    bool integer;
    double default_value;
    std::string dotted() const { return table + "." + std::string(key); }
};

// Every parameter of every rheology, in list order and each rheology's order.
const std::vector<RheologyParameter>& rheology_parameters();

// A parameter's value in `p`, as a double (integers exactly), and its setting.
double parameter_value(const RheologyParameters& p, const RheologyParameter& which);
void set_parameter_value(RheologyParameters& p, const RheologyParameter& which, double value);

// Fits what the rheologies' time stepping approximates to the band of angular frequencies
// (rad/s) a run resolves.
void prepare_rheologies(RheologyParameters& p, double band_low, double band_high);

// How well the time stepping of rheology r carries its law, for a rheology that approximates
// it (after prepare_rheologies); nothing for one whose steps are exact in its law.
std::optional<LawApproximation> law_approximation(const RheologyParameters& p, Rheology r);

} // namespace tidal
