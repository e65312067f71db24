// Shows a picture at a position, glides it across the screen over one
// second and fades it out over another. The end-to-end test reads the
// screenshots and the positions the queries report in the dump.
@@reset
\go,@@top
@@top
\gvar,img,pic
\gvar,int,x0,y0,z0,x1,y1,w,h,al
\scp,pic
\l,"pic.png"
\p,20,30,5,0
\e
\?p
\cal,x0=ResultInt[0],y0=ResultInt[1],z0=ResultInt[2]
\?wh
\cal,w=ResultInt[0],h=ResultInt[1]
\p,220,130,5,1000
\wait,1500
\?p
\cal,x1=ResultInt[0],y1=ResultInt[1]
\a,0,1000
\wait,1500
\?a
\cal,al=ResultInt[0]
