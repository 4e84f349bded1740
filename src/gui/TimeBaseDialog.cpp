#include "TimeBaseDialog.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TTimeBaseDialog::TTimeBaseDialog(std::span<const int32_t> samplesPerDivision, int32_t index,
                                 QWidget* parent)
    : QDialog(parent), group_(new QButtonGroup(this)), index_(index) {
    setWindowTitle("Time Base");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);

    auto* heading = new QLabel("Select desired samples per division", this);
    heading->setAlignment(Qt::AlignCenter);
    layout->addWidget(heading);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(16, 8, 16, 8);
    grid->setHorizontalSpacing(32);
    for (std::size_t i = 0; i < samplesPerDivision.size(); ++i) {
        const int n = static_cast<int>(i);
        auto* b = new QRadioButton(QString::number(samplesPerDivision[i]), panel);
        b->setObjectName(QString::number(kFirstChoice + n));
        group_->addButton(b, n);
        // Pairs by row: 640 beside 320, 160 beside 80, and so on.
        grid->addWidget(b, n / 2, n % 2);
    }
    if (QAbstractButton* checked = group_->button(index_)) checked->setChecked(true);
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) { index_ = id; });
    layout->addWidget(panel);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("1");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("2");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();
    layout->addSpacing(4);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

QRadioButton* TTimeBaseDialog::Choice(int i) const {
    return qobject_cast<QRadioButton*>(group_->button(i));
}
