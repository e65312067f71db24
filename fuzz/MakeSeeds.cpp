// Writes the seed corpora of the storage, script and text targets with the
// project's own writers (and a few hand-made texts), one folder per target
// under the output folder (MakeImageSeeds.cpp does the pictures).
//   zel_fuzz_make_seeds OUTPUT_DIR
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "NameObjects.h"
#include "ReaderStateGame.h"
#include "base/MemStream.h"
#include "script/ZelReaderLib.h"
#include "script/ZelScriptModel.h"
#include "scriptdata/ZelValueStore.h"
#include "storage/PackKeys.h"
#include "storage/PackLib.h"
#include "storage/uFilePackWriter.h"
#include "storage/uHashTable.h"
#include "SeedFiles.h"

namespace fs = std::filesystem;
using namespace zel;

namespace {

using seeds::Put;
using seeds::ReadAll;
using seeds::U32;

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

// The older headerless form of "1PC" data: a bare u32 size and 32-bit block
// sizes, converted from the header form the compressor writes.
std::vector<uint8_t> ToHeaderless(const std::vector<uint8_t>& packed) {
    const uint8_t* p = packed.data();
    size_t pos = 12;
    std::vector<uint8_t> out(p + 8, p + 12);
    while (pos < packed.size()) {
        const size_t tableStart = pos;
        unsigned c = 0;
        for (;;) {
            unsigned count = p[pos++];
            if (count > 127) {
                c += count - 127;
                count = 0;
                if (c == 256) break;
            }
            for (unsigned i = 0; i <= count; ++i, ++c) {
                const uint8_t left = p[pos++];
                if (left != c) ++pos;
            }
            if (c == 256) break;
        }
        out.insert(out.end(), p + tableStart, p + pos);
        const uint32_t n = p[pos] | (p[pos + 1] << 8);
        pos += 2;
        const std::string size = U32(n);
        out.insert(out.end(), size.begin(), size.end());
        out.insert(out.end(), p + pos, p + pos + n);
        pos += n;
    }
    return out;
}

void Storage() {
    const std::vector<std::string> texts = {
        "",
        "hello hello hello hello hello world",
        std::string(3000, 'a') + "abcabcabcabc" + std::string(500, 'z'),
        "@@main\r\n\\mes,\"text\"\r\n\\wait\r\n@@main\r\n",
    };
    std::string binary;
    for (int i = 0; i < 9000; ++i) binary += static_cast<char>((i * 7) % 251);
    int n = 0;
    for (const std::string& t : std::vector<std::string>{texts[1], texts[2], texts[3], binary}) {
        const std::vector<uint8_t> packed = PackBytes(Bytes(t));
        Put("unpack_stream", "header" + std::to_string(n), packed);
        Put("unpack_stream", "bare" + std::to_string(n), ToHeaderless(packed));
        ++n;
    }

    n = 0;
    for (const std::string& t : texts) {
        TMemoryStream payload(t);
        TMemoryStream out;
        out.WriteBytes(std::string(n % 4, 'x'));
        WrapChecked(&payload, &out);
        std::string seed(1, static_cast<char>(n % 4));
        Put("unwrap_checked", "wrap" + std::to_string(n), seed + out.ToString());
        ++n;
    }

    Put("scramble_blocks", "short", U32(0) + "abc");
    Put("scramble_blocks", "index_key", U32(kIndexKey) + texts[1]);
    Put("scramble_blocks", "odd_key", U32(0xDEADBEEF) + texts[2].substr(0, 300));

    for (uint32_t buckets : {kPackIndexBuckets, kHashFileBuckets}) {
        THashTable empty(buckets);
        THashTable table(buckets);
        for (int i = 0; i < 12; ++i) {
            const std::string name = "system\\etc\\file" + std::to_string(i) + ".dat";
            const uint16_t v = static_cast<uint16_t>(i);
            table.Put(name, &v, sizeof v);
        }
        table.Put("long value", texts[1].data(), texts[1].size());
        TMemoryStream a, b;
        empty.SaveToStream(a);
        table.SaveToStream(b);
        Put("hash_table", "empty" + std::to_string(buckets), a.Bytes());
        Put("hash_table", "table" + std::to_string(buckets), b.Bytes());
    }

    // Packs of both versions, plain, compressed and scrambled, with and
    // without an external index.
    char dir[] = "/tmp/zel-fuzz-seeds-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    const std::string packPath = std::string(dir) + "/data0.pack";
    const std::string hashPath = std::string(dir) + "/data0.hash";
    struct Kind {
        const char* name;
        TPackWriteOptions options;
        bool hash;
    };
    const Kind kinds[] = {
        {"v1", {1, false, false}, false},      {"v2", {2, false, false}, false},
        {"v1_packed", {1, true, true}, false}, {"v2_packed", {2, true, true}, false},
        {"v1_hash", {1, false, false}, true},  {"v2_hash", {2, true, false}, true},
    };
    for (const Kind& k : kinds) {
        TFilePackWriter w(k.options);
        std::string err;
        if (!w.Begin(packPath, &err)) std::abort();
        w.Add("StartUp.s", Bytes(texts[3]), &err);
        w.Add("system\\etc\\Game.dat", Bytes("GameTitle=seed\r\nFPSLimit=60\r\n"), &err);
        w.Add("bg\\long.txt", Bytes(texts[2]), &err);
        w.Add("empty.bin", {}, &err);
        if (k.hash) w.WriteHashFile(hashPath, &err);
        if (!w.Finish(&err)) {
            std::cerr << err << "\n";
            std::abort();
        }
        std::string seed;
        if (k.hash) {
            const std::string index = ReadAll(hashPath);
            seed = std::string(1, '\x05') + U32(static_cast<uint32_t>(index.size())) + index;
        } else {
            seed = std::string(1, '\x06');
        }
        Put("pack", k.name, seed + ReadAll(packPath));
    }
    fs::remove_all(dir);
}

void Script() {
    const std::string sub = "@@sub\r\n\\ret\r\n@@sub2\r\nmore text\\wait\r\n";
    const std::vector<std::string> scripts = {
        "@@main\r\n\\var int,a\\a=1\r\ntext\\wait\r\n@@@sub.s\r\n@@@!sub.s\r\n@@@!sub.s\r\n@@end\r\n",
        "@@!silent\r\n\t\"quoted \\ back\\slash\" {brace \\ inside}\\x\r\n// comment\r\ncode /* c */ more\\y\r\n",
        "@@a\r@@b\n@@c\r\n/* multi\r\nline */\\z\\z\\z\r\n@@a\r\n\\go,@@b\r\n",
        "\\if,1\\then\\else\\fi\r\n\r\n\r\n@@x",
    };
    int n = 0;
    for (const std::string& s : scripts) {
        Put("script_reader", "script" + std::to_string(n), s + std::string(1, '\0') + sub);
        ++n;
    }
    Put("script_reader", "no_sub", scripts[1]);

    zelfuzz::MemGameFiles files;
    zelfuzz::AddReaderStateGame(files);
    struct Where {
        const char* file;
        const char* label;
        int offset;
        int column;
    };
    const Where where[] = {
        {"main.s", "@@main", 1, 3}, {"main.s", "@@tail", 0, 0}, {"main.s", "@@sub", 1, 0},
        {"other.s", "@@other2", 1, 2}, {"other.s", "@@other", 0, 0},
    };
    n = 0;
    for (const Where& w : where) {
        TZelReader reader(&files);
        if (!reader.LoadFile(w.file, true) || !reader.JumpToLabel(w.label, w.offset, w.column)) std::abort();
        if (n % 2 == 1) {
            reader.AddReplacement("text", "TEXT", 0);
            reader.AddReplacement("/l(in)e/i", "x", 1);
            reader.AddReplacement("s/(\\w+) (\\w+)/$2 $1/g", "", 2);
            reader.AddReplacement("/,/", "+", 3);
            reader.AddReplacement("tr/a-z/A-Z/", "", 4);
            reader.SetTextPrefix("\\mes ");
            reader.SetEmptyLineText("\\wait");
        }
        TMemoryStream s;
        reader.SaveState(s);
        Put("reader_state", "state" + std::to_string(n), s.Bytes());
        ++n;
    }

    TScriptThread thread;
    thread.Reset();
    TMemoryStream t0;
    thread.SaveToStream(t0);
    Put("thread_state", "reset", t0.Bytes());
    TScriptRoutine* r = thread.NewChild();
    TScriptBlock* base = r->NewChild();
    base->kind = bkBase;
    base->file = "main.s";
    base->label = "@@main";
    base->lineOffset = 3;
    base->column = 7;
    TScriptBlock* b = r->NewChild();
    b->kind = bkForRun;
    b->values[0] = "i<10";
    b->values[1] = "i=i+1";
    r->scopedObjects[0] = "msg";
    r->waitState = 3;
    r->waitTime = 500;
    r->jumpLabel = "@@skip";
    r->waitArgument = "arg";
    TMemoryStream t1;
    thread.SaveToStream(t1);
    Put("thread_state", "nested", t1.Bytes());
}

void Values() {
    zelfuzz::NameObjects objects;
    TValue v(&objects);
    TMemoryStream empty;
    v.SaveToStream(empty);
    Put("value_store", "empty", empty.Bytes());
    v.DeclareItem("n", "int", false, 7, rkInteger, 0, {1, 1, 1, 1});
    v.DeclareItem("grid", "int", false, 3, rkInteger, 2, {3, 2, 1, 1});
    v.DeclareItem("words", "str", false, 7, rkString, 0, {2, 1, 1, 1});
    v.DeclareItem("pics", "img", false, 7, rkObject, 0, {2, 1, 1, 1});
    v.DeclareItem("refs", "obj", true, 7, rkObject, 0, {2, 1, 1, 1});
    v.WriteInteger("n", 0, 42);
    v.WriteString("words", 1, "two");
    v.WriteObjectName("refs", 0, "pics[0]");
    TMemoryStream full;
    v.SaveToStream(full);
    Put("value_store", "mixed", full.Bytes());

    const char* expressions[] = {
        "1+2*3-4/2%3",
        "a=m[1,2]+5",
        "s==\"text\"&&a!=0||b",
        "$1F<<3>>1|0x10&7^2",
        "(a++)*-b+(m[0,0]--)",
        "t[1,1,1,1]=\"x\"+s",
        "o=\"\"",
        "ro=5",
        "\"a'''b\"<=\"c\"",
        "((((1))))>=-2147483648/-1",
    };
    int n = 0;
    for (const char* e : expressions) Put("evaluate", "expr" + std::to_string(n++), std::string(e));
}

void Texts() {
    Put("settings", "game", std::string("GameTitle=seed game\r\nScreenWidth=1024\r\nScreenHeight=$300\r\n"
                                        "CodeKey=12345\r\nThumWidth=128\r\nDLLObject[0]=DLL\\obj.so,obj\r\n"
                                        "ConfigStartupSkip=TRUE\r\nMulSEVolume=200\r\n"));
    Put("settings", "config", std::string("FullScreen=1\r\nFPSLimit=60\r\nFont[0].Name=IPAGothic\r\nFont[0].AA=2\r\n"
                                          "ActorVolume[3]=100\r\nActorMute[31]=1\r\nMessageAlpha=$FF\r\n"
                                          "BGMVolume=-1\r\n; comment\r\nnot an entry\r\n"));
    Put("settings", "tables", std::string("act[0]=voice_a,voice_b // note\r\nact[31]=x\r\n"
                                          "font[0].list[0]=system\r\nfont[0].list[1]=fonts\\IPAMincho\r\n"
                                          "font[7].list[31]=system_fix\r\nDLLObject[0]=DLL\\obj.so,obj\r\n"));
    Put("message_table", "messages", std::string("EXIT_Text=ゲームを終了しますか？\r\nDirectDrawERROR=描画に失敗\r\n"
                                                 "=no key\r\nEMPTY=\r\nno equals sign\r\n"));
    Put("split_fields", "commas", std::string("\x00\x03" ",a,b,,\"c,d\",(e,f)", 18));
    Put("split_fields", "blanks", std::string("\x07\x00" ", a , b // comment, c", 22));
    Put("split_fields", "two_byte_sep", std::string("\x08\x00" "::x::y::", 10));

    const std::pair<const char*, const char*> regexps[] = {
        {"m/a(b+)c/i", "xABBBCx abc"},
        {"s/(\\w+)/<$1>/g", "hello world"},
        {"tr/a-z/A-Z/", "abc"},
        {"/,/", "a,b,,c,,"},
        {"/(,)/", "a,b,c"},
        {"s#x#\\n\\t$&#", "axbx"},
        {"/\x82\xA0.\x82\xA2/k", "\x82\xA0\x82\xA1\x82\xA2"},
        {"/^(a|b)*?$/msx", "abab\nba"},
    };
    int n = 0;
    for (const auto& [p, s] : regexps) {
        std::string seed(1, static_cast<char>(n));
        seed += p;
        seed += '\0';
        seed += s;
        Put("regexp", "re" + std::to_string(n++), seed);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: zel_fuzz_make_seeds OUTPUT_DIR\n";
        return 2;
    }
    seeds::OutputFolder() = argv[1];
    Storage();
    Script();
    Values();
    Texts();
    return 0;
}
