// An endless loop: each frame runs up to the segment limit and yields.
@@reset
\go,@@top
@@top
\gvar,int,n
\for
\cal,n=n+1
\next
