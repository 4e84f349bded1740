#pragma once
// The Ui port for the batch tool: dialogs are answered from the command
// line, messages go to stderr as "TITLE: TEXT", and any stop or warning
// message makes the run a failure.

#include <array>
#include <deque>
#include <iostream>
#include <string>

#include "platform/Ui.h"

namespace koru::cli {

// Exit statuses of every subcommand.
enum ExitStatus : int { kSuccess = 0, kFailure = 1, kUsage = 2 };

class CliUi : public Ui {
  public:
    explicit CliUi(std::ostream& out = std::cout, std::ostream& err = std::cerr)
        : out_(out), err_(err) {}

    // --quiet: information boxes are not printed.
    bool quiet = false;

    // Where results go (stdout).
    std::ostream& Out() { return out_; }
    // Whether a stop or warning message was shown.
    bool Failed() const { return failed_; }

    // The Read Binary dialog's answer (--raw-channels, --raw-interval).
    ReadBinaryAnswer readBinary;
    // Answers of the file dialogs, in the order the command shows them; the
    // path is taken as given, so its extension is what was typed.
    std::deque<std::string> filePaths;
    // The Data Channels dialog's ticks (--channels).
    std::array<bool, 8> channels{true, true, true, true, true, true, true, true};

    void ShowMessage(MessageOwner owner, std::string_view text, std::string_view title,
                     MessageIcon icon) override;
    ReadBinaryAnswer ReadBinary() override { return readBinary; }
    std::array<bool, 8> ChannelSelectDialog() override { return channels; }
    // The Signal Amplitude dialog's eight lines, on stdout.
    void AmplitudeDialog(const std::array<int32_t, 8>& values) override;
    // The Signals dialog's answer (--offered): file numbers; empty takes the first eight.
    std::vector<int> signalNumbers;
    bool SignalsPreset() const override { return !signalNumbers.empty(); }
    std::optional<std::vector<int>> ChooseSignals(const std::vector<SignalChoice>& offered,
                                                  const std::vector<int>& ticked) override;
    // The annotator whose annotations become markers (--annotator); empty keeps the record's own
    // choice.
    std::string annotator;
    std::optional<int> ChooseAnnotator(const std::vector<std::string>& names, int current) override;
    std::optional<FileDialogAnswer> OpenFileDialog(FileDialogSetup& setup) override;
    std::optional<FileDialogAnswer> SaveFileDialog(FileDialogSetup& setup) override;

  private:
    std::optional<FileDialogAnswer> NextPath(FileDialogSetup& setup);

    std::ostream& out_;
    std::ostream& err_;
    bool failed_ = false;
};

}  // namespace koru::cli
