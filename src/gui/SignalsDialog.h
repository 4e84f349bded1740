#pragma once
// Chooses which offered signals of a recording become its channels: one
// check box per signal with its rate, at most eight ticked, all of one rate.

#include <QDialog>
#include <vector>

#include "platform/Ui.h"

class QCheckBox;
class QLabel;
class QPushButton;

class TSignalsDialog : public QDialog {
    Q_OBJECT
  public:
    TSignalsDialog(const std::vector<koru::SignalChoice>& offered, const std::vector<int>& ticked,
                   QWidget* parent = nullptr);

    // Indexes of the ticked offered, in file order.
    std::vector<int> Ticked() const;
    QCheckBox* Box(int index) const { return boxes_.at(static_cast<std::size_t>(index)); }
    QPushButton* OkButton() const { return ok_; }

  private:
    void Update();

    std::vector<QCheckBox*> boxes_;
    std::vector<double> rates_;  // samples per second, one per box
    QLabel* count_ = nullptr;
    QPushButton* ok_ = nullptr;
};
