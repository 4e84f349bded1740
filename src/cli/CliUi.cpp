#include "CliUi.h"

#include <strings.h>

#include "export/Amplitude.h"

namespace koru::cli {

void CliUi::ShowMessage(MessageOwner, std::string_view text, std::string_view title,
                        MessageIcon icon) {
    if (quiet && icon == MessageIcon::Information) return;
    err_ << title << ": " << text << '\n';
    if (icon == MessageIcon::Stop || icon == MessageIcon::Exclamation) failed_ = true;
}

void CliUi::AmplitudeDialog(const std::array<int32_t, 8>& values) {
    for (std::size_t i = 0; i < values.size(); ++i)
        out_ << AmplitudeLine(static_cast<int>(i) + 1, values[i]) << '\n';
}

std::optional<FileDialogAnswer> CliUi::NextPath(FileDialogSetup& setup) {
    if (filePaths.empty()) return std::nullopt;
    FileDialogAnswer answer;
    answer.path = filePaths.front();
    filePaths.pop_front();
    const std::size_t slash = answer.path.find_last_of('/');
    const std::size_t dot = answer.path.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    answer.extensionDifferent =
        !hasExtension || ::strcasecmp(answer.path.c_str() + dot + 1, setup.defaultExt.c_str()) != 0;
    setup.fileName = answer.path;
    return answer;
}

std::optional<std::vector<int>> CliUi::ChooseSignals(const std::vector<SignalChoice>& offered,
                                                     const std::vector<int>& ticked) {
    if (signalNumbers.empty()) return ticked;
    std::vector<int> chosen;
    for (const int number : signalNumbers) {
        std::size_t i = 0;
        while (i < offered.size() && offered[i].number != number) ++i;
        if (i == offered.size()) {
            ShowMessage(
                MessageOwner::None,
                "The recording has no signal " + std::to_string(number) + " to choose (--signals).",
                "Signals", MessageIcon::Stop);
            return std::nullopt;
        }
        chosen.push_back(static_cast<int>(i));
    }
    if (chosen.size() > 8) {
        ShowMessage(MessageOwner::None, "At most eight signals can be chosen (--signals).",
                    "Signals", MessageIcon::Stop);
        return std::nullopt;
    }
    return chosen;
}

std::optional<int> CliUi::ChooseAnnotator(const std::vector<std::string>& names, int current) {
    if (annotator.empty()) return current;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == annotator) return static_cast<int>(i);
    std::string known;
    for (const std::string& n : names) known += (known.empty() ? "" : ", ") + n;
    ShowMessage(
        MessageOwner::None,
        "The record has no annotator " + annotator + " (--annotator); it has " + known + ".",
        "Annotations", MessageIcon::Stop);
    return std::nullopt;
}

std::optional<FileDialogAnswer> CliUi::OpenFileDialog(FileDialogSetup& setup) {
    return NextPath(setup);
}

std::optional<FileDialogAnswer> CliUi::SaveFileDialog(FileDialogSetup& setup) {
    return NextPath(setup);
}

}  // namespace koru::cli
