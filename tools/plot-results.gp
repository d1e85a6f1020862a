# Figures of one result directory. Called by plot-results, which checks the directory and sets:
#   dir, out          the result directory (read) and the directory of the PNG files
#   source            "summary" (read summary.csv by the column numbers c_*) or "legacy"
#   title             the body and its shell
#   c_eta, c_pm, c_pk, c_hm, c_hk, c_um, c_uk, c_em, c_ek
#                     summary.csv columns: viscosity; power, heat flux, minimum surface and
#                     maximum equatorial displacement of Maxwell (m) and Kelvin-Voigt (k)
#   c_sm, c_sk        summary.csv columns of the periodic steady state's power, 0 if absent
#   time_domain       1 when the powers come from a time integration (legacy files present)
#   radius            outer radius (m) for the heat flux of legacy files, 0 if unknown
#   peak_m_eta, peak_m_power, peak_k_eta, peak_k_power    each rheology's largest power
#   peak_m_flux, peak_k_flux                               and its heat flux (summary only)
#   series_files      the series-<viscosity>.csv files, separated by blanks
#   nperiod, last_eta steps a period and the viscosity of the legacy time files
# Prints the name of every PNG it writes. Every legend sits below its plot, off the data.
set terminal pngcairo size 1000,760 enhanced font "sans,11"
set print "-"
set grid
# The legend sits below the axis label, in room kept free for it: never on the data.
set key at screen 0.5, screen 0.015 center bottom horizontal maxcols 2 Left reverse box samplen 2
set bmargin 9
# Room above the highest point for the peak markers.
set offsets 0, 0, graph 0.06, 0
set datafile missing "NaN"
file(name) = dir . "/" . name
have(name) = system("test -s '" . file(name) . "' && echo 1 || echo 0") + 0
sci(x) = gprintf("%.3t×10^{%T}", x)
done(name) = sprintf("%s/%s.png", out, name)
maxwell = "#1f5fa8"
kelvin = "#c8501e"

summary = file("summary.csv")
is_summary = source eq "summary"
# The legacy files: whitespace; the tables: comma, with a header row.
if (is_summary) { set datafile separator comma }

# A column of the sweep: from summary.csv by its number, else column 2 of a legacy file.
sweep_file(legacy_name) = is_summary ? summary : file(legacy_name)
sweep_x = is_summary ? c_eta : 1
positive(v) = (v > 0 ? v : NaN)
magnitude(v) = (v != 0 ? abs(v) : NaN)

set logscale x
set format x "10^{%L}"
set xlabel "viscosity (Pa s)"
set mxtics 10

# --- Mean dissipated power over the last orbital period, peaks marked ---------------------
set output done("power")
set title title . "\n{/*0.85 tidal heating: mean dissipated power over the last orbital period}"
set logscale y
set format y "10^{%L}"
set ylabel "dissipated power (W)"
set arrow 1 from peak_m_eta, graph 0 to peak_m_eta, peak_m_power nohead dt 2 lc rgb maxwell
set arrow 2 from peak_k_eta, graph 0 to peak_k_eta, peak_k_power nohead dt 2 lc rgb kelvin
# Beside a time sweep the periodic steady state is the curve and the time integration the
# points on it; a steady-state sweep alone is drawn as a curve.
steady_beside = is_summary && time_domain && c_sm > 0 && c_sk > 0
time_style = steady_beside ? "points pt 7 ps 0.55" : (time_domain ? "linespoints pt 7 ps 0.45" : "lines lw 1.5")
steady_curves = !steady_beside ? "" : \
    sprintf("summary using %d:(positive(column(%d))) with lines lw 1.2 lc rgb maxwell title 'Maxwell, periodic state', ", c_eta, c_sm) . \
    sprintf("summary using %d:(positive(column(%d))) with lines lw 1.2 lc rgb kelvin title 'Kelvin-Voigt, periodic state', ", c_eta, c_sk)
time_name(r) = steady_beside ? r . ", time-stepped" : (time_domain ? r : r . ", periodic state")
if (steady_beside) { set bmargin 10 }
plot sweep_file("pcelketa") using sweep_x:(positive(column(is_summary ? c_pm : 2))) \
         with @time_style lc rgb maxwell title time_name("Maxwell"), \
     sweep_file("pcelketakelvin") using sweep_x:(positive(column(is_summary ? c_pk : 2))) \
         with @time_style lc rgb kelvin title time_name("Kelvin-Voigt"), \
     @steady_curves \
     "+" using (peak_m_eta):(peak_m_power) every ::0::0 with points pt 6 ps 2.6 lw 2 \
         lc rgb maxwell title sprintf("Maxwell peak: %s W at %s Pa s", sci(peak_m_power), sci(peak_m_eta)), \
     "+" using (peak_k_eta):(peak_k_power) every ::0::0 with points pt 6 ps 2.6 lw 2 \
         lc rgb kelvin title sprintf("Kelvin-Voigt peak: %s W at %s Pa s", sci(peak_k_power), sci(peak_k_eta))
unset output
set bmargin 9
print done("power")

