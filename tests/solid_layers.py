#!/usr/bin/python3
"""Solid layers in contact, held to an independent solution and to the undivided body.

1. A uniform, self-gravitating, incompressible sphere of two solid layers of different
   rigidity (one density) against a solution written here from the equations alone: in each
   layer the displacement and the modified pressure are combinations of Lamb's solutions of
   degree 2 (grad phi, r^2 grad phi + a x phi, and their exterior counterparts with
   phi / r^5), found symbolically from div u = 0 and mu lap u = grad Pi in Cartesian
   coordinates; the layers meet with continuous displacement and traction, the centre is
   regular, and the surface carries the buoyancy and the potential of its displaced mass
   with the tide: sigma_rr = -rho (g U - V - W), sigma_rtheta = 0, V = (4 pi G / 5) R rho U.
   Elastic and Maxwell (complex rigidity, the correspondence principle). The program's h2
   and k2 converge to it at order 2 in the cells.
2. The same solid region split into two layers of identical properties, the interface on a
   node of the undivided grid: every column of summary.csv and heating_profile.csv equals the
   undivided body's to rounding, over a liquid core and down to the centre, and the two
   layers' powers add up to the undivided layer's.
3. Each solid layer's power column is the sum of its cells' profile rows, and the layers'
   powers add up to the body's (both methods).

Usage: solid_layers.py TIDAL
1b. The same with a denser inner layer (a density jump inside the solid): its interface's
   displacement moves mass, so the true normal traction S - rho (W + V - g U) is continuous
   and S jumps by [rho] (W + V - g U); V is the potential of both interfaces. h2 and k2
   converge at order 2; the tide's work -(21/2) Im k2 (omega R)^5 e^2 / G is the power.
   Caught: the jump's buoyancy left out of its node's rows, its potential left out of the
   self-gravitation coupling, its mass left out of k2, and the body force on its node taken
   with the density above (h2 then converged at order 1.2-1.4).
Caught: the plain mean of the stresses in the momentum rows at a node where the spacing and
the rigidity both change (the two-layer sphere's h2 then converged at order 0.6-0.8 for
Maxwell); a rigidity 0.1 % off in one half of the split region (every column differs); the
layers' power columns summed over the cells of the wrong layer (one cell shifted).
"""
import csv
import math
import os
import subprocess
import sys
import tempfile

import numpy as np
import sympy as sp

# The program under test; none when imported (docs/verification/make_verification.py takes
# the reference solutions from here).
TIDAL = os.path.abspath(sys.argv[1]) if __name__ == "__main__" else None
G = 6.67430e-11
R, RHO = 1.0e6, 3000.0
RHO_IN = 5500.0  # the inner solid layer's density, where it differs
PERIOD, ECC = 152853.5, 0.0041
g = 4.0 / 3.0 * math.pi * G * RHO * R


def lamb_solutions():
    """The four degree-2 solutions (u, Pi) of mu lap u = grad Pi, div u = 0, as functions of r
    giving (U, V, S, T): u = U P2 e_r + V dP2/dtheta e_theta, sigma_rr = S P2,
    sigma_rtheta = T dP2/dtheta, sigma = -Pi I + mu (grad u + grad u^T)."""
    x, y, z, mu, b = sp.symbols("x y z mu b")
    X = sp.Matrix([x, y, z])
    r2 = x * x + y * y + z * z
    phi = z * z - (x * x + y * y) / 2  # r^2 P2(cos theta)

    def grad(f):
        return sp.Matrix([sp.diff(f, v) for v in (x, y, z)])

    def lap(f):
        return sum(sp.diff(f, v, 2) for v in (x, y, z))

    def lamb_second(psi, l):
        # u = (l + 3) r^2 grad psi - 2 l x psi for psi harmonic and homogeneous of degree l:
        # div u = (l + 3) 2 l psi - 2 l (l + 3) psi = 0. Pi = b psi, b from the momentum at one
        # point (linear in b), then checked everywhere below.
        point = {x: sp.Rational(1, 3), y: sp.Rational(1, 5), z: 1}
        u = (l + 3) * r2 * grad(psi) - 2 * l * X * psi
        res = (mu * lap(u[2]) - sp.diff(b * psi, z)).subs(point)
        sb = sp.simplify(-res.subs(b, 0) / sp.diff(res, b))
        return u, sb * psi

    sols = [(grad(phi), sp.Integer(0)), lamb_second(phi, 2)]
    psi = phi / r2 ** sp.Rational(5, 2)
    sols += [(grad(psi), sp.Integer(0)), lamb_second(psi, -3)]
    out = []
    th = sp.Rational(7, 10)  # a colatitude off the nodes of P2 and dP2/dtheta
    rr = sp.symbols("r", positive=True)
    at = {x: rr * sp.sin(th), y: 0, z: rr * sp.cos(th)}
    er = sp.Matrix([sp.sin(th), 0, sp.cos(th)])
    et = sp.Matrix([sp.cos(th), 0, -sp.sin(th)])
    P2 = (3 * sp.cos(th) ** 2 - 1) / 2
    dP2 = -3 * sp.cos(th) * sp.sin(th)
    for u, Pi in sols:
        # Both must solve the equations: check them, so that a slip here cannot pass.
        div = sp.simplify(sum(sp.diff(u[i], v) for i, v in enumerate((x, y, z))))
        mom = [sp.simplify(mu * lap(u[i]) - sp.diff(Pi, v)) for i, v in enumerate((x, y, z))]
        assert div == 0 and all(m == 0 for m in mom), (div, mom)
        J = u.jacobian(X)
        sigma = -Pi * sp.eye(3) + mu * (J + J.T)
        U = (u.T * er)[0] / P2
        V = (u.T * et)[0] / dP2
        S = (er.T * sigma * er)[0] / P2
        T = (et.T * sigma * er)[0] / dP2
        out.append(sp.lambdify((rr, mu), [e.subs(at) for e in (U, V, S, T)], "numpy"))
    return out


