// zelpack: builds, lists, extracts and verifies the pack archives a game ships.
//
//   zelpack create OUT.pack FOLDER [--version 1|2] [--compress] [--scramble] [--hash] [--sjis-from-utf8]
//   zelpack list PACK
//   zelpack extract PACK FOLDER
//   zelpack verify PACK
#include <CLI/CLI.hpp>

#include <iostream>

#include "storage/PackFolder.h"

int main(int argc, char** argv) {
    CLI::App app{"zelpack: builds, lists, extracts and verifies game pack archives"};
    app.require_subcommand(1);

    zel::TPackFolderOptions options;
    std::string out, folder, pack;

    auto* create = app.add_subcommand("create", "pack every file under FOLDER into OUT.pack");
    create->add_option("OUT", out, "the pack to write")->required();
    create->add_option("FOLDER", folder, "the folder whose files become the entries")->required();
    create->add_option("--version", options.version, "pack format version (default 2)")
        ->check(CLI::IsMember({1, 2}));
    create->add_flag("--compress", options.compress, "compress the entries");
    create->add_flag("--scramble", options.scramble, "scramble the entries");
    create->add_flag("--hash", options.hash, "also write the .hash index beside the pack");
    create->add_flag("--sjis-from-utf8", options.sjisFromUtf8,
                     ".s/.txt/.dat files are UTF-8 text: store them as Shift-JIS (names are always converted)");

    auto* list = app.add_subcommand("list", "list the entries of a pack");
    list->add_option("PACK", pack, "the pack to list")->required();

    auto* extract = app.add_subcommand("extract", "write every entry of a pack below FOLDER");
    extract->add_option("PACK", pack, "the pack to extract")->required();
    extract->add_option("FOLDER", folder, "where the files go")->required();

    auto* verify = app.add_subcommand("verify", "check every checksum, entry and index of a pack");
    verify->add_option("PACK", pack, "the pack to verify")->required();

    CLI11_PARSE(app, argc, argv);

    try {
        if (create->parsed()) return zel::PackFolder(out, folder, options, std::cout, std::cerr);
        if (list->parsed()) return zel::ListPack(pack, std::cout, std::cerr);
        if (extract->parsed()) return zel::ExtractPack(pack, folder, std::cout, std::cerr);
        if (verify->parsed()) return zel::VerifyPack(pack, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "zelpack: " << e.what() << "\n";
        return 1;
    }
    return 1;
}
