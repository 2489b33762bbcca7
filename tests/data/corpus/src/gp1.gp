set terminal svg size 600,400 dynamic enhanced font "Arial,12" name "sinplot" butt dashlength 1.0
set output "/tmp/corpus/files/gnuplot-linespoints.svg"
set title "Damped oscillation {/Symbol w}_0 = 2"
set key top right box
set grid
set samples 40
plot [0:10] exp(-x/4)*cos(2*x) with linespoints pt 7 ps 0.8 title "x(t)", exp(-x/4) with lines dt 2 lw 2 title "envelope", -exp(-x/4) with points pt 4 notitle
