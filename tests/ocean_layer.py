#!/usr/bin/python3
"""A liquid layer between solid ones (an ice shell over an ocean over a rocky core, and the
same ice and ocean over a rocky mantle over a liquid iron core), held to an independent
solution of the continuous equations and to the physics of its limits. Every check below runs
on both bodies.

1. The independent solution: in the shell and in the core the displacement and the modified
   pressure are Lamb's degree-2 solutions (solid_layers.py derives and checks them), the
   core's two regular ones and the shell's four. The ocean is a uniform, inviscid, static
   liquid whose pressure follows the total potential, so the true normal traction
   S - rho (W + V - g U) of each solid face equals the liquid's, -rho_o (W + V - g U), and
   the shear traction vanishes there: S = -(rho_o - rho_s) (W + V - g U) at the shell's base,
   S = (rho_c - rho_o) (W + V - g U) at the core's top, each face with its own U; V is the
   potential of the three displaced interfaces. Over a liquid core the mantle takes Lamb's
   four solutions, and its base the shell base's condition with the liquid core's density,
   S = -(rho_l - rho_m) (W + V - g U); V then holds four interfaces. The program's h2 and k2
   converge to it at order 2 in the cells (steady method), elastic and Maxwell.
2. The tide's work -(21/2) Im k2 (omega R)^5 e^2 / G is the dissipated power, and the solid
   layers' power columns are the sums of their cells' profile rows and add up to the total,
   the ocean's cell dissipating nothing.
3. The fluid limit: a Maxwell body far below its relaxation time is a liquid of three (four)
   layers, whose interfaces are equipotentials, g(r_k) U_k = W(r_k) + V(r_k) (a 3x3 or 4x4
   system written here; the continuous solution with nearly zero rigidities reaches it); the
   program approaches its h2 and k2 at order 2.
4. The grid error: Richardson's estimate from twice the cells is the true error of h2, k2.
5. The time method: batched and plain runs write the same bytes, and its Love numbers reach
   the periodic state's (the steady method's discrete flavour) as the run lengthens.

Caught (each a fault put in on purpose, then taken out): the core's top given the shell
base's sign of the self-gravitation load (+[rho] V instead of -[rho] V: k2's error stalls at
1e-3, order 0, and the fluid limit is 38 % off); the tide's pressure on the core's top taken
with its amplitude at the shell's base (without (R_c/R_t)^2: h2 and k2 at order 0, the fluid
limit 4.5 % off); the core's top buoyancy left out of its rows (k2 at order 1.3-1.5, the fluid
limit 99 % off); the core's first cell counted whole in the power (the energy balance's gap
9e-4 at 40 cells, order 1.1); the ocean's four nodes left out of the rows that the batched
path corrects for self-gravitation (batched and plain differ in summary.csv and results.nc,
the time run's k2 stays 0.6 % off the periodic state); the body on twice the cells given
the core's first rigidity in place of a second inert cell (k2's estimated grid error 3.6
times the true one).
Caught over the liquid core: the mantle's base given the shell base's buoyancy in place of
its own (Maxwell h2 and k2 at order 0, 0.3 % and 1.7 % off; the fluid limit 13 % off); the
liquid core's pressure on it taken as the ocean's (without rho_l / rho_o: elastic h2 at order
-0.8); the liquid core's top left out of the self-gravitation coupling (h2, k2 at negative
orders) or its mass out of k2 (k2 1.5 % off, the energy balance 2 % off); the mantle's last
cell counted whole in the power (the energy balance 6e-3 off at 40 cells); the time run's
records without the liquid core's top (batched and plain differ, the time run's k2 64 % off
the periodic state).

Usage: ocean_layer.py TIDAL
"""
import csv
import math
import os
import subprocess
import sys
import tempfile

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from solid_layers import state  # noqa: E402  (Lamb's solutions, derived and checked there)

