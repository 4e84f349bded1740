#include "SignalsDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
constexpr int kMaxTicked = 8;
constexpr int kRowsPerColumn = 12;
}  // namespace

TSignalsDialog::TSignalsDialog(const std::vector<koru::SignalChoice>& offered,
                               const std::vector<int>& ticked, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Signals");
    auto* layout = new QVBoxLayout(this);
    auto* ask = new QLabel(
        "The recording has more signals than the eight channels.\nTick the signals to show "
        "(at most eight); they become channels 1 to 8 in file order.",
        this);
    layout->addWidget(ask);

    auto* area = new QScrollArea(this);
    auto* inner = new QWidget(area);
    auto* grid = new QGridLayout(inner);
    for (std::size_t i = 0; i < offered.size(); ++i) {
        const QString label = QString::fromStdString(offered[i].label);
        auto* box = new QCheckBox(QString("%1  %2").arg(offered[i].number).arg(label), inner);
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
    const int n = static_cast<int>(Ticked().size());
    // With eight ticked the rest cannot be ticked; none ticked cannot be OK.
    for (QCheckBox* box : boxes_) box->setEnabled(box->isChecked() || n < kMaxTicked);
    count_->setText(QString("%1 of %2 ticked.").arg(n).arg(kMaxTicked));
    ok_->setEnabled(n > 0);
}
