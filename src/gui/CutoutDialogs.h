#pragma once
// The two small dialogs of the cutout commands: which channels to save or
// append, and the amplitudes measured between the tags.

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

class QCheckBox;
class QLabel;

// Eight ticks, the recording's channels set at first. It has no Cancel: Esc and the close box
// end it like OK, with the ticks as they are.
class TChannelSelectDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kFirstBox = 101;  // check box 101 + i is channel i + 1

    // The first `ticked` channels (the recording's) ticked at first.
    explicit TChannelSelectDialog(QWidget* parent = nullptr, int ticked = 8);

    std::array<bool, 8> Selection() const { return selected_; }
    int SelectedCount() const;
    QCheckBox* Box(int i) const { return boxes_[static_cast<std::size_t>(i)]; }

  private:
    void ReadBoxes();

    std::array<QCheckBox*, 8> boxes_{};
    std::array<bool, 8> selected_{true, true, true, true, true, true, true, true};
};

// "Channel %d:  %d" for channels 1 to 4 on the left and 5 to 8 on the
// right, the explanation below, and OK.
class TAmplitudeDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kFirstValue = 400;  // static 400 + i is channel i + 1

    explicit TAmplitudeDialog(const std::array<int32_t, 8>& values, QWidget* parent = nullptr);
    // With physical units: the lines and the explanation as the core wrote them.
    TAmplitudeDialog(const std::array<std::string, 8>& lines, const std::string& explanation,
                     QWidget* parent = nullptr);

    QLabel* Value(int i) const { return values_[static_cast<std::size_t>(i)]; }

  private:
    void Build(const std::array<std::string, 8>& lines, const QString& explanation);
    std::array<QLabel*, 8> values_{};
};
