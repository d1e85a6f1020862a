// Time integration of a batch of viscosities of one rheology. The rheology's history columns
// load the constitutive rows before every solve, and the new stresses advance them after it;
// everything else (systems, forcing, solve, windows, surface records) is the shared mechanics
// of LaneBatch.
#include <utility>

#include "linalg/lane_vec.hpp"
#include "timestep/run_common.hpp"

namespace tidal {

namespace {

// The time-step constants of layer l at lanes g..g+kWidth-1: k holds them per layer, field
// and lane, [((l-1)*count + f)*kLanes + lane].
struct LaneConstants {
    const double* kl; // the layer's first constant, lane 0
    int g;
    [[gnu::always_inline]] lanes::Vec operator[](int f) const {
        return lanes::load(kl + f * kLanes + g);
    }
};

// The history columns of one unknown and component at lanes g..g+kWidth-1: the `count` of the
// unknown's rheology, in places for `stride` (the most any cell's rheology has). The columns
// of an unknown and component lie side by side, [(((i-1)*kRightHandSides + comp)*stride + c)*
// kLanes + lane], so that a long series is read in one sweep of memory.
struct LaneHistory {
    double* h;
    int count, stride, i, comp, g;
    int columns() const { return count; }
    [[gnu::always_inline]] double* at(int c) const {
        return h + ((static_cast<std::size_t>(i - 1) * kRightHandSides +
                     static_cast<std::size_t>(comp)) *
                        static_cast<std::size_t>(stride) +
                    static_cast<std::size_t>(c)) *
                       kLanes +
               static_cast<std::size_t>(g);
    }
    [[gnu::always_inline]] lanes::Vec operator[](int c) const { return lanes::load(at(c)); }
    [[gnu::always_inline]] void set(int c, lanes::Vec v) const { lanes::store(at(c), v); }
};

// The history loads wait between steps in `pending`, per layer, stress, component and lane:
// [((((l-1)*3 + stress)*kRightHandSides + comp)*kLanes + lane]. A stress's load is formed
// right after its history is advanced, while that history is still in cache: the columns of a
// long series are then read once a step, not twice.
inline std::size_t pending_at(int l, int stress, int comp) {
    return ((static_cast<std::size_t>(l - 1) * 3 + static_cast<std::size_t>(stress)) *
                kRightHandSides +
            static_cast<std::size_t>(comp)) *
           kLanes;
}
inline std::size_t pending_size(int N) {
    return pending_at(N + 1, 0, 0);
}

// The history loads of layers first..last (of rheology R) and every lane from the starting
// (zero) histories, into `pending`, after the rheology has written what its histories hold at
// the elastic start; `b` is the elastic reference solution, `kc` the constants per layer.
template <class R>
TIDAL_LANE_CLONES void history_loads(double* pending, double* h, int columns, int stride,
                                     Vec1View<const double> b, const double* k, int kc,
                                     int first, int last) {
    for (int l = first; l <= last; ++l) {
        const double* kl = k + static_cast<std::size_t>(l - 1) * kc * kLanes;
        for (int comp = 0; comp < kRightHandSides; ++comp) {
            int si = 0;
            for (const unknowns::StressRow s : unknowns::stress_rows(l)) {
                double* out = pending + pending_at(l, si++, comp);
                for (int g = 0; g < kLanes; g += lanes::kWidth) {
                    const LaneConstants constants{kl, g};
                    const LaneHistory history{h, columns, stride, s.unknown, comp, g};
                    start_history<R>(constants, b(s.unknown), history);
                    lanes::store(out + g, R::load(constants, b(s.unknown), history));
                }
            }
        }
    }
}

// Writes the pending history loads into the constitutive rows of the stress unknowns.
TIDAL_LANE_CLONES void place_loads(Lanes x, const double* pending, int N) {
    for (int l = 1; l <= N; ++l)
        for (int comp = 0; comp < kRightHandSides; ++comp) {
            int si = 0;
            for (const unknowns::StressRow s : unknowns::stress_rows(l)) {
                const double* in = pending + pending_at(l, si++, comp);
                for (int g = 0; g < kLanes; g += lanes::kWidth)
                    lanes::store(&x(s.row, comp, g), lanes::load(in + g));
            }
        }
}

// Advances the history of the three stress unknowns of layer l in every lane with the new
// stresses, adding their dissipation terms to S per component when `kSampled` (outside the
// window nothing is summed, and the terms, inlined and unused, are not even formed: a Prony
// element's dissipation is half its arithmetic), and forms their next history loads into
// `pending`.
template <class R, bool kSampled>
TIDAL_LANE_CLONES void advance_layer(Lanes x, double* h, int columns, int stride,
                                     Vec1View<const double> b, const double* k, int kc, int l,
                                     double dt, double (&S)[kRightHandSides][kLanes],
                                     double* pending) {
    const double* kl = k + static_cast<std::size_t>(l - 1) * kc * kLanes;
    if constexpr (requires {
                      &R::template advance_and_load<kSampled, kRightHandSides, LaneConstants,
                                                    lanes::Vec, LaneHistory>;
                  }) {
        // The rheology advances and loads all components of a stress at once.
        int si = 0;
        for (const unknowns::StressRow s : unknowns::stress_rows(l)) {
            for (int g = 0; g < kLanes; g += lanes::kWidth) {
                const LaneConstants constants{kl, g};
                lanes::Vec stress[kRightHandSides], loads[kRightHandSides],
                    d[kRightHandSides];
                LaneHistory history[kRightHandSides];
                for (int comp = 0; comp < kRightHandSides; ++comp) {
                    stress[comp] = lanes::load(&x(s.unknown, comp, g));
                    history[comp] = LaneHistory{h, columns, stride, s.unknown, comp, g};
                }
                R::template advance_and_load<kSampled>(constants, b(s.unknown), stress, history,
                                                       loads, d);
                for (int comp = 0; comp < kRightHandSides; ++comp) {
                    if constexpr (kSampled)
                        lanes::store(S[comp] + g, lanes::load(S[comp] + g) + d[comp]);
                    lanes::store(pending + pending_at(l, si, comp) + g, loads[comp]);
                }
            }
            ++si;
        }
        return;
    }
    for (int comp = 0; comp < kRightHandSides; ++comp) {
        int si = 0;
        for (const unknowns::StressRow s : unknowns::stress_rows(l)) {
            double* out = pending + pending_at(l, si++, comp);
            for (int g = 0; g < kLanes; g += lanes::kWidth) {
                const LaneConstants constants{kl, g};
                const LaneHistory history{h, columns, stride, s.unknown, comp, g};
                [[maybe_unused]] const lanes::Vec d = R::advance(
                    constants, b(s.unknown), lanes::load(&x(s.unknown, comp, g)), history, dt);
                if constexpr (kSampled) lanes::store(S[comp] + g, lanes::load(S[comp] + g) + d);
                lanes::store(out + g, R::load(constants, b(s.unknown), history));
            }
        }
    }
}

} // namespace

// The batched runs of the swept rheology: the shared mechanics plus the history columns of
// every cell's rheology. The layers run in spans of one rheology (rheology_spans): a body
// whose cells all run the sweep's rheology is one span, its kernels those of that rheology
// alone; a fixed layer of another rheology is a span of its own, its constants and columns
// its rheology's, in places sized for the largest (docs/method.md §5).
class RunBatch : public LaneBatch {
  public:
    RunBatch(const ShellModel& m, Rheology swept, std::span<const double> etas, RunWorkspace& ws,
             SeriesMask series)
        : LaneBatch(
              m,
              [&m, swept](Mat1View<double> a, Vec1View<const double> eta) {
                  assemble_cells(a, m.assembly_inputs(), eta,
                                 m.body.cell_rheologies(swept), time_step(m));
              },
              history_stride(m.body, swept), etas, ws, series),
          spans_(rheology_spans(m.body, swept)), stride_(history_stride(m.body, swept)),
          kc_(constants_stride(m.body, swept)) {
        const auto mu = vec1(model.grid.mu);
        const std::size_t kc = static_cast<std::size_t>(kc_);
        k_.assign(static_cast<std::size_t>(N) * kc * kLanes, 0.0);
        std::vector<double> k(kc);
        for (const RheologySpan& span : spans_)
            with_rheology(span.rheology, [&]<class R>(R) {
                const std::size_t own =
                    static_cast<std::size_t>(R::coefficients(model.body.rheology.of<R>()));
                for (int l = span.first; l <= span.last; ++l)
                    for (int lane = 0; lane < kLanes; ++lane) {
                        R::step_coefficients(
                            model.body.rheology.of<R>(), mu(l),
                            layer_eta[static_cast<std::size_t>(l - 1) * kLanes + lane], dt,
                            k.data());
                        for (std::size_t f = 0; f < own; ++f)
                            k_[(static_cast<std::size_t>(l - 1) * kc + f) * kLanes +
                               static_cast<std::size_t>(lane)] = k[f];
                    }
            });
    }

