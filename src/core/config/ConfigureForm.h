#pragma once
// What the Configure dialog shows and how its channel buttons edit the
// working configuration. The captions are state of their own: a name applied
// from a list shows as read from the list (at most 14 characters), a name
// shown from the record shows whole.

#include <array>
#include <string>
#include <vector>

#include "config/ChannelConfig.h"
#include "platform/Ui.h"

namespace koru {

// Control numbers of the Configure dialog; the channel controls run on for
// channels 2 to 8 (101 + n for channel n + 1).
namespace configure_ctl {
inline constexpr int kAmpChan = 101;
inline constexpr int kLeadName = 111;
inline constexpr int kPosition = 121;
inline constexpr int kColor = 131;
inline constexpr int kSize = 141;
inline constexpr int kHasMarker = 1139;
inline constexpr int kLeadList = 161;
inline constexpr int kColorList = 162;
inline constexpr int kPositionSpin = 109;
inline constexpr int kPositionValue = 119;
inline constexpr int kSizeSpin = 110;
inline constexpr int kSizeValue = 120;
inline constexpr int kLoadConf = 150;
inline constexpr int kSaveConf = 151;
inline constexpr int kMakeDefault = 152;
inline constexpr int kLoadDefault = 153;
inline constexpr int kHelp = 9;
}  // namespace configure_ctl

// Where the spin values start and the ranges the arrows keep them in.
inline constexpr int32_t kStartPosition = 1;
inline constexpr int32_t kStartSize = 5;
inline constexpr int32_t kMinPosition = 0;
inline constexpr int32_t kMinSize = 1;
// The lists start here whatever the channels hold.
inline constexpr int kStartLeadSelection = 0;
inline constexpr int kStartColorSelection = 4;
// A name read from a list into a 15-byte buffer keeps 14 characters.
inline constexpr std::size_t kListTextChars = 14;

class ConfigureForm : public DialogModel {
  public:
    // Set up over `working`: captions from it, lists and spins at their start.
    ConfigureForm(ChannelConfig& working, const LeadNameTable& leadNames, const ColorTable& colors);

    // Captions and boxes from the working configuration.
    void Show();

    std::string Text(int control) const override;
    bool Checked(int control) const override;
    std::vector<std::string> Items(int control) const override;
    // The colour of entry `index` of the colour list, for its swatch.
    ColorRef ItemColor(int index) const { return colors_.Ref(index); }
    int Selection(int control) const override;
    // The channel buttons and boxes; other numbers do nothing here.
    void Click(int control) override;
    void Select(int control, int index) override;
    void Spin(int control, int delta) override;

  protected:
    ChannelConfig& working() { return working_; }

  private:
    enum Column { kLead, kPos, kCol, kSiz, kColumns };

    void ApplyLeadName(std::size_t n);
    void ApplyPosition(std::size_t n);
    void ApplyColor(std::size_t n);
    void ApplySize(std::size_t n);
    void ToggleMarker(std::size_t n);
    std::string ListText(int control) const;

    ChannelConfig& working_;
    const LeadNameTable& leadNames_;
    const ColorTable& colors_;
    std::array<std::array<std::string, kColumns>, kChannelCount> captions_;
    std::array<bool, kChannelCount> marker_{};
    int leadSelection_ = kStartLeadSelection;
    int colorSelection_ = kStartColorSelection;
    int32_t position_ = kStartPosition;
    int32_t size_ = kStartSize;
};

}  // namespace koru
