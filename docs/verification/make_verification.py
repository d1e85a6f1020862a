"""Computes every number of docs/verification.md and writes that document.

    python3 docs/verification/make_verification.py [OUTPUT]        writes OUTPUT (default:
                                                                   docs/verification.md)
    python3 docs/verification/make_verification.py --check FILE    fails if FILE differs

The tests run it with --check against the committed document, so a quoted number that drifts
from what the program computes fails them. It needs the tidal Python module on PYTHONPATH.
"""
import math
import sys
import warnings

import tidal

# The sweeps here are short on purpose (one viscosity, two periods): what they would warn a
# user about is what this document measures.
warnings.simplefilter("ignore", tidal.TidalWarning)

G = 6.67430e-11


def steady(body, **keys):
    return tidal.sweep(body.with_(keys), method="steady")


def one_viscosity(log10_eta):
    return {"sweep.log10_viscosity_min": log10_eta, "sweep.log10_viscosity_max": log10_eta}


def order(a, b, c):
    """Observed order of a sequence computed with steps h, h/2, h/4."""
    return math.log2(abs(a - b) / abs(b - c))


def e(x, digits=3):
    return f"{x:.{digits}g}"


def grid_refinement():
    rows = []
    for preset, log_eta in ((1, 13), (3, 14), (8, 18)):
        body = tidal.preset(preset)
        p = [steady(body, **one_viscosity(log_eta), **{"numerics.layers": n})["maxwell_power_W"][0]
             for n in (10, 20, 40, 80)]
        rows.append(f"| {body.name} | 1e{log_eta} | {e(p[1], 6)} | {e(p[3], 6)} | "
                    f"{order(*p[:3]):.2f} | {order(*p[1:]):.2f} |")
    return "\n".join(rows)


def step_refinement():
    rows = []
    # (Two periods: the window of the last one then has its first sample.)
    body = tidal.preset(1).with_(one_viscosity(13)).with_({"numerics.periods": 2})
    for r in ("maxwell", "kelvin_voigt", "burgers"):
        err = [tidal.sweep(body.with_({"numerics.steps_per_period": n}), rheologies=[r],
                           jobs=1)[f"{r}_step_error"][0] for n in (250, 500, 1000)]
        rows.append(f"| {r} | {e(err[0])} | {e(err[1])} | {e(err[2])} | "
                    f"{math.log2(err[0] / err[1]):.2f} | {math.log2(err[1] / err[2]):.2f} |")
    return "\n".join(rows)


def limits():
    rows = []
    for preset in (1, 3, 4):
        body = tidal.preset(preset)
        fluid = steady(body, **one_viscosity(0))
        stiff = steady(body, **one_viscosity(30))
        kv_soft = steady(body, **one_viscosity(0))
        rows.append(f"| {body.name} | {fluid['maxwell_h2_real'][0]:.7f} | "
                    f"{stiff['maxwell_h2_real'][0]:.7f} | {kv_soft['kelvin_voigt_h2_real'][0]:.7f} | "
                    f"{e(abs(stiff['maxwell_phase_lag_deg'][0]), 2)} |")
    return "\n".join(rows)


SPHERE_R, SPHERE_RHO = 1.0e6, 3000.0
SPHERE_G = 4.0 / 3.0 * math.pi * G * SPHERE_RHO * SPHERE_R
SPHERE_MU = 5.0 * SPHERE_RHO * SPHERE_G * SPHERE_R / 19.0
# The orbit that puts omega tau = 1 at 1e15 Pa s, a swept viscosity.
SPHERE_OMEGA = SPHERE_MU / 1e15


