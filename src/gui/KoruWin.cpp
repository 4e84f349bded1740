#include "KoruWin.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "ClientWin.h"
#include "ToolIcons.h"
#include "app/MarkerCommands.h"

using koru::Cmd;
using koru::Field;

namespace {

QString Text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

bool IsToggle(Cmd c) {
    return c == Cmd::ToggleDots || c == Cmd::ToggleMarkers || c == Cmd::ToggleNames ||
           c == Cmd::ToggleTimeHacks;
}

QLabel* MakeField(QWidget* parent, int chars, bool recessed) {
    auto* l = new QLabel(parent);
    l->setAlignment(Qt::AlignCenter);
    if (recessed) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setMinimumWidth(QFontMetrics(l->font()).horizontalAdvance(QString(chars, '0')) + 8);
    return l;
}

}  // namespace

TKoruWin::TKoruWin(koru::Session& session, QWidget* parent)
    : QMainWindow(parent), session_(session) {
    view_ = new TClientWin(session, this);
    runner_ = std::make_unique<koru::CommandRunner>(session, view_->Model());
    connect(view_, &TClientWin::CountsChanged, this, &TKoruWin::RefreshCommandStates);
    setCentralWidget(view_);
    setWindowTitle(koru::kAppTitle);
    const auto place = session_.geometry().NormalPlacement();
    setGeometry(place.left, place.top, place.width, place.height);
    BuildMenuBar();
    BuildToolBars();
    BuildStatusBar();
    RefreshCommandStates();
}

TKoruWin::~TKoruWin() = default;

QAction* TKoruWin::Action(int command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

QAction* TKoruWin::MakeAction(const koru::CommandInfo& info) {
    const int id = static_cast<int>(info.cmd);
    if (QAction* existing = Action(id)) return existing;
    auto* a = new QAction(Text(info.menuText), this);
    a->setStatusTip(Text(info.hint));
    a->setData(id);
    a->setCheckable(IsToggle(info.cmd));
    connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_[id] = a;
    return a;
}

void TKoruWin::BuildMenuBar() {
    QMenuBar* bar = menuBar();
    QMenuBar* rightBar = nullptr;
    for (const koru::MenuBarItem& item : koru::MenuBar()) {
        if (!item.isPopup) {
            QAction* a = MakeAction(*koru::FindCommand(item.id));
            bar->addAction(a);
            continue;
        }
        QMenuBar* target = bar;
        if (item.rightAligned) {
            // The help popup sits at the far right of the bar.
            rightBar = new QMenuBar(bar);
            target = rightBar;
        }
        QMenu* menu = target->addMenu(Text(item.text));
        menu->menuAction()->setStatusTip(Text(koru::HintFor(item.id)));
        for (const koru::MenuEntry& e : item.entries) {
            if (e.separator) {
                menu->addSeparator();
                continue;
            }
            QAction* a = MakeAction(*koru::FindCommand(e.cmd));
            a->setChecked(e.checked);
            menu->addAction(a);
        }
        if (item.id == koru::kViewPopupId) viewMenu_ = menu;
    }
    if (rightBar) bar->setCornerWidget(rightBar, Qt::TopRightCorner);
}

QLabel* TKoruWin::AddField(QToolBar* bar, const char* label, int labelChars, Field field,
                           int chars) {
    QLabel* caption = MakeField(bar, labelChars, false);
    caption->setText(label);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bar->addWidget(caption);
    QLabel* f = MakeField(bar, chars, true);
    bar->addWidget(f);
    fields_[field] = f;
    return f;
}

void TKoruWin::BuildToolBars() {
    firstBar_ = addToolBar("Commands");
    firstBar_->setMovable(false);
    for (const koru::ToolBarItem& item : koru::ToolBar()) {
        if (item.separator) {
            firstBar_->addSeparator();
            continue;
        }
        QAction* a = MakeAction(*koru::FindCommand(item.cmd));
        a->setIcon(ToolIcon(item.bitmap));
        firstBar_->addAction(a);
    }
    firstBar_->addSeparator();
    AddField(firstBar_, "Samp/div:", 6, Field::SampPerDiv, 3);
    secondBar_ = firstBar_;
    if (session_.geometry().ScreenWidth < 1024) {
        addToolBarBreak();
        secondBar_ = addToolBar("Position");
        secondBar_->setMovable(false);
    }
    AddField(secondBar_, "Pos:", 3, Field::Position, 16);
    AddField(secondBar_, "Cut:", 3, Field::Cut, 10);
}

void TKoruWin::BuildStatusBar() {
    QStatusBar* sb = statusBar();
    sb->setSizeGripEnabled(true);
    // A normal widget, so hints shown over it give the text back when they go.
    message_ = new QLabel(sb);
    sb->addWidget(message_, 1);
    for (auto [field, chars] : {std::pair{Field::Length, 12}, std::pair{Field::Frequency, 7},
                                std::pair{Field::Description, 7}}) {
        QLabel* f = MakeField(sb, chars, true);
        sb->addPermanentWidget(f);
        fields_[field] = f;
    }
}

void TKoruWin::SetField(Field field, const QString& text) {
    fields_.at(field)->setText(text);
}

void TKoruWin::SetMessage(const QString& text) {
    message_->setText(text);
}

void TKoruWin::SetViewMenuEnabled(bool enabled) {
    viewMenuEnabled_ = enabled;
    RefreshCommandStates();
}

void TKoruWin::SetToggleChecks(bool dots, bool markers, bool names, bool timeHacks) {
    Action(static_cast<int>(Cmd::ToggleDots))->setChecked(dots);
    Action(static_cast<int>(Cmd::ToggleMarkers))->setChecked(markers);
    Action(static_cast<int>(Cmd::ToggleNames))->setChecked(names);
    Action(static_cast<int>(Cmd::ToggleTimeHacks))->setChecked(timeHacks);
}

void TKoruWin::RefreshCommandStates() {
    const koru::EnableState state = runner_->Enables();
    for (auto& [id, action] : actions_) action->setEnabled(koru::IsCommandEnabled(id, state));
    if (viewMenu_)
        viewMenu_->menuAction()->setEnabled(viewMenuEnabled_ &&
                                            koru::IsCommandEnabled(koru::kViewPopupId, state));
}

void TKoruWin::OnCommand(int command) {
    runner_->Run(command);
    RefreshCommandStates();
}

void TKoruWin::closeEvent(QCloseEvent* event) {
    if (koru::MayCloseRecording(session_))
        event->accept();
    else
        event->ignore();
    RefreshCommandStates();
}

void TKoruWin::ShowAboutBox() {
    QDialog box(this);
    box.setWindowTitle("ABOUT KORUVIEW");
    auto* layout = new QVBoxLayout(&box);
    auto* org =
        new QLabel("Koru Cardiac Signal Laboratory\n14 Fern Terrace\nWellington 6011", &box);
    org->setAlignment(Qt::AlignCenter);
    auto* notice = new QLabel(
        "Version 95.4\nA viewer for multichannel electrogram recordings.\n"
        "Written by the KORU VIEW developers.\n14 Fern Terrace, Wellington 6011\n"
        "koruview@example.org",
        &box);
    notice->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(org);
    layout->addWidget(notice);
    layout->addWidget(buttons);
    box.exec();
}
