#include "config/ConfigureForm.h"

#include <algorithm>

#include "text/DecimalScan.h"

namespace koru {

namespace ctl = configure_ctl;

namespace {

// The channel (0..7) of a control in the run starting at `first`, or -1.
int ChannelOf(int control, int first) {
    return control >= first && control < first + kChannelCount ? control - first : -1;
}

// A value static read back as the dialog reads it: at most three characters.
int32_t ValueOf(const std::string& text) {
    int64_t v = 0;
    return ScanInt(std::string_view(text).substr(0, 3), v) ? static_cast<int32_t>(v) : 0;
}

}  // namespace

ConfigureForm::ConfigureForm(ChannelConfig& working, const LeadNameTable& leadNames,
                             const ColorTable& colors)
    : working_(working), leadNames_(leadNames), colors_(colors) {
    Show();
}

void ConfigureForm::Show() {
    for (std::size_t n = 0; n < captions_.size(); ++n) {
        const ChannelRecord& r = working_[n];
        // Indexes outside a table show "<none>"; the record keeps them.
        captions_[n][kLead] = leadNames_.Name(r.LeadName);
        captions_[n][kPos] = std::to_string(r.DisplayPosition);
        captions_[n][kCol] = colors_.Entry(r.DisplayColor).Name;
        captions_[n][kSiz] = std::to_string(r.DisplaySize);
        marker_[n] = r.HasMarker == 1;
    }
}

std::string ConfigureForm::Text(int control) const {
    if (const int n = ChannelOf(control, ctl::kAmpChan); n >= 0) return std::to_string(n + 1);
    const std::pair<int, Column> columns[] = {
        {ctl::kLeadName, kLead}, {ctl::kPosition, kPos}, {ctl::kColor, kCol}, {ctl::kSize, kSiz}};
    for (const auto& [first, column] : columns) {
        if (const int n = ChannelOf(control, first); n >= 0)
            return captions_[static_cast<std::size_t>(n)][column];
    }
    if (control == ctl::kPositionValue) return std::to_string(position_);
    if (control == ctl::kSizeValue) return std::to_string(size_);
    return {};
}

bool ConfigureForm::Checked(int control) const {
    const int n = ChannelOf(control, ctl::kHasMarker);
    return n >= 0 && marker_[static_cast<std::size_t>(n)];
}

std::vector<std::string> ConfigureForm::Items(int control) const {
    std::vector<std::string> items;
    if (control == ctl::kLeadList) {
        for (int i = 0; i < kLeadNameCount; ++i) items.push_back(leadNames_.Name(i));
    } else if (control == ctl::kColorList) {
        for (int i = 0; i < kColorCount; ++i) items.push_back(colors_.Entry(i).Name);
    }
    return items;
}

int ConfigureForm::Selection(int control) const {
    if (control == ctl::kLeadList) return leadSelection_;
    if (control == ctl::kColorList) return colorSelection_;
    return -1;
}

std::string ConfigureForm::ListText(int control) const {
    const std::string name = control == ctl::kLeadList ? leadNames_.Name(leadSelection_)
                                                       : colors_.Entry(colorSelection_).Name;
    return name.substr(0, kListTextChars);
}

void ConfigureForm::ApplyLeadName(std::size_t n) {
    working_[n].LeadName = leadSelection_;
    captions_[n][kLead] = ListText(ctl::kLeadList);
}

void ConfigureForm::ApplyPosition(std::size_t n) {
    const std::string text = Text(ctl::kPositionValue);
    working_[n].DisplayPosition = ValueOf(text);
    captions_[n][kPos] = text;
}

void ConfigureForm::ApplyColor(std::size_t n) {
    working_[n].DisplayColor = colorSelection_;
    captions_[n][kCol] = ListText(ctl::kColorList);
}

void ConfigureForm::ApplySize(std::size_t n) {
    const std::string text = Text(ctl::kSizeValue);
    working_[n].DisplaySize = ValueOf(text);
    captions_[n][kSiz] = text;
}

void ConfigureForm::ToggleMarker(std::size_t n) {
    marker_[n] = !marker_[n];
    working_[n].HasMarker = marker_[n] ? 1 : 0;
}

void ConfigureForm::Click(int control) {
    auto channel = [control](int first) { return ChannelOf(control, first); };
    if (const int n = channel(ctl::kAmpChan); n >= 0) {
        // Everything but the marker flag, which only its own box changes.
        const auto c = static_cast<std::size_t>(n);
        ApplyPosition(c);
        ApplyLeadName(c);
        ApplySize(c);
        ApplyColor(c);
    } else if (const int lead = channel(ctl::kLeadName); lead >= 0) {
        ApplyLeadName(static_cast<std::size_t>(lead));
    } else if (const int pos = channel(ctl::kPosition); pos >= 0) {
        ApplyPosition(static_cast<std::size_t>(pos));
    } else if (const int col = channel(ctl::kColor); col >= 0) {
        ApplyColor(static_cast<std::size_t>(col));
    } else if (const int siz = channel(ctl::kSize); siz >= 0) {
        ApplySize(static_cast<std::size_t>(siz));
    } else if (const int box = channel(ctl::kHasMarker); box >= 0) {
        ToggleMarker(static_cast<std::size_t>(box));
    }
}

void ConfigureForm::Select(int control, int index) {
    if (control == ctl::kLeadList && index >= 0 && index < kLeadNameCount) leadSelection_ = index;
    if (control == ctl::kColorList && index >= 0 && index < kColorCount) colorSelection_ = index;
}

void ConfigureForm::Spin(int control, int delta) {
    auto step = [delta](int32_t value, int32_t lo, int32_t hi) {
        return static_cast<int32_t>(std::clamp<int64_t>(int64_t{value} + delta, lo, hi));
    };
    if (control == ctl::kPositionSpin) position_ = step(position_, kMinPosition, kDisplaySlots);
    if (control == ctl::kSizeSpin) size_ = step(size_, kMinSize, kMaxDisplaySize);
}

}  // namespace koru
