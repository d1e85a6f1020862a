# Figures of one result directory. Called by plot-results, which checks the directory and sets:
#   dir, out          the result directory (read) and the directory of the PNG files
#   source            "summary" (read the sweep's table by column number) or "legacy" (Maxwell
#                     and Kelvin-Voigt from the legacy files)
#   table             the sweep's table (CSV, a header row, missing values NaN), written by
#                     result-tables.sh from results.nc or summary.csv
#   title             the body and its shell
#   accuracy          the sweep's largest estimated errors, one line (empty if unknown)
#   models, titles, colours, markers
#                     the rheologies drawn, one word each (titles may be quoted words), with
#                     their colours and the point types of their peak markers
#   c_eta             the table's column of the viscosity
#   c_power, c_flux, c_umin, c_ueq, c_steady
#                     the table's columns per rheology: power, heat flux, minimum surface and
#                     maximum equatorial displacement, the periodic steady state's power (0 if
#                     absent); empty for the legacy files
#   steady_everywhere 1 when every rheology has its periodic steady state
#   time_domain       1 when the powers come from a time integration
#   radius            outer radius (m) for the heat flux of legacy files, 0 if unknown
#   reference         1 when the body's layers multiply the swept viscosity by their factors
#   peak_eta, peak_power, peak_flux
#                     per rheology the viscosity of its largest power, that power and the
#                     largest heat flux (summary only; refined as in peaks.csv where it says)
#   peak_kind         per rheology "peak", or "edge" for a largest power at an end of the
#                     sweep (empty when peaks.csv does not say)
#   extra_eta, extra_power, extra_flux, extra_of
#                     further peaks of peaks.csv: viscosity, power, heat flux and the number of
#                     the rheology in `models`
#   series_files      the series-<viscosity>.csv files, separated by blanks, their viscosities
#   series_etas       (Pa s) and for the k-th file
#   series_models_k, series_titles_k, series_colours_k   the rheologies of its columns
#   nperiod, last_eta steps a period and the viscosity of the legacy time files
#   legacy_colours    the colours of Maxwell and Kelvin-Voigt, for those files
# Prints the name of every PNG it writes. Every legend sits below its plot, off the data.
set terminal pngcairo size 1000,760 enhanced font "sans,11"
# UTF-8: the "% h" tick labels write ×10^ as the legends do, not x10^.
set encoding utf8
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

summary = table
is_summary = source eq "summary"
# The legacy files: whitespace; the tables: comma, with a header row.
if (is_summary) { set datafile separator comma }

# The i-th rheology: its title, colour, columns of the table and peak.
n = words(models)
name(i) = word(titles, i)
colour(i) = word(colours, i)
marker(i) = int(word(markers, i))
# Each rheology's marker a little smaller than the one before: markers at one viscosity nest.
mark_size(i) = 2.8 - 0.35 * (i - 1)
col(list, i) = int(word(list, i))
eta_at(i) = word(peak_eta, i) + 0.0
power_at(i) = word(peak_power, i) + 0.0
# A largest power at an end of the sweep is no peak: the curve may rise beyond the sweep.
kind(i) = (words(peak_kind) >= i && word(peak_kind, i) eq "edge") ? "maximum at the end of the sweep" : "peak"
# The further peaks: the j-th belongs to rheology of(j).
m = words(extra_eta)
of(j) = int(word(extra_of, j))
extra_x(j) = word(extra_eta, j) + 0.0
extra_p(j) = word(extra_power, j) + 0.0
extra_f(j) = word(extra_flux, j) + 0.0

# A column of the sweep for the i-th rheology: from the table by its number in the list,
# else column 2 of the legacy file of Maxwell or Kelvin-Voigt.
sweep_file(legacy_names, i) = is_summary ? summary : file(word(legacy_names, i))
sweep_y(columns, i) = is_summary ? col(columns, i) : 2
sweep_x = is_summary ? c_eta : 1
positive(v) = (v > 0 ? v : NaN)
magnitude(v) = (v != 0 ? abs(v) : NaN)

# Room below a plot: the tick labels and the axis label take four lines, the legend one line a
# row (one entry a row when the entries are long). The canvas grows by what the legend takes
# beyond ten lines, so that the plot keeps its height however many rheologies there are.
below(rows) = (rows + 4 > 9 ? rows + 4 : 9)
line_px = 18
canvas(rows) = 760 + line_px * (below(rows) > 10 ? below(rows) - 10 : 0)

