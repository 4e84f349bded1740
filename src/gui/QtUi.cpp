#include "QtUi.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QUrl>

#include "ClientWin.h"
#include "KoruWin.h"
#include "ProgressDialog.h"
#include "ReadBinaryDialog.h"

namespace {
QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

QMessageBox::Icon IconOf(koru::MessageIcon icon) {
    switch (icon) {
        case koru::MessageIcon::Stop:
            return QMessageBox::Critical;
        case koru::MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case koru::MessageIcon::Question:
            return QMessageBox::Question;
        case koru::MessageIcon::Information:
            break;
    }
    return QMessageBox::Information;
}
}  // namespace

QtUi::QtUi() = default;
QtUi::~QtUi() = default;

void QtUi::SetStatusText(std::string_view text) {
    if (win_) win_->SetMessage(Q(text));
}

QWidget* QtUi::Owner(koru::MessageOwner owner) const {
    if (win_ && owner == koru::MessageOwner::MainWindow) return win_;
    if (win_ && owner == koru::MessageOwner::View) return win_->View();
    return nullptr;
}

void QtUi::ShowMessage(koru::MessageOwner owner, std::string_view text, std::string_view title,
                       koru::MessageIcon icon) {
    QMessageBox box(IconOf(icon), Q(title), Q(text), QMessageBox::Ok, Owner(owner));
    box.exec();
}

koru::Reply QtUi::AskYesNoCancel(koru::MessageOwner owner, std::string_view text,
                                 std::string_view title, koru::MessageIcon icon) {
    QMessageBox box(IconOf(icon), Q(title), Q(text),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, Owner(owner));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return koru::Reply::Yes;
        case QMessageBox::No:
            return koru::Reply::No;
        default:
            return koru::Reply::Cancel;
    }
}

QString QtUi::QtFilter(const std::string& filter) {
    const QStringList parts = Q(filter).split('|', Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        // Qt reads the patterns from the parentheses; add them if the text has none.
        const QString& desc = parts[i];
        out << (desc.contains('(') ? desc : desc + " (" + parts[i + 1] + ")");
    }
    return out.join(";;");
}

std::optional<koru::FileDialogAnswer> QtUi::RunFileDialog(koru::FileDialogSetup& setup, bool save) {
    QFileDialog dlg(win_);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    if (!setup.title.empty()) dlg.setWindowTitle(Q(setup.title));
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setNameFilter(QtFilter(setup.filter));
    dlg.setDefaultSuffix(Q(setup.defaultExt));
    if (setup.flags & koru::OFN_OVERWRITEPROMPT)
        dlg.setOption(QFileDialog::DontConfirmOverwrite, false);
    else
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    // Start in the folder of a proposed path when it exists, else where the
    // last chosen file was, else in the signal directory when it exists,
    // else in the current directory.
    QString dir = QFileInfo(Q(setup.fileName)).dir().path();
    if (setup.fileName.find('/') == std::string::npos || !QFileInfo(dir).isDir()) dir.clear();
    if (dir.isEmpty()) dir = Q(setup.lastDir);
    if (dir.isEmpty() && setup.initialDir) dir = Q(*setup.initialDir);
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) dir = QDir::currentPath();
    dlg.setDirectory(dir);
    if (!setup.fileName.empty()) dlg.selectFile(QFileInfo(Q(setup.fileName)).fileName());
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    const QString path = dlg.selectedFiles().first();
    koru::FileDialogAnswer answer;
    answer.path = path.toStdString();
    answer.extensionDifferent =
        QFileInfo(path).suffix().compare(Q(setup.defaultExt), Qt::CaseInsensitive) != 0;
    setup.fileName = answer.path;
    setup.lastDir = QFileInfo(path).absolutePath().toStdString();
    return answer;
}

std::optional<koru::FileDialogAnswer> QtUi::OpenFileDialog(koru::FileDialogSetup& setup) {
    return RunFileDialog(setup, false);
}

std::optional<koru::FileDialogAnswer> QtUi::SaveFileDialog(koru::FileDialogSetup& setup) {
    return RunFileDialog(setup, true);
}

koru::ReadBinaryAnswer QtUi::ReadBinary() {
    TRozaverazeDialog dlg(nullptr);
    dlg.exec();
    return {dlg.Channels(), dlg.Interval()};
}

void QtUi::ProgressBegin(koru::ProgressMode mode) {
    progress_ = std::make_unique<TProgressDialog>(
        win_ ? static_cast<QWidget*>(win_->View()) : nullptr,
        mode == koru::ProgressMode::Writing ? TProgressDialog::Writing : TProgressDialog::Reading);
    progress_->show();
    progress_->repaint();
}

void QtUi::ProgressSet(int percent) {
    if (progress_) progress_->SetPercent(percent);
}

void QtUi::ProgressEnd() {
    progress_.reset();
}

void QtUi::SetCursor(koru::CursorShape shape) {
    if (shape == koru::CursorShape::Wait && !waitCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        waitCursor_ = true;
    } else if (shape == koru::CursorShape::View && waitCursor_) {
        QApplication::restoreOverrideCursor();
        waitCursor_ = false;
    }
}

void QtUi::SetField(koru::Field field, std::string_view text) {
    if (win_) win_->SetField(field, Q(text));
}

void QtUi::SetTitle(std::string_view title) {
    if (win_) win_->setWindowTitle(Q(title));
}

void QtUi::SetViewMenuEnabled(bool enabled) {
    if (win_) win_->SetViewMenuEnabled(enabled);
}

void QtUi::SetToggleChecks(bool dots, bool markers, bool names, bool timeHacks) {
    if (win_) win_->SetToggleChecks(dots, markers, names, timeHacks);
}

void QtUi::InvalidateAll() {
    if (!win_) return;
    win_->update();
    win_->View()->InvalidateAll();
    win_->RefreshCommandStates();
}

void QtUi::ShowHelp(const std::string& path) {
    const QString file = QString::fromStdString(path);
    if (QFileInfo::exists(file)) QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void QtUi::ShowAbout() {
    if (win_) win_->ShowAboutBox();
}

void QtUi::CloseMainWindow() {
    if (win_) win_->close();
}
