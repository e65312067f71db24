// The image words of "img" objects, run through the interpreter: the
// arguments, the Result conventions of queries and "g" words, channel and
// index checks, and the messages.
#include <gtest/gtest.h>

#include "ScriptRunSupport.h"
#include "anim/AnimationBmpLib.h"
#include "graphics/ARGB8888Lib.h"
#include "graphics/ImageFiles.h"
#include "scriptdata/ImageCommands.h"
#include "scriptdata/uZelObjectManager.h"

using namespace zel;
using namespace zeltest;

namespace {

class ImageWords : public ScriptRun {
protected:
    void StartWithImages(std::string_view source) {
        TARGB8888 pic;
        pic.NewImage(40, 20, 0xFF336699);
        TMemoryStream bmp;
        ASSERT_TRUE(SaveBmp(pic, bmp));
        files.Add("bg.bmp", bmp.View());
        Start(source);
        auto* objects = dynamic_cast<TZelObjectManager*>(&script->Objects());
        ASSERT_NE(objects, nullptr);
        RegisterImageKinds(*objects, &files, res);
    }
    TImageLib& Image(std::string_view var) {
        auto* objects = dynamic_cast<TZelObjectManager*>(&script->Objects());
        auto* p = dynamic_cast<TImageObjectPayload*>(objects->Find(Str(var))->Payload());
        return p->image;
    }
    TAnimationResources res;
};

TEST_F(ImageWords, LoadMoveFadeAndQuery) {
    StartWithImages(R"(@@top
\gvar,img,a
\gvar,int,x,y,z,w,h,al,shown,curve
\scp,a
\l,"bg.bmp"
\e
\p,100,50,3,0
\a,128,0
\mm,4
\alg,1,1
\?p,0,0
\cal,x=ResultInt[0],y=ResultInt[1],z=ResultInt[2]
\?wh
\cal,w=ResultInt[0],h=ResultInt[1]
\?a
\cal,al=ResultInt[0]
\?e
\cal,shown=ResultInt[0]
\?mm
\cal,curve=ResultInt[0]
)");
    Frames(2);
    EXPECT_EQ(ErrorText(), "");
    EXPECT_EQ(Int("x"), 80);  // the centre anchor: 100 - 40 / 2
    EXPECT_EQ(Int("y"), 40);
    EXPECT_EQ(Int("z"), 3);
    EXPECT_EQ(Int("w"), 40);
    EXPECT_EQ(Int("h"), 20);
    EXPECT_EQ(Int("al"), 128);
    EXPECT_EQ(Int("shown"), 1);
    EXPECT_EQ(Int("curve"), 4);
    EXPECT_EQ(Image("a").FileName(0), "bg.bmp");
    // "l" does not count the next frame's time.
    EXPECT_GE(script->State().timeSkip, 0);
}

TEST_F(ImageWords, QueriesClearTheResultsAndGWordsWriteOnlyTheirElements) {
    StartWithImages(R"(@@top
\gvar,img,a
\gvar,int,q5,g1
\gvar,str,gstr
\scp,a
\l,"bg.bmp"
\p,10,20,0,0
\cal,ResultInt[5]=9,ResultInt[1]=9,ResultStr[3]="keep"
\?p
\cal,q5=ResultInt[5]
\cal,ResultInt[1]=9
\gx
\cal,g1=ResultInt[1]
\ge
\cal,gstr=ResultStr[0]
)");
    Frames(1);
    EXPECT_EQ(ErrorText(), "");
    EXPECT_EQ(Int("q5"), 0);  // "?p" cleared ResultInt[3...]
    EXPECT_EQ(Int("g1"), 9);  // "gx" wrote element 0 only
    EXPECT_EQ(Str("gstr"), "Disable");
    EXPECT_EQ(Int("ResultInt[0]"), 0);
}

TEST_F(ImageWords, UserValuesChannelsFiltersAndMessages) {
    StartWithImages(R"(@@top
\gvar,img,a
\gvar,int,u2,dc,sc
\gvar,str,us1,flt
\scp,a
\ui,1,2,3,4
\ui,,20
\?ui
\cal,u2=ResultInt[1]
\us,"one","two"
\?us
\cal,us1=ResultStr[1]
\dc,3
\sc,15
\?dc
\cal,dc=ResultInt[0]
\?sc
\cal,sc=ResultInt[0]
\flt,16,"gamma,0"
\flt,2,"gray"
\?flt,2
\cal,flt=ResultStr[0]
\dc,15
)");
    Frames(1);
    EXPECT_EQ(Int("u2"), 20);
    EXPECT_EQ(Str("us1"), "two");
    EXPECT_EQ(Int("dc"), 3);
    EXPECT_EQ(Int("sc"), 15);
    EXPECT_EQ(Str("flt"), "gray");
    EXPECT_TRUE(HasError("\\dc:範囲外のチャンネルを指定しました")) << ErrorText();
}

TEST_F(ImageWords, AFailedLoadAndAWordOfAnotherKindAreReported) {
    StartWithImages(R"(@@top
\gvar,img,a
\scp,a
\l,"missing.png","second.png"
)");
    Frames(1);
    EXPECT_TRUE(HasError("\\l：画像にロードに失敗：missing.png:second.png")) << ErrorText();
    SetErrorFlag(false);
    ClearErrors();
    File("more.s", R"(@@more
\scp,a
\t,hello
)");
    script->ExecuteLine("\\go,@@more,more.s");
    Frames(1);
    ASSERT_EQ(Errors().size(), 1u) << ErrorText();
    EXPECT_EQ(Errors()[0], S("未定義の命令：") + Str("a") + S("(img).\\t,hello"));
}

TEST_F(ImageWords, HugeRectanglesAreRefused) {
    StartWithImages(R"(@@top
\gvar,img,a
\scp,a
\fr,0,0,100,50,$80FF0000
)");
    Frames(1);
    EXPECT_EQ(ErrorText(), "");
    EXPECT_EQ(Image("a").FileName(0), "rect,0,0,100,50,$80ff0000");
    File("more.s", "@@more\n\\scp,a\n\\fr,-2000000000,0,2000000000,2000000000,0\n");
    script->ExecuteLine("\\go,@@more,more.s");
    Frames(1);
    EXPECT_TRUE(HasError("\\fr:")) << ErrorText();
    EXPECT_EQ(Image("a").FileName(0), "rect,0,0,100,50,$80ff0000");
}

}  // namespace
