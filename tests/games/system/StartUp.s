// Hands a frame to the system script, which sets a shared system variable
// and gives control back.
@@reset
\go,@@top
@@top
\svar,int,fromsys
\gvar,int,resumed
\thrd,1,@@screen
\cal,resumed=fromsys+1
