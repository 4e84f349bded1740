// A fuzzed recording painted with a fuzzed settings file (lead names,
// colours, positions and sizes in and out of range), a fuzzed marker file,
// screen size, time base and a few tags, lines, marker keys and scrolls.
// The picture the interaction leaves equals a full repaint, a repainted
// strip equals the same strip of the full picture, and both storage modes
// paint the same picture.

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/Snapshot.h"
#include "app/StartUpSettings.h"

using namespace koru;
using namespace koru::fuzz;

namespace {

constexpr uint32_t kGarbage = 0xFF123456u;

struct Scene {
    int width = 0, height = 0, timeBase = 4;
    Rect strip;
    std::vector<std::array<int, 5>> actions;  // kind, then up to four numbers
};

Scene SceneFrom(FuzzedDataProvider& in) {
    Scene s;
    s.width = in.ConsumeIntegralInRange(1, 260);
    s.height = in.ConsumeIntegralInRange(1, 260);
    s.timeBase = in.ConsumeIntegralInRange(-1, 7);
    const int l = in.ConsumeIntegralInRange(0, s.width - 1);
    const int t = in.ConsumeIntegralInRange(0, s.height - 1);
    s.strip = Rect{l, t, in.ConsumeIntegralInRange(l + 1, s.width),
                   in.ConsumeIntegralInRange(t + 1, s.height)};
    const int n = in.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < n; ++i) {
        std::array<int, 5> a{};
        a[0] = in.ConsumeIntegralInRange(0, 4);
        for (std::size_t k = 1; k < a.size(); ++k) a[k] = in.ConsumeIntegralInRange(-300, 5000);
        s.actions.push_back(a);
    }
    return s;
}

void Act(SignalView& view, const std::array<int, 5>& a) {
    switch (a[0]) {
        case 0:  // a tag, or with Ctrl the last one taken away
            view.OnRightDown(a[1] % 300, a[2] % 300, a[3] % 7 == 0);
            view.OnRightUp(a[1] % 300, a[2] % 300);
            break;
        case 1:  // a measurement line
            view.OnLeftDown(a[1] % 300, a[2] % 300, false);
            view.OnMouseMove(a[3] % 300, a[4] % 300);
            view.OnLeftUp(a[3] % 300, a[4] % 300);
            break;
        case 2:
            view.OnKeyDown(a[1] % 2 ? kKeyInsert : kKeyDelete);
            break;
        case 3:
            view.ScrollTo(a[1], a[2] % 20);
            break;
        default:
            view.Scroll(a[1] % 2 ? ScrollAxis::Horizontal : ScrollAxis::Vertical,
                        static_cast<ScrollRequest>((a[2] % 7 + 7) % 7), a[3]);
            break;
    }
    view.Update();
}

std::vector<uint32_t> PixelsOf(const RasterCanvas& c) {
    return {c.Pixels(), c.Pixels() + static_cast<std::ptrdiff_t>(c.Width()) * c.Height()};
}

// The picture as a PPM file, to look at what a scene paints.
void WritePpm(const std::string& path, const RasterCanvas& c) {
    std::string out =
        "P6\n" + std::to_string(c.Width()) + " " + std::to_string(c.Height()) + "\n255\n";
    for (int i = 0; i < c.Width() * c.Height(); ++i) {
        const uint32_t p = c.Pixels()[i];
        out += {static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
}

// The full picture after the scene, checked on the way; empty when the
// recording does not open.
std::vector<uint32_t> Paint(const Scene& scene, const ProgramPaths& paths,
                            const std::string& recording, int fileMode) {
    HeadlessUi ui;
    Session session(ui);
    LoadStartUpSettings(session, paths);
    session.settings().fileMode = static_cast<uint8_t>(fileMode);
    // The names are written at the left edge, not on the recording, and a
    // short scroll moves them with the picture as the window's own scroll
    // does; with scrolls in the scene they are left out of the comparison.
    for (const auto& a : scene.actions)
        if (a[0] >= 3) session.settings().names = 0;
    session.geometry().SetScreen(scene.width, scene.height);
    session.timeBase().SetIndex(scene.timeBase);
    SignalView view(session.viewContext());
    view.ResizeClient(scene.width, scene.height);
    if (!RenderStartUpPicture(session, view, recording)) return {};
    // KORU_FUZZ_VERBOSE describes the scene, KORU_FUZZ_PICTURE=FILE.ppm
    // keeps its picture: for looking into a finding.
    const bool verbose = std::getenv("KORU_FUZZ_VERBOSE") != nullptr;
    if (verbose)
        std::fprintf(stderr, "screen %dx%d, time base %d, strip %d,%d-%d,%d, %lld frames\n",
                     scene.width, scene.height, scene.timeBase, scene.strip.left, scene.strip.top,
                     scene.strip.right, scene.strip.bottom,
                     static_cast<long long>(session.document().FrameCount()));
    for (const auto& a : scene.actions) {
        if (verbose) std::fprintf(stderr, "action %d: %d %d %d %d\n", a[0], a[1], a[2], a[3], a[4]);
        Act(view, a);
    }
    view.Update();
    const std::vector<uint32_t> shown = PixelsOf(view.BackBuffer());
    view.InvalidateAll();
    view.Update();
    const std::vector<uint32_t> full = PixelsOf(view.BackBuffer());
    if (verbose && shown != full) {
        const auto d =
            std::mismatch(shown.begin(), shown.end(), full.begin()).first - shown.begin();
        std::fprintf(stderr, "first difference at x=%d y=%d: %08x shown, %08x repainted\n",
                     static_cast<int>(d % scene.width), static_cast<int>(d / scene.width),
                     shown[static_cast<std::size_t>(d)], full[static_cast<std::size_t>(d)]);
    }
    if (const char* picture = std::getenv("KORU_FUZZ_PICTURE"))
        WritePpm(picture, view.BackBuffer());
    KORU_FUZZ_CHECK(shown == full, "the picture differs from a full repaint");

    RasterCanvas& buffer = view.BackBuffer();
    const Rect& s = scene.strip;
    for (int y = s.top; y < s.bottom; ++y)
        for (int x = s.left; x < s.right; ++x) buffer.Pixels()[y * buffer.Stride() + x] = kGarbage;
    view.RepaintRect(s);
    KORU_FUZZ_CHECK(PixelsOf(buffer) == full, "a repainted strip differs from the full picture");
    return full;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const Scene scene = SceneFrom(in);
    const std::string ini = in.ConsumeRandomLengthString(2000);
    const std::string markers = in.ConsumeRandomLengthString(200);
    const std::string recording = in.ConsumeRemainingBytesAsString();

    const ScratchDir& dir = ScratchDir::Get();
    dir.Clear();
    ProgramPaths paths;
    paths.directory = dir.path();
    paths.baseName = "koruview";
    paths.settingsFile = dir.File("koruview.INI");
    paths.helpFile = dir.File("koruview.html");
    const std::string rec = dir.Write("rec.sig", recording);
    dir.Write("rec.mrk", markers);

    dir.Write("koruview.INI", ini);
    const std::vector<uint32_t> inMemory = Paint(scene, paths, rec, 0);
    // Each run starts from the same settings file, not from its upgrade.
    dir.Write("koruview.INI", ini);
    const std::vector<uint32_t> fromFile = Paint(scene, paths, rec, 1);
    KORU_FUZZ_CHECK(inMemory == fromFile, "the storage modes paint differently");
    return 0;
}