# The program under test; none when imported (docs/verification/make_verification.py takes
# the reference solutions from here).
TIDAL = os.path.abspath(sys.argv[1]) if __name__ == "__main__" else None
G = 6.67430e-11
C = 4.0 * math.pi * G / 5.0
R = 1.0e6
# ice shell, ocean, rocky core: thickness (m; None reaches the centre), density, rigidity
SHELL = (150000.0, 950.0, 3.5e9)
OCEAN = (100000.0, 1050.0)
CORE = (None, 3000.0, 5.0e10)
A = R - SHELL[0]  # the shell's base
B = A - OCEAN[0]  # the core's top
PERIOD, ECC = 306720.0, 0.0094
OMEGA = 2.0 * math.pi / PERIOD
# The same ice and ocean over a rocky mantle over a liquid iron core: the mantle from B down
# to the liquid core's top at D.
MANTLE = (350000.0, 3300.0, 6.5e10)
LIQUID_CORE = (None, 5500.0)
D = B - MANTLE[0]

# The bodies as uniform layers, surface down: outer radius, density, solid.
THREE = [(R, SHELL[1], True), (A, OCEAN[1], False), (B, CORE[1], True)]
FOUR = [(R, SHELL[1], True), (A, OCEAN[1], False), (B, MANTLE[1], True), (D, LIQUID_CORE[1], False)]


def gravity(r, layers=THREE):
    """g(r) of the uniform layers (Gauss's law)."""
    mass = 0.0
    for i, (top, rho, _) in enumerate(layers):
        bottom = layers[i + 1][0] if i + 1 < len(layers) else 0.0
        if r > bottom:
            mass += rho * (min(r, top) ** 3 - bottom ** 3)
    return 4.0 / 3.0 * math.pi * G * mass / r ** 2


def faces(layers=THREE):
    """The interfaces, outermost first: radius, density jump (below minus above; the surface
    the outer layer's density), gravity."""
    out = []
    for i, (top, rho, _) in enumerate(layers):
        out.append((top, rho - (layers[i - 1][1] if i > 0 else 0.0), gravity(top, layers)))
    return out


FACES = faces(THREE)


def potential(r, i, face_list=FACES):
    """V at r per metre of displacement of interface i."""
    a, d, _ = face_list[i]
    return C * a * d * ((r / a) ** 2 if r <= a else (a / r) ** 3)


def layered_love(layers, mus):
    """h2, k2 of the continuous body of uniform `layers` (liquid and solid alternating from a
    solid surface), `mus` the solid layers' rigidities, W = (r/R)^2 (W(R) = 1). Each solid
    layer takes Lamb's four solutions, or the two regular ones if it reaches the centre; on
    each of its faces the shear traction vanishes and the true normal traction
    S - rho_s (W + V - g U) is the liquid's, -rho_l (W + V - g U) (none at the surface):
    S = d (W + V - g U), d = rho_s - rho_l at a top face, rho_l - rho_s... taken as the face's
    jump (below minus above) with the sign of the side the solid is on."""
    fl = faces(layers)
    solids = [i for i, L in enumerate(layers) if L[2]]
    # Columns: each solid layer's solutions in turn.
    cols, first = [], {}
    for n, i in enumerate(solids):
        first[i] = len(cols)
        centre = i + 1 == len(layers)
        cols += [(i, k, mus[n]) for k in range(2 if centre else 4)]
    n_eq = len(cols)
    M = np.zeros((n_eq, n_eq), dtype=complex)
    rhs = np.zeros(n_eq, dtype=complex)
    # U of each interface as a row over the coefficients: the solid side's displacement.
    U = np.zeros((len(fl), n_eq), dtype=complex)
    face_rows = []  # (face index, solid layer, +1 top face / -1 bottom face)
    for i in solids:
        face_rows.append((i, i, 1.0))
        if i + 1 < len(layers):
            face_rows.append((i + 1, i, -1.0))
    for f, i, _ in face_rows:
        for c, (layer, k, mu) in enumerate(cols):
            if layer == i:
                U[f, c] = state(k, fl[f][0], mu)[0]

    def potential_row(r):
        return sum(potential(r, i, fl) * U[i] for i in range(len(fl)))

    row = 0
    for f, i, side in face_rows:
        r, d, g = fl[f]
        for c, (layer, k, mu) in enumerate(cols):
            if layer == i:
                st = state(k, r, mu)
                M[row, c] = st[2]
                M[row + 1, c] = st[3]
        # S - side d (V - g U) = side d W (a top face: the jump d = rho_s - rho_above; a
        # bottom face: S = -(rho_below - rho_s)(W + V - g U), the jump d = rho_below - rho_s)
        M[row] += -side * d * (potential_row(r) - g * U[f])
        rhs[row] = side * d * (r / R) ** 2
        row += 2
    coef = np.linalg.solve(M, rhs)
    u = U @ coef
    h2 = fl[0][2] * u[0]
    k2 = sum(potential(R, i, fl) * u[i] for i in range(len(fl)))
    return h2, k2


