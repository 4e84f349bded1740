#include "ReadBinaryDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "text/DecimalScan.h"

TRozaverazeDialog::TRozaverazeDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Read Binary");
    auto* layout = new QVBoxLayout(this);

    auto* channelsBox = new QFrame(this);
    channelsBox->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* grid = new QGridLayout(channelsBox);
    auto* ask = new QLabel("How many channels in this file?", channelsBox);
    ask->setAlignment(Qt::AlignCenter);
    grid->addWidget(ask, 0, 0, 1, 4);
    group_ = new QButtonGroup(this);
    for (int n = 1; n <= 8; ++n) {
        auto* b = new QRadioButton(QString::number(n), channelsBox);
        group_->addButton(b, n);
        grid->addWidget(b, 1 + (n - 1) / 4, (n - 1) % 4);
    }
    group_->button(channels_)->setChecked(true);
    connect(group_, &QButtonGroup::idClicked, this, [this](int id) { channels_ = id; });
    layout->addWidget(channelsBox);

    auto* intervalBox = new QFrame(this);
    intervalBox->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* v = new QVBoxLayout(intervalBox);
    auto* ask2 = new QLabel("Enter interval between samples in micro-seconds.", intervalBox);
    ask2->setWordWrap(true);
    ask2->setAlignment(Qt::AlignCenter);
    edit_ = new QLineEdit("1000", intervalBox);
    edit_->setAlignment(Qt::AlignCenter);
    edit_->setMaxLength(19);
    v->addWidget(ask2);
    v->addWidget(edit_);
    layout->addWidget(intervalBox);

    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TRozaverazeDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

int TRozaverazeDialog::ParseInterval(const QString& text) {
    int64_t v = 0;
    if (!koru::ScanInt(text.left(19).toStdString(), v)) return 0;
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int>(v);
}

void TRozaverazeDialog::accept() {
    const int value = ParseInterval(edit_->text());
    // A zero or negative interval cannot describe a recording: stay open.
    if (value <= 0) return;
    interval_ = value;
    QDialog::accept();
}
