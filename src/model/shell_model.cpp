#include "model/shell_model.hpp"

#include <cmath>
#include <utility>

#include "discretisation/coefficients.hpp"
#include "linalg/band_lu.hpp"
#include "loads/boundary_loads.hpp"
#include "model/prepared_rheologies.hpp"

namespace tidal {

AssemblyInputs ShellModel::assembly_inputs() const {
    AssemblyInputs in;
    in.grid = &grid;
    in.K = vec1(K);
    in.j = run.j;
    in.Go = body.density * body.surface_gravity;
    in.Gi = body.density_contrast * body.bottom_gravity;
    in.rheology = &body.rheology;
    in.jumps = jumps;
    if (body.has_ocean()) {
        const DensityJump top = body.core_top();
        in.Gc = top.jump * top.gravity;
    }
    if (body.has_core_under_ocean()) {
        const DensityJump base = body.liquid_core_top();
        in.Gb = base.jump * base.gravity;
    }
    return in;
}

std::vector<double> elastic_reference_solution(const ShellModel& model) {
    const int N = model.body.layers;
    const int n = model.order();
    std::vector<int> indx(static_cast<std::size_t>(n));
    std::vector<double> a(static_cast<std::size_t>(n) * kBandColumns);
    std::vector<double> al(static_cast<std::size_t>(n) * 7);
    std::vector<double> b(static_cast<std::size_t>(n));

    zadanisily(N, model.run.j, vec1(b), 0.0);
    assemble_a(mat1(a, n, kBandColumns), model.assembly_inputs());
    double d = 0.0;
    bandecdp(mat1(a, n, kBandColumns), n, 7, 7, mat1(al, n, 7), vec1(indx), d);
    banbksdp(mat1(std::as_const(a), n, kBandColumns), n, 7, 7, mat1(std::as_const(al), n, 7),
             vec1(std::as_const(indx)), vec1(b));
    return b;
}

ShellModel make_shell_model(const Body& body, RunConstants run,
                            const RheologyParameters* prepared) {
    ShellModel m;
    m.body = body;
    m.run = run;
    m.K = coupling_coefficients(run.j);
    m.jumps = body.density_jumps();
    if (body.has_ocean()) {
        std::vector<GridSegment> shell, core;
        const std::size_t o = body.solid_region_layers();
        const std::size_t end = body.core_region_end();
        for (std::size_t i = 0; i < end; ++i)
            if (i != o) (i < o ? shell : core).push_back({body.interior[i].thickness, body.interior[i].cells});
        const bool centre = end == body.interior.size();
        if (centre) core.back().thickness = body.interior_outer_radius(body.interior.size() - 1);
        m.grid = make_ocean_grid(shell, body.outer_radius, core, body.interior_outer_radius(o + 1),
                                 body.layer_rigidities(), centre);
    } else if (body.solid_region_layers() >= 2) {
        std::vector<GridSegment> segments;
        for (std::size_t i = 0; i < body.solid_region_layers(); ++i)
            segments.push_back({body.interior[i].thickness, body.interior[i].cells});
        if (body.solid_region_layers() == body.interior.size())
            segments.back().thickness = body.interior_outer_radius(body.interior.size() - 1);
        m.grid = make_layered_grid(segments, body.outer_radius, !(body.inner_radius() > 0.0),
                                   body.layer_rigidities());
    } else {
        m.grid = make_radial_grid(body.layers, body.outer_radius, body.inner_radius(),
                                  body.layer_rigidities());
    }
    if (body.exact_tide()) {
        m.orbit_tide = std::make_shared<const OrbitTide>(body);
        m.tide_harmonics = std::make_shared<const std::vector<TideHarmonic>>(
            m.orbit_tide->harmonics(kTideHarmonicTolerance, kTideHarmonicCap));
    }
    m.elastic = elastic_reference_solution(m);
    // The rheologies that approximate their law in time fit it to the band the run resolves.
    const double dt = time_step(m);
    if (prepared)
        m.body.rheology = *prepared;
    else
        m.body.rheology =
            prepared_rheologies(m.body.rheology, 1.0 / (dt * m.run.nsteps), 1.0 / dt);
    return m;
}

std::shared_ptr<const OrbitTide> orbit_tide_of(const ShellModel& model) {
    if (model.orbit_tide) return model.orbit_tide;
    return model.body.exact_tide() ? std::make_shared<const OrbitTide>(model.body) : nullptr;
}

ShellModel order_one_model(const ShellModel& model) {
    ShellModel m = model;
    m.orders = TideOrders::One;
    m.twice_the_cells.reset();
    return m;
}

double sweep_viscosity(int k, int steps_per_decade) {
    return std::pow(10.0, k / static_cast<double>(steps_per_decade));
}

double time_step(const ShellModel& model) {
    return (2.0 * kPi / model.body.angular_frequency()) / model.run.nperiod;
}

} // namespace tidal