# --- Heat flux through the outer surface --------------------------------------------------
flux_known = is_summary ? (c_hm > 0 && c_hk > 0) : radius > 0
if (flux_known) {
    area = 4.0 * pi * radius**2
    set output done("heat_flux")
    set title title . "\n{/*0.85 heat flux through the outer surface (mean over the last orbital period)}"
    set ylabel "heat flux (W/m^2)"
    fm = is_summary ? c_hm : 2
    fk = is_summary ? c_hk : 2
    flux(v) = is_summary ? v : v / area
    # The peaks of the power are the peaks of the flux: the same surface divides both.
    hm_at = is_summary ? peak_m_flux : peak_m_power / area
    hk_at = is_summary ? peak_k_flux : peak_k_power / area
    set arrow 1 from peak_m_eta, graph 0 to peak_m_eta, hm_at nohead dt 2 lc rgb maxwell
    set arrow 2 from peak_k_eta, graph 0 to peak_k_eta, hk_at nohead dt 2 lc rgb kelvin
    plot sweep_file("pcelketa") using sweep_x:(positive(flux(column(fm)))) \
             with linespoints pt 7 ps 0.45 lc rgb maxwell title "Maxwell", \
         sweep_file("pcelketakelvin") using sweep_x:(positive(flux(column(fk)))) \
             with linespoints pt 7 ps 0.45 lc rgb kelvin title "Kelvin-Voigt", \
         "+" using (peak_m_eta):(hm_at) every ::0::0 with points pt 6 ps 2.6 lw 2 \
             lc rgb maxwell title sprintf("Maxwell peak: %s W/m^2 at %s Pa s", sci(hm_at), sci(peak_m_eta)), \
         "+" using (peak_k_eta):(hk_at) every ::0::0 with points pt 6 ps 2.6 lw 2 \
             lc rgb kelvin title sprintf("Kelvin-Voigt peak: %s W/m^2 at %s Pa s", sci(hk_at), sci(peak_k_eta))
    unset output
    print done("heat_flux")
}
unset arrow 1
unset arrow 2

# --- Extreme displacements of the last orbital period, magnitudes on a log scale ----------
set terminal pngcairo size 1000,900
set output done("displacement")
set multiplot layout 2,1 margins 0.09, 0.97, 0.13, 0.89 spacing 0.13 title title . "\n{/*0.85 surface displacement in the last orbital period}"
set ylabel "displacement (m)"
set title "|minimum radial displacement of the surface| (order 0)"
plot sweep_file("ureta") using sweep_x:(magnitude(column(is_summary ? c_um : 2))) \
         with linespoints pt 7 ps 0.4 lc rgb maxwell title "Maxwell", \
     sweep_file("uretakelvin") using sweep_x:(magnitude(column(is_summary ? c_uk : 2))) \
         with linespoints pt 7 ps 0.4 lc rgb kelvin title "Kelvin-Voigt"
set title "maximum |radial displacement| at the equator, longitude 0"
plot sweep_file("urtheta") using sweep_x:(magnitude(column(is_summary ? c_em : 2))) \
         with linespoints pt 7 ps 0.4 lc rgb maxwell title "Maxwell", \
     sweep_file("urthetakelvin") using sweep_x:(magnitude(column(is_summary ? c_ek : 2))) \
         with linespoints pt 7 ps 0.4 lc rgb kelvin title "Kelvin-Voigt"
unset multiplot
unset output
print done("displacement")

# --- Surface displacement over time, one panel per rheology -------------------------------
unset logscale
set format x "% h"
set format y "% h"
set mxtics default
set xlabel "time (orbital periods)"
set ylabel "radial displacement (m)"
set key off
set datafile separator comma
set datafile columnheaders
do for [s in series_files] {
    eval "eta = " . s[8:strlen(s) - 4]
    set output done(s[1:strlen(s) - 4])
    set multiplot layout 2,1 margins 0.09, 0.97, 0.08, 0.89 spacing 0.12 title title . "\n{/*0.85 surface radial displacement (order 0) at viscosity " . sci(eta) . " Pa s}"
    set title "Maxwell"
    plot file(s) using "time_periods":"maxwell_surface_displacement_m" with lines lc rgb maxwell
    set title "Kelvin-Voigt"
    plot file(s) using "time_periods":"kelvin_voigt_surface_displacement_m" with lines lc rgb kelvin
    unset multiplot
    unset output
    print done(s[1:strlen(s) - 4])
}
set datafile nocolumnheaders
if (strlen(series_files) == 0 && have("time") && have("timekelvin")) {
    set datafile separator whitespace
    set output done("series")
    eta_text = ""
    if (strlen(last_eta) > 0) {
        eval "last = " . last_eta
        eta_text = " at viscosity " . sci(last) . " Pa s, the last of the sweep"
    }
    set multiplot layout 2,1 margins 0.09, 0.97, 0.08, 0.89 spacing 0.12 title title . "\n{/*0.85 surface radial displacement (order 0)" . eta_text . "}"
    set title "Maxwell"
    plot file("time") using ($1 / nperiod):2 with lines lc rgb maxwell
    set title "Kelvin-Voigt"
    plot file("timekelvin") using ($1 / nperiod):2 with lines lc rgb kelvin
    unset multiplot
    unset output
    print done("series")
}
