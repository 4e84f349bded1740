#include "ProgressDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
const char* const kModeTexts[] = {
    "Please wait while file is being read into memory.",
    "Please wait while file is being written to disk.",
    "Please wait while beats are being detected.",
};
}

TProgressDialog::TProgressDialog(QWidget* owner, Mode mode)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle("WAIT");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    message_ = new QLabel(kModeTexts[mode == Writing || mode == Detecting ? mode : 0], this);
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    gauge_ = new QProgressBar(this);
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    gauge_->setFormat("%v%");
    gauge_->setTextVisible(true);
    gauge_->setMinimumSize(112, 25);
    layout->addWidget(message_);
    layout->addWidget(gauge_);
    setFixedWidth(200);
}

void TProgressDialog::SetPercent(int percent) {
    gauge_->setValue(percent);
    gauge_->repaint();
}

int TProgressDialog::Percent() const {
    return gauge_->value();
}
QString TProgressDialog::MessageText() const {
    return message_->text();
}
