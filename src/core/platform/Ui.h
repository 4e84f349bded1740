#pragma once
// The one door through which core code asks things of the user. The program
// answers with real Qt windows; tests answer from a script and record what
// was shown.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace koru {

enum class MessageOwner { None, MainWindow, View };
enum class MessageIcon { Stop, Exclamation, Information, Question };

// Flags of a file dialog set-up (same meaning as the classic open/save flags).
enum FileDialogFlags : unsigned {
    OFN_HIDEREADONLY = 1u << 0,
    OFN_NOCHANGEDIR = 1u << 1,
    OFN_PATHMUSTEXIST = 1u << 2,
    OFN_FILEMUSTEXIST = 1u << 3,
    OFN_OVERWRITEPROMPT = 1u << 4,
    OFN_NOREADONLYRETURN = 1u << 5,
};

// One remembered file dialog: made once, reused on every use, so it keeps
// the last chosen name between uses.
struct FileDialogSetup {
    unsigned flags = 0;
    std::string filter;          // "desc|pattern|desc|pattern|"
    std::string defaultExt;      // without the dot
    const std::string* initialDir = nullptr;  // shared with the SIGPATH setting
    std::string fileName;        // last chosen name as shown, empty before first use
    std::string lastDir;         // where the last chosen file really lives
};

struct FileDialogAnswer {
    bool ok = false;                  // false when cancelled
    std::string path;
    bool extensionDifferent = false;  // the typed extension is not defaultExt
};

struct ReadBinaryAnswer {
    int32_t channels = 8;
    int32_t interval = 1000;
};

// Text fields of the main window's bars.
enum class Field { SampPerDiv, Position, Cut, Length, Frequency, Description };

enum class CursorShape { View, Wait };

// Progress box modes; the texts are the box's own.
enum class ProgressMode { Reading = 0, Writing = 1 };

class Ui {
public:
    virtual ~Ui() = default;

    virtual void SetStatusText(std::string_view text) = 0;
    virtual void ShowMessage(MessageOwner owner, std::string_view text, std::string_view title,
                             MessageIcon icon) = 0;

    virtual FileDialogAnswer OpenFileDialog(FileDialogSetup& setup) = 0;
    virtual FileDialogAnswer SaveFileDialog(FileDialogSetup& setup) = 0;

    // The Read Binary dialog; its values are used however it ended.
    virtual ReadBinaryAnswer ReadBinary() = 0;

    virtual void ProgressBegin(ProgressMode mode) = 0;
    virtual void ProgressSet(int percent) = 0;
    virtual void ProgressEnd() = 0;

    virtual void SetCursor(CursorShape shape) = 0;

    virtual void SetField(Field field, std::string_view text) = 0;
    virtual void SetTitle(std::string_view title) = 0;
    virtual void SetViewMenuEnabled(bool enabled) = 0;
    virtual void SetToggleChecks(bool dots, bool markers, bool names, bool timeHacks) = 0;
    // The whole main window (view included) must be drawn again.
    virtual void InvalidateAll() = 0;
};

}  // namespace koru
