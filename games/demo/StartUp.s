// The zel demo game.
//
// Start-up jumps to "@@reset" when the story (re)starts and to "@@top" when
// it begins. Each scene below is a label; the variable "scene" counts the
// scenes reached and "loops" the stories finished, so a play-through can be
// checked in the variable dump (zel --headless --dump-vars FILE).
//
// What it shows: a title screen of buttons; the player's name asked in a
// text-input dialog and used in the story; pictures as image objects ("img")
// that glide on different curves and fade; an animation; a message window
// with a name plate typing voiced lines with ruby, colour, waits and kinsoku
// wrapping; a choice of buttons that branches; cross-fades, a wipe through a
// rule picture, the scene camera and a colour fade through the screen-effect
// object ("eff"); looping music and a click effect. The player's keys and the
// right-click menu reach the backlog (with voice replay), save and load with
// thumbnails, quick save and quick load, auto and skip modes.
//
// The player's keys (system keys, "skey"):
//   left click, Enter     go on / press a button
//   right click           the menu (system\Menu\Layout.dat)
//   wheel up, L           the backlog (system\Log\Layout.dat)
//   F5, F9                quick save, quick load
//   A, S                  auto mode, skip mode (a click ends either)
//   arrow keys            move between buttons
@@reset
\go,@@top

// The lines of the story go through two subroutines: @@say puts the
// speaker's name on the plate, starts a new page (and its voice, when one is
// given), @@page waits until the page is typed and clicked, then hands it to
// the backlog.
@@say
\scp,who
\cc
\t,[s,28,28][c,$FFFFE0A0]
\o,ParamStr[0]
\scp,mes
\cc
\ac,ParamStr[0]
\if,ParamCount>1 \wf,ParamStr[1],1 \fi
\ret
@@page
\msg
\clk
\scp,mes
\lg
\ret

@@top
\gvar,eff,screen
\gvar,cam,camera
\gvar,img,bg,aoi,ren,star,frame
\gvar,msg,mes,who
\gvar,rep,lines
\gvar,sys,sy
\gvar,skey,keys
\gvar,btn,go1,go2,go3,t1,t2,t3
\gvar,dlg,nm
\gvar,int,choice,pick
\gvar,str,place,name
\gvar,int,scene,loops
\scp,keys
\a,65537,click
\a,13,keyclick
\a,37,selectleft
\a,39,selectright
\a,65538,menu
\a,240,"log"
\a,76,"log"
\a,116,quicksave
\a,120,quickload
\a,65,auto
\a,83,skip
// Music on stream channel 0, looping: the file's "*looptime,0,2.0,12.0"
// comment sends it back from 12 s to 2 s, so the intro plays once. Channel
// 1 carries the click of the buttons.
\scp,snd[0]
\l,"sound\music.ogg"
\p,1
\scp,snd[1]
\l,"sound\click.ogg"
// The message window at the bottom of the screen: a translucent rectangle
// (an image object of its own), the name plate and the text area, on
// layers from 1000 up, which the camera does not move. Text
// lines of the script reach the window through the text-line prefix the
// "rep" object sets.
\scp,frame
\fr,0,0,1200,180,$C0101838
\p,40,520,1029,0
\scp,who
\p,40,520,1030,0
\ts,30,8,600,44
\scp,mes
\p,40,520,1030,0
\ts,30,40,1170,175
\scp,lines
\et,{\scp,mes\t,}

