// The player's side of a game: the start-up script binds its keys and clears
// its locks; a click ends a click wait, time ends a timed wait, Auto clicks
// a wait without a time by itself after AutoPlayClickTime, and the skip key
// runs Skip through four click waits to the end of the text. What happened
// lands in globals for the dump.
@@reset
\go,@@top
@@top
\gvar,sys,sy
\gvar,skey,keys
\gvar,int,clickLeft,timed,autoClk,autoDone,skipMode,reached,n
\scp,keys
\a,65537,click
\a,13,keyclick
\a,83,skip
\a,27,menu
\scp,sy
\lk,0
\clk,100000
\cal,clickLeft=ResultClkInt
\wait,500
\cal,timed=1
\p,2
\clk
\cal,autoClk=ResultClkInt,autoDone=1
\p,0
\lk,_lkMenu
\clk,100000
\cal,n=1\clk
\cal,n=2\clk
\cal,n=3\clk
\cal,n=4\clk
\?p
\cal,skipMode=ResultInt[0],reached=1
\p,0
\clk
