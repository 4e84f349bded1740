#pragma once
// koruview --render: the view's picture of a recording written to a PNG
// file, with no window, for reports and scripts.

#include <string>

#include "KoruApp.h"

struct RenderOptions {
    std::string outPath;
    int spd = 0;  // samples per division; 0 keeps the time base of a start
};

// Opens the first file of `options` as at start-up (settings from the
// program's directory), paints the view at the screen size and saves the
// picture. Needs a QGuiApplication. Answers the process exit code; failures
// are explained on stderr.
int RenderToPng(const StartOptions& options, const RenderOptions& render);

// The time-base index whose samples per division are spd, or -1.
int TimeBaseIndexOf(int spd);