def sphere_body(core):
    """A sphere of 1000 km, 3000 kg/m^3, its own gravity, a fluid core of the fraction `core`
    of its radius and of (nearly) the same density, 19 mu / (5 rho g R) = 1."""
    R, rho, g, mu = SPHERE_R, SPHERE_RHO, SPHERE_G, SPHERE_MU
    period = 2 * math.pi / SPHERE_OMEGA
    text = f"""name = "homogeneous sphere"
[shell]
outer_radius = {R!r}
thickness = {(1 - core) * R!r}
rigidity = {mu!r}
density = {rho!r}
density_contrast = 1e-9
surface_gravity = {g!r}
bottom_gravity = {g * core!r}
[orbit]
period = {period!r}
eccentricity = 0.01
[sweep]
log10_viscosity_min = 10
log10_viscosity_max = 10
"""
    return tidal.Body.from_toml(text)


def sphere_h2(eta, gravitating=False):
    """The classical h2 of the homogeneous incompressible Maxwell sphere of viscosity eta
    (elastic above 1e30 Pa s), without or with self-gravitation."""
    mu, rho, g, R = SPHERE_MU, SPHERE_RHO, SPHERE_G, SPHERE_R
    s = 1j * SPHERE_OMEGA
    mu_eff = mu if eta > 1e30 else mu * s * eta / (mu + s * eta)
    if gravitating:  # the classical (5/2) / (1 + 19 mu / (2 rho g R))
        return 2.5 / (1 + 19 * mu_eff / (2 * rho * g * R))
    return 1 / (1 + 19 * mu_eff / (5 * rho * g * R))


def homogeneous_sphere():
    rows = []
    cases = (("elastic", 40.0, False), ("Maxwell, omega tau = 1", 15.0, False),
             ("elastic, self-gravitating", 40.0, True),
             ("Maxwell, omega tau = 1, self-gravitating", 15.0, True))
    for label, log_eta, gravitating in cases:
        body = sphere_body(0.02).with_({"shell.self_gravity": gravitating})
        exact = sphere_h2(10 ** log_eta, gravitating)
        h = []
        for n in (40, 80, 160):
            r = steady(body, **one_viscosity(log_eta), **{"numerics.layers": n})
            h.append(complex(r["maxwell_h2_real"][0], r["maxwell_h2_imag"][0]))
        limit = h[2] + (h[2] - h[1]) / 3
        rows.append(f"| {label} | {exact.real:.6f} {exact.imag:+.6f}i | "
                    f"{h[0].real:.6f} {h[0].imag:+.6f}i | {h[2].real:.6f} {h[2].imag:+.6f}i | "
                    f"{abs(h[0] - h[1]) / abs(h[1] - h[2]):.2f} | {e(abs(limit - exact), 2)} |")
    return "\n".join(rows)


def h2_of(result, rheology="maxwell", prefix=""):
    return complex(result[f"{rheology}_{prefix}h2_real"][0], result[f"{rheology}_{prefix}h2_imag"][0])


def grid_error_estimates():
    """The grid-error columns against the true error: the sphere's h2 (a core of 0.5 % of the
    radius, whose own effect is some 3e-7) against its classical value, and the power of two
    presets against the Richardson limit of 320 and 640 layers."""
    rows = []
    sphere = sphere_body(0.005)
    exact = sphere_h2(1e15)
    for n in (10, 20, 40):
        r = steady(sphere, **one_viscosity(15), **{"numerics.layers": n})
        true = abs(h2_of(r) / exact - 1)
        rows.append(f"| the sphere, h2 | {n} | {e(r['maxwell_h2_grid_error'][0], 2)} | "
                    f"{e(true, 2)} | {r['maxwell_h2_grid_error'][0] / true:.3f} |")
    for preset, log_eta in ((1, 14), (8, 15)):
        body = tidal.preset(preset)
        limit = steady(body, **one_viscosity(log_eta), **{"numerics.layers": 320,
                                                         "numerics.extrapolate": True})
        exact = limit["maxwell_extrapolated_power_W"][0]
        for n in (10, 20, 40):
            r = steady(body, **one_viscosity(log_eta), **{"numerics.layers": n})
            true = r["maxwell_power_W"][0] / exact - 1
            rows.append(f"| {body.name}, power at 1e{log_eta} Pa s | {n} | "
                        f"{e(r['maxwell_grid_error'][0], 2)} | {e(true, 2)} | "
                        f"{r['maxwell_grid_error'][0] / true:.3f} |")
    return "\n".join(rows)