// The title screen: no menu, backlog, saves or modes until a story runs.
@@title
\cal,scene=0
\scp,sy
\lk,1746
\scp,screen
\c
\scp,bg
\l,"image\bg_title.png"
\p,0,0,0,0
\e
\scp,t1
\l,"image\title_new.png"
\ss,0,0,320,72
\p,480,380,40,0
\sp,160,36
\ui,1
\e
\scp,t2
\l,"image\title_load.png"
\ss,0,0,320,72
\p,480,470,40,0
\sp,160,36
\ui,2
\e
\scp,t3
\l,"image\title_quit.png"
\ss,0,0,320,72
\p,480,560,40,0
\sp,160,36
\ui,3
\e
\scp,screen
\fdi,0,600
\wait,700
@@titlewait
\btn,0
\cal,pick=ResultBtnInt[0]
\scp,snd[1]
\p,0
// Load opens the load screen over the title (a cancel comes back here);
// Quit asks first.
\if,pick==2 \jmp,@@titleload \fi
\if,pick==3 \jmp,@@titlequit \fi
\if,pick!=1 \jmp,@@titlewait \fi
\jmp,@@name
@@titleload
\scp,sy
\l
\jmp,@@titlewait
@@titlequit
\scp,sy
\e
\jmp,@@titlewait

// The player's name, typed in a dialog (an input method works there); an
// empty answer or a cancel keeps "Sora".
@@name
\cal,scene=1
\scp,t1,t2,t3
\i
\scp,nm
\c,"名前　Name"
\p,"あなたの名前は？　What is your name?"
\l,12
\e
\cal,name=ResultStr[0]
\if,ResultInt[0]==0 \cal,name="" \fi
\len,name
\if,ResultInt[0]==0 \cal,name="Sora" \fi
\scp,sy
\lk,0

// Scene 2: morning. Freeze the screen, put the day behind it, and
// cross-fade from the frozen picture to the new scene over one second. A
// picture loaded with \l stays hidden until \e shows it.
@@morning
\cal,scene=2
\scp,screen
\c
\scp,bg
\l,"image\bg_day.png"
\p,0,0,0,0
\e
\scp,screen
\fdi,0,1000
\wait,1200

// Scene 3: Aoi walks in from the left, easing out, and fades in on the
// way; Ren comes from the right on a Hermite curve; a star twinkles over
// them, an ABMP animation (anim/sparkle.txt, built with zelanim).
@@arrive
\cal,scene=3
\scp,aoi
\l,"image\chara_aoi.png"
\p,-240,250,10,0
\a,0,0
\e
\mm,3
\p,300,250,10,1200
\a,255,800
\scp,ren
\l,"image\chara_ren.png"
\p,1280,250,11,0
\e
\mm,5
\p,740,250,11,1200
\scp,star
\l,"anim\sparkle.b"
\p,1100,40,20,0
\e
\wait,1400

// Scene 4: they talk. Voiced lines with ruby over the kanji words, a colour
// change, a wait code, and a sentence long enough to wrap by the kinsoku
// rules (no line begins with 。 or 、); the player's name in a line.
@@talk
\cal,scene=4
\scp,frame,who,mes
\e
\sub,@@say,,"Aoi","voice\aoi01.ogg"
[spd,30][p,0,16][rs,14,14][rp,0,-16]「[rb,今日,きょう]は[c,$FFFFD040]いい天気[c]だね。」[w,600]空の[rb,青,あお]さが、丘の上のずっと向こうまで、どこまでも続いているみたい。
\sub,@@page
\sub,@@say,,"Ren","voice\ren01.ogg"
[spd,30]「うん。どこまでも青い空だ。」　"Blue as far as you can see."
\sub,@@page
\sub,@@say,,"Aoi"
\scp,mes
\t,[spd,30]「はじめまして、
\o,name
\t,さん！　一緒に行こう。」[n]
\o,name
\t,! Nice to meet you. Come along with us.
\sub,@@page

