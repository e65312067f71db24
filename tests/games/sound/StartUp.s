// Plays a sound effect when the player clicks: a click wait, then the
// effect on effect channel 0. The end-to-end test replays a click at a known
// frame and finds the effect in the recorded sound right after it.
@@reset
\go,@@top
@@top
\gvar,int,clicked
\scp,dsnd[0]
\l,"click.ogg"
\clk
\p,0
\cal,clicked=1
