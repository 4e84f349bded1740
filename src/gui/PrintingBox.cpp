#include "PrintingBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TPrintingBox::TPrintingBox(QWidget* owner, const QString& title, const QString& printer)
    : QDialog(owner) {
    setWindowTitle(QStringLiteral("Printing"));
    // Modal to the main window while events still flow: the menus cannot
    // start another command under the job, and the box's button works.
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QStringLiteral("'%1'").arg(title), this);
    name->setTextInteractionFlags(Qt::NoTextInteraction);
    layout->addWidget(name);
    layout->addWidget(new QLabel(QStringLiteral("on %1").arg(printer), this));
    page_ = new QLabel(this);
    layout->addWidget(page_);
    gauge_ = new QProgressBar(this);
    gauge_->setTextVisible(false);
    layout->addWidget(gauge_);
    auto* row = new QHBoxLayout;
    row->addStretch();
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setDefault(true);
    row->addWidget(cancel_);
    row->addStretch();
    layout->addLayout(row);
    connect(cancel_, &QPushButton::clicked, this, &TPrintingBox::reject);
    setMinimumWidth(360);
}

void TPrintingBox::SetPage(int page, int count) {
    page_->setText(QStringLiteral("Page %1 of %2").arg(page).arg(count));
    gauge_->setRange(0, count);
    gauge_->setValue(page - 1);
}

QString TPrintingBox::PageText() const {
    return page_->text();
}

void TPrintingBox::reject() {
    if (canceled_) return;
    canceled_ = true;
    cancel_->setEnabled(false);
    page_->setText(page_->text() + QStringLiteral(" - canceling"));
}