set logscale x
# The axis spans the sweep: rounding in the logarithm would otherwise widen a sweep starting at
# 10^12 Pa s to 10^11.
set autoscale xfix
set format x "10^{%L}"
set xlabel (reference ? "reference viscosity (Pa s); each layer's viscosity is this times the layer's factor" : "viscosity (Pa s)")
set mxtics 10

# --- Mean dissipated power over the last orbital period, peaks marked ---------------------
# Beside a time sweep the periodic steady state is the curve and the time integration the
# points on it; a steady-state sweep alone is drawn as a curve.
steady_beside = is_summary && time_domain && steady_everywhere
time_style = steady_beside ? "points pt 7 ps 0.55" : (time_domain ? "linespoints pt 7 ps 0.45" : "lines lw 1.5")
time_name(r) = steady_beside ? r . ", time-stepped" : (time_domain ? r : r . ", periodic state")
# (An empty iteration would still leave a blank row in the legend.)
steady_curves = !steady_beside ? "" : "for [i=1:n] summary using c_eta:(positive(column(col(c_steady, i)))) " . \
    "with lines lw 1.2 lc rgb colour(i) title name(i) . ', periodic state', "
extra_power_marks = m == 0 ? "" : ", for [j=1:m] '+' using (extra_x(j)):(extra_p(j)) every ::0::0 " . \
    "with points pt marker(of(j)) ps 2.0 lw 2 lc rgb colour(of(j)) " . \
    "title sprintf('%s further peak: %s W at %s Pa s', name(of(j)), sci(extra_p(j)), sci(extra_x(j)))"
extra_flux_marks = m == 0 ? "" : ", for [j=1:m] '+' using (extra_x(j)):(extra_f(j)) every ::0::0 " . \
    "with points pt marker(of(j)) ps 2.0 lw 2 lc rgb colour(of(j)) " . \
    "title sprintf('%s further peak: %s W/m^2 at %s Pa s', name(of(j)), sci(extra_f(j)), sci(extra_x(j)))"
rows = n * (steady_beside ? 3 : 2) + m
set terminal pngcairo size 1000, canvas(rows)
set bmargin below(rows)
set key maxcols 1
set output done("power")
# A figure of the sweep carries its own error bar under its title.
error_bar = accuracy eq "" ? "" : "\n{/*0.75 " . accuracy . "}"
set title title . "\n{/*0.85 tidal heating: mean dissipated power over the last orbital period}" . error_bar
set logscale y
set format y "10^{%L}"
set ylabel "dissipated power (W)"
do for [i=1:n] {
    set arrow i from eta_at(i), graph 0 to eta_at(i), power_at(i) nohead dt 2 lc rgb colour(i)
}
do for [j=1:m] {
    set arrow n + j from extra_x(j), graph 0 to extra_x(j), extra_p(j) nohead dt 3 lc rgb colour(of(j))
}
plot for [i=1:n] sweep_file("pcelketa pcelketakelvin", i) \
         using sweep_x:(positive(column(sweep_y(c_power, i)))) \
         with @time_style lc rgb colour(i) title time_name(name(i)), \
     @steady_curves \
     for [i=1:n] "+" using (eta_at(i)):(power_at(i)) every ::0::0 with points pt marker(i) ps mark_size(i) lw 2 \
         lc rgb colour(i) title sprintf("%s %s: %s W at %s Pa s", name(i), kind(i), sci(power_at(i)), sci(eta_at(i))) \
     @extra_power_marks
unset output
print done("power")

# --- Heat flux through the outer surface --------------------------------------------------
flux_known = is_summary ? 1 : radius > 0
if (flux_known) {
    area = 4.0 * pi * radius**2
    flux(v) = is_summary ? v : v / area
    # The peaks of the power are the peaks of the flux: the same surface divides both.
    flux_at(i) = is_summary ? word(peak_flux, i) + 0.0 : power_at(i) / area
    rows = 2 * n + m
    set terminal pngcairo size 1000, canvas(rows)
    set bmargin below(rows)
    set output done("heat_flux")
    set title title . "\n{/*0.85 heat flux through the outer surface (mean over the last orbital period)}" . error_bar
    set ylabel "heat flux (W/m^2)"
    do for [i=1:n] {
        set arrow i from eta_at(i), graph 0 to eta_at(i), flux_at(i) nohead dt 2 lc rgb colour(i)
    }
    do for [j=1:m] {
        set arrow n + j from extra_x(j), graph 0 to extra_x(j), extra_f(j) nohead dt 3 lc rgb colour(of(j))
    }
    plot for [i=1:n] sweep_file("pcelketa pcelketakelvin", i) \
             using sweep_x:(positive(flux(column(sweep_y(c_flux, i))))) \
             with linespoints pt 7 ps 0.45 lc rgb colour(i) title name(i), \
         for [i=1:n] "+" using (eta_at(i)):(flux_at(i)) every ::0::0 with points pt marker(i) ps mark_size(i) lw 2 \
             lc rgb colour(i) title sprintf("%s %s: %s W/m^2 at %s Pa s", name(i), kind(i), sci(flux_at(i)), sci(eta_at(i))) \
         @extra_flux_marks
    unset output
    print done("heat_flux")
}
unset arrow

