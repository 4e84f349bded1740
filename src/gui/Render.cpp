#include "Render.h"

#include <QImage>
#include <cstdio>
#include <memory>

#include "QtTextRenderer.h"
#include "app/Snapshot.h"
#include "app/StartUpSettings.h"

namespace {
// Without --screen there is no screen to ask; the view's own default.
constexpr int kDefaultWidth = 1024;
constexpr int kDefaultHeight = 768;
}  // namespace

int TimeBaseIndexOf(int spd) {
    const koru::TimeBase tb;
    for (int i = 0; i < koru::TimeBase::kEntries; ++i)
        if (tb.Entry(i) == spd) return i;
    return -1;
}

int RenderToPng(const StartOptions& options, const RenderOptions& render) {
    const std::string& outPath = render.outPath;
    if (options.files.empty()) {
        std::fprintf(stderr, "koruview: --render needs a recording to render\n");
        return 2;
    }
    koru::HeadlessUi ui;
    koru::Session session(ui);
    const koru::SettingsReadReport settingsRead =
        koru::LoadStartUpSettings(session, koru::FindProgramPaths(options.argv0.c_str()));
    // The window's warning box, said on stderr.
    if (settingsRead.writeFailed)
        std::fprintf(stderr, "koruview: WARNING: Cannot write settings file: %s\n",
                     session.settingsPath().c_str());

    const auto [w, h] = options.screen.value_or(std::pair{kDefaultWidth, kDefaultHeight});
    session.geometry().SetScreen(w, h);
    if (render.spd != 0) {
        const int index = TimeBaseIndexOf(render.spd);
        if (index < 0) {
            std::fprintf(stderr, "koruview: --spd wants 640, 320, 160, 80, 40, 20 or 10\n");
            return 2;
        }
        session.timeBase().SetIndex(index);
    }
    koru::SignalView view(session.viewContext());
    view.BackBuffer().SetTextRenderer(std::make_shared<QtTextRenderer>());
    view.ResizeClient(w, h);

    const std::string& file = options.files.front();
    const bool opened = koru::RenderStartUpPicture(session, view, file);
    for (const std::string& m : ui.messages) std::fprintf(stderr, "koruview: %s\n", m.c_str());
    if (!opened) {
        std::fprintf(stderr, "koruview: %s could not be opened\n", file.c_str());
        return 1;
    }

    const koru::RasterCanvas& b = view.BackBuffer();
    const QImage picture(reinterpret_cast<const uchar*>(b.Pixels()), b.Width(), b.Height(),
                         b.BytesPerLine(), QImage::Format_RGB32);
    if (!picture.save(QString::fromStdString(outPath), "PNG")) {
        std::fprintf(stderr, "koruview: cannot write %s\n", outPath.c_str());
        return 1;
    }
    return 0;
}
