// Paints through the screen-effect object: a background colour, a capture
// taken and ended, then a fade out to red over one second; moves the camera.
// The end-to-end test reads the screenshots and the variable dump.
@@reset
\go,@@top
@@top
\gvar,eff,scr
\gvar,cam,cm
\gvar,int,bg,frozen,after,tx,ty,curve
\scp,scr
\bg,$FF336699
\?bg
\cal,bg=ResultInt[0]
\c
\?c
\cal,frozen=ResultInt[0]
\i
\?c
\cal,after=ResultInt[0]
\scp,cm
\mm,4
\p,400,-20,1000
\?p
\cal,tx=ResultInt[0],ty=ResultInt[1]
\?mm
\cal,curve=ResultInt[0]
\scp,scr
\fdo,2,1000,$FFFF0000,0
