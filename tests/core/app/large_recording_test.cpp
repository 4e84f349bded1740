// Recordings too large for what the program can hold or count. A long one
// in memory mode is read on demand, all of it, under an address-space limit
// far below its size. One loaded whole that is larger
// than the memory the program may take: the load stops with the warning,
// keeps what it read, and the view goes on painting; a back buffer that
// cannot be had leaves an empty view instead of an exception (once with a
// reserve injected, once under a real address-space limit, ulimit -v, in a
// child process). One of more frames than a signed 32-bit count: a warning,
// and the rest opens as usual. Sparse files keep them cheap.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/Memory.h"
#include "signal/OpenFlow.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::ViewFixture;

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr const char* kWarning = "Insufficient Memory to load complete file";

// Columns from x0 to x1 (exclusive) that show channel 1's trace.
int TraceColumns(const ViewFixture& fx, int x0, int x1) {
    int n = 0;
    for (int x = x0; x < x1; ++x) n += fx.RowsOf(x, fx.ColorOf(0)).empty() ? 0 : 1;
    return n;
}

// The view scrolled so that the last loaded frame sits at column 100.
void ShowEndOfLoad(ViewFixture& fx) {
    const int64_t loaded = fx.session.document().ReadableFrames();
    const int32_t spd = fx.session.timeBase().Spd();
    fx.view->Reposition(static_cast<int32_t>(loaded / spd) - 10);
    fx.Full();
}

TEST(LargeRecording, TheLoadStopsAboveTheReserveAndTheViewGoesOn) {
    ViewFixture fx;
    fx.TracesOnly();
    fx.Solo(0, 2);
    const std::size_t chunk = FrameStore::ChunkFramesFor(1);
    constexpr uint64_t kReserve = 256 * kMiB;
    // Room above the reserve for one chunk and a half of one channel.
    fx.session.document().SetMemoryGuard(
        MemoryGuard([&] { return kReserve + chunk * 2 * 3 / 2; }, kReserve));
    fx.Open(1, 1000, static_cast<int64_t>(3 * chunk), test::Wander);

    const SignalDocument& doc = fx.session.document();
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].text, kWarning);
    EXPECT_EQ(fx.ui.messages[0].title, "WARNING");
    EXPECT_TRUE(doc.IsOpen());
    EXPECT_EQ(doc.FrameCount(), static_cast<int32_t>(3 * chunk));
    EXPECT_EQ(doc.ReadableFrames(), static_cast<int64_t>(chunk));
    EXPECT_EQ((*doc.FindFrame(static_cast<int64_t>(chunk) - 1))[0],
              test::Wander(static_cast<int64_t>(chunk) - 1, 0));

    // Drawn up to where the load stopped, blank after it; scrolling on past
    // the end still works.
    ShowEndOfLoad(fx);
    EXPECT_GT(TraceColumns(fx, 0, 95), 90);
    EXPECT_EQ(TraceColumns(fx, 110, 400), 0);
    fx.view->Reposition(fx.view->HorizontalRange());
    fx.Full();
    EXPECT_EQ(TraceColumns(fx, 0, 400), 0);
}

TEST(LargeRecording, ABackBufferThatCannotBeHadLeavesAnEmptyView) {
    RasterCanvas canvas(10, 10);
    // More than any address space offers.
    EXPECT_FALSE(canvas.Resize(2'000'000'000, 2'000'000'000));
    EXPECT_EQ(canvas.Width(), 0);
    EXPECT_TRUE(canvas.Resize(20, 5));
    EXPECT_EQ(canvas.Width(), 20);
    EXPECT_EQ(BackBufferFailedText(30000, 20000),
              "KORU VIEW -- Not enough memory to draw the view at 30000 x 20000 pixels.");
}

// In the child: a failed check says what and ends the child with status 1.
void Require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "failed: %s\n", what);
    std::_Exit(1);
}

