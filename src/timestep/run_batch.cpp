// Time integration of a batch of viscosities of one rheology. The rheology's history columns
// load the constitutive rows before every solve, and the new stresses advance them after it;
// everything else (systems, forcing, solve, windows, surface records) is the shared mechanics
// of LaneBatch.
#include <utility>

#include "linalg/lane_vec.hpp"
#include "timestep/run_common.hpp"

namespace tidal {

namespace {

template <class R> using Coefficients = std::array<lanes::Vec, R::kCoefficients>;
template <class R> using History = std::array<lanes::Vec, R::kColumns>;

// The time-step constants of layer l at lanes g..g+kWidth-1; `k` holds them per layer, field
// and lane, [((l-1)*kCoefficients + f)*kLanes + lane].
template <class R>
[[gnu::always_inline]] inline Coefficients<R> coefficients(const double* k, int l, int g) {
    Coefficients<R> out;
    const double* kl = k + static_cast<std::size_t>(l - 1) * R::kCoefficients * kLanes;
    for (int f = 0; f < R::kCoefficients; ++f)
        out[static_cast<std::size_t>(f)] = lanes::load(kl + f * kLanes + g);
    return out;
}

template <class R>
[[gnu::always_inline]] inline History<R> read_history(const Lanes* h, int i, int comp, int g) {
    History<R> out;
    for (int c = 0; c < R::kColumns; ++c)
        out[static_cast<std::size_t>(c)] = lanes::load(&h[c](i, comp, g));
    return out;
}

// History loads of every layer and lane on the constitutive rows of the stress unknowns; `b`
// is the elastic reference solution.
template <class R>
TIDAL_LANE_CLONES void history_loads(Lanes x, const Lanes* h, Vec1View<const double> b,
                                     const double* k, int N) {
    for (int l = 1; l <= N; ++l)
        for (int comp = 0; comp < kRightHandSides; ++comp)
            for (const unknowns::StressRow s : unknowns::stress_rows(l))
                for (int g = 0; g < kLanes; g += lanes::kWidth)
                    lanes::store(&x(s.row, comp, g),
                                 R::load(coefficients<R>(k, l, g), b(s.unknown),
                                         read_history<R>(h, s.unknown, comp, g)));
}

// Advances the history of the three stress unknowns of layer l in every lane with the new
// stresses, adding their dissipation terms to S per component.
template <class R>
TIDAL_LANE_CLONES void advance_layer(Lanes x, const Lanes* h, const double* k, int l, double dt,
                                     double (&S)[kRightHandSides][kLanes]) {
    for (int comp = 0; comp < kRightHandSides; ++comp)
        for (const unknowns::StressRow s : unknowns::stress_rows(l))
            for (int g = 0; g < kLanes; g += lanes::kWidth) {
                History<R> hist = read_history<R>(h, s.unknown, comp, g);
                const lanes::Vec d = R::advance(coefficients<R>(k, l, g),
                                                lanes::load(&x(s.unknown, comp, g)), hist, dt);
                for (int c = 0; c < R::kColumns; ++c)
                    lanes::store(&h[c](s.unknown, comp, g), hist[static_cast<std::size_t>(c)]);
                lanes::store(S[comp] + g, lanes::load(S[comp] + g) + d);
            }
}

} // namespace

// The batched runs of rheology R: the shared mechanics plus R's history columns.
template <class R> class RunBatch : public LaneBatch {
  public:
    RunBatch(const ShellModel& m, std::span<const double> etas, RunWorkspace& ws, SeriesMask series)
        : LaneBatch(
              m,
              [&m](Mat1View<double> a, Vec1View<const double> eta) {
                  assemble_rheology<R, double>(a, m.assembly_inputs(), eta, time_step(m));
              },
              R::kColumns, etas, ws, series) {
        for (int c = 0; c < R::kColumns; ++c)
            columns_.push_back(history(c));
        const auto mu = vec1(model.grid.mu);
        k_.resize(static_cast<std::size_t>(N) * R::kCoefficients * kLanes);
        for (int l = 1; l <= N; ++l)
            for (int lane = 0; lane < kLanes; ++lane) {
                const auto k = R::step_coefficients(
                    mu(l), layer_eta[static_cast<std::size_t>(l - 1) * kLanes + lane], dt);
                for (int f = 0; f < R::kCoefficients; ++f)
                    k_[(static_cast<std::size_t>(l - 1) * R::kCoefficients + f) * kLanes + lane] =
                        k[static_cast<std::size_t>(f)];
            }
    }

    std::vector<RunRecords> run() {
        for (int step = 1; step <= nsteps; ++step) {
            load(step);
            history_loads<R>(x, columns_.data(), vec1(model.elastic), k_.data(), N);
            solve();
            const bool sampled = in_window(step) && R::dissipates(step, nsteps);
            for (int l = 1; l <= N; ++l) {
                double S[kRightHandSides][kLanes] = {};
                advance_layer<R>(x, columns_.data(), k_.data(), l, dt, S);
                if (!sampled) continue;
                double p[kLanes];
                for (int lane = 0; lane < kLanes; ++lane)
                    p[lane] = R::sample(S[kOrder0][lane], S[kCosine][lane], S[kSine][lane], dt);
                sample(l, step, p);
            }
            record(step);
        }
        return finish([](double integral, double eta) { return R::layer_power(integral, eta); });
    }

  private:
    std::vector<Lanes> columns_; // R::kColumns history columns
    std::vector<double> k_;      // R's time-step constants per layer, field and lane
};

template <class R>
std::vector<RunRecords> run_batch(const ShellModel& model, std::span<const double> etas,
                                  RunWorkspace& ws, SeriesMask series) {
    return RunBatch<R>(model, etas, ws, series).run();
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
