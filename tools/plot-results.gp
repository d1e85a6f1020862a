# Figures of one result directory. Called by plot-results with the variables
#   dir  the result directory (read)      out  the directory for the PNG files
# A figure is drawn only when its files exist (a stopped sweep may lack the series).
set terminal pngcairo size 900,600 enhanced font "sans,11"
set grid
set key top left box opaque
file(name) = dir . "/" . name
have(name) = system("test -s '" . file(name) . "' && echo 1 || echo 0") + 0

# Mean dissipated power over the last forcing period against viscosity, both rheologies.
if (have("pcelketa") && have("pcelketakelvin")) {
    set output out . "/power.png"
    set title "Tidal heating of the shell"
    set logscale xy
    set format x "10^{%L}"
    set format y "10^{%L}"
    set xlabel "viscosity (Pa s)"
    set ylabel "mean dissipated power (W)"
    plot file("pcelketa") using 1:2 with linespoints pt 7 ps 0.5 title "Maxwell", \
         file("pcelketakelvin") using 1:2 with linespoints pt 7 ps 0.5 title "Kelvin-Voigt"
    unset output
    unset logscale
    set format x "% h"
    set format y "% h"
}

# Extreme displacements of the last forcing period against viscosity.
if (have("ureta") && have("uretakelvin") && have("urtheta") && have("urthetakelvin")) {
    set output out . "/displacement.png"
    set multiplot layout 2,1 title "Surface displacement in the last forcing period"
    set logscale x
    set format x "10^{%L}"
    set xlabel "viscosity (Pa s)"
    set title "minimum radial displacement of the surface (order 0)"
    set ylabel "displacement (m)"
    plot file("ureta") using 1:2 with linespoints pt 7 ps 0.4 title "Maxwell", \
         file("uretakelvin") using 1:2 with linespoints pt 7 ps 0.4 title "Kelvin-Voigt"
    set title "maximum radial displacement at the equator, longitude 0"
    plot file("urtheta") using 1:2 with linespoints pt 7 ps 0.4 title "Maxwell", \
         file("urthetakelvin") using 1:2 with linespoints pt 7 ps 0.4 title "Kelvin-Voigt"
    unset multiplot
    unset output
    unset logscale
    set format x "% h"
}

# Surface displacement over time of the last (highest-viscosity) run; 2000 steps per period.
if (have("time") && have("timekelvin")) {
    set output out . "/series.png"
    set title "Surface displacement of the last run of the sweep"
    set xlabel "time (orbital periods)"
    set ylabel "radial displacement of the surface (m)"
    plot file("time") using ($1/2000.0):2 with lines title "Maxwell", \
         file("timekelvin") using ($1/2000.0):2 with lines title "Kelvin-Voigt"
    unset output
}
