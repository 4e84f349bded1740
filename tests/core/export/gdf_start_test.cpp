// A GDF recording's start goes into the EDF+ header it is saved as, whether
// the reader handed over the whole file or serves it as it is shown.

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/Session.h"
#include "export/SaveCutout.h"
#include "signal/OpenFlow.h"
#include "support/PeerExpected.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace koru {
namespace {

ChannelSelection First() {
    ChannelSelection s;
    s.selected.fill(false);
    s.selected[0] = true;
    return s;
}

// GDF 1 holds the start as "YYYYMMDDhhmmsscc" at byte 168; EDF's header
// wants "dd.mm.yyhh.mm.ss" at 168, and with no start known the writer's
// "01.01.85" "00.00.00".
TEST(GdfStartTest, SavedEdfCarriesTheGdfStart) {
    struct Case {
        const char* name;
        const char* serveFrom;
    };
    const Case cases[] = {
        {"biosig_t310_ERDSMaps_sample.gdf", "0"},
        {"biosig_t310_ERDSMaps_sample.gdf", ""},
        {"ch1undch2stoerung.gdf", "0"},
        {"test_1ch.gdf", "0"},
    };
    test::TempDir dir;
    test::ScriptedUi ui;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (*c.serveFrom ? " served" : " whole"));
        const std::string path = test::kPeer + "/gdf/" + c.name;
        const std::string gdf = test::ReadText(path);
        std::string want = "01.01.8500.00.00";
        if (gdf.compare(0, 5, "GDF 1") == 0) {
            const auto part = [&](std::size_t at, std::size_t n) {
                return gdf.substr(168 + at, n);
            };
            want = part(6, 2) + "." + part(4, 2) + "." + part(2, 2) + part(8, 2) + "." +
                   part(10, 2) + "." + part(12, 2);
        }
        if (*c.serveFrom)
            setenv("KORU_READER_SERVE_BYTES", c.serveFrom, 1);
        else
            unsetenv("KORU_READER_SERVE_BYTES");
        SignalDocument doc;
        ASSERT_EQ(OpenSignalFile(doc, path, ui), OpenOutcome::Opened);
        unsetenv("KORU_READER_SERVE_BYTES");
        LoadRecording(doc, ui);
        const std::string out = dir.File("cut.edf");
        ASSERT_TRUE(SaveCutout(doc, Cutout::FromTags(0, 99),
                               SaveRequest{out, SaveMode::Replace, First(), {}}, ui)
                        .Ok());
        const std::string edf = test::ReadText(out);
        ASSERT_GT(edf.size(), 184u);
        EXPECT_EQ(edf.substr(168, 16), want);
    }
}

}  // namespace
}  // namespace koru
