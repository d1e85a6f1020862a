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
#include "linalg/band_solve_fast.hpp"
#include "linalg/complex_lanes.hpp"
#include "model/period_record.hpp"
#include "steady/layer_power.hpp"
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

    // The same for up to kLanes states of the rheology at once, out[i] for states[i] with the
    // viscosities layer_etas[i]: each record the one reduce() gives the state alone, bit for
    // bit. The power and the layers' heating are formed for all states together, one per
    // vector lane; a state whose lane meets an infinity or NaN is reduced again alone.
    void reduce(std::span<const PeriodicState> states, Rheology rheology, Flavour flavour,
                std::span<const std::span<const double>> layer_etas,
                const HarmonicForcing& forcing, std::span<PeriodRecord> out,
                RecordFields fields = RecordFields::All);

    // The same for the states of several models that share their radial problem and differ
    // only in the tide's loads (a study's eccentricities): model g's states are
    // states[g count + i] (count = layer_etas.size()), with the viscosities layer_etas[i],
    // its forcing forcings[g] and its records out[g count + i], each as the model's batch
    // alone would give it. Each layer's dissipation terms of every lane are formed once for
    // all the models.
    void reduce(std::span<const PeriodicState> states, Rheology rheology, Flavour flavour,
                std::span<const std::span<const double>> layer_etas,
                std::span<const HarmonicForcing* const> forcings, std::span<PeriodRecord> out,
                RecordFields fields = RecordFields::All);

    // How many states of a batch were reduced again alone so far (an infinity or NaN in
    // their lane).
    long redone() const { return redone_; }

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
    // The same for the states of `models` models' batches, one state per lane:
    // lanes_.layer_power[g count + i] for states[g count + i] (the lanes past a batch repeat
    // its last state), the terms formed once per layer and lane for all models. False when the
    // layers' terms differ in number from lane to lane (then nothing is formed).
    template <class R>
    bool power_of_lanes(std::span<const PeriodicState> states, int models, Rheology swept,
                        Flavour flavour,
                        std::span<const std::span<const double>> layer_etas,
                        const RheologySpan& span);
    // The mean power (W) from the layers' powers before the window's means, and each
    // layer's heating into `layer_heating`.
    double mean_power(Flavour flavour, const std::vector<double>& layer_power,
                      std::vector<double>& layer_heating) const;
    // The window of rheology `own`'s cells, its end rows in `first` and `last`.
    dissipation::LayerWindow layer_window(Rheology own, Flavour flavour,
                                          std::vector<double>& first,
                                          std::vector<double>& last) const;
    // Everything of the record but the power and the layers' heating (reduce()).
    void finish(const PeriodicState& state, Flavour flavour, const HarmonicForcing& forcing,
                RecordFields fields, PeriodRecord& out) const;

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
        std::vector<double> bfirst, blast, v, layer_power;
    };
    PowerScratch scratch_;
    // The same for a batch's lanes: each lane's terms and symbols, the terms' weights and
    // gains and the layer's stress amplitudes packed lane by lane (gain[(t H + h - 1)],
    // x[((h - 1) kComponents + c) 3 + r] for stress row r, each kLanes real parts then kLanes
    // imaginary ones), the amplitudes' vector and the layers' powers per lane.
    struct LaneScratch {
        std::array<std::vector<DissipationTerm>, kLanes> terms;
        std::array<HarmonicSymbols, kLanes> symbols;
        std::vector<double> weight, gain, x;
        std::vector<double> v; // the amplitudes' lane vectors, aligned within
        std::vector<std::vector<double>> layer_power; // per model and lane
    };
    LaneScratch lanes_;
    // finish()'s surface and equatorial amplitudes per harmonic, their negatives and the
    // displacements at the density jumps, kept from record to record.
    struct FinishScratch {
        std::vector<Complex> surface, equator, negated, jumps;
    };
    mutable FinishScratch finish_;
    long redone_ = 0;
};

} // namespace tidal