def ocean_love(mu_shell, mu_core):
    """h2, k2 of the continuous ice/ocean/core body, W = (r/R)^2 (W(R) = 1)."""
    return layered_love(THREE, [mu_shell, mu_core])


def fluid_love(layers=THREE):
    """The equilibrium figure of the densities: every interface an equipotential,
    g(r_k) U_k = W(r_k) + V(r_k)."""
    fl = faces(layers)
    n = len(fl)
    M = np.zeros((n, n))
    rhs = np.zeros(n)
    for k, (r, _, g) in enumerate(fl):
        M[k, k] += g
        for i in range(n):
            M[k, i] -= potential(r, i, fl)
        rhs[k] = (r / R) ** 2
    u = np.linalg.solve(M, rhs)
    return fl[0][2] * u[0], sum(potential(R, i, fl) * u[i] for i in range(n))


def toml_real(v):
    s = repr(float(v))
    return s if ("." in s or "e" in s) else s + ".0"


def body(cells, log10_eta, core_factor=1.0, extra="", liquid_core=False):
    """The body file of THREE, or (`liquid_core`) of FOUR: the solid below the ocean then the
    mantle, over the liquid core."""
    below = (f'\n[[layer]]\nname = "core"\ndensity = {toml_real(CORE[1])}\nstate = "solid"\n'
             f'rigidity = {toml_real(CORE[2])}\n')
    if liquid_core:
        below = (f'\n[[layer]]\nname = "mantle"\nthickness = {toml_real(MANTLE[0])}\n'
                 f'density = {toml_real(MANTLE[1])}\nstate = "solid"\nrigidity = {toml_real(MANTLE[2])}\n')
    below += f'viscosity = "swept"\nviscosity_factor = {toml_real(core_factor)}\ncells = {cells}\n'
    if liquid_core:
        below += (f'\n[[layer]]\nname = "iron"\ndensity = {toml_real(LIQUID_CORE[1])}\n'
                  'state = "liquid"\n')
    return (f'name = "ocean"\nouter_radius = {toml_real(R)}\n'
            f'\n[[layer]]\nname = "ice"\nthickness = {toml_real(SHELL[0])}\ndensity = {toml_real(SHELL[1])}\n'
            f'state = "solid"\nrigidity = {toml_real(SHELL[2])}\nviscosity = "swept"\ncells = {cells}\n'
            f'\n[[layer]]\nname = "ocean"\nthickness = {toml_real(OCEAN[0])}\ndensity = {toml_real(OCEAN[1])}\n'
            'state = "liquid"\n' + below +
            f"\n[orbit]\nperiod = {PERIOD}\neccentricity = {ECC}\n"
            f"[sweep]\nlog10_viscosity_min = {log10_eta!r}\nlog10_viscosity_max = {log10_eta!r}\n"
            f'steps_per_decade = 1000\n[rheology]\nmodels = ["maxwell"]\n[numerics]\ngrid_error = false\n{extra}')


def run(text, work, name, args=("--method", "steady")):
    path = os.path.join(work, name + ".toml")
    with open(path, "w") as f:
        f.write(text)
    out = os.path.join(work, name)
    subprocess.run([TIDAL, "--body-file", path, *args, "--output", out],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.path.join(out, "summary.csv")) as f:
        summary = list(csv.DictReader(f))
    with open(os.path.join(out, "heating_profile.csv")) as f:
        profile = list(csv.DictReader(f))
    return summary, profile, out


failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def love(row, prefix="maxwell"):
    return (complex(float(row[f"{prefix}_h2_real"]), float(row[f"{prefix}_h2_imag"])),
            complex(float(row[f"{prefix}_k2_real"]), float(row[f"{prefix}_k2_imag"])))


def check_layer_powers(row, profile, cells):
    """The shell's (layer 1) and the core's (layer 3) power columns are their cells' profile
    rows summed; the ocean's one row dissipates nothing; the two add up to the total."""
    rows = [p for p in profile if p["viscosity_Pa_s"] == row["viscosity_Pa_s"]]
    check(len(rows) == 2 * cells + 1, f"{len(rows)} profile rows for {2 * cells} cells and the ocean")
    check("maxwell_layer2_power_W" not in row, "the ocean has a power column")
    check("maxwell_layer4_power_W" not in row, "a liquid core has a power column")
    total = float(row["maxwell_power_W"])
    shell = float(row["maxwell_layer1_power_W"])
    core = float(row["maxwell_layer3_power_W"])
    ocean = rows[cells]
    check(float(ocean["power_W"]) == 0.0 and float(ocean["heating_W_m3"]) == 0.0, f"ocean row {ocean}")
    check(abs(float(ocean["outer_radius_m"]) - A) < 1e-6 and abs(float(ocean["inner_radius_m"]) - B) < 1e-6,
          f"ocean row spans {ocean['outer_radius_m']} to {ocean['inner_radius_m']}")
    for what, column, part in (("shell", shell, rows[:cells]), ("core", core, rows[cells + 1:])):
        cell_sum = sum(float(p["power_W"]) for p in part)
        check(abs(column - cell_sum) <= 1e-12 * abs(total), f"{what}: {column} against its cells {cell_sum}")
        check(column > 0.0, f"{what}: power {column}")
    check(abs((shell + core) / total - 1.0) < 1e-12, f"layers' powers {shell + core} against the total {total}")


