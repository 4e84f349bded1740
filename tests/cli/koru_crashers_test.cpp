// Files that crashed, hung or ran the general reading library out of memory
// (tests/data/crashers), and the real GDF files that crashed a cut: `koru`
// refuses the former with a reason and reads the latter whole, and never
// dies by a signal or waits past ten seconds.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

const std::string kCrashers = std::string(KORU_REAL_DATA_DIR) + "/../crashers";

struct KoruRun {
    bool exited = false;
    int status = -1;
    double seconds = 0;
    std::string out, err;
};

struct CrasherFixture : ::testing::Test {
    test::TempDir dir;

    KoruRun Koru(const std::string& args) {
        const std::string out = dir.File("stdout"), err = dir.File("stderr");
        const std::string command = "timeout -s KILL 10 " + std::string(KORU_CLI) + " " + args +
                                    " >" + out + " 2>" + err + " </dev/null";
        const auto start = std::chrono::steady_clock::now();
        const int raw = std::system(command.c_str());
        KoruRun r;
        r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        r.exited = WIFEXITED(raw) && WEXITSTATUS(raw) != 137;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = test::ReadText(out);
        r.err = test::ReadText(err);
        return r;
    }
};

TEST_F(CrasherFixture, EveryCrasherIsRefusedWithAReason) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kCrashers)) {
        const std::string path = entry.path().string();
        const std::string ext = entry.path().extension().string();
        if (ext != ".gdf" && ext != ".scp") continue;
        ++files;
        // The cut of a real file that crashed a read in parts is sound.
        const std::string name = entry.path().filename().string();
        const bool sound = name.starts_with("02_");
#ifdef __SANITIZE_ADDRESS__
        // The sanitizer's allocator does not notice the heap corruption that
        // aborts the reader elsewhere: the file may then open. Never a death.
        if (name.find("SIGABRT") != std::string::npos) {
            for (const std::string& sub : {"info " + path}) {
                const KoruRun r = Koru(sub);
                EXPECT_TRUE(r.exited && (r.status == 0 || r.status == 1)) << sub;
            }
            continue;
        }
#endif
        for (const std::string& sub :
             {"info " + path, "cut " + path + " " + dir.File("o.sig") + " --from 0 --to 9"}) {
            SCOPED_TRACE(sub);
            const KoruRun r = Koru(sub);
            ASSERT_TRUE(r.exited) << "ended by a signal or the time limit";
            EXPECT_LT(r.seconds, 10);
            if (sound) {
                EXPECT_EQ(r.status, 0) << r.err;
                continue;
            }
            EXPECT_EQ(r.status, 1);
            EXPECT_NE(r.err.find("Invalid file"), std::string::npos) << r.err;
            EXPECT_EQ(r.out.find("Channels"), std::string::npos) << r.out;
        }
    }
    EXPECT_EQ(files, 22);
}

// The two real files whose cut died in the library read all their frames
// (counts from the independent reader's JSON); the library's own warnings
// never reach standard output.
TEST_F(CrasherFixture, RealGdfFilesCutWhole) {
    const std::string peer = KORU_PEER_DATA_DIR;
    for (const auto& [file, frames] : {std::pair<std::string, int>{"MI128.gdf", 49673},
                                       {"biosig_t310_ERDSMaps_sample.gdf", 97419}}) {
        SCOPED_TRACE(file);
        const std::string out = dir.File(file + ".sig");
        const KoruRun cut = Koru("cut " + peer + "/gdf/" + file + " " + out + " --from 0 --to " +
                                 std::to_string(frames - 1));
        ASSERT_EQ(cut.status, 0) << cut.err;
        const KoruRun info = Koru("info " + out);
        EXPECT_NE(info.out.find("Frames: " + std::to_string(frames) + "\n"), std::string::npos)
            << info.out;
        const KoruRun original = Koru("info " + peer + "/gdf/" + file);
        EXPECT_EQ(original.out.find("Warning"), std::string::npos) << original.out;
    }
}

}  // namespace
}  // namespace koru
