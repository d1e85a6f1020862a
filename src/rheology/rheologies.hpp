#pragma once
// The list of rheologies: every table, file and sweep is built from it. A new rheology is one
// file in this folder (a type as documented in constitutive.hpp), its id in rheology_id.hpp
// and its type in kRheologyList, at the same place.
#include <array>
#include <cstddef>
#include <string_view>
#include <optional>
#include <tuple>
#include <utility>

#include "rheology/andrade.hpp"
#include "rheology/burgers.hpp"
#include "rheology/kelvin_voigt.hpp"
#include "rheology/maxwell.hpp"

namespace tidal {

using RheologyList = std::tuple<Maxwell, KelvinVoigt, Burgers, Andrade>;
inline constexpr std::size_t kRheologyCount = std::tuple_size_v<RheologyList>;

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
        ((out[I] = {std::tuple_element_t<I, RheologyList>::id,
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

// The list order and the ids agree.
static_assert([] {
    for (std::size_t i = 0; i < kRheologyCount; ++i)
        if (index_of(kRheologies[i].id) != i) return false;
    return true;
}());

} // namespace tidal
