#pragma once
// Chooses the samples per division: one radio button per entry of the
// table, in two columns, checked at the value in force.

#include <QDialog>
#include <cstdint>
#include <span>

class QButtonGroup;
class QRadioButton;

class TTimeBaseDialog : public QDialog {
    Q_OBJECT
  public:
    // Radio button 171 + i stands for entry i.
    static constexpr int kFirstChoice = 171;

    TTimeBaseDialog(std::span<const int32_t> samplesPerDivision, int32_t index,
                    QWidget* parent = nullptr);

    // The last entry clicked, or the one given at creation.
    int32_t Index() const { return index_; }
    QRadioButton* Choice(int i) const;

  private:
    QButtonGroup* group_;
    int32_t index_;
};