SOLUTIONS = lamb_solutions()


def state(k, r, mu):
    return np.array([complex(v) for v in SOLUTIONS[k](r, mu)])


def two_layer_love(radius_in, mu_out, mu_in, rho_in=RHO):
    """h2, k2 of the sphere with rigidity mu_in and density rho_in below radius_in and mu_out,
    RHO above. Every density jump is an interface whose displacement U moves mass: with the
    modified pressure Pi = P - rho (W + V - g u_r) of each uniform layer, the true normal
    traction S - rho (W + V - g U) is continuous, so S jumps by [rho] (W + V - g U) across it
    ([rho] = rho_in - RHO); V is the potential of both displaced interfaces."""
    c = 4.0 * math.pi * G / 5.0
    a, jump = radius_in, rho_in - RHO
    g_a = 4.0 / 3.0 * math.pi * G * rho_in * a
    g_R = 4.0 / 3.0 * math.pi * G * (rho_in * a ** 3 + RHO * (R ** 3 - a ** 3)) / R ** 2
    A = np.zeros((6, 6), dtype=complex)
    rhs = np.zeros(6, dtype=complex)
    # The interface: the inner regular solutions (1, 2) against the outer four; U, V and T
    # continuous, S_in - S_out - [rho] (V(a) - g(a) U(a)) = [rho] W(a), W(a) = (a/R)^2.
    for k in range(2):
        A[0:4, k] = state(k, a, mu_in)
        A[2, k] -= jump * (c * a * jump - g_a) * A[0, k]
    for k in range(4):
        A[0:4, 2 + k] = -state(k, a, mu_out)
        A[2, 2 + k] -= jump * c * R * RHO * (a / R) ** 2 * state(k, R, mu_out)[0]
    rhs[2] = jump * (a / R) ** 2
    # The surface: S + rho g U - rho V = rho W, T = 0, with W = 1.
    for k in range(4):
        U, V, S, T = state(k, R, mu_out)
        A[4, 2 + k] = S + RHO * (g_R - c * R * RHO) * U
        A[5, 2 + k] = T
    for k in range(2):
        A[4, k] = -RHO * c * a * jump * (a / R) ** 3 * state(k, a, mu_in)[0]
    rhs[4] = RHO
    coef = np.linalg.solve(A, rhs)
    U = sum(coef[2 + k] * state(k, R, mu_out)[0] for k in range(4))
    Ua = sum(coef[k] * state(k, a, mu_in)[0] for k in range(2))
    return g_R * U, c * R * RHO * U + c * a * jump * Ua * (a / R) ** 3


def toml_real(v):
    s = repr(float(v))
    return s if ("." in s or "e" in s) else s + ".0"


