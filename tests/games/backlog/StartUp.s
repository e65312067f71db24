// Five pages of two speakers go into the message log; once a click ends the
// wait (the first click finishes typing the last page) the script asks for the
// backlog, which shows them over the dimmed game screen, oldest at the top,
// each entry with its speaker's name in the speaker's colour, Aoi's picture
// beside her entries and a scroll bar on the right (system/Log/Layout.dat).
// The last page carries a voice that is not played with it; its row shows
// the voice icon and a click on it in the backlog replays it. Esc closes the
// backlog.
@@reset
\go,@@top
@@top
\gvar,sys,sy
\gvar,msg,mes
\gvar,skey,keys
\gvar,eff,scr
\scp,keys
\a,65537,click
\scp,sy
\lk,0
\scp,scr
\bg,$FF336699
\scp,mes
\ts,10,150,310,230
\e
\ac,"Aoi"
\t,First
\lg
\cc
\ac,"Ren"
\t,Second
\lg
\cc
\ac,"Ren"
\t,Third
\lg
\cc
\ac,"Aoi"
\t,Fourth
\lg
\cc
\ac,"Aoi"
\wf,"click.ogg",0
\t,Fifth
\lg
\clk
\scp,sy
\h
@@loop
\clk,1
\jmp,@@loop