    std::vector<RunRecords> run() {
        pending_.assign(pending_size(N), 0.0);
        for (const RheologySpan& span : spans_)
            with_rheology(span.rheology, [&]<class R>(R) {
                history_loads<R>(pending_.data(), history(),
                                 R::columns(model.body.rheology.of<R>()), stride_,
                                 vec1(model.elastic), k_.data(), kc_, span.first, span.last);
            });
        for (int step = 1; step <= nsteps; ++step) {
            if (step % kStopInterval == 0) check_stop();
            load(step);
            place_loads(x, pending_.data(), N);
            solve();
            for (const RheologySpan& span : spans_)
                with_rheology(span.rheology, [&]<class R>(R) { advance_span<R>(span, step); });
            record(step);
        }
        return finish([this](int l, double integral, double eta) {
            return with_rheology(span_of(l).rheology, [&]<class R>(R) {
                return R::layer_power(integral, eta);
            });
        });
    }

  private:
    // Advances the histories of the span's layers (of rheology R) after the step's solve and
    // forms their next loads; in the window, R's dissipation samples of every layer.
    template <class R> void advance_span(const RheologySpan& span, int step) {
        const int columns = R::columns(model.body.rheology.of<R>());
        const bool sampled = in_window(step) && R::dissipates(step, nsteps);
        for (int l = span.first; l <= span.last; ++l) {
            double S[kRightHandSides][kLanes] = {};
            if (!sampled) {
                advance_layer<R, false>(x, history(), columns, stride_, vec1(model.elastic),
                                        k_.data(), kc_, l, dt, S, pending_.data());
                continue;
            }
            advance_layer<R, true>(x, history(), columns, stride_, vec1(model.elastic),
                                   k_.data(), kc_, l, dt, S, pending_.data());
            double p[kLanes];
            for (int lane = 0; lane < kLanes; ++lane)
                p[lane] = R::sample(S[kOrder0][lane], S[kCosine][lane], S[kSine][lane], dt);
            sample(l, step, p);
        }
    }
    const RheologySpan& span_of(int l) const {
        for (const RheologySpan& span : spans_)
            if (l >= span.first && l <= span.last) return span;
        return spans_.back();
    }

