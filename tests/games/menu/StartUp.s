// The system menu and the player's text dialog: the script asks for a name
// (the headless run types it), binds the right button to the menu and counts
// frames in a click-wait loop. The right click opens the menu over the frozen
// screen; its one entry, "save", asks for the save screen.
@@reset
\go,@@top
@@top
\gvar,sys,sy
\gvar,skey,keys
\gvar,eff,scr
\gvar,dlg,nm
\gvar,int,frame,accepted,limit
\gvar,str,name
\scp,keys
\a,65538,menu
\scp,sy
\lk,0
\scp,scr
\bg,$FF336699
\wait,300
\scp,nm
\c,"Name"
\p,"Your name?"
\l,10
\e
\cal,accepted=ResultInt[0],name=ResultStr[0]
@@loop
\clk,1
\cal,frame=frame+1
\jmp,@@loop
