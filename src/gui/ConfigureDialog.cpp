#include "ConfigureDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "config/ConfigureForm.h"

namespace ctl = koru::configure_ctl;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// A caption shows every character; '&' would otherwise mark a shortcut.
QString Caption(const std::string& s) {
    return Q(s).replace('&', "&&");
}

QLabel* Title(const char* text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    return l;
}

// Wide enough for the longest of the names, and never narrower than `chars`.
int NameWidth(const QFontMetrics& fm, const std::vector<std::string>& names, int chars) {
    int w = fm.horizontalAdvance(QString(chars, 'n'));
    for (const std::string& n : names) w = std::max(w, fm.horizontalAdvance(Q(n)));
    return w;
}

constexpr int kOkId = 1;
constexpr int kCancelId = 2;

constexpr const char* kExplanations[] = {
    "Set desired value(s) in the \"Options\" box, then apply the selection(s) in the \"Target "
    "Configuration\" box.",
    "Click on an \"Amp. Chan.\" button to apply all four values to a channel.",
    "Click on a \"Lead Name\", \"Display Position\", \"Display Color\", or \"Display Size\" "
    "button to apply only the selected option to a channel.",
};

constexpr const char* kHelpTexts[] = {
    "Select \"Make Default\" to immediately save the current configuration as the default "
    "configuration in the INI file.",
    "Select \"Load Default\" to reset displayed configuration to the current default stored in "
    "the INI file.",
    "Select \"Load Conf.\" to load a previously saved configuration.",
    "Select \"Save Conf.\" to save to disk the currently displayed configuration.",
    "Select \"OK\" to apply the current configuration and return to KORU VIEW.",
    "Select \"Cancel\" to return to KORU VIEW without applying the displayed configuration.",
};

}  // namespace

TConfigureDialog::TConfigureDialog(koru::DialogModel& model, QSize screen, QWidget* parent)
    : QDialog(parent), model_(model), screen_(screen) {
    setWindowTitle("CONFIGURE");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildTargetBox());

    auto* middle = new QHBoxLayout;
    middle->addWidget(BuildOptionsBox(), 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    for (const char* text : kExplanations) {
        auto* l = new QLabel(text, this);
        l->setWordWrap(true);
        texts->addWidget(l);
    }
    texts->addStretch();
    middle->addLayout(texts, 1);
    layout->addLayout(middle);
    layout->addLayout(BuildBottomRow());
    Refresh();
    setFixedSize(sizeHint());
}

QPushButton* TConfigureDialog::ModelButton(int control, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QString::number(control));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, control] { Forward(control); });
    buttons_[control] = b;
    return b;
}

QWidget* TConfigureDialog::BuildTargetBox() {
    auto* box = new QGroupBox("Target Configuration", this);
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(2);
    const char* titles[] = {"Amp. Chan.",    "Lead Name",    "Display Position",
                            "Display Color", "Display Size", "Has Marker"};
    for (int c = 0; c < 6; ++c) grid->addWidget(Title(titles[c], box), 0, c);

    const QFontMetrics fm(font());
    const int pad = fm.horizontalAdvance("nnnn");
    const int leadWidth = NameWidth(fm, model_.Items(ctl::kLeadList), 9) + pad;
    const int colorWidth = NameWidth(fm, model_.Items(ctl::kColorList), 9) + pad;
    const int numberWidth = fm.horizontalAdvance("000") + pad;
    for (int n = 0; n < koru::kChannelCount; ++n) {
        const int row = n + 1;
        const struct {
            int first;
            int width;
        } columns[] = {{ctl::kAmpChan, numberWidth},
                       {ctl::kLeadName, leadWidth},
                       {ctl::kPosition, numberWidth},
                       {ctl::kColor, colorWidth},
                       {ctl::kSize, numberWidth}};
        for (int c = 0; c < 5; ++c) {
            QPushButton* b = ModelButton(columns[c].first + n, box);
            b->setMinimumWidth(columns[c].width);
            grid->addWidget(b, row, c, Qt::AlignHCenter);
        }
        const int id = ctl::kHasMarker + n;
        auto* check = new QCheckBox(box);
        check->setObjectName(QString::number(id));
        connect(check, &QCheckBox::clicked, this, [this, id] { Forward(id); });
        markers_[static_cast<std::size_t>(n)] = check;
        grid->addWidget(check, row, 5, Qt::AlignHCenter);
    }
    return box;
}

QIcon TConfigureDialog::Swatch(koru::ColorRef color) {
    QPixmap pm(16, 12);
    pm.fill(QColor(koru::RedOf(color), koru::GreenOf(color), koru::BlueOf(color)));
    QPainter p(&pm);
    p.setPen(Qt::gray);  // a rim, so black and white show on any list colour
    p.drawRect(0, 0, pm.width() - 1, pm.height() - 1);
    return QIcon(pm);
}

QSpinBox* TConfigureDialog::MakeValue(int spin, int value, int minimum, int maximum,
                                      QWidget* parent) {
    auto* s = new QSpinBox(parent);
    s->setObjectName(QString::number(value));
    s->setRange(minimum, maximum);
    s->setAlignment(Qt::AlignCenter);
    s->setMinimumWidth(s->sizeHint().width() + s->fontMetrics().horizontalAdvance("nn"));
    // Typed digits count once the field is left or Enter pressed, not at
    // every keystroke, so "12" never passes through 1.
    s->setKeyboardTracking(false);
    connect(s, &QSpinBox::valueChanged, this, [this, spin, value](int v) {
        model_.Spin(spin, v - valueShown_[value]);
        Refresh();
    });
    values_[value] = s;
    return s;
}

