// Crash safety of the save files: a headless zel that saves one slot and the
// system data over and over is killed with SIGKILL at random moments; after
// every kill both files must read whole (the old or the new version, never
// a torn one). ZEL_KILL_COUNT sets the number of kills (default 40).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "E2eSupport.h"
#include "base/AtomicFile.h"
#include "base/MemStream.h"
#include "storage/PackLib.h"

namespace fs = std::filesystem;

using namespace zel::e2e;

namespace {

// A file that is one whole checksummed wrapper starting with the magic.
bool Whole(const fs::path& p, std::string_view magic) {
    std::string bytes;
    if (!zel::ReadWholeFile(p.string(), bytes)) return false;
    zel::TMemoryStream in(bytes);
    auto payload = zel::UnwrapChecked(in);
    return payload && in.AtEnd() && payload->View().substr(0, magic.size()) == magic;
}

pid_t StartZel(const fs::path& root, const fs::path& log) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        }
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        ::execl(ZEL_BIN, ZEL_BIN, "--headless", "--frames", "2000000", "--step", "1", root.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

TEST(SaveKill, KilledWhileSavingLeavesWholeFiles) {
    ASSERT_TRUE(std::string(ZELPACK_BIN).size() > 0) << "zelpack is not built";
    const char* env = std::getenv("ZEL_KILL_COUNT");
    const int kills = env ? std::atoi(env) : 40;
    const fs::path work = fs::temp_directory_path() / ("zel_savekill_" + std::to_string(::getpid()));
    fs::remove_all(work);
    const fs::path root = work / "game";
    fs::create_directories(root / "GameData");
    const fs::path src = fs::path(ZEL_SOURCE_DIR) / "tests" / "games" / "savekill";
    ASSERT_EQ(Shell(std::string(ZELPACK_BIN) + " create " + (root / "GameData" / "data0.pack").string() + " " +
                    src.string() + " --sjis-from-utf8 >/dev/null"),
              0);
    const fs::path slot = root / "SaveData" / "slot.svd", sys = root / "SaveData" / "SystemData.dat";
    std::mt19937 rng(12345);
    int lost = 0, killedWhileRunning = 0;
    for (int i = 0; i < kills; ++i) {
        std::error_code ec;
        const auto before = fs::last_write_time(slot, ec);
        const pid_t pid = StartZel(root, work / "log.txt");
        ASSERT_GT(pid, 0);
        // Once this run has written the slot, wait a random moment into its saving.
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            std::error_code e2;
            if (fs::exists(sys) && fs::last_write_time(slot, e2) != before && !e2) break;
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 40000)(rng)));
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == 0) ++killedWhileRunning;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        if (!Whole(slot, "ZELSAVE110") || !Whole(sys, "ZELSYSDATA12")) {
            ++lost;
            ADD_FAILURE() << "kill " << i << ": a file does not read whole";
        }
        // Temporary files of interrupted writes stay beside the saves; they never replace them.
        for (const auto& e : fs::directory_iterator(root / "SaveData"))
            if (e.path().filename().string().find(".tmp") != std::string::npos) fs::remove(e.path());
    }
    std::printf("kills: %d (%d while the engine was saving), lost or unreadable files: %d\n", kills,
                killedWhileRunning, lost);
    EXPECT_EQ(lost, 0);
    // A run may end before its kill only when its binary went missing (a rebuild under the test).
    EXPECT_GE(killedWhileRunning * 10, kills * 9);
    fs::remove_all(work);
}

}  // namespace
