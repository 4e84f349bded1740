#include "signal/OpenFlow.h"

#include <algorithm>
#include <cctype>

#include "platform/AppendWriter.h"
#include "signal/ForeignOpen.h"
#include "signal/MarkerFile.h"

namespace koru {

std::string UpperCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool LoadableExtension(const std::string& path) {
    if (path.size() < 4) return false;
    const std::string ext = UpperCased(path.substr(path.size() - 4));
    return ext == ".SIG" || ext == ".BIN" || ext == ".DAT" || ext == ".NIB" || IsForeignPath(ext);
}

std::string RefusalText() {
    return std::string("Can only load:\n KORU \".sig\" files") +
           " or\n Binary (rt12) \".bin\" files" + " or\n Binary (lt16) \".dat\" files" +
           " or\n Bigendian(12bit) \".nib\" files" +
           " or\n EDF, BDF, GDF, WFDB (.hea) or SCP-ECG files" + ".";
}

std::string CannotOpenText(const std::string& upperPath) {
    return "KORU VIEW -- Cannot open file: " + upperPath;
}

std::string InvalidFileText(const std::string& upperPath) {
    return "KORU VIEW -- Invalid file: " + upperPath + "\nThe file contents are not valid.";
}

std::string FramesCutText(const std::string& upperPath) {
    return "Only the first 2147483647 frames of " + upperPath + " can be shown.";
}

std::string InvalidFileText(const std::string& upperPath, const std::string& reason) {
    return InvalidFileText(upperPath) + "\n" + reason;
}

OpenOutcome OpenSignalFile(SignalDocument& doc, const std::string& path, Ui& ui, bool mayDefer) {
    const std::string upper = UpperCased(path);
    doc.Close();
    const SourceKind kind = KindFromPath(upper);
    // An append that was killed halfway is undone before anything is read,
    // so no reader ever sees a partial cutout.
    if (kind != SourceKind::Foreign) RollBackUnfinishedAppend(path);
    if (!doc.OpenFile(path, upper, kind)) {
        ui.ShowMessage(MessageOwner::None, CannotOpenText(upper), "Error", MessageIcon::Stop);
        return OpenOutcome::CannotOpen;
    }
    if (kind == SourceKind::Foreign) return OpenForeignRecording(doc, path, ui, mayDefer);
    if (kind == SourceKind::Sig) {
        if (!doc.ReadSigHeader()) {
            doc.Close();
            ui.ShowMessage(MessageOwner::None, InvalidFileText(upper), "Error", MessageIcon::Stop);
            return OpenOutcome::Invalid;
        }
    } else {
        const ReadBinaryAnswer answer = ui.ReadBinary();
        SignalHeader& h = doc.MutableHeader();
        h = SignalHeader{};
        h.ChannelCount = static_cast<uint16_t>(std::clamp(answer.channels, 1, 8));
        // The dialog does not let a zero or negative interval through.
        h.Interval = static_cast<uint32_t>(std::max(answer.interval, 1));
        h.SetDescription(std::string(KindLabel(kind)));
    }
    doc.MarkOpen();
    doc.CountFrames();
    // The rest opens as it is; the user is told what cannot be reached.
    if (doc.FramesCut())
        ui.ShowMessage(MessageOwner::None, FramesCutText(upper), "WARNING",
                       MessageIcon::Exclamation);
    ReadMarkerFile(doc);
    return OpenOutcome::Opened;
}

}  // namespace koru