uint64_t AddressSpaceInUse() {
    unsigned long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    return pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// A one-channel recording of `bytes` samples that takes no disk: all but
// its header is a hole.
std::string SparseRecording(const test::TempDir& dir, off_t bytes,
                            const std::string& name = "huge.sig") {
    const std::string path = dir.Write(name, test::SigHeaderBytes(1, 1000));
    const int fd = ::open(path.c_str(), O_WRONLY);
    const bool sized = fd >= 0 && ::ftruncate(fd, 326 + bytes) == 0;
    if (fd >= 0) ::close(fd);
    return sized ? path : std::string();
}

void LoadUnderAddressSpaceLimit() {
    ViewFixture fx;
    fx.TracesOnly();
    const std::string path = SparseRecording(fx.dir, 1024 * static_cast<off_t>(kMiB));
    Require(!path.empty(), "sparse recording made");
    constexpr uint64_t kRoom = 192 * kMiB, kReserve = 64 * kMiB;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = AddressSpaceInUse() + kRoom;
    Require(::setrlimit(RLIMIT_AS, &limit) == 0, "limit set");

    SignalDocument& doc = fx.session.document();
    doc.SetMemoryGuard(MemoryGuard(AvailableMemory, kReserve));
    // A recording this long is read on demand unless told otherwise.
    doc.SetWholeLoadLimitForTesting(UINT64_MAX);
    fx.session.StartUp({});
    fx.session.OpenRecording(path, false);
    Require(fx.ui.messages.size() == 1 && fx.ui.messages[0].text == kWarning, "one warning");
    Require(doc.IsOpen() && doc.FrameCount() == 512 * static_cast<int32_t>(kMiB), "still open");
    const uint64_t loadedBytes = static_cast<uint64_t>(doc.ReadableFrames()) * 2;
    Require(loadedBytes >= 32 * kMiB && loadedBytes <= kRoom - kReserve, "stopped at the reserve");

    ShowEndOfLoad(fx);
    Require(!fx.view->ResizeClient(20000, 20000), "a huge back buffer refused");
    Require(fx.view->BackBuffer().Width() == 0, "the view is empty");
    Require(fx.view->ResizeClient(400, 330), "a fitting back buffer taken");
    fx.Full();
    std::_Exit(0);
}

// Runs `child` in a child process. The child ends with _Exit, which removes
// no scratch folder: it makes its own inside one that this process removes.
void ExitsCleanlyInScratch(void (*child)()) {
    const test::TempDir parent;
    const char* const old = std::getenv("TMPDIR");
    const std::string oldTmp = old ? old : "";
    ::setenv("TMPDIR", parent.path().c_str(), 1);
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
    if (old) {
        ::setenv("TMPDIR", oldTmp.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

// The same recording as memory mode opens it by default: read on demand,
// all of it readable under a limit far below its size, and no warning.
void OpenOnDemandUnderAddressSpaceLimit() {
    ViewFixture fx;
    fx.TracesOnly();
    const std::string path = SparseRecording(fx.dir, 1024 * static_cast<off_t>(kMiB));
    Require(!path.empty(), "sparse recording made");
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = AddressSpaceInUse() + 64 * kMiB;
    Require(::setrlimit(RLIMIT_AS, &limit) == 0, "limit set");
    fx.session.StartUp({});
    fx.session.OpenRecording(path, false);
    const SignalDocument& doc = fx.session.document();
    Require(fx.ui.messages.empty(), "no warning");
    Require(doc.IsOpen() && doc.OnDemand(), "read on demand");
    Require(doc.ReadableFrames() == 512 * static_cast<int64_t>(kMiB), "every frame readable");
    Require(doc.FindFrame(doc.ReadableFrames() - 1) == Frame{}, "the last frame read");
    fx.view->Reposition(fx.view->HorizontalRange());
    fx.Full();
    std::_Exit(0);
}

TEST(LargeRecording, UnderAnAddressSpaceLimitALongRecordingIsReadOnDemand) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs far more address space than any limit leaves";
#endif
    ExitsCleanlyInScratch(OpenOnDemandUnderAddressSpaceLimit);
}

TEST(LargeRecording, UnderAnAddressSpaceLimitTheLoadLeavesTheReserve) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs far more address space than any limit leaves";
#endif
    ExitsCleanlyInScratch(LoadUnderAddressSpaceLimit);
}

// Under a limit the default guard keeps an eighth of it back, not the
// machine's reserve, which may be more than the whole limit.
void DefaultRoomUnderAddressSpaceLimit() {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = AddressSpaceInUse() + 256 * kMiB;
    Require(::setrlimit(RLIMIT_AS, &limit) == 0, "limit set");
    const uint64_t available = AvailableMemory(), room = MemoryRoom();
    Require(available <= 256 * kMiB && available > 200 * kMiB, "the limit's room seen");
    const uint64_t kept = available - room, eighth = limit.rlim_cur / 8;
    Require(kept + kMiB > eighth && kept < eighth + kMiB, "an eighth kept back");
    std::_Exit(0);
}

TEST(LargeRecording, UnderALimitTheDefaultReserveIsAnEighthOfIt) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs far more address space than any limit leaves";
#endif
    EXPECT_EXIT(DefaultRoomUnderAddressSpaceLimit(), ::testing::ExitedWithCode(0), "");
}

TEST(LargeRecording, FramesPastTheSignedCountAreCutWithAWarning) {
    ViewFixture fx;
    const std::string path = SparseRecording(fx.dir, 2 * (off_t{INT32_MAX} + 6));
    ASSERT_FALSE(path.empty());
    fx.session.settings().fileMode = 1;
    fx.session.StartUp({});
    fx.session.OpenRecording(path, false);
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].title, "WARNING");
    EXPECT_EQ(fx.ui.messages[0].text,
              "Only the first 2147483647 frames of " + UpperCased(path) + " can be shown.");
    EXPECT_EQ(fx.ui.messages[0].icon, MessageIcon::Exclamation);

    const SignalDocument& doc = fx.session.document();
    EXPECT_TRUE(doc.IsOpen());
    EXPECT_EQ(doc.FrameCount(), INT32_MAX);
    EXPECT_EQ(fx.ui.fields[Field::Length], "Len:35791:23.647");
    FrameSpans spans(doc, INT32_MAX - 1);
    EXPECT_FALSE(spans.Next(1).empty());
    // The end of the recording can be scrolled to and drawn.
    fx.view->Reposition(fx.view->HorizontalRange());
    EXPECT_EQ(fx.view->ScrollX(), fx.view->HorizontalRange());
    fx.Full();

    // A recording of exactly the largest count opens without a word.
    test::ScriptedUi ui;
    SignalDocument exact;
    exact.SetFileBacked(true);
    const std::string fits = SparseRecording(fx.dir, 2 * off_t{INT32_MAX}, "fits.sig");
    ASSERT_EQ(OpenSignalFile(exact, fits, ui), OpenOutcome::Opened);
    EXPECT_EQ(exact.FrameCount(), INT32_MAX);
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace koru
