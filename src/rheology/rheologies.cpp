#include "rheology/rheologies.hpp"

namespace tidal {

const std::vector<RheologyParameter>& rheology_parameters() {
    static const std::vector<RheologyParameter> all = [] {
        std::vector<RheologyParameter> out;
        for (const RheologyNames& names : kRheologies)
            with_rheology(names.id, [&]<class R>(R) {
                for (std::size_t i = 0; i < R::parameters.size(); ++i) {
                    const auto& p = R::parameters[i];
                    out.push_back({rheology_id<R>, i,
                                   p.table.empty() ? "rheology." + std::string(R::name)
                                                   : std::string(p.table),
                                   p.table.empty(), p.key, p.unit, p.meaning, p.origin, p.range, p.is_integer(),
                                   p.default_value()});
                }
            });
        return out;
    }();
    return all;
}

double parameter_value(const RheologyParameters& p, const RheologyParameter& which) {
    return with_rheology(which.rheology, [&]<class R>(R) -> double {
        if constexpr (R::parameters.empty())
            return 0.0;
        else
            return R::parameters[which.index].get(p.template of<R>());
    });
}

void set_parameter_value(RheologyParameters& p, const RheologyParameter& which, double value) {
    with_rheology(which.rheology, [&]<class R>(R) {
        if constexpr (!R::parameters.empty())
            R::parameters[which.index].set(p.template of<R>(), value);
    });
}

void prepare_rheologies(RheologyParameters& p, double band_low, double band_high) {
    for (const RheologyNames& names : kRheologies)
        with_rheology(names.id, [&]<class R>(R) {
            if constexpr (requires { R::prepare(p.template of<R>(), band_low, band_high); })
                R::prepare(p.template of<R>(), band_low, band_high);
        });
}

std::optional<LawApproximation> law_approximation(const RheologyParameters& p, Rheology r) {
    return with_rheology(r, [&]<class R>(R) -> std::optional<LawApproximation> {
        if constexpr (requires { R::approximation(p.template of<R>()); })
            return R::approximation(p.template of<R>());
        else
            return std::nullopt;
    });
}

} // namespace tidal
