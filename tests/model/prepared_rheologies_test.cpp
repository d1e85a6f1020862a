// The rheologies prepared once and shared between models: a preparation taken from the ones
// kept must be, bit for bit, what preparing the parameters anew gives, and inputs that differ
// in any one thing the fit reads (the creep exponent, the number of elements, either end of
// the band) must not be given another's fit.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "model/prepared_rheologies.hpp"
#include "rheology/andrade.hpp"
#include "same_records.hpp"

namespace tidal {
namespace {

// Deliberate faults this caught: the inputs' key without the band's upper end (the fit of
// the narrower band given to the wider one), and without the integer parameters (16
// elements' fit given to 12).
TEST(PreparedRheologies, AreWhatPreparingAnewGivesAndNeverAnotherInputsFit) {
    const double low = 1e-6, high = 1e-2; // rad/s
    struct Input {
        std::string what;
        bool differs; // from the first input
        std::function<void(AndradeParameters&, double&, double&)> change;
    };
    const std::vector<Input> inputs = {
        {"the first", false, [](AndradeParameters&, double&, double&) {}},
        {"the same again", false, [](AndradeParameters&, double&, double&) {}},
        {"another alpha", true, [](AndradeParameters& a, double&, double&) { a.alpha = 0.25; }},
        {"fewer elements", true, [](AndradeParameters& a, double&, double&) { a.elements = 12; }},
        {"another band_low", true, [](AndradeParameters&, double& l, double&) { l *= 2.0; }},
        {"another band_high", true, [](AndradeParameters&, double&, double& h) { h *= 0.5; }},
    };
    RheologyParameters first;
    prepare_rheologies(first, low, high);
    for (const Input& in : inputs) {
        SCOPED_TRACE(in.what);
        RheologyParameters p;
        double l = low, h = high;
        in.change(p.of<Andrade>(), l, h);
        RheologyParameters anew = p;
        prepare_rheologies(anew, l, h);
        // Each changed input fits another series: sharing one would show.
        if (in.differs) {
            EXPECT_NE(anew.of<Andrade>().series.weight, first.of<Andrade>().series.weight);
        }
        testing_records::expect_same_preparation(prepared_rheologies(p, l, h), anew);
    }
}

} // namespace
} // namespace tidal
