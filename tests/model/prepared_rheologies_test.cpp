// The rheologies prepared once and shared between models: a preparation taken from the ones
// kept must be, bit for bit, what preparing the parameters anew gives, and inputs that differ
// in any one thing the fit reads (the creep exponent, the number of elements, either end of
// the band) must not be given another's fit; inputs that differ only in what the fit does not
// read (the Andrade time's factor zeta, another rheology's parameters) share the series but
// must each get back their own parameters.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/prepared_rheologies.hpp"
#include "rheology/andrade.hpp"
#include "rheology/burgers.hpp"
#include "same_records.hpp"

namespace tidal {
namespace {

// Deliberate faults this caught: the inputs' key without the band's upper end (the fit of
// the narrower band given to the wider one), and without the integer parameters (16
// elements' fit given to 12); the key without zeta, and the key of the Andrade parameters
// alone (a hit handing back the first input's zeta, or its Burgers ratios).
TEST(PreparedRheologies, AreWhatPreparingAnewGivesAndNeverAnotherInputsFit) {
    const double low = 1e-6, high = 1e-2; // rad/s
    struct Input {
        std::string what;
        bool differs; // the fitted series from the first input's
        std::function<void(RheologyParameters&, double&, double&)> change;
    };
    const auto andrade = [](std::function<void(AndradeParameters&, double&, double&)> f) {
        return [f](RheologyParameters& p, double& l, double& h) { f(p.of<Andrade>(), l, h); };
    };
    const std::vector<Input> inputs = {
        {"the first", false, andrade([](AndradeParameters&, double&, double&) {})},
        {"the same again", false, andrade([](AndradeParameters&, double&, double&) {})},
        {"another alpha", true, andrade([](AndradeParameters& a, double&, double&) { a.alpha = 0.25; })},
        {"fewer elements", true, andrade([](AndradeParameters& a, double&, double&) { a.elements = 12; })},
        {"another band_low", true, andrade([](AndradeParameters&, double& l, double&) { l *= 2.0; })},
        {"another band_high", true, andrade([](AndradeParameters&, double&, double& h) { h *= 0.5; })},
        // The series is a fit to s^(-alpha) alone: zeta scales the creep factor, not the fit.
        {"another zeta", false, andrade([](AndradeParameters& a, double&, double&) { a.zeta = 4.0; })},
        {"another Burgers ratio", false,
         [](RheologyParameters& p, double&, double&) { p.of<Burgers>().rigidity_ratio = 0.5; }},
    };
    RheologyParameters first;
    prepare_rheologies(first, low, high);
    for (const Input& in : inputs) {
        SCOPED_TRACE(in.what);
        RheologyParameters p;
        double l = low, h = high;
        in.change(p, l, h);
        RheologyParameters anew = p;
        prepare_rheologies(anew, l, h);
        // Each changed input fits another series: sharing one would show.
        if (in.differs) {
            EXPECT_NE(anew.of<Andrade>().series.weight, first.of<Andrade>().series.weight);
        } else {
            EXPECT_EQ(anew.of<Andrade>().series.weight, first.of<Andrade>().series.weight);
        }
        testing_records::expect_same_preparation(prepared_rheologies(p, l, h), anew);
    }
}

} // namespace
} // namespace tidal
