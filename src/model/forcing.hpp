#pragma once
// Method: docs/method.md §1-3 (the tide, its coefficients, where it loads the equations).
// The degree-2 tidal forcing of one time step, split into three load components: the
// order-0 component, and the order-2 components driven by the cosine and the sine terms of the
// eccentricity tide. To first order in e, on the 4 pi-normalised harmonics,
//   W20 = -sqrt(9 pi/5) r^2 omega^2 e cos(omega t),
//   Re W22 = sqrt(27 pi/10) r^2 omega^2 e cos(omega t),
//   Im W22 = -sqrt(24 pi/5) r^2 omega^2 e sin(omega t)
// (the 3:2 resonance's tide adds the e^2 and 2 omega t terms; the exact tide takes the three
// from the Keplerian orbit, model/orbit_tide.hpp). The tide loads the shell as the body force
// rho grad W, which falls on the j-1 momentum row only (grad(r^j Y_j) =
// sqrt(j(2j+1)) r^(j-1) Y^{j-1}_j), and as the pressure rho_b W(R_i) of the fluid below.
// An oblique body's order-1 pair (docs/method.md §2.2), to first order in sin(obliquity),
//   Re W21 = sqrt(6 pi/5) r^2 omega^2 (-sin(theta) sin(omega t + pericentre argument)),
//   Im W21 = 0,
// loads a model of TideOrders::One in the cosine and sine slots.
#include <memory>
#include <vector>

#include "model/orbit_tide.hpp"
#include "loads/fundamental.hpp"
#include "model/shell_model.hpp"

namespace tidal {

// Amplitudes of one step: the inner-boundary potential amplitudes (Pa) and the factors that,
// multiplied by a node's radial weight, give its interior body load.
struct StepForcing {
    double amp_order0, amp_cosine, amp_sine;    // inner-boundary amplitudes of the components
    double body_order0, body_cosine, body_sine; // interior load factors of the components
};

// Radius (m) of the tide amplitudes that are the phase reference and the scale of the Love
// numbers: the shell's inner radius R_i, where the fluid's pressure rho_b W(R_i) loads the
// shell; for a body solid to the centre, which has no such boundary, the outer radius (with
// rho_b the solid's density, the density below the shell then being the shell's own). R_i is
// the body's (Body::inner_radius), not recomputed from the grid: the shell's two innermost
// nodes straddle it and their middle is R_i in exact arithmetic (to the bit on every preset
// and example body).
double tide_reference_radius(const ShellModel& model);

class TidalForcing {
  public:
    TidalForcing(const ShellModel& model, double dt);

    // Forcing at time step*dt.
    StepForcing at(int step) const;

    // The amplitudes of the exact tide's three components `t` (per unit omega^2 r^2, as
    // OrbitTide gives them, docs/method.md §2.1): what at() makes of the orbit at one step, and
    // the periodic state of each of its harmonics.
    StepForcing exact(const TideComponents& t) const;

    // Highest multiple of the orbital frequency in the expanded forcing: 2 for the 3:2
    // resonance's tide, else 1 (the exact tide has its own, OrbitTide::harmonics).
    int harmonics() const { return eccentric_ ? 2 : 1; }

    // Writes the three boundary load vectors and their interior body loads (rows u_minus(i) of
    // the interior nodes i = 2..N); every other row is cleared. A body solid to the centre has
    // no inner boundary: its tide is the body force alone.
    void load(int step, Vec1View<double> b_order0, Vec1View<double> b_cosine,
              Vec1View<double> b_sine) const;
    // The same for the amplitudes `f` of one step.
    void load(const StepForcing& f, Vec1View<double> b_order0, Vec1View<double> b_cosine,
              Vec1View<double> b_sine) const;

  private:
    int N_;
    double j_;
    double omega_, dt_, ecc_;
    bool eccentric_;
    bool inner_pressure_; // the fluid below loads the inner boundary (not at a solid centre)
    bool order_one_;      // the slots carry the order-1 pair (TideOrders::One)
    double sin_obliquity_, pericentre_; // sin(theta) and the pericentre's argument (rad)
    int ocean_;           // the grid's liquid_layer: an ocean between the shell and a core
    double core_top_scale_ = 0.0; // W at the core's top over W at the shell's base
    // Under an ocean over a liquid core: rho_l W at the liquid core's top over rho_o W at the
    // shell's base (the liquid core's pressure on the inner region's base).
    double core_base_scale_ = 1.0;
    std::shared_ptr<const OrbitTide> exact_; // the exact tide of the orbit, where asked for
    double Ae_, A_; // rhobelow*R^2*omega^2*ecc and rhobelow*R^2*omega^2 (R tide_reference_radius)
    // Radial weights of the interior nodes i = 2..N (index i-2): r*rho*omega^2*ecc and
    // r*rho*omega^2.
    std::vector<double> Ye_, Y_;
};

// Fundamental harmonic of the order-0 tide over the last period of a run (the steps after
// nsteps - nperiod): the reference for the phase lag of the surface displacement. The tide is
// the order-0 potential amplitude at the inner boundary (amp_order0), which the surface of an
// elastic shell, and of a fluid one, follows in phase: its order-0 body load has the opposite
// sign. An order-1 model's reference is its cosine component's amplitude (response_slot).
Harmonic tide_fundamental(const ShellModel& model, const TidalForcing& forcing);

} // namespace tidal
