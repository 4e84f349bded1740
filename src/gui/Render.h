#pragma once
// Headless output for reports and scripts, with no window: koruview --render
// writes the view's picture of a recording to a PNG file, koruview
// --print-pdf prints it into a PDF file through the same printout as the
// Print command.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "KoruApp.h"
#include "platform/PrintJob.h"

struct RenderOptions {
    std::string outPath;
    int spd = 0;  // samples per division; 0 keeps the time base of a start
};

struct PrintPdfOptions {
    std::string outPath;
    // What the print dialog would be answered: the selection (its preset),
    // all pages, or pages from..to.
    koru::PageChoice choice = koru::PageChoice::Selection;
    int32_t fromPage = 1;
    int32_t toPage = 1;
    std::optional<int32_t> scroll;  // ScrollX, in divisions, before printing
    int spd = 0;
};

// Opens the first file of `options` as at start-up (settings from the
// program's directory), paints the view at the screen size and saves the
// picture. Needs a QGuiApplication. Answers the process exit code; failures
// are explained on stderr.
int RenderToPng(const StartOptions& options, const RenderOptions& render);

// Opens the first file as RenderToPng does, scrolls to `scroll` and prints
// the chosen pages into the PDF file, A4 across. Exit code 0 when printed,
// 1 when the recording or the job failed, 2 for a page range the recording
// does not have. Needs a QGuiApplication.
int PrintToPdf(const StartOptions& options, const PrintPdfOptions& print);

// "all", "selection" or "F-T" with 1 <= F <= T; false for anything else.
bool ParsePages(std::string_view text, PrintPdfOptions& print);

// The time-base index whose samples per division are spd, or -1.
int TimeBaseIndexOf(int spd);
