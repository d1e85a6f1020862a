"""The two methods, independent computations of the same periodic response, agree."""
import numpy as np

import tidal


def test_time_integration_reaches_the_steady_state_of_body8():
    body = tidal.preset(8).with_(**{"sweep.steps_per_decade": 2})
    time = tidal.sweep(body, method="time", rheologies=tidal.RHEOLOGIES)
    steady = tidal.sweep(body, method="steady", rheologies=tidal.RHEOLOGIES)
    np.testing.assert_array_equal(time["viscosity_Pa_s"], steady["viscosity_Pa_s"])
    # Ten periods leave a transient, and the first-order Kelvin-Voigt steps an error of order
    # omega * dt (3e-3): the rest agrees to a few 1e-3, for every rheology (Andrade's fit
    # included).
    for r in tidal.RHEOLOGIES:
        for q in ("power_W", "amplitude_m", "phase_lag_deg"):
            np.testing.assert_allclose(time[f"{r}_{q}"], steady[f"{r}_{q}"], rtol=3e-3,
                                       err_msg=f"{r}_{q}")
    # The Maxwell heating peaks inside the sweep, at the same swept viscosity.
    assert time.peaks["maxwell"]["viscosity_Pa_s"] == steady.peaks["maxwell"]["viscosity_Pa_s"]
    assert steady.peaks["maxwell"]["refined_viscosity_Pa_s"] is not None
