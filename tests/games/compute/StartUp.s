// Computes a few values at start; the end-to-end test reads them from the
// variable dump.
@@reset
\go,@@top
@@top
\svar,int,plays
\gvar,int,answer,sum,i
\gvar,str,greeting,savepath,quoted
\cal,plays=plays+1
\cal,answer=6*7
\for,i=1,i<=10,i=i+1 \cal,sum=sum+i \next
\cal,greeting="こんにちは、"+"世界"
\cal,savepath="save\slot1"
\cal,quoted="say '''hi'''"
