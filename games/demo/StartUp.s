// The zel demo game.
//
// Start-up jumps to "@@reset" when the story (re)starts and to "@@top" when
// it begins. Each scene is a label of its own file section; "scene" counts
// the scenes reached, so a play-through can be checked in the variable dump.
//
// What the engine can show so far: the screen's background colour, colour
// fades of the whole screen and the scene camera. Pictures, text, buttons and
// sound join as the engine grows.
@@reset
\go,@@top

@@top
\gvar,eff,screen
\gvar,cam,camera
\gvar,int,scene,loops
\scp,screen
\bg,$FF000000

// Scene 1: out of the dark into a deep blue sky.
@@dawn
\cal,scene=1
\fdo,2,1500,$FF1E3A6E,0
\wait,1800

// Scene 2: the sky warms to the colours of a sunrise.
@@sunrise
\cal,scene=2
\fdo,2,1200,$FFE07A3C,0
\wait,1400
\fdo,2,1200,$FFF6C667,0
\wait,1400

// Scene 3: the camera drifts while the day settles.
@@day
\cal,scene=3
\scp,camera
\mm,4
\p,120,-40,1500
\scp,screen
\fdo,2,1500,$FF7EC8E3,0
\wait,1800

// Scene 4: dusk, then night, and the day begins again.
@@dusk
\cal,scene=4
\fdo,2,1500,$FF5B3A78,0
\wait,1700
\fdo,2,1500,$FF0B0F24,0
\wait,1700
\scp,camera
\p,0,0,800
\scp,screen
\cal,loops=loops+1
\go,@@dawn