def extrapolated_values():
    """numerics.extrapolate: the Maxwell power and h2 from N and 2N layers against the limit
    of 320 and 640, beside the plain values of 20 and 160 layers."""
    rows = []
    for preset, log_eta in ((1, 14), (4, 16), (8, 15)):
        body = tidal.preset(preset)
        at = dict(**one_viscosity(log_eta), **{"numerics.extrapolate": True})
        limit = steady(body, **at, **{"numerics.layers": 320})
        exact_p = limit["maxwell_extrapolated_power_W"][0]
        exact_h = h2_of(limit, prefix="extrapolated_")
        plain = {n: steady(body, **at, **{"numerics.layers": n}) for n in (10, 20, 40, 160)}
        err_p = {n: abs(r["maxwell_extrapolated_power_W"][0] / exact_p - 1) for n, r in plain.items()}
        err_h = {n: abs(h2_of(r, prefix="extrapolated_") / exact_h - 1) for n, r in plain.items()}
        rows.append(f"| {body.name} | 1e{log_eta} | "
                    f"{e(abs(plain[20]['maxwell_power_W'][0] / exact_p - 1), 2)} | "
                    f"{e(abs(plain[160]['maxwell_power_W'][0] / exact_p - 1), 2)} | {e(err_p[20], 2)} | "
                    f"{math.log2(err_p[10] / err_p[20]):.2f} | {math.log2(err_p[20] / err_p[40]):.2f} | "
                    f"{e(abs(h2_of(plain[160]) / exact_h - 1), 2)} | {e(err_h[20], 2)} |")
    return "\n".join(rows)


def time_against_periodic():
    body = tidal.preset(8).with_({"sweep.steps_per_decade": 2, "numerics.steps_per_period": 500})
    r = tidal.sweep(body, jobs=1)
    rows = []
    for m in ("maxwell", "kelvin_voigt"):
        worst = max(abs(x) for x in r[f"{m}_transient"])
        step = max(abs(x) for x in r[f"{m}_step_error"])
        rows.append(f"| {m} | {e(worst, 2)} | {e(step, 2)} |")
    return "\n".join(rows)


def energy_balance():
    body = tidal.preset(1).with_({"sweep.log10_viscosity_min": 12,
                                  "sweep.log10_viscosity_max": 15,
                                  "sweep.steps_per_decade": 1})
    omega = 2 * math.pi / body["orbit.period"]
    R, ecc = body["shell.outer_radius"], body["orbit.eccentricity"]
    rows = []
    models = ["maxwell", "kelvin_voigt", "burgers", "andrade"]
    for n in (20, 40):
        r = tidal.sweep(body.with_({"numerics.layers": n, "rheology.models": models}),
                        method="steady")
        for m in models:
            worst = max(abs(-21 / 2 * k * (omega * R) ** 5 * ecc ** 2 / G / p - 1)
                        for k, p in zip(r[f"{m}_k2_imag"], r[f"{m}_power_W"]))
            rows.append(f"| {n} | {m} | {e(worst, 2)} |")
    return "\n".join(rows)


def peak_position():
    rows = []
    for preset in (1, 3):
        body = tidal.preset(preset)
        r = tidal.sweep(body, method="steady")
        peak = r.peaks["maxwell"]["refined_viscosity_Pa_s"]
        omega = 2 * math.pi / body["orbit.period"]
        mu = body["shell.rigidity"]
        mu = mu[0] if isinstance(mu, list) else mu
        h_el = r["maxwell_h2_real"][-1]
        rows.append(f"| {body.name} | {e(peak)} | {omega * peak / mu:.3f} | {h_el:.3f} |")
    return "\n".join(rows)