# --- Extreme displacements of the last orbital period, magnitudes on a log scale ----------
# One legend for both panels, two short entries a row. Heights in pixels, as on a canvas of
# 900 for one row.
set key maxcols 2
rows = (n + 1) / 2
height = 900 + line_px * (rows - 1)
set terminal pngcairo size 1000, height
set output done("displacement")
set multiplot layout 2,1 margins 0.12, 0.97, (117.0 + line_px * (rows - 1)) / height, 1 - 99.0 / height \
    spacing 117.0 / height title title . "\n{/*0.85 surface displacement in the last orbital period}"
set ylabel "displacement (m)"
set title "|minimum radial displacement of the surface| (order 0)"
plot for [i=1:n] sweep_file("ureta uretakelvin", i) using sweep_x:(magnitude(column(sweep_y(c_umin, i)))) \
         with linespoints pt 7 ps 0.4 lc rgb colour(i) title name(i)
set title "maximum |radial displacement| at the equator, longitude 0"
plot for [i=1:n] sweep_file("urtheta urthetakelvin", i) using sweep_x:(magnitude(column(sweep_y(c_ueq, i)))) \
         with linespoints pt 7 ps 0.4 lc rgb colour(i) title name(i)
unset multiplot
unset output
print done("displacement")

# --- Surface displacement over time, one panel per rheology -------------------------------
unset logscale
set autoscale x
set format x "% h"
set format y "% h"
set mxtics default
set xlabel "time (orbital periods)"
set ylabel "radial displacement (m)"
set key off
set datafile separator comma
set datafile columnheaders
# Panels of about 300 pixels, 120 pixels on the left for the tick labels and the axis label
# (displacements such as -0.0025 m); the title, the bottom and the gaps between panels keep their size
# in pixels (99, 72 and 108 on the canvas of 900 for two panels).
series_height(panels) = 300 + 300 * panels
do for [k=1:words(series_files)] {
    s = word(series_files, k)
    panels_of = value(sprintf("series_models_%d", k))
    titles_of = value(sprintf("series_titles_%d", k))
    colours_of = value(sprintf("series_colours_%d", k))
    panels = words(panels_of)
    height = series_height(panels)
    eta = word(series_etas, k) + 0.0
    set terminal pngcairo size 1000, height
    set output done(s[1:strlen(s) - 4])
    set multiplot layout panels,1 margins 0.12, 0.97, 72.0 / height, 1 - 99.0 / height \
        spacing 108.0 / height \
        title title . "\n{/*0.85 surface radial displacement (order 0) at viscosity " . sci(eta) . " Pa s}"
    do for [j=1:panels] {
        set title word(titles_of, j)
        plot file(s) using (column("time_periods")):(column(word(panels_of, j) . "_surface_displacement_m")) \
            with lines lc rgb word(colours_of, j)
    }
    unset multiplot
    unset output
    print done(s[1:strlen(s) - 4])
}
set datafile nocolumnheaders
if (strlen(series_files) == 0 && have("time") && have("timekelvin")) {
    set terminal pngcairo size 1000, series_height(2)
    set datafile separator whitespace
    set output done("series")
    eta_text = ""
    if (strlen(last_eta) > 0) {
        last = last_eta + 0.0
        eta_text = " at viscosity " . sci(last) . " Pa s, the last of the sweep"
    }
    set multiplot layout 2,1 margins 0.12, 0.97, 0.08, 0.89 spacing 0.12 title title . "\n{/*0.85 surface radial displacement (order 0)" . eta_text . "}"
    set title "Maxwell"
    plot file("time") using ($1 / nperiod):2 with lines lc rgb word(legacy_colours, 1)
    set title "Kelvin-Voigt"
    plot file("timekelvin") using ($1 / nperiod):2 with lines lc rgb word(legacy_colours, 2)
    unset multiplot
    unset output
    print done("series")
}
