#include "KoruApp.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "AppIcon.h"
#include "ClientWin.h"
#include "KoruWin.h"
#include "app/StartUpSettings.h"

namespace {

// A program run from its build tree has its examples in the source tree.
koru::ProgramPaths ProgramPathsWithExamples(const char* argv0) {
    koru::ProgramPaths paths = koru::FindProgramPaths(argv0);
    if (paths.examplesDir.empty()) paths.examplesDir = KORU_SOURCE_EXAMPLES_DIR;
    return paths;
}

}  // namespace

TKoruApp::TKoruApp(const StartOptions& options) : options_(options) {}

TKoruApp::~TKoruApp() {
    // Nothing is written back at exit; only the open file is let go.
    session_.document().Close();
}

void TKoruApp::Start() {
    // The desktop entry's name ties the windows to the entry and its icon.
    QGuiApplication::setDesktopFileName("koruview");
    QGuiApplication::setWindowIcon(AppIcon());
    ReadStartUpSettings();

    int w = 1024, h = 768;
    if (options_.screen) {
        std::tie(w, h) = *options_.screen;
    } else if (QScreen* s = QGuiApplication::primaryScreen()) {
        w = s->size().width();
        h = s->size().height();
    }
    session_.geometry().SetScreen(w, h);
    if (QScreen* s = QGuiApplication::primaryScreen())
        session_.geometry().DotsPerInch = s->physicalDotsPerInch();

    win_ = std::make_unique<TKoruWin>(session_);
    ui_.SetWindow(win_.get());
    session_.AttachView(&win_->View()->Model());
    for (const std::string& text : settingsWarnings_)
        ui_.ShowMessage(koru::MessageOwner::MainWindow, text, "WARNING",
                        koru::MessageIcon::Exclamation);
    session_.StartUp(options_.files);
    win_->showMaximized();
    // The samples of a file named at start-up load once the frame is up.
    QTimer::singleShot(0, win_.get(), [this] { session_.FinishStartUp(); });
}

void TKoruApp::ReadStartUpSettings() {
    const koru::SettingsReadReport report =
        koru::LoadStartUpSettings(session_, ProgramPathsWithExamples(options_.argv0.c_str()));
    settingsWarnings_ = koru::StartUpWarnings(report, session_.settingsPath());
}
