#include "SignalsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kMaxTicked = 8;
constexpr int kRowsPerColumn = 12;

bool SameRate(double a, double b) {
    return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b));
}
}  // namespace

TSignalsDialog::TSignalsDialog(const std::vector<koru::SignalChoice>& offered,
                               const std::vector<int>& ticked, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Signals");
    auto* layout = new QVBoxLayout(this);
    auto* ask = new QLabel(
        "Tick the signals to show (at most eight, all sampled at one rate);\nthey become "
        "channels 1 to 8 in file order.",
        this);
    layout->addWidget(ask);

    auto* area = new QScrollArea(this);
    auto* inner = new QWidget(area);
    auto* grid = new QGridLayout(inner);
    for (std::size_t i = 0; i < offered.size(); ++i) {
        QString text =
            QString("%1  %2").arg(offered[i].number).arg(QString::fromStdString(offered[i].label));
        if (offered[i].rate > 0) text += QString("  (%1 Hz)").arg(offered[i].rate, 0, 'g', 10);
        auto* box = new QCheckBox(text, inner);
        rates_.push_back(offered[i].rate);
        const int row = static_cast<int>(i) % kRowsPerColumn;
        const int column = static_cast<int>(i) / kRowsPerColumn;
        grid->addWidget(box, row, column);
        boxes_.push_back(box);
        connect(box, &QCheckBox::toggled, this, &TSignalsDialog::Update);
    }
    for (const int t : ticked)
        if (t >= 0 && static_cast<std::size_t>(t) < boxes_.size())
            boxes_[static_cast<std::size_t>(t)]->setChecked(true);
    area->setWidget(inner);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    layout->addWidget(area);

    count_ = new QLabel(this);
    layout->addWidget(count_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    Update();
}

std::vector<int> TSignalsDialog::Ticked() const {
    std::vector<int> out;
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        if (boxes_[i]->isChecked()) out.push_back(static_cast<int>(i));
    return out;
}

void TSignalsDialog::Update() {
    if (!ok_) return;  // still being built
    const std::vector<int> ticked = Ticked();
    const int n = static_cast<int>(ticked.size());
    // With eight ticked the rest cannot be ticked; none ticked cannot be OK;
    // once one is ticked, signals of another rate are greyed.
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const bool sameRate =
            ticked.empty() || SameRate(rates_[i], rates_[static_cast<std::size_t>(ticked[0])]);
        boxes_[i]->setEnabled(boxes_[i]->isChecked() || (n < kMaxTicked && sameRate));
    }
    count_->setText(QString("%1 of %2 ticked.").arg(n).arg(kMaxTicked));
    ok_->setEnabled(n > 0);
}
