// Types a message into a window: the text line below reaches the window
// through the text-line prefix, one character every 100 ms (one a frame).
// Two lines of six characters fill the 256 x 70 text area; the third line
// waits for a click (page full), which scrolls the page and types the rest.
// The dump holds the window's state and pen while the page was full and
// after the click.
@@reset
\go,@@top
@@top
\gvar,msg,mes
\gvar,rep,lines
\gvar,int,before,after,penBefore,penAfter,fullFrame,frame
\scp,mes
\ts,10,10,266,80
\e
\scp,lines
\et,{\scp,mes\t,}
[spd,100]あいうえおかきくけこさしすせそ
@@poll
\cal,frame=frame+1
\scp,mes
\?mc
\if,ResultInt[0]==2 \jmp,@@full \fi
\wait,100
\jmp,@@poll
@@full
\?tp
\cal,penBefore=ResultInt[1],fullFrame=frame
\?mc
\cal,before=ResultInt[0]
\msg
\?mc
\cal,after=ResultInt[0]
\?tp
\cal,penAfter=ResultInt[1]
