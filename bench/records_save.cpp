// Save and load of a large game: 5,000 global variables, 50 image objects and
// string arrays that bring the game state to about 1 MiB; and the header
// reads of 100 slots that a save screen makes. The compositor's picture
// JPEGs (a game's screen is saved as two JPEG pictures) are timed apart.
// Goals: save and load 20 ms each without the JPEG work, 100 headers 50 ms.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "base/MemStream.h"
#include "graphics/Compositor.h"
#include "records/ZelRecords.h"
#include "records/ZelSaveData.h"
#include "script/ZelScriptLib.h"
#include "storage/GameFiles.h"

namespace {

namespace fs = std::filesystem;

class OneFile : public zel::IGameFiles {
public:
    bool GameFileExists(std::string_view p) override { return p == "main.s"; }
    std::unique_ptr<zel::TMemoryStream> OpenGameFile(std::string_view p) override {
        if (p != "main.s") return nullptr;
        return std::make_unique<zel::TMemoryStream>(std::string_view("@@top\n\\time,100000\n"));
    }
};

struct Game {
    fs::path folder = fs::temp_directory_path() / ("zel_bench_records_" + std::to_string(::getpid()));
    OneFile files;
    std::unique_ptr<zel::TZelScript> script;
    std::unique_ptr<zel::TZelRecords> records;

    Game() {
        fs::create_directories(folder);
        script = std::make_unique<zel::TZelScript>(&files);
        zel::TRecordsConfig rc;
        rc.folder = folder.string();
        records = std::make_unique<zel::TZelRecords>(*script, rc);
        records->LoadSystemDataAtStart();
        script->ExecuteLine("\\go,@@top,main.s");
        for (int i = 0; i < 5000; i += 50) {
            std::string line = "\\gvar,int";
            for (int j = i; j < i + 50; ++j) line += ",v" + std::to_string(j);
            script->ExecuteLine(line);
        }
        std::string imgs = "\\gvar,img";
        for (int i = 0; i < 50; ++i) imgs += ",im" + std::to_string(i);
        script->ExecuteLine(imgs);
        script->ExecuteLine("\\gvar,str,text[4096]");
        const std::string text(250, 'x');
        for (int i = 0; i < 4096; ++i)
            script->ExecuteLine("\\cal,text[" + std::to_string(i) + "]=\"" + text + std::to_string(i) + "\"");
        for (int i = 0; i < 5000; i += 7) script->ExecuteLine("\\cal,v" + std::to_string(i) + "=" + std::to_string(i * 31));
    }
    ~Game() {
        records.reset();
        script.reset();
        fs::remove_all(folder);
    }
};

Game& TheGame() {
    static Game g;
    return g;
}

void BM_SaveGame(benchmark::State& state) {
    Game& g = TheGame();
    for (auto _ : state) benchmark::DoNotOptimize(g.records->SaveGame("bench.svd", true));
    state.counters["state_bytes"] = static_cast<double>(g.records->GameStateImage().size());
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(g.folder / "bench.svd"));
}
BENCHMARK(BM_SaveGame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_LoadGame(benchmark::State& state) {
    Game& g = TheGame();
    g.records->SaveGame("bench.svd", true);
    for (auto _ : state) benchmark::DoNotOptimize(g.records->LoadGame("bench.svd"));
}
BENCHMARK(BM_LoadGame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_HundredHeaders(benchmark::State& state) {
    Game& g = TheGame();
    g.records->SaveGame("bench.svd", true);
    for (int i = 0; i < 100; ++i)
        fs::copy_file(g.folder / "bench.svd", g.folder / ("slot" + std::to_string(i) + ".svd"),
                      fs::copy_options::overwrite_existing);
    for (auto _ : state) {
        int ok = 0;
        for (int i = 0; i < 100; ++i) {
            zel::TZelSaveData d(46203);
            ok += d.ReadFile((g.folder / ("slot" + std::to_string(i) + ".svd")).string(), true, false);
        }
        benchmark::DoNotOptimize(ok);
    }
}
BENCHMARK(BM_HundredHeaders)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The compositor's record: its state block and the JPEGs of the frame (800 x 600).
void BM_CompositorJpegState(benchmark::State& state) {
    zel::TZelGraphic graphic;
    graphic.SetScreenSize(800, 600);
    graphic.SetBackground(0xFF336699u);
    graphic.Render(false, 0xFFFF);
    size_t bytes = 0;
    for (auto _ : state) {
        zel::TMemoryStream s;
        graphic.SaveState(s);
        bytes = s.Size();
        s.Rewind();
        graphic.LoadState(s);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CompositorJpegState)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
