// The save and load screens: the right button asks for the save screen and
// the L key for the load screen. The scene turns from blue to orange after
// three seconds; the end-to-end test saves the orange scene into a slot in
// one run and loads it early in a second run, while that run is still blue.
@@reset
\go,@@top
@@top
\gvar,sys,sy
\gvar,skey,keys
\gvar,eff,scr
\gvar,int,phase,frame
\scp,keys
\a,65538,save
\a,76,load
\scp,sy
\lk,0
\scp,scr
\bg,$FF336699
\cal,phase=1
\time,3000
\bg,$FFC84010
\cal,phase=2
@@loop
\clk,1
\cal,frame=frame+1
\jmp,@@loop
