#pragma once
// Starts the real application for a window test, as main() would.

#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "KoruApp.h"
#include "KoruWin.h"

namespace koru::test {

inline std::unique_ptr<TKoruApp> StartApp(std::pair<int, int> screen,
                                          std::vector<std::string> files = {}) {
    StartOptions o;
    o.screen = screen;
    o.files = std::move(files);
    o.argv0 = "koruview";
    auto app = std::make_unique<TKoruApp>(o);
    app->Start();
    return app;
}

// The samples of a command-line file load once the frame is up; false if
// the window never shows or they never arrive.
inline bool WaitShownAndLoaded(TKoruApp& app) {
    const bool exposed = QTest::qWaitForWindowExposed(app.window());
    const bool loaded =
        QTest::qWaitFor([&] { return app.session().document().ReadableFrames() > 0; });
    return exposed && loaded;
}

}  // namespace koru::test