def check_body(work, liquid_core):
    """Every check of the module's docstring on THREE, or (`liquid_core`) on FOUR."""
    layers = FOUR if liquid_core else THREE
    tag = "liquid core" if liquid_core else "ocean"

    def body_of(*args):
        return body(*args, liquid_core=liquid_core)

    def exact(mu_shell, mu_below):
        return layered_love(layers, [mu_shell, mu_below])

    def name(n):
        return ("lc_" if liquid_core else "") + n

    below_mu = MANTLE[2] if liquid_core else CORE[2]
    # The inner region's base over the liquid core adds its own h^2 term to the power's.
    balance_bound = 3e-4 if liquid_core else 2e-4

    # 1, 2: against the continuous equations, elastic and Maxwell near the shell's peak (the
    # core of the same viscosity: it dissipates a tenth of the power).
    for label, log10_eta in (("elastic", 40.0), ("maxwell", 14.0)):
        errors, k2_errors, balance = [], [], []
        for cells in (10, 20, 40):
            summary, profile, _ = run(body_of(cells, log10_eta), work, name(f"{label}{cells}"))
            row = summary[0]
            eta = float(row["viscosity_Pa_s"])
            s = 1j * OMEGA

            def maxwell(mu, e):
                return mu if log10_eta > 30 else mu * s * e / (mu + s * e)

            h2, k2 = exact(maxwell(SHELL[2], eta), maxwell(below_mu, eta))
            got_h2, got_k2 = love(row)
            errors.append(abs(got_h2 / h2 - 1.0))
            k2_errors.append(abs(got_k2 / k2 - 1.0))
            if log10_eta < 30:
                check_layer_powers(row, profile, cells)
                power = float(row["maxwell_power_W"])
                work_done = -10.5 * got_k2.imag * (OMEGA * R) ** 5 * ECC ** 2 / G
                balance.append(abs(work_done / power - 1.0))
        if balance:
            # Both sides err as h^2: so does their difference.
            orders = [math.log2(balance[i] / balance[i + 1]) for i in range(2)]
            print(f"{tag}, {label}: tide's work against the power, relative gaps {balance}, orders {orders}")
            check(balance[-1] < balance_bound and all(1.7 < o < 2.3 for o in orders), f"{tag}, {label}: energy balance {balance}")
        for what, e in (("h2", errors), ("k2", k2_errors)):
            orders = [math.log2(e[i] / e[i + 1]) for i in range(2)]
            print(f"{tag}, {label}: {what} errors {e}, orders {orders}")
            check(e[-1] < 1e-3, f"{tag}, {label}: {what} error {e[-1]} at 40 cells a layer")
            check(all(1.7 < o < 2.3 for o in orders), f"{tag}, {label}: {what} orders {orders}")

    # The grid error (Richardson's, from the periodic state on twice the cells) is the true
    # error of h2 and k2 at 20 cells a layer.
    summary, _, _ = run(body_of(20, 14.0).replace("grid_error = false", "grid_error = true"), work, name("grid"))
    row = summary[0]
    eta = float(row["viscosity_Pa_s"])
    s = 1j * OMEGA
    h2, k2 = exact(SHELL[2] * s * eta / (SHELL[2] + s * eta), below_mu * s * eta / (below_mu + s * eta))
    got_h2, got_k2 = love(row)
    for what, est, true in (("h2", float(row["maxwell_h2_grid_error"]), abs(got_h2 / h2 - 1.0)),
                            ("k2", float(row["maxwell_k2_grid_error"]), abs(got_k2 / k2 - 1.0))):
        print(f"{tag}, grid error of {what} at 20 cells: estimated {est}, true {true}")
        check(0.8 < est / true < 1.25, f"{tag}: grid error of {what}: estimated {est} against the true {true}")

    # 3: the fluid limit (omega eta / mu ~ 1e-11).
    h2, k2 = fluid_love(layers)
    errors = []
    for cells in (10, 20, 40):
        summary, _, _ = run(body_of(cells, 3.0), work, name(f"fluid{cells}"))
        got_h2, got_k2 = love(summary[0])
        errors.append(max(abs(got_h2 / h2 - 1.0), abs(got_k2 / k2 - 1.0)))
    orders = [math.log2(errors[i] / errors[i + 1]) for i in range(2)]
    print(f"{tag}, fluid limit: h2 {h2}, k2 {k2}; errors {errors}, orders {orders}")
    check(errors[-1] < 1e-3 and all(1.7 < o < 2.3 for o in orders), f"{tag}: fluid limit: errors {errors}")

    # 4: the time method, batched against plain, and against the periodic state.
    extra = "periods = {p}\nsteps_per_period = 200\n"
    text = body_of(8, 14.0, 100.0, extra.format(p=2))
    _, _, batched = run(text, work, name("batched"), ())
    _, _, plain = run(text, work, name("plain"), ("--plain",))
    for fname in sorted(os.listdir(batched)):
        with open(os.path.join(batched, fname), "rb") as f, open(os.path.join(plain, fname), "rb") as g:
            check(f.read() == g.read(), f"{tag}: batched and plain differ in {fname}")
    steady, _, _ = run(body_of(8, 14.0, 100.0, extra.format(p=2)), work, name("steady8"))
    _, k2_steady = love(steady[0], "maxwell_discrete") if "maxwell_discrete_k2_real" in steady[0] else love(steady[0])
    gaps = []
    for periods in (2, 8):
        summary, _, _ = run(body_of(8, 14.0, 100.0, extra.format(p=periods)), work, name(f"time{periods}"), ())
        _, k2_time = love(summary[0])
        gaps.append(abs(k2_time / k2_steady - 1.0))
    print(f"{tag}: time method against the periodic state: k2 gaps {gaps}")
    check(gaps[-1] < 1e-3 and gaps[-1] < gaps[0], f"{tag}: time method k2 gaps {gaps}")


def main():
    work = tempfile.mkdtemp()
    check_body(work, False)
    check_body(work, True)
    if failures:
        sys.exit(1)
    print("ok")


if __name__ == "__main__":
    main()
