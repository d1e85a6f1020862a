#pragma once
// The interface of a rheology (constitutive.hpp describes each member) as a concept, checked
// for every type of the list of rheologies: a type that lacks a member, or gives one of
// another shape, fails to compile there with the requirement it misses.
#include <complex>
#include <concepts>
#include <string_view>
#include <type_traits>
#include <vector>

#include "rheology/constitutive.hpp"
#include "rheology/parameter.hpp"

namespace tidal {

template <class R>
concept RheologyModel =
    std::default_initializable<typename R::Parameters> &&
    is_parameter_list<std::remove_cv_t<decltype(R::parameters)>, typename R::Parameters> &&
    requires(const typename R::Parameters& p, double x, double* k, std::complex<double> z,
             const HarmonicSymbols& hs, std::vector<DissipationTerm>& terms) {
        { R::name } -> std::convertible_to<std::string_view>;
        { R::title } -> std::convertible_to<std::string_view>;
        { R::legacy_suffix } -> std::convertible_to<std::string_view>;
        { R::legacy_files } -> std::convertible_to<bool>;
        { R::template constitutive<double>(p, x, x, x) } -> std::same_as<Constitutive<double>>;
        { R::columns(p) } -> std::same_as<int>;
        { R::coefficients(p) } -> std::same_as<int>;
        R::step_coefficients(p, x, x, x, k);
        { R::dissipates(1, 2) } -> std::convertible_to<bool>;
        { R::template sample<double>(x, x, x, x) } -> std::same_as<double>;
        { R::layer_power(x, x) } -> std::same_as<double>;
        { R::discrete_symbol(z, x) } -> std::same_as<std::complex<double>>;
        { R::step_for_symbol(z) } -> std::same_as<std::complex<double>>;
        R::dissipation_terms(p, x, x, Flavour::Continuous, hs, terms);
    };

} // namespace tidal
