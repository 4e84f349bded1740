// GDF and SCP-ECG through the reader process, where no independent reader's
// values exist: the values are decoded from the file's bytes by hand here.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "signal/ForeignSource.h"
#include "support/PeerExpected.h"

namespace koru {
namespace {

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint16_t U16(const std::string& b, std::size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                                 static_cast<unsigned char>(b[at + 1]) << 8);
}

// GDF 1.24, two uint16 signals of one sample a record, digital 0..1023 over
// -5..5 (header read by hand: 768 header bytes, 16040 records of 4 bytes).
// Read in parts, signal 1 came out 0 from frame 1024 on.
TEST(LibrarySourceTest, Gdf124ReadsEveryFrameAsStored) {
    const std::string path = test::kPeer + "/gdf/ch1undch2stoerung.gdf";
    const std::string file = Bytes(path);
    ASSERT_EQ(file.size(), 768u + 16040u * 4u);
    std::string error;
    const auto source = OpenForeignSource(path, error);
    ASSERT_TRUE(source) << error;
    ASSERT_EQ(source->Signals().size(), 2u);
    const std::vector<std::vector<int16_t>> got = test::ReadAll(*source, {0, 1});
    const double step = 10.0 / 1023;
    for (std::size_t c = 0; c < 2; ++c) {
        const ForeignSignal& s = source->Signals()[c];
        ASSERT_EQ(got[c].size(), 16040u);
        int misses = 0, moving = 0, clipped = 0;
        for (std::size_t k = 0; k < got[c].size(); ++k) {
            const uint16_t digital = U16(file, 768 + 4 * k + 2 * c);
            moving += k >= 1024 && got[c][k] != got[c][k - 1];
            // Signal 2 ends in bytes far past its digital range (up to 51992):
            // those past 16 bits from physical zero show at the top, not wrapped.
            if (digital > 33000) {
                clipped += got[c][k] == INT16_MAX;
                continue;
            }
            const double want = -5 + digital * step;
            misses += std::abs(test::Physical(s, got[c][k], 1) - want) > test::Tolerance(s, step);
        }
        EXPECT_EQ(misses, 0) << "signal " << c;
        EXPECT_EQ(clipped, c == 0 ? 0 : 132) << "signal " << c;
        if (c == 0) {
            EXPECT_GT(moving, 1000) << "signal 1 flat past frame 1024";
        }
    }
}

// A file the library does not know is refused with the library's reason; a
// file whose first bytes are not what its name says never reaches it; a
// missing reader program is named.
TEST(LibrarySourceTest, RefusalsSayWhy) {
    std::string error;
    EXPECT_FALSE(OpenForeignSource(test::kPeer + "/scp/demodata_ECG_0_62.SCP", error));
    EXPECT_NE(error.find("Dataformat not known"), std::string::npos) << error;

    const std::string misnamed = testing::TempDir() + "/misnamed.gdf";
    std::ofstream(misnamed, std::ios::binary) << Bytes(test::kPeer + "/edf/edfdata.edf");
    EXPECT_FALSE(OpenForeignSource(misnamed, error));
    EXPECT_EQ(error, "The file does not start as its name says.");

    setenv("KORU_READER", "/nonexistent/koru-reader", 1);
    EXPECT_FALSE(OpenForeignSource(test::kPeer + "/gdf/test_1ch.gdf", error));
    unsetenv("KORU_READER");
    EXPECT_EQ(error, "The GDF reader (koru-reader) is not installed.");
}

}  // namespace
}  // namespace koru