TEMPLATE = """# Verification: the evidence that `tidal` solves its equations correctly

Every number below is computed by `docs/verification/make_verification.py`, which wrote this
document (`python3 docs/verification/make_verification.py` with the built module on
`PYTHONPATH`, e.g. `PYTHONPATH=build/python`); the tests run it and fail when a number here
drifts from what the program computes. The model and its equations are in
[method.md](method.md). Beyond these, the eight preset bodies' legacy files are compared byte
for byte with an independent implementation of the same equations (`program.reference_choice1`),
and the batched, plain and periodic paths agree bit for bit where they compute the same thing
(unit tests).

## Grid refinement

Maxwell power of the periodic state at one viscosity on 10, 20, 40 and 80 layers; the observed
order from three successive grids (2 expected: the staggered differences and the trapezoidal
radial quadrature are second order).

| body | viscosity (Pa s) | power, 20 layers (W) | power, 80 layers (W) | order 10-20-40 | order 20-40-80 |
|---|---|---|---|---|---|
{grid}

## Time-step refinement

`step_error` (the time scheme's periodic power / the exact-in-time one − 1) of Enceladus'
26 km shell at 1e13 Pa s with 250, 500 and 1000 steps a period, and its observed order
(Maxwell's trapezoid and Burgers' scheme 2, Kelvin–Voigt's backward Euler 1). Two periods
a run: the step error is a property of the periodic state, not of the run's length.

| rheology | 250 | 500 | 1000 | order 250-500 | order 500-1000 |
|---|---|---|---|---|---|
{step}

## Elastic and fluid limits

h2 of the periodic state: a Maxwell shell of 1 Pa s (fluid: the surface follows the tide's
equipotential, h2 = 1 without self-gravitation), of 1e30 Pa s (elastic), and a Kelvin–Voigt
shell of 1 Pa s (elastic: its dashpot carries nothing); the elastic Maxwell shell's phase lag
(degrees).

| body | h2, Maxwell 1 Pa s | h2, Maxwell 1e30 Pa s | h2, Kelvin–Voigt 1 Pa s | lag at 1e30 Pa s |
|---|---|---|---|---|
{limits}

## The homogeneous sphere

A shell of 98 % of the radius over a fluid core of the same density (the innermost node must
lie at a positive radius) is nearly the classical homogeneous incompressible sphere, whose h2
is 1/(1 + 19μ/(5ρgR)) without self-gravitation and (5/2)/(1 + 19μ/(2ρgR)) with it
(`shell.self_gravity = true`), for a viscoelastic sphere with the complex rigidity of the
correspondence principle (Maxwell: μiωη/(μ + iωη)). Here 19μ/(5ρgR) = 1; 40,
80 and 160 layers; the ratio of successive changes (4 at second order) and the distance of the
Richardson extrapolation from the classical value (the core's share included).

| sphere | classical h2 | 40 layers | 160 layers | change ratio | extrapolated − classical |
|---|---|---|---|---|---|
{sphere}

## The grid error

`<rheology>_grid_error` (the power's) and `_h2_grid_error`, `_k2_grid_error` estimate the
error of the N-layer values from the periodic state on twice the layers: Richardson's estimate,
value / limit − 1, the limit being fine + (fine − coarse)/(r² − 1) with r = (2N − 1)/(N − 1)
the ratio of the two grids' spacings. Against the true error: the homogeneous sphere's h2 (a
Maxwell sphere at ωτ = 1, its core of 0.5 % of the radius) against the classical value, and the
power of two presets against the limit of 320 and 640 layers. A ratio near 1 is an estimate that
can be trusted; the sphere's power, whose error is ruled by an h³ term, is overstated by less
than a factor 2 (unit test `GridError.EstimateMatchesTheTrueErrorOfTheHomogeneousSphere`).

| quantity | layers | estimated | true | estimated / true |
|---|---|---|---|---|
{grid_error}

## Extrapolated values

`numerics.extrapolate = true` adds each row's Richardson limit of N and 2N layers
(`<rheology>_extrapolated_power_W`, `_phase_lag_deg`, `_h2_real`, `_h2_imag`, `_k2_real`,
`_k2_imag`). The h² term of the error cancels; on these shells what remains falls as h⁴ (the
orders below, from 10+20, 20+40 and 40+80 layers), where a shell reaches down near the centre as
h³. Maxwell, one viscosity near the peak, against the limit of 320 and 640 layers: the plain
power on 20 and on 160 layers, the extrapolated one of 20 and 40 layers (a cost of 60 layers),
and the same for h2.

| body | viscosity (Pa s) | power, 20 | power, 160 | extrapolated 20+40 | order 10-20 | order 20-40 | h2, 160 | h2 extrapolated 20+40 |
|---|---|---|---|---|---|---|---|---|
{extrapolated}

## Time integration against the periodic state

Mercury (second-order tide, both harmonics), 500 steps a period, every 2nd viscosity: the
largest |`transient`| (the last period against the scheme's own periodic state) and the largest
|`step_error`| over the sweep.

| rheology | largest transient | largest step error |
|---|---|---|
{time}

## Energy balance

The heat the shell dissipates equals the work the tide does on the masses it displaces,
P = −(21/2) Im k2 (ωR)⁵e²/G for the first-order eccentricity tide. Largest relative
difference over Enceladus' sweep 1e12 … 1e15 Pa s (periodic state), on 20 and 40 layers: the
grid's second-order error.

| layers | rheology | largest |balance − 1| |
|---|---|---|
{energy}

## Where the heating peak sits

The Maxwell peak does not sit at ωτ = 1 (τ = η/μ) in general: a shell over an ocean is held
by its rigidity against gravity. If its response to a rigidity μ has the form
h2 = 1/(1 + μ/μ_g), with μ_g = μ h2_el/(1 − h2_el) set by its elastic h2_el (the shell's
effective rigidity against gravity), the Maxwell rigidity μ̃ = μ iωτ/(1 + iωτ) gives
h2 = (1 + iωτ)/(1 + iωτ/h2_el), whose loss −Im h2 is largest at ωτ = h2_el. A stiff thin
shell (Enceladus, small h2_el) peaks far below ωτ = 1; a soft one (Europa's, h2_el near 1)
near it.

| body | refined peak (Pa s) | ωτ at the peak | elastic h2 |
|---|---|---|---|
{peak}

## Layered bodies

Two layered bodies against independent solutions of the continuous equations (Lamb's degree-2
solutions in each solid layer, joined by the interface conditions of
[method.md §10](method.md#10-a-body-given-by-its-layers); written and checked in the tests
named): a sphere of radius 1000 km whose outer 400 km (3000 kg/m³, μ = 2.65·10⁸ Pa) lie on a
denser, stiffer inner sphere (5500 kg/m³, 10¹⁰ Pa; `tests/solid_layers.py`), and 150 km of ice
over 100 km of ocean over a rocky core (`tests/ocean_layer.py`). Relative errors of h2 and k2
at 10, 20 and 40 cells a layer (steady method; Maxwell at ωτ = 1 of the outer layer for the
sphere, at 10¹⁴ Pa s for the ocean body) and the observed orders between successive grids.

| body | quantity | 10 cells | 20 cells | 40 cells | order 10→20 | order 20→40 |
|---|---|---|---|---|---|---|
{layered}
"""


