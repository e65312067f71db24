// The zel demo game.
//
// Start-up jumps to "@@reset" when the story (re)starts and to "@@top" when
// it begins. Each scene below is a label; the variable "scene" counts the
// scenes reached and "loops" the rounds played, so a play-through can be
// checked in the variable dump (zel --headless --dump-vars FILE).
//
// What it shows so far: pictures as image objects ("img") that glide on
// different curves and fade, an animation, a message window, a choice of
// buttons, a cross-fade from a captured screen, a wipe
// through a rule picture, the scene camera and a colour fade to black, all
// through the screen-effect object ("eff"). Text, buttons and sound join as
// the engine grows.
@@reset
\go,@@top

@@top
\gvar,eff,screen
\gvar,cam,camera
\gvar,img,bg,aoi,ren,star,frame
\gvar,msg,mes
\gvar,rep,lines
\gvar,sys,sy
\gvar,skey,keys
\gvar,btn,go1,go2,go3
\gvar,int,choice
\gvar,str,place
// Keys and the mouse: a click clicks, Enter too, the arrow keys move between
// buttons; every lock is open.
\scp,keys
\a,65537,click
\a,13,keyclick
\a,37,selectleft
\a,39,selectright
\scp,sy
\lk,0
\gvar,int,scene,loops
\scp,screen
\bg,$FF000000
// Music on stream channel 0, looping: the file's "*looptime,0,2.0,12.0"
// comment sends it back from 12 s to 2 s, so the intro plays once.
\scp,snd[0]
\l,"sound\music.ogg"
\p,1

// Scene 1: morning. Freeze the (black) screen, put the day behind it, and
// cross-fade from the frozen picture to the new scene over one second. A
// picture loaded with \l stays hidden until \e shows it.
@@morning
\cal,scene=1
\scp,screen
\c
\scp,bg
\l,"image\bg_day.png"
\p,0,0,0,0
\e
\scp,screen
\fdi,0,1000
\wait,1200

// Scene 2: Aoi walks in from the left, easing out, and fades in on the way.
@@aoi
\cal,scene=2
\scp,aoi
\l,"image\chara_aoi.png"
\p,-240,250,10,0
\a,0,0
\e
\mm,3
\p,300,250,10,1200
\a,255,800
\wait,1400

// Scene 3: Ren comes from the right on a Hermite curve.
@@ren
\cal,scene=3
\scp,ren
\l,"image\chara_ren.png"
\p,1280,250,11,0
\e
\mm,5
\p,740,250,11,1200
// A star twinkles over them: an ABMP animation (anim/sparkle.txt, built
// with zelanim) played by an image object.
\scp,star
\l,"anim\sparkle.b"
\p,1100,40,20,0
\e
\wait,1400

// Scene 3b: Aoi speaks. A message window at the bottom of the screen (a
// text area over a translucent rectangle, an image object of its own) types
// her line: ruby over the
// kanji words, a colour change, a wait code, and a sentence long enough to
// wrap by the kinsoku rules (no line begins with 。 or 、). Text lines reach
// the window through the text-line prefix the "rep" object sets. Auto mode
// turns the page by itself once it is typed.
@@talk
\cal,scene=3
\scp,frame
\fr,0,0,1200,170,$C0101838
\p,40,530,29,0
\e
\scp,mes
\p,40,530,30,0
\ts,30,18,1170,160
\e
\scp,lines
\et,{\scp,mes\t,}
\scp,sy
\p,2
[spd,30][p,0,14][rs,16,16]「[rb,今日,きょう]は[c,$FFFFD040]いい天気[c]だね。」[w,600]空の[rb,青,あお]さが、丘の上のずっと向こうまで、どこまでも続いているみたい。
\msg
\scp,sy
\p,0

// Scene 3c: a choice. Three buttons (image objects that are also message
// windows) wait for a click, a key or the pad; each carries its number as
// user value 0 and its navigation point at its centre. Without an answer
// in six seconds the story picks the hills.
@@choice
\scp,mes
\cc
[spd,20][p,0,14]どこへ行こうか？　Where shall we go?
\scp,go1
\l,"image\btn_hill.png"
\ss,0,0,200,90
\p,250,400,40,0
\sp,100,45
\ui,1
\e
\scp,go2
\l,"image\btn_river.png"
\ss,0,0,200,90
\p,540,400,40,0
\sp,100,45
\ui,2
\e
\scp,go3
\l,"image\btn_town.png"
\ss,0,0,200,90
\p,830,400,40,0
\sp,100,45
\ui,3
\e
\btn,6000
\cal,choice=ResultBtnInt[0]
\if,choice==0 \cal,choice=1 \fi
\scp,go1,go2,go3
\i
\scp,mes
\cc
\if,choice==1 \cal,place="hills"
[spd,20][p,0,14]丘の上へ行こう！　To the hills!
\fi
\if,choice==2 \cal,place="river"
[spd,20][p,0,14]川のほとりへ。　Down to the river.
\fi
\if,choice==3 \cal,place="town"
[spd,20][p,0,14]町へ出かけよう。　Off to town.
\fi
\wait,1500
\scp,lines
\et,
\scp,mes,frame
\i

// Scene 4: dusk. The new background wipes in through a rule picture while
// the camera drifts to the right.
@@dusk
\cal,scene=4
\scp,screen
\c
\scp,bg
\l,"image\bg_dusk.png"
\e
\scp,screen
\fdi,1,1500,"image\rule_sweep.png"
\scp,camera
\mm,4
\p,-40,0,1500
\wait,1700

// Scene 5: the two fade away and the camera comes back.
@@farewell
\cal,scene=5
\scp,aoi,ren,star
\a,0,800
\scp,camera
\p,0,0,800
\wait,1000

// Scene 6: night falls (a colour fade to black), and the day begins again.
@@night
\cal,scene=6
\scp,screen
\fdo,2,1000,$FF000000,0
\wait,1200
\scp,aoi,ren,star,bg
\i
\scp,screen
\i
\cal,loops=loops+1
\go,@@morning