    std::vector<RheologySpan> spans_;
    int stride_, kc_;       // history columns and constants per layer, the most of any span
    std::vector<double> k_; // the time-step constants per layer, field and lane
    std::vector<double> pending_; // the history loads between steps (pending_at)
};

template <class R>
std::vector<RunRecords> run_batch(const ShellModel& model, std::span<const double> etas,
                                  RunWorkspace& ws, SeriesMask series) {
    std::vector<RunRecords> out = RunBatch(model, rheology_id<R>, etas, ws, series).run();
    if (model.body.oblique()) {
        // The order-1 pair: the same operator's runs on the pair's loads; their surface series
        // are not kept (the records' surface values are the order-0 component's).
        const ShellModel one = order_one_model(model);
        add_order_one(out, RunBatch(one, rheology_id<R>, etas, ws, SeriesMask{0}).run(),
                      model.body.eccentricity == 0.0);
    }
    return out;
}

std::vector<RunRecords> run_batch(Rheology rheology, const ShellModel& model,
                                  std::span<const double> etas, RunWorkspace& ws,
                                  SeriesMask series) {
    return with_rheology(rheology,
                         [&]<class R>(R) { return run_batch<R>(model, etas, ws, series); });
}

RunRecords run_one(Rheology rheology, const ShellModel& model, double eta, RunWorkspace& ws) {
    return std::move(run_batch(rheology, model, std::span<const double>(&eta, 1), ws).front());
}

// run_batch<R> for every rheology of the list, emitted here for the callers that name R.
using RunBatchFunction = std::vector<RunRecords> (*)(const ShellModel&, std::span<const double>,
                                                     RunWorkspace&, SeriesMask);
template <class... R>
constexpr std::array<RunBatchFunction, sizeof...(R)> instances(std::tuple<R...>*) {
    return {&run_batch<R>...};
}
extern const std::array<RunBatchFunction, kRheologyCount> kRunBatchInstances;
const std::array<RunBatchFunction, kRheologyCount> kRunBatchInstances =
    instances(static_cast<RheologyList*>(nullptr));

} // namespace tidal
