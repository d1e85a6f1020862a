#pragma once
// Method: docs/method.md §6 and §8 (the periodic state reduced to the outputs).
// Reduction of a periodic state to the quantities a time integration reports for its last
// period: mean dissipated power, the minimum order-0 surface displacement and when it occurs,
// the largest equatorial displacement, and the phase lag and amplitude of the fundamental
// harmonic of the order-0 surface displacement.
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <tuple>
#include <vector>

#include "description/rheology_spans.hpp"
#include "loads/heating_map.hpp"
#include "model/period_record.hpp"
#include "steady/periodic_state.hpp"

namespace tidal {

// Which fields of a period's record a reduction forms.
enum class RecordFields {
    All,
    // What the grid error and the Richardson limits take from the state on twice the cells:
    // the power and its layers' heating, the phase lag, the amplitude and the Love numbers
    // (each formed as for All, the same bits); the displacement's extremes (urmin, tn,
    // urthmax) are not searched and keep their defaults.
    GridError,
};

// Reduces periodic states of one body. The continuous flavour is reduced exactly in time: the
// mean of a product of harmonics over a period, extremes of the reconstructed signal. The
// discrete flavour is reduced as the time integration reduces its last period: the state
// sampled at the period's steps, with the same window, end weights, strain differences,
// comparisons and rounding of the phase.
class PeriodReduction {
  public:
    // `harmonics`: how many harmonics of the orbital frequency the states to reduce carry (their
    // forcing's, HarmonicForcing::harmonics).
    PeriodReduction(const ShellModel& model, int harmonics);

    // (Not const: the power's workspace is kept from state to state, so one reduction serves
    // one thread.)
    PeriodRecord reduce(const PeriodicState& state, Rheology rheology, Flavour flavour,
                        std::span<const double> layer_eta, const HarmonicForcing& forcing,
                        RecordFields fields = RecordFields::All);

    // Per layer, the period-mean products of the parts of what the rheology dissipates, for
    // the surface maps (loads/heating_map.hpp): exact means (continuous flavour) or the time
    // integration's window rule over the sampled state (discrete flavour). An oblique body's
    // maps take the order-1 pair from `order_one`, the same viscosities' state of its
    // order_one_model (cosine and sine slots): five components and all their cross terms.
    std::vector<LayerMap> layer_maps(const PeriodicState& state, Rheology rheology,
                                     Flavour flavour, std::span<const double> layer_eta,
                                     const PeriodicState* order_one = nullptr) const;

  private:
    // The maps of the span's layers (of rheology R) into `out`, in a state of `swept`; an
    // oblique body's order-1 pair from `order_one`.
    template <class R>
    void layer_maps_of(const PeriodicState& state, const PeriodicState* order_one, Rheology swept,
                       Flavour flavour, std::span<const double> layer_eta, const RheologySpan& span,
                       std::vector<LayerMap>& out) const;
    // The samples of one window rule: which steps are summed, which are its end samples.
    struct Window {
        std::vector<double> gram; // sum over the summed steps of b b^T (b: see basis())
        bool has_first = false, has_last = false;
        int first = 0, last = 0; // the end steps
    };
    Window make_window(const std::function<bool(int, int)>& dissipates) const;
    // Whether each step nsteps - nperiod .. nsteps is one the window sums.
    std::vector<bool> sampled_steps(const std::function<bool(int, int)>& dissipates) const;
    // The rows b (see basis()) of the window's end samples, where it has them; `first` and
    // `last` stay zero otherwise.
    void window_ends(const Window& w, double* first, double* last) const;
    // Refuses a state of another number of harmonics than this reduction's.
    void check_harmonics(const PeriodicState& state) const;
    // The factors s and step factors z of the state's harmonics, and the time step, for the
    // cells of rheology `own` in a state of `swept` (their own scheme's s, discrete flavour).
    void symbols_of(const PeriodicState& state, Rheology swept, Rheology own, Flavour flavour,
                    HarmonicSymbols& out) const;
    // Row b of step n: x_n = b . v for v = (Re X_1, Im X_1, Re X_2, Im X_2, ...), where
    // x_n = sum over h of Re(X_h z^{h n}); 2 H entries.
    void basis(int n, double* b) const;
    // The mean power (W), and each layer's sphere-integrated heating into `layer_heating`.
    double power(const PeriodicState& state, Rheology rheology, Flavour flavour,
                 std::span<const double> layer_eta, std::vector<double>& layer_heating);
    // The powers of the span's layers (of rheology R) into `layer_power`, before the
    // window's means (docs/method.md §8).
    template <class R>
    void power_of(const PeriodicState& state, Rheology swept, Flavour flavour,
                  std::span<const double> layer_eta, const RheologySpan& span,
                  std::vector<double>& layer_power);

    const ShellModel& model_;
    int harmonics_; // H
    int basis_;     // 2 H: the real basis of a state's harmonics
    LoveNumberScale love_;
    StressParts parts_;
    std::vector<double> cos_, sin_; // cos, sin of 2 pi m / nperiod, m = 0..nperiod-1
    std::vector<Complex> z_;        // the step factor of harmonic h at z_[h - 1]
    std::array<Window, kRheologyCount> windows_; // per rheology, in list order
    // The power's workspace, kept from layer to layer and state to state: the dissipation
    // terms and symbols, the window's end rows and a term's amplitudes (discrete flavour).
    struct PowerScratch {
        std::vector<DissipationTerm> terms;
        HarmonicSymbols symbols;
        std::vector<double> bfirst, blast, v;
    };
    PowerScratch scratch_;
};

} // namespace tidal
