// Counts frames while waiting for clicks: each frame ends in a click wait of
// 1 ms, which the next frame's time ends with ResultClkInt 0, or a click
// (the left button, or Enter while no system key is bound) ends with what
// was left of it. The frames of the first two clicks land in globals.
@@reset
\go,@@top
@@top
\gvar,int,frame,got,hit,clickFrame,keyFrame
\cal,frame=1
@@loop
\clk,1
\cal,frame=frame+1
\if,ResultClkInt>0 \cal,got=got+1,hit=1 \else \cal,hit=0 \fi
\if,hit*got==1 \cal,clickFrame=frame \fi
\if,hit*got==2 \cal,keyFrame=frame \fi
\jmp,@@loop
