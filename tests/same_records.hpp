#pragma once
// Bit-for-bit comparison of whole records through their field lists, so that a field added to
// a record is compared without anyone remembering to. A record lists its fields either beside
// its declaration in src (`fields()` and `field_names`: the time-run and steady records, the
// Love numbers), or here (record_fields below: the body, its layers and density jumps, the map
// records), by a
// structured binding that stops the build when the record gains a field the list lacks.
// Caught: numerics.extrapolate read into grid_error (the key table of body_file.cpp pointing
// both keys at one field), which the body comparison missed while it named fields by hand.
// Doubles are compared by their bits: -0 against +0 and one NaN against another are
// differences too.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <complex>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "description/body.hpp"
#include "files/tables.hpp"
#include "loads/heating_map.hpp"
#include "rheology/andrade.hpp"
#include "rheology/rheologies.hpp"

namespace tidal::testing_records {

// The fields of a record, by name: `names` and `tie(record)`, in declaration order.
template <class R> struct record_fields;
template <class R>
    requires requires(const R& r) { r.fields(); R::field_names; }
struct record_fields<R> {
    static constexpr auto names = R::field_names;
    static auto tie(const R& r) { return r.fields(); }
};
template <> struct record_fields<InteriorLayer> {
    static constexpr std::array<const char*, 10> names = {
        "name", "thickness", "density", "solid", "rigidity", "swept", "viscosity_factor",
        "viscosity", "rheology", "cells"};
    static auto tie(const InteriorLayer& r) {
        const auto& [a, b, c, d, e, f, g, h, i, j] = r;
        return std::tie(a, b, c, d, e, f, g, h, i, j);
    }
};
template <> struct record_fields<Body> {
    static constexpr std::array<const char*, 31> names = {
        "name", "outer_radius", "thickness", "rigidity", "density", "density_contrast",
        "surface_gravity", "bottom_gravity", "viscosity_factors", "fixed_viscosities",
        "fixed_rheologies", "self_gravity", "interior", "period", "eccentricity", "rotation", "second_order", "tide",
        "obliquity", "pericentre_argument",
        "log10_viscosity_min", "log10_viscosity_max", "steps_per_decade", "models", "rheology",
        "layers", "periods", "steps_per_period", "grid_error", "extrapolate", "doubt_limit"};
    static auto tie(const Body& r) {
        const auto& [a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, b0, b1, b2, b3, b4, b5, b6, b7, b8,
                     b9, c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, d0] = r;
        return std::tie(a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, b0, b1, b2, b3, b4, b5, b6, b7,
                        b8, b9, c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, d0);
    }
};
template <> struct record_fields<DensityJump> {
    static constexpr std::array<const char*, 4> names = {"node", "radius", "jump", "gravity"};
    static auto tie(const DensityJump& r) {
        const auto& [a, b, c, d] = r;
        return std::tie(a, b, c, d);
    }
};
template <> struct record_fields<LayerMap> {
    static constexpr std::array<const char*, 2> names = {"g", "components"};
    static auto tie(const LayerMap& r) {
        const auto& [g, components] = r;
        return std::tie(g, components);
    }
};
template <> struct record_fields<HeatingMap> {
    static constexpr std::array<const char*, 3> names = {"flux", "top", "bottom"};
    static auto tie(const HeatingMap& r) {
        const auto& [a, b, c] = r;
        return std::tie(a, b, c);
    }
};

// The rows of summary.csv (files/tables.hpp) and what a row holds besides.
template <> struct record_fields<RheologySummary> {
    static constexpr std::array<const char*, 7> names = {
        "power", "heat_flux", "min_surface", "min_phase", "max_equator", "phase_lag_deg",
        "amplitude"};
    static auto tie(const RheologySummary& r) {
        const auto& [a, b, c, d, e, f, g] = r;
        return std::tie(a, b, c, d, e, f, g);
    }
};
template <> struct record_fields<SteadySummary> {
    static constexpr std::array<const char*, 4> names = {"power", "phase_lag_deg", "transient",
                                                         "step_error"};
    static auto tie(const SteadySummary& r) {
        const auto& [a, b, c, d] = r;
        return std::tie(a, b, c, d);
    }
};
template <> struct record_fields<LoveSummary> {
    static constexpr std::array<const char*, 6> names = {"h2_real", "h2_imag",     "k2_real",
                                                         "k2_imag", "minus_im_k2", "tidal_q"};
    static auto tie(const LoveSummary& r) {
        const auto& [a, b, c, d, e, f] = r;
        return std::tie(a, b, c, d, e, f);
    }
};
template <> struct record_fields<GridErrorSummary> {
    static constexpr std::array<const char*, 3> names = {"power", "h2", "k2"};
    static auto tie(const GridErrorSummary& r) {
        const auto& [a, b, c] = r;
        return std::tie(a, b, c);
    }
};
template <> struct record_fields<ExtrapolatedSummary> {
    static constexpr std::array<const char*, 6> names = {"power",   "phase_lag_deg", "h2_real",
                                                         "h2_imag", "k2_real",       "k2_imag"};
    static auto tie(const ExtrapolatedSummary& r) {
        const auto& [a, b, c, d, e, f] = r;
        return std::tie(a, b, c, d, e, f);
    }
};
template <> struct record_fields<SurfaceLoveSummary> {
    static constexpr std::array<const char*, 15> names = {
        "h2_real", "h2_imag", "k2_real", "k2_imag", "l2_real", "l2_imag",
        "h2_grid_error", "k2_grid_error", "l2_grid_error", "extrapolated_h2_real",
        "extrapolated_h2_imag", "extrapolated_k2_real", "extrapolated_k2_imag",
        "extrapolated_l2_real", "extrapolated_l2_imag"};
    static auto tie(const SurfaceLoveSummary& r) {
        const auto& [a, b, c, d, e, f, g, h, i, j, k, l, m, n, o] = r;
        return std::tie(a, b, c, d, e, f, g, h, i, j, k, l, m, n, o);
    }
};
template <> struct record_fields<ProfileRecord> {
    static constexpr std::array<const char*, 6> names = {
        "layer", "outer_radius", "inner_radius", "heating", "power", "body_layer"};
    static auto tie(const ProfileRecord& r) {
        const auto& [a, b, c, d, e, f] = r;
        return std::tie(a, b, c, d, e, f);
    }
};
template <> struct record_fields<SummaryRow> {
    static constexpr std::array<const char*, 9> names = {
        "eta", "values", "steady", "love", "grid", "extrapolated", "surface_love", "profile",
        "layer_power"};
    static auto tie(const SummaryRow& r) {
        const auto& [a, b, c, d, e, f, g, h, i] = r;
        return std::tie(a, b, c, d, e, f, g, h, i);
    }
};

template <class R>
concept Record = requires(const R& r) { record_fields<R>::tie(r); };

// Declared first, so that each overload finds the others whatever the nesting.
inline void expect_same_bits(double got, double want, const std::string& where);
inline void expect_same_bits(std::complex<double> got, std::complex<double> want,
                             const std::string& where);
inline void expect_same_bits(const RheologyParameters& got, const RheologyParameters& want,
                             const std::string& where);
template <class T>
void expect_same_bits(const std::optional<T>& got, const std::optional<T>& want,
                      const std::string& where);
template <class T>
void expect_same_bits(const std::vector<T>& got, const std::vector<T>& want,
                      const std::string& where);
template <class T, std::size_t N>
void expect_same_bits(const std::array<T, N>& got, const std::array<T, N>& want,
                      const std::string& where);
template <Record R>
void expect_same_bits(const R& got, const R& want, const std::string& where,
                      std::initializer_list<std::string_view> skip = {});
// Integers, booleans, enumerations and texts: equal.
template <class T>
    requires(!Record<T> && (std::is_integral_v<T> || std::is_enum_v<T> ||
                            std::is_same_v<T, std::string>))
void expect_same_bits(const T& got, const T& want, const std::string& where) {
    EXPECT_TRUE(got == want) << where;
}

inline void expect_same_bits(double got, double want, const std::string& where) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(want))
        << where << ": " << got << " against " << want;
}
inline void expect_same_bits(std::complex<double> got, std::complex<double> want,
                             const std::string& where) {
    expect_same_bits(got.real(), want.real(), where + ".real");
    expect_same_bits(got.imag(), want.imag(), where + ".imag");
}
// Every parameter every rheology declares.
inline void expect_same_bits(const RheologyParameters& got, const RheologyParameters& want,
                             const std::string& where) {
    for (const RheologyParameter& p : rheology_parameters())
        expect_same_bits(parameter_value(got, p), parameter_value(want, p),
                         where + "." + p.dotted());
}
// Every parameter, and the Andrade creep's fitted Prony series (what preparing the rheologies
// adds to them), to the bit.
inline void expect_same_preparation(const RheologyParameters& got, const RheologyParameters& want) {
    expect_same_bits(got, want, "rheology");
    const PronySeries& g = got.of<Andrade>().series;
    const PronySeries& w = want.of<Andrade>().series;
    expect_same_bits(g.spring, w.spring, "spring");
    expect_same_bits(g.dashpot, w.dashpot, "dashpot");
    expect_same_bits(g.weight, w.weight, "weight");
    expect_same_bits(g.time, w.time, "time");
    expect_same_bits(g.worst_error, w.worst_error, "worst_error");
    expect_same_bits(g.band_low, w.band_low, "band_low");
    expect_same_bits(g.band_high, w.band_high, "band_high");
}
template <class T>
void expect_same_bits(const std::optional<T>& got, const std::optional<T>& want,
                      const std::string& where) {
    ASSERT_EQ(got.has_value(), want.has_value()) << where;
    if (got) expect_same_bits(*got, *want, where);
}
template <class T>
void expect_same_bits(const std::vector<T>& got, const std::vector<T>& want,
                      const std::string& where) {
    ASSERT_EQ(got.size(), want.size()) << where;
    for (std::size_t i = 0; i < got.size(); ++i)
        expect_same_bits(got[i], want[i], where + "[" + std::to_string(i) + "]");
}
template <class T, std::size_t N>
void expect_same_bits(const std::array<T, N>& got, const std::array<T, N>& want,
                      const std::string& where) {
    for (std::size_t i = 0; i < N; ++i)
        expect_same_bits(got[i], want[i], where + "[" + std::to_string(i) + "]");
}
// A record: every field but those named in `skip`.
template <Record R>
void expect_same_bits(const R& got, const R& want, const std::string& where,
                      std::initializer_list<std::string_view> skip) {
    using F = record_fields<R>;
    const auto a = F::tie(got);
    const auto b = F::tie(want);
    static_assert(std::tuple_size_v<decltype(a)> == F::names.size());
    for (const std::string_view s : skip) {
        bool known = false;
        for (const std::string_view n : F::names)
            known = known || n == s;
        EXPECT_TRUE(known) << "no field " << s << " to skip";
    }
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        auto one = [&](const auto& x, const auto& y, std::string_view name) {
            for (const std::string_view s : skip)
                if (s == name) return;
            expect_same_bits(x, y, where.empty() ? std::string(name)
                                                 : where + "." + std::string(name));
        };
        (one(std::get<I>(a), std::get<I>(b), F::names[I]), ...);
    }(std::make_index_sequence<F::names.size()>{});
}

} // namespace tidal::testing_records

namespace tidal {
// Every field of two records of one type agrees to the bit (except those named in `skip`).
template <class R>
void expect_same_record(const R& got, const R& want,
                        std::initializer_list<std::string_view> skip = {}) {
    testing_records::expect_same_bits(got, want, std::string(), skip);
}
} // namespace tidal
