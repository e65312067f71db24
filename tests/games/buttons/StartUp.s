// A choice of three buttons: red, green and blue pictures side by side,
// each with its value as user number 0 and its navigation point at its
// centre. A click on a button ends the button wait with that button; the
// value picks the branch. The right arrow moves the pointer to the nearest
// button on the right, and a click there ends a second wait; the pad's
// left moves it back to the middle one and its A button clicks there.
// What was chosen lands in globals for the dump.
@@reset
\go,@@top
@@top
\gvar,sys,sy
\gvar,skey,keys
\gvar,btn,b1,b2,b3
\gvar,int,chosen,second,third,waits
\gvar,str,branch
\scp,keys
\a,65537,click
\a,39,selectright
\a,37,selectleft
\scp,sy
\lk,0
\scp,b1
\l,"red.png"
\ss,0,0,80,40
\p,20,100,5,0
\sp,40,20
\ui,1
\e
\scp,b2
\l,"green.png"
\ss,0,0,80,40
\p,120,100,5,0
\sp,40,20
\ui,2
\e
\scp,b3
\l,"blue.png"
\ss,0,0,80,40
\p,220,100,5,0
\sp,40,20
\ui,3
\e
\btn
\cal,chosen=ResultBtnInt[0],waits=1
\if,chosen==1 \jmp,@@first \fi
\if,chosen==2 \jmp,@@second \fi
\cal,branch="third"
\jmp,@@again
@@first
\cal,branch="first"
\jmp,@@again
@@second
\cal,branch="second"
@@again
\btn
\cal,second=ResultBtnInt[0],waits=2
\btn
\cal,third=ResultBtnInt[0],waits=3
@@idle
\wait,1000
\jmp,@@idle
