#include "CutoutDialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "export/Amplitude.h"

namespace {

QPushButton* MakeOk(QDialog* dlg) {
    auto* ok = new QPushButton("OK", dlg);
    ok->setObjectName("1");
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
    return ok;
}

}  // namespace

TChannelSelectDialog::TChannelSelectDialog(QWidget* parent, int ticked) : QDialog(parent) {
    setWindowTitle("Data Channels");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(18);

    auto* boxes = new QVBoxLayout;
    boxes->setSpacing(4);
    for (int i = 0; i < 8; ++i) {
        auto* box = new QCheckBox(QString("Chan %1").arg(i + 1), this);
        box->setObjectName(QString::number(kFirstBox + i));
        box->setChecked(i < ticked);
        connect(box, &QCheckBox::clicked, this, &TChannelSelectDialog::ReadBoxes);
        boxes_[static_cast<std::size_t>(i)] = box;
        boxes->addWidget(box);
    }
    layout->addLayout(boxes);

    auto* side = new QVBoxLayout;
    side->addWidget(new QLabel("Select which\nchannels to\nsave or append.", this));
    side->addStretch();
    auto* ok = MakeOk(this);
    side->addWidget(ok);
    layout->addLayout(side);
    setFixedSize(sizeHint());
    ReadBoxes();
}

void TChannelSelectDialog::ReadBoxes() {
    for (std::size_t i = 0; i < boxes_.size(); ++i) selected_[i] = boxes_[i]->isChecked();
}

int TChannelSelectDialog::SelectedCount() const {
    return static_cast<int>(std::count(selected_.begin(), selected_.end(), true));
}

TAmplitudeDialog::TAmplitudeDialog(const std::array<int32_t, 8>& values, QWidget* parent)
    : QDialog(parent) {
    std::array<std::string, 8> lines;
    for (int i = 0; i < 8; ++i)
        lines[static_cast<std::size_t>(i)] =
            koru::AmplitudeLine(i + 1, values[static_cast<std::size_t>(i)]);
    Build(lines, koru::kAmplitudeExplanation);
}

TAmplitudeDialog::TAmplitudeDialog(const std::array<std::string, 8>& lines,
                                   const std::string& explanation, QWidget* parent)
    : QDialog(parent) {
    Build(lines, QString::fromStdString(explanation));
}

void TAmplitudeDialog::Build(const std::array<std::string, 8>& lines, const QString& explanation) {
    setWindowTitle("Signal Amplitude");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(40);
    for (int i = 0; i < 8; ++i) {
        const std::string& text = lines[static_cast<std::size_t>(i)];
        auto* label = new QLabel(QString::fromStdString(text), this);
        label->setObjectName(QString::number(kFirstValue + i));
        values_[static_cast<std::size_t>(i)] = label;
        grid->addWidget(label, i % 4, i / 4);
    }
    layout->addLayout(grid);

    auto* explanationLabel = new QLabel(explanation, this);
    explanationLabel->setWordWrap(true);
    explanationLabel->setFixedWidth(320);
    layout->addSpacing(6);
    layout->addWidget(explanationLabel);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(MakeOk(this));
    buttons->addStretch();
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}
