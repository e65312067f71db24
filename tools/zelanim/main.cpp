// zelanim: builds ABMP animations (".b") from pictures and a text
// description, and dumps any ".b" back to that text (see README.md).
//
//   zelanim build DESC OUT.b
//   zelanim dump IN.b [--extract FOLDER]
#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "anim/AnimationBmpReader.h"
#include "anim/AnimationBmpText.h"
#include "anim/AnimationBmpWriter.h"
#include "base/MemStream.h"

namespace fs = std::filesystem;

namespace {

bool ReadFile(const fs::path& p, std::vector<uint8_t>& out, std::string& err) {
    std::ifstream f(p, std::ios::binary);
    if (!f) {
        err = "cannot be read";
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(f), {});
    return true;
}

bool WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

int Build(const std::string& desc, const std::string& out) {
    std::vector<uint8_t> text;
    std::string err;
    if (!ReadFile(desc, text, err)) {
        std::cerr << desc << ": " << err << "\n";
        return 1;
    }
    const fs::path base = fs::path(desc).parent_path();
    zel::TABMPFile file;
    const auto reader = [&](const std::string& path, std::vector<uint8_t>& bytes, std::string& why) {
        return ReadFile(base / path, bytes, why);
    };
    if (!zel::ParseAnimationText(std::string(text.begin(), text.end()), reader, file, err)) {
        std::cerr << desc << ": " << err << "\n";
        return 1;
    }
    std::vector<uint8_t> bytes;
    if (!zel::WriteABMP(file, 11, bytes, &err)) {
        std::cerr << desc << ": " << err << "\n";
        return 1;
    }
    if (!WriteFile(out, bytes)) {
        std::cerr << out << ": cannot be written\n";
        return 1;
    }
    return 0;
}

int Dump(const std::string& in, const std::string& extract) {
    std::vector<uint8_t> bytes;
    std::string err;
    if (!ReadFile(in, bytes, err)) {
        std::cerr << in << ": " << err << "\n";
        return 1;
    }
    zel::TMemoryStream s(std::move(bytes));
    zel::TABMPFile file;
    if (!zel::ReadABMP(s, file, &err)) {
        std::cerr << in << ": " << err << "\n";
        return 1;
    }
    if (!extract.empty()) {
        std::error_code ec;
        fs::create_directories(extract, ec);
        for (int snd = 0; snd < 2; ++snd) {
            const auto& list = snd ? file.sounds : file.images;
            for (size_t i = 0; i < list.size(); ++i) {
                const fs::path p = fs::path(extract) / zel::DumpResourceName(list[i], i, snd);
                if (!WriteFile(p, list[i].bytes)) {
                    std::cerr << p.string() << ": cannot be written\n";
                    return 1;
                }
            }
        }
    }
    std::cout << zel::PrintAnimationText(file);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"zelanim: builds ABMP animations from pictures and a text description, and dumps them"};
    app.require_subcommand(1);
    std::string desc, out, in, extract;
    auto* build = app.add_subcommand("build", "build OUT.b from the description DESC");
    build->add_option("DESC", desc, "the UTF-8 description")->required();
    build->add_option("OUT", out, "the animation to write")->required();
    auto* dump = app.add_subcommand("dump", "print the description of an animation");
    dump->add_option("IN", in, "the animation to read")->required();
    dump->add_option("--extract", extract, "also write its pictures and sounds into this folder");
    CLI11_PARSE(app, argc, argv);
    if (*build) return Build(desc, out);
    return Dump(in, extract);
}
