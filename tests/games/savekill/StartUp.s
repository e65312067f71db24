// Saves one slot and the system data over and over, a new generation each
// time, for the test that kills the process while it writes.
@@reset
\go,@@top
@@top
\svar,int,gen
\gvar,int,g
\gvar,str,pad[64]
@@loop
\cal,gen=gen+1,g=gen,pad[g%64]="some text to make the save a little larger"
\scp,dat
\s,"slot.svd"
\scp,sdat
\s,"SystemData.dat"
\go,@@loop