// Scene 5: a choice. Three buttons (image objects that are also message
// windows) wait for a click, a key or the pad; each carries its number as
// user value 0 and its navigation point at its centre.
@@choice
\cal,scene=5
\sub,@@say,,"Aoi"
[spd,20]どこへ行こうか？　Where shall we go?
\msg
\scp,go1
\l,"image\btn_hill.png"
\ss,0,0,200,90
\p,250,360,40,0
\sp,100,45
\ui,1
\e
\scp,go2
\l,"image\btn_river.png"
\ss,0,0,200,90
\p,540,360,40,0
\sp,100,45
\ui,2
\e
\scp,go3
\l,"image\btn_town.png"
\ss,0,0,200,90
\p,830,360,40,0
\sp,100,45
\ui,3
\e
\btn,0
\cal,choice=ResultBtnInt[0]
\if,choice<1 \cal,choice=1 \fi
\scp,snd[1]
\p,0
\scp,go1,go2,go3
\i
\scp,mes
\lg
\sub,@@say,,"Ren"
\if,choice==1 \cal,place="hills"
[spd,20]丘の上へ行こう！　To the hills!
\fi
\if,choice==2 \cal,place="river"
[spd,20]川のほとりへ。　Down to the river.
\fi
\if,choice==3 \cal,place="town"
[spd,20]町へ出かけよう。　Off to town.
\fi
\sub,@@page
\if,choice==1 \jmp,@@hills \fi
\if,choice==2 \jmp,@@river \fi
\jmp,@@town

// Scene 5b: the afternoon at the place they chose.
@@hills
\sub,@@say,,"Aoi"
[spd,20]「ほら、風が気持ちいいでしょう？」　Feel the wind up here!
\sub,@@page
\sub,@@say,,"Ren"
[spd,20]「町がおもちゃみたいに小さく見える。」　The town looks like a toy.
\sub,@@page
\sub,@@say,,"Aoi"
\scp,mes
\t,[spd,20]「
\o,name
\t,さんの家はどのあたり？」　Where is your house?
\sub,@@page
\jmp,@@homeward
@@river
\sub,@@say,,"Ren"
[spd,20]「水がきれいだね。魚が見えるよ。」　The water is so clear. I see fish.
\sub,@@page
\sub,@@say,,"Aoi"
[spd,20]「冷たい！　でも気持ちいい。」　Cold! But it feels nice.
\sub,@@page
\sub,@@say,,"Aoi"
\scp,mes
\t,[spd,20]「
\o,name
\t,さんも足をつけてみて。」　Try it too!
\sub,@@page
\jmp,@@homeward
@@town
\sub,@@say,,"Aoi"
[spd,20]「パン屋さんのいい匂いがする！」　I can smell the bakery!
\sub,@@page
\sub,@@say,,"Ren"
[spd,20]「焼きたてを三つください。」　Three fresh ones, please.
\sub,@@page
\sub,@@say,,"Aoi"
\scp,mes
\t,[spd,20]「はい、これは
\o,name
\t,さんの分。」　Here, this one is yours.
\sub,@@page
@@homeward
\sub,@@say,,"Ren"
[spd,20]「日が傾いてきた。そろそろ帰ろうか。」　The sun is low. Time to go home.
\sub,@@page
\scp,frame,who,mes
\d

// Scene 6: dusk. The new background wipes in through a rule picture while
// the camera drifts to the right.
@@dusk
\cal,scene=6
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
\scp,frame,who,mes
\e
\sub,@@say,,"Aoi","voice\aoi02.ogg"
[spd,30][p,0,16][rs,14,14][rp,0,-16]「また[rb,明日,あした]も、一緒に来ようね。」　Let's come back tomorrow.
\sub,@@page
\sub,@@say,,"Ren"
[spd,20]「うん。また明日。」　Yes. See you tomorrow.
\sub,@@page
\scp,frame,who,mes
\d

// Scene 7: the two fade away and the camera comes back.
@@farewell
\cal,scene=7
\scp,aoi,ren,star
\a,0,800
\scp,camera
\p,0,0,800
\wait,1000

// Scene 8: night falls (a colour fade to black), and the title comes back.
@@night
\cal,scene=8
\scp,screen
\fdo,2,1000,$FF000000,0
\wait,1200
\scp,aoi,ren,star,bg
\i
\scp,screen
\i
\cal,loops=loops+1
\go,@@title