def body(layers, rheology="maxwell", core=None):
    text = f'name = "layers"\nouter_radius = {toml_real(R)}\n'
    for i, (thickness, mu, cells, *density) in enumerate(layers):
        text += f'\n[[layer]]\nname = "layer {i + 1}"\n'
        if thickness is not None:
            text += f"thickness = {toml_real(thickness)}\n"
        text += (f"density = {toml_real(density[0] if density else RHO)}\nstate = \"solid\"\nrigidity = {toml_real(mu)}\n"
                 f'viscosity = "swept"\ncells = {cells}\n')
    if core is not None:
        text += f'\n[[layer]]\nname = "core"\ndensity = {toml_real(core)}\nstate = "liquid"\n'
    return text + (f"\n[orbit]\nperiod = {PERIOD}\neccentricity = {ECC}\n"
                   "[sweep]\nlog10_viscosity_min = 14.0\nlog10_viscosity_max = 14.0\n"
                   f'[rheology]\nmodels = ["{rheology}"]\n[numerics]\ngrid_error = false\n')


def run(text, work, name):
    path = os.path.join(work, name + ".toml")
    with open(path, "w") as f:
        f.write(text)
    out = os.path.join(work, name)
    subprocess.run([TIDAL, "--body-file", path, "--method", "steady", "--output", out],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.path.join(out, "summary.csv")) as f:
        summary = list(csv.DictReader(f))
    with open(os.path.join(out, "heating_profile.csv")) as f:
        profile = list(csv.DictReader(f))
    return summary, profile


failures = []


