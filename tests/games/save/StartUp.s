// Saves, plays on, loads: the end-to-end test compares the dump and the
// screen of a run stopped just after the save with those of a run that went
// on, changed everything and loaded the save again. The system variable
// "loaded" lives outside the save, so the loaded game knows to stay still.
@@reset
\go,@@top
@@top
\svar,int,loaded
\gvar,eff,scr
\gvar,cam,cm
\gvar,int,n,a[3]
\gvar,str,txt
\scp,scr
\bg,$FF336699
\scp,cm
\p,40,-10,0
\cal,n=1,a[1]=11,a[2]=-22
\cal,txt="before the save"
\time,300
\scp,dat
\s,"slot.svd"
\time,1000
\if,loaded==1
  \time,99999999
\fi
\scp,scr
\bg,$FFFF0000
\scp,cm
\p,0,0,0
\cal,n=2,a[1]=0,txt="played on"
\time,500
\cal,loaded=1
\scp,dat
\l,"slot.svd"
\time,99999999
