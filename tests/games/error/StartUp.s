// A calculation on an undeclared name: the run reports it and stops there.
@@reset
\go,@@top
@@top
\gvar,int,before,after
\cal,before=1
\cal,undeclared=2
\cal,after=1