def check_layer_powers(row, profile, cells, rheology="maxwell"):
    """Each solid layer's power column is the sum of its cells' rows of the profile, and
    the layers' powers add up to the whole body's."""
    rows = [p for p in profile if p["rheology"] == rheology and p["viscosity_Pa_s"] == row["viscosity_Pa_s"]]
    total = float(row[f"{rheology}_power_W"])
    first = 0
    layers = 0.0
    for k, n in enumerate(cells, start=1):
        column = float(row[f"{rheology}_layer{k}_power_W"])
        cell_sum = sum(float(p["power_W"]) for p in rows[first:first + n])
        check(abs(column - cell_sum) <= 1e-12 * abs(total), f"layer {k}: {column} against its cells {cell_sum}")
        check(column > 0.0, f"layer {k}: power {column}")
        layers += column
        first += n
    check(first == len(rows), f"{len(rows)} profile rows for {first} cells")
    check(abs(layers / total - 1.0) < 1e-12, f"layers' powers {layers} against the total {total}")


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def main():
    work = tempfile.mkdtemp()
    mu_out, mu_in = 2.65e8, 1.0e10
    t_out = 400000.0
    omega = 2.0 * math.pi / PERIOD
    # The independent solution holds the one-layer sphere's classical h2 when both rigidities
    # are the same: the check that the solutions and the surface conditions are right.
    h2, k2 = two_layer_love(R - t_out, mu_out, mu_out)
    classical = 2.5 / (1.0 + 19.0 * mu_out / (2.0 * RHO * g * R))
    check(abs(h2 / classical - 1.0) < 1e-12 and abs(k2 - 0.6 * h2) < 1e-12,
          f"independent one-layer h2 {h2} against {classical}")

    for label, eta, rho_in in (("elastic", 1e40, RHO), ("maxwell", mu_out / omega, RHO),
                                ("elastic, denser below", 1e40, RHO_IN),
                               ("maxwell, denser below", mu_out / omega, RHO_IN)):
        s = 1j * omega
        maxwell = (lambda mu: mu * s * eta / (mu + s * eta)) if eta < 1e30 else (lambda mu: mu)
        h2, k2 = two_layer_love(R - t_out, maxwell(mu_out), maxwell(mu_in), rho_in)
        errors, k2_errors = [], []
        for cells in (10, 20, 40):
            text = body([(t_out, mu_out, cells), (None, mu_in, cells, rho_in)])
            k = round(1000 * math.log10(eta))  # the swept viscosity nearest eta, 10^(k/1000)
            text = text.replace("log10_viscosity_min = 14.0\nlog10_viscosity_max = 14.0",
                                f"log10_viscosity_min = {k / 1000!r}\n"
                                f"log10_viscosity_max = {k / 1000!r}\nsteps_per_decade = 1000")
            summary, profile = run(text, work, f"{label}{cells}")
            row = summary[0]
            check_layer_powers(row, profile, [cells, cells])
            # the swept viscosity is 10^(k/1000) nearest the asked one: use its own
            eta_run = float(row["viscosity_Pa_s"])
            if eta < 1e30:
                h2, k2 = two_layer_love(R - t_out, mu_out * s * eta_run / (mu_out + s * eta_run),
                                        mu_in * s * eta_run / (mu_in + s * eta_run), rho_in)
            got_h2 = complex(float(row["maxwell_h2_real"]), float(row["maxwell_h2_imag"]))
            got_k2 = complex(float(row["maxwell_k2_real"]), float(row["maxwell_k2_imag"]))
            errors.append(abs(got_h2 / h2 - 1.0))
            k2_errors.append(abs(got_k2 / k2 - 1.0))
            # One density: the surface alone moves mass, k2 = (3/5) h2 in the grid's values too.
            check(rho_in != RHO or k2_errors[-1] < 1.01 * errors[-1] + 1e-13,
                  f"{label} {cells}: k2 {got_k2} against {k2}")
            if eta < 1e30:
                # The tide's work on the body is its dissipation (energy balance).
                power = float(row["maxwell_power_W"])
                tide_work = -10.5 * got_k2.imag * (omega * R) ** 5 * ECC ** 2 / G
                check(abs(tide_work / power - 1.0) < 2e-3, f"{label} {cells}: work {tide_work} against power {power}")
        for what, e in (("h2", errors), ("k2", k2_errors)):
            orders = [math.log2(e[i] / e[i + 1]) for i in range(2)]
            print(f"two layers, {label}: {what} errors {e}, orders {orders}")
            check(e[-1] < 2e-4, f"{label}: {what} error {e[-1]} at 40 cells a layer")
            check(all(1.8 < o < 2.2 for o in orders), f"{label}: {what} orders {orders}")

    # The undivided region against the same split in two on a node of its grid.
    for core in (None, 5000.0):
        N, n1 = 20, 8
        if core is None:  # down to the centre: mid-radii from R with N - 1/2 spacings
            h = R / (N - 0.5)
            whole = [(None, mu_out, N)]
        else:  # over a liquid core: N - 1 spacings across 600 km
            h = 600000.0 / (N - 1)
            whole = [(600000.0, mu_out, N)]
        split = [(h * (n1 - 0.5), mu_out, n1), (whole[0][0] and whole[0][0] - h * (n1 - 0.5), mu_out, N - n1)]
        a, pa = run(body(whole, "andrade", core), work, f"whole{core}")
        b, pb = run(body(split, "andrade", core), work, f"split{core}")
        check(len(a) == len(b) and len(pa) == len(pb), f"rows {len(a)} {len(b)} {len(pa)} {len(pb)}")
        # The split body's two layers' powers are the undivided one's.
        for ra, rb in zip(a, b):
            whole_power = float(ra["andrade_layer1_power_W"])
            parts = float(rb["andrade_layer1_power_W"]) + float(rb["andrade_layer2_power_W"])
            check(abs(parts / whole_power - 1.0) < 1e-12, f"core {core}: layers {parts} against {whole_power}")
        for x, y, what in ((a, b, "summary"), (pa, pb, "profile")):
            for ra, rb in zip(x, y):
                for r in (ra, rb):
                    for key in [k for k in r if "_layer" in k]:
                        del r[key]
                check(list(ra) == list(rb), f"{what} columns")
                for key in ra:
                    u, v = ra[key], rb[key]
                    try:
                        fu, fv = float(u), float(v)
                    except ValueError:
                        check(u == v, f"{what} {key}: {u} against {v}")
                        continue
                    check(abs(fu - fv) <= 1e-13 * max(abs(fu), abs(fv)) + 1e-300 or
                          (key.endswith("_radius_m") and abs(fu - fv) <= 1e-9 * R),
                          f"core {core}: {what} {key}: {u} against {v}")
    # The time method's table too, on a short run: its layers' powers add up to its power.
    text = body([(t_out, mu_out, 6), (None, mu_in, 6)]).replace(
        "grid_error = false\n", "grid_error = false\nperiods = 2\nsteps_per_period = 100\n")
    path = os.path.join(work, "time.toml")
    with open(path, "w") as f:
        f.write(text)
    subprocess.run([TIDAL, "--body-file", path, "--output", os.path.join(work, "time")], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.path.join(work, "time", "summary.csv")) as f:
        summary = list(csv.DictReader(f))
    with open(os.path.join(work, "time", "heating_profile.csv")) as f:
        profile = list(csv.DictReader(f))
    check_layer_powers(summary[0], profile, [6, 6])
    if failures:
        sys.exit(1)
    print("ok")


if __name__ == "__main__":
    main()
