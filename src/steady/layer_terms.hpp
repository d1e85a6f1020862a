#pragma once
// Method: docs/method.md §8 (the periodic state reduced to the outputs).
// A layer's dissipation terms (rheology/constitutive.hpp) as the reduction of a state forms
// them: with what every layer shares, formed once per state where the rheology declares it.
#include <type_traits>
#include <vector>

#include "rheology/constitutive.hpp"

namespace tidal {

// A rheology's terms without a context shared by the layers.
struct NoTermsContext {};

// What every layer's dissipation terms share in the reduction of one state, formed once for
// all of them where the rheology declares it (its terms_context); the terms of one layer with
// it. The same terms, bit for bit, as the rheology forms without it.
template <class R>
auto terms_context_of(const typename R::Parameters& p, Flavour flavour,
                      const HarmonicSymbols& hs) {
    if constexpr (requires { R::terms_context(p, flavour, hs); })
        return R::terms_context(p, flavour, hs);
    else
        return NoTermsContext{};
}
template <class R, class C>
void layer_terms(const typename R::Parameters& p, const C& context, double mu, double eta,
                 Flavour flavour, const HarmonicSymbols& hs, std::vector<DissipationTerm>& out) {
    if constexpr (std::is_same_v<C, NoTermsContext>)
        R::dissipation_terms(p, mu, eta, flavour, hs, out);
    else
        R::dissipation_terms(p, context, mu, eta, flavour, hs, out);
}

} // namespace tidal