QWidget* TConfigureDialog::BuildOptionsBox() {
    auto* box = new QGroupBox("Options", this);
    auto* grid = new QGridLayout(box);
    grid->addWidget(Title("Lead Name", box), 0, 0);
    grid->addWidget(Title("Display Color", box), 0, 1);
    grid->addWidget(Title("Display Position", box), 0, 2);
    grid->addWidget(Title("Display Size", box), 0, 3);
    int column = 0;
    for (int id : {ctl::kLeadList, ctl::kColorList}) {
        auto* list = new QComboBox(box);  // a drop-down list: no typing
        list->setObjectName(QString::number(id));
        // The colour list shows each colour beside its name.
        const auto* form =
            id == ctl::kColorList ? dynamic_cast<const koru::ConfigureForm*>(&model_) : nullptr;
        int index = 0;
        for (const std::string& item : model_.Items(id)) {
            if (form) {
                list->addItem(Swatch(form->ItemColor(index++)), Q(item));
            } else {
                list->addItem(Q(item));
            }
        }
        connect(list, &QComboBox::currentIndexChanged, this, [this, id](int i) {
            model_.Select(id, i);
            Refresh();
        });
        lists_[id] = list;
        grid->addWidget(list, 1, column++);
    }
    grid->addWidget(MakeValue(ctl::kPositionSpin, ctl::kPositionValue, koru::kMinPosition,
                              koru::kDisplaySlots, box),
                    1, 2, Qt::AlignHCenter);
    grid->addWidget(
        MakeValue(ctl::kSizeSpin, ctl::kSizeValue, koru::kMinSize, koru::kMaxDisplaySize, box), 1,
        3, Qt::AlignHCenter);
    return box;
}

QLayout* TConfigureDialog::BuildBottomRow() {
    auto* row = new QHBoxLayout;
    const std::pair<int, const char*> buttons[] = {{ctl::kMakeDefault, "Make Default"},
                                                   {ctl::kLoadDefault, "Load Default"},
                                                   {ctl::kLoadConf, "Load Conf."},
                                                   {ctl::kSaveConf, "Save Conf."},
                                                   {kOkId, "OK"},
                                                   {kCancelId, "Cancel"},
                                                   {ctl::kHelp, "Help"}};
    for (const auto& [id, text] : buttons) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::number(id));
        b->setAutoDefault(false);
        fixed_[id] = b;
        if (id == kCancelId) {
            connect(b, &QPushButton::clicked, this, &QDialog::reject);
        } else if (id == ctl::kHelp) {
            connect(b, &QPushButton::clicked, this, [this] {
                TConfigureHelpDialog help(this);
                help.exec();
            });
        } else if (id == kOkId) {
            b->setDefault(true);
            connect(b, &QPushButton::clicked, this, &QDialog::accept);
        } else {
            connect(b, &QPushButton::clicked, this, [this, id] { Forward(id); });
        }
        row->addWidget(b);
        // The file buttons and the closing ones stand apart.
        if (id == ctl::kSaveConf) row->addSpacing(fontMetrics().horizontalAdvance("nnnn"));
    }
    return row;
}

void TConfigureDialog::Forward(int control) {
    model_.Click(control);
    Refresh();
}

void TConfigureDialog::Refresh() {
    for (auto& [id, b] : buttons_) b->setText(Caption(model_.Text(id)));
    for (int n = 0; n < koru::kChannelCount; ++n)
        markers_[static_cast<std::size_t>(n)]->setChecked(model_.Checked(ctl::kHasMarker + n));
    for (auto& [id, list] : lists_) {
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(model_.Selection(id));
    }
    for (auto& [id, spin] : values_) {
        const QSignalBlocker quiet(spin);
        const int v = Q(model_.Text(id)).toInt();
        spin->setValue(v);
        valueShown_[id] = v;
    }
}

QPushButton* TConfigureDialog::Button(int control) const {
    if (auto it = buttons_.find(control); it != buttons_.end()) return it->second;
    auto it = fixed_.find(control);
    return it == fixed_.end() ? nullptr : it->second;
}

QCheckBox* TConfigureDialog::MarkerBox(int channel) const {
    return markers_.at(static_cast<std::size_t>(channel));
}

QComboBox* TConfigureDialog::List(int control) const {
    auto it = lists_.find(control);
    return it == lists_.end() ? nullptr : it->second;
}

QSpinBox* TConfigureDialog::Value(int control) const {
    auto it = values_.find(control);
    return it == values_.end() ? nullptr : it->second;
}

void TConfigureDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (placed_ || event->spontaneous()) return;
    placed_ = true;
    // Centred on the screen the program started with; never off its top
    // left, so a dialog larger than the screen keeps its title bar in reach.
    const QSize outer = frameGeometry().size();
    move(std::max(0, (screen_.width() - outer.width()) / 2),
         std::max(0, (screen_.height() - outer.height()) / 2));
}

TConfigureHelpDialog::TConfigureHelpDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Configure Help");
    auto* layout = new QVBoxLayout(this);
    for (const char* text : kHelpTexts) {
        auto* l = new QLabel(text, this);
        l->setWordWrap(true);
        layout->addWidget(l);
    }
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    setFixedWidth(fontMetrics().horizontalAdvance(QString(52, 'n')));
}