def layered_cases():
    """The two layered bodies of tests/solid_layers.py (a sphere of 3000 over 5500 kg/m^3, two
    rigidities) and tests/ocean_layer.py (ice over an ocean over a rocky core) against their
    independent solutions of the continuous equations, written there (Lamb's solutions with
    the interface conditions): the relative errors of h2 and k2 at 10, 20 and 40 cells a
    layer and the observed orders, elastic and Maxwell, steady method."""
    import os
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests"))
    import ocean_layer
    import solid_layers as sl

    def errors(text_of, love_of, log10_eta):
        out = {"h2": [], "k2": []}
        for cells in (10, 20, 40):
            r = tidal.sweep(tidal.Body.from_toml(text_of(cells)), method="steady")
            eta = r["viscosity_Pa_s"][0]
            h2, k2 = love_of(eta if log10_eta < 30 else None)
            out["h2"].append(abs(h2_of(r) / h2 - 1.0))
            got_k2 = complex(r["maxwell_k2_real"][0], r["maxwell_k2_imag"][0])
            out["k2"].append(abs(got_k2 / k2 - 1.0))
        return out

    def maxwell(mu, omega, eta):
        return mu if eta is None else mu * 1j * omega * eta / (mu + 1j * omega * eta)

    rows = []
    omega = 2.0 * math.pi / sl.PERIOD
    mu_out, mu_in, t_out = 2.65e8, 1.0e10, 400000.0
    for label, log10_eta in (("elastic", 40.0), ("Maxwell", round(math.log10(mu_out / omega), 3))):
        def sphere(cells):
            text = sl.body([(t_out, mu_out, cells), (None, mu_in, cells, sl.RHO_IN)])
            return text.replace("log10_viscosity_min = 14.0\nlog10_viscosity_max = 14.0",
                                f"log10_viscosity_min = {log10_eta!r}\n"
                                f"log10_viscosity_max = {log10_eta!r}\nsteps_per_decade = 1000")
        err = errors(sphere, lambda eta: sl.two_layer_love(sl.R - t_out,
                                                           maxwell(mu_out, omega, eta),
                                                           maxwell(mu_in, omega, eta), sl.RHO_IN),
                     log10_eta)
        for q in ("h2", "k2"):
            e3 = err[q]
            rows.append(f"| two-density sphere, {label} | {q} | {e(e3[0], 2)} | {e(e3[1], 2)} | "
                        f"{e(e3[2], 2)} | {math.log2(e3[0] / e3[1]):.2f} | {math.log2(e3[1] / e3[2]):.2f} |")
    for label, log10_eta in (("elastic", 40.0), ("Maxwell", 14.0)):
        err = errors(lambda cells: ocean_layer.body(cells, log10_eta),
                     lambda eta: ocean_layer.ocean_love(maxwell(ocean_layer.SHELL[2], ocean_layer.OMEGA, eta),
                                                        maxwell(ocean_layer.CORE[2], ocean_layer.OMEGA, eta)),
                     log10_eta)
        for q in ("h2", "k2"):
            e3 = err[q]
            rows.append(f"| ice, ocean, core, {label} | {q} | {e(e3[0], 2)} | {e(e3[1], 2)} | "
                        f"{e(e3[2], 2)} | {math.log2(e3[0] / e3[1]):.2f} | {math.log2(e3[1] / e3[2]):.2f} |")
    return "\n".join(rows)


def document():
    return TEMPLATE.format(grid=grid_refinement(), step=step_refinement(), limits=limits(),
                           sphere=homogeneous_sphere(), grid_error=grid_error_estimates(),
                           extrapolated=extrapolated_values(), time=time_against_periodic(),
                           energy=energy_balance(), peak=peak_position(),
                           layered=layered_cases())


def main(argv):
    if len(argv) == 3 and argv[1] == "--check":
        with open(argv[2]) as f:
            committed = f.read()
        made = document()
        if made != committed:
            import difflib
            sys.stdout.writelines(difflib.unified_diff(committed.splitlines(True),
                                                       made.splitlines(True), argv[2], "computed"))
            print(f"{argv[2]} differs from what the program computes", file=sys.stderr)
            return 1
        print(f"{argv[2]}: every number is what the program computes")
        return 0
    out = argv[1] if len(argv) > 1 else "docs/verification.md"
    with open(out, "w") as f:
        f.write(document())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
