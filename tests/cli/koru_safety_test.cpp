// `koru` where it could lose a user's data: protected targets and memory
// running out. Appends from several runs at once and killed ones are in
// scripts/append_stress.sh.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ReadText;

struct Outcome {
    int status;
    std::string err;
};

struct KoruSafety : ::testing::Test {
    test::TempDir dir;

    // `shell` runs first in the same shell (a ulimit, say); a run that hangs
    // ends after twenty seconds with status 124.
    Outcome Koru(const std::string& args, const std::string& shell = "") {
        const std::string err = dir.File("stderr");
        const std::string command = (shell.empty() ? "" : shell + " && ") + "timeout 20 " +
                                    KORU_CLI + " " + args + " >/dev/null 2>" + err + " </dev/null";
        const int raw = std::system(command.c_str());
        Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(err)};
        std::filesystem::remove(err);
        return r;
    }
};

TEST_F(KoruSafety, AWriteProtectedTargetIsRefusedByNameAndKept) {
    const std::string rec = dir.Write("rec.sig", test::SigFile(2, 1000, 300));
    dir.WriteText("in.txt", "Number of Channels: 1  Interval:1000\r\nScale:\r\nd\r\n1\r\n2\r\n");
    struct Case {
        std::string args, title;
    };
    const std::string target = dir.Write("kept.sig", test::SigFile(2, 1000, 50));
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    const std::string before = ReadText(target);
    const Case cases[] = {
        {"cut " + rec + " " + target + " --from 10 --to 20 --channels 1,2", "Save Error"},
        {"cut --append " + rec + " " + target + " --from 10 --to 20 --channels 1,2",
         "Append Error"},
        {"convert " + dir.File("in.txt") + " " + target, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome r = Koru(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(target + ": the file is write-protected"), std::string::npos) << r.err;
        if (!c.title.empty()) {
            EXPECT_EQ(r.err.rfind(c.title + ": Cannot write " + target, 0), 0u);
        }
        EXPECT_EQ(ReadText(target), before);
    }
}

TEST_F(KoruSafety, AHugeAnnotationFileUnderAMemoryLimitIsAnnouncedNotAnAbort) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#endif
    dir.WriteText("big.hea", "big 1 250 1000\r\nbig.dat 16 200 16 0 0 0 0 I\r\n");
    dir.Write("big.dat", std::vector<uint8_t>(2000, 0));
    {
        // 256 MiB of beats one sample apart: the word 0x0401, type 1 (normal)
        // and a time step of 1, then the end word.
        std::ofstream atr(dir.File("big.atr"), std::ios::binary);
        std::string block(1 << 20, '\0');
        for (std::size_t i = 0; i < block.size(); i += 2) {
            block[i] = 0x01;
            block[i + 1] = 0x04;
        }
        for (int i = 0; i < 256; ++i)
            atr.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    const Outcome r = Koru("info " + dir.File("big.hea"), "ulimit -v 1048576");
    std::filesystem::remove(dir.File("big.atr"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Markers: Only the first 16777216 annotations of " + dir.File("big.atr") +
                         " were read; the rest are left out."),
              std::string::npos)
        << r.err;
    // The labelled list of 16 million does not fit the limit: said, and the markers stay.
    EXPECT_NE(r.err.find("Annotations: There is not enough memory for the annotation list; only "
                         "the markers are kept."),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace koru
