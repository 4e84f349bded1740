#pragma once
// The application object: owns the session (document, settings, dialog
// set-ups), the Qt side of the Ui port and the main window.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QtUi.h"
#include "app/Session.h"

class TKoruWin;

struct StartOptions {
    std::optional<std::pair<int, int>> screen;  // --screen WxH
    std::vector<std::string> files;             // the first is opened at start
    std::string argv0;
};

class TKoruApp {
  public:
    explicit TKoruApp(const StartOptions& options);
    ~TKoruApp();

    // Builds the windows, opens a named file and shows the frame maximized.
    void Start();

    koru::Session& session() { return session_; }
    TKoruWin* window() const { return win_.get(); }

  private:
    void ReadStartUpSettings();

    StartOptions options_;
    QtUi ui_;
    koru::Session session_{ui_};
    std::unique_ptr<TKoruWin> win_;
    std::vector<std::string> settingsWarnings_;  // shown once the window is up
};
