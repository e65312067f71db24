// Control flow, calls and string functions; every result lands in a global.
@@sub_f
\cal,pc=ParamCount,pi0=ParamInt[0],pi1=ParamInt[1],ps0=ParamStr[0],ps2=ParamStr[2]
\ret
@@deep3
\cal,depth=3
\ret,@@calls
\cal,wrong=wrong+1
@@deep2
\sub,@@deep3
\cal,wrong=wrong+1
@@deep1
\sub,@@deep2
\cal,wrong=wrong+1
@@reset
\go,@@top
@@top
\gvar,int,if0,if1,if2,n,w,e,odd,zero,brkif,arms,pc,pi0,pi1,depth,wrong,back,i,len,pos,hpos,parts
\gvar,str,ps0,ps2,cpy,last
\if,0 \cal,if0=1 \else \cal,if0=2 \then \cal,if0=3 \fi
\if,1 \cal,if1=1 \else \cal,if1=2 \then \cal,if1=if1+10 \fi
\if,2 \cal,if2=1 \else \cal,if2=2 \then \cal,if2=3 \fi
\for,i=0,i<5,i=i+1 \cal,n=n+1 \next
\for,w<3 \cal,w=w+1 \next
\for \cal,e=e+1 \if,e==4 \brk \fi \next
\for,i=0,i<10,i=i+1 \if,i%2==0 \cnt \fi \cal,odd=odd+1 \next
\for,i=0,i<0,i=i+1 \cal,zero=1 \next
\for,i=0,i<5,i=i+1 \if,i==2 \brk \fi \cal,brkif=brkif+1 \next
\case,3 \ans,1,3 \cal,arms=arms+1 \ans,3 \cal,arms=arms+10 \else \cal,arms=arms+100 \fi
\sub,@@sub_f,self,1,,"a b"
\jmp,@@calls
@@calls
\sub,@@deep1
\cal,back=1
\cpy,"漢字ab",2,2
\cal,cpy=ResultStr[0]
\len,"漢字ab"
\cal,len=ResultInt[0]
\pos,"B","漢字aB"
\cal,pos=ResultInt[0]
\hpos,"B","漢字aB"
\cal,hpos=ResultInt[0]
\div,",","0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19"
\cal,parts=ResultInt[0],last=ResultStr[15]
