// Plays a sound effect when the player clicks: a click wait, then the
// effect on effect channel 0; half a second later a message window speaks a
// voice (on its stream channel). The end-to-end test replays a click at a
// known frame and finds the effect in the recorded sound right after it, and
// the voice after that.
@@reset
\go,@@top
@@top
\gvar,int,clicked,voiced
\gvar,msg,mes
\scp,dsnd[0]
\l,"click.ogg"
\clk
\p,0
\cal,clicked=1
\wait,500
\scp,mes
\wf,"click.ogg"
\cal,voiced=1
\wait,1000
