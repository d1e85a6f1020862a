"""Tidal heating of Enceladus' ice shell against its viscosity, for two shell thicknesses.

Run it as a script (python3 heating_vs_viscosity.py [FIGURE.png]) or paste it into a notebook
cell. It needs the tidal module (see docs/python.md) and matplotlib.
"""
import sys

import matplotlib

if __name__ == "__main__" and len(sys.argv) > 1:
    matplotlib.use("Agg")  # writing a file: no window needed
import matplotlib.pyplot as plt

import tidal

enceladus = tidal.preset(1)
fig, ax = plt.subplots(figsize=(7, 4.5))
for thickness_km, colour in ((26, "tab:blue"), (5, "tab:red")):
    body = enceladus.with_(**{"shell.thickness": thickness_km * 1e3})
    # The periodic steady state: the whole sweep in a fraction of a second.
    df = tidal.sweep(body, method="steady").to_pandas()
    for rheology, label, style in (("maxwell", "Maxwell", "-"),
                                   ("kelvin_voigt", "Kelvin-Voigt", "--")):
        ax.loglog(df["viscosity_Pa_s"], df[f"{rheology}_power_W"], style, color=colour,
                  label=f"{thickness_km} km shell, {label}")

ax.set_xlabel("shell viscosity (Pa s)")
ax.set_ylabel("tidal heating (W)")
ax.set_title(f"{enceladus.name.split(',')[0]}: heating against viscosity")
ax.grid(True, which="major", alpha=0.3)
ax.legend()
fig.tight_layout()

if __name__ == "__main__" and len(sys.argv) > 1:
    fig.savefig(sys.argv[1], dpi=120)
else:
    plt.show()
