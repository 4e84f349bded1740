#include "QtUi.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QUrl>
#include <QWindow>

#include "ClientWin.h"
#include "ConfigureDialog.h"
#include "CutoutDialogs.h"
#include "KoruWin.h"
#include "ProgressDialog.h"
#include "QtPrintJob.h"
#include "ReadBinaryDialog.h"
#include "SignalsDialog.h"
#include "TimeBaseDialog.h"
#include "print/PrintRun.h"

namespace {
QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

// Keeps a dialog in front for as long as it runs.
class FrontDialog {
  public:
    FrontDialog(std::vector<QWidget*>& stack, QWidget* dialog) : stack_(stack) {
        stack_.push_back(dialog);
    }
    ~FrontDialog() { stack_.pop_back(); }
    FrontDialog(const FrontDialog&) = delete;
    FrontDialog& operator=(const FrontDialog&) = delete;

  private:
    std::vector<QWidget*>& stack_;
};

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
    if (owner == koru::MessageOwner::Dialog) return Front();
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
    QFileDialog dlg(Front());
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    if (!setup.title.empty()) dlg.setWindowTitle(Q(setup.title));
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A save dialog whose file must exist (Append To) refuses a new name as
    // the open dialogs do, with "File not found.", before anything else asks.
    const bool mustExist = !save || (setup.flags & koru::OFN_FILEMUSTEXIST);
    dlg.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
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

std::optional<std::vector<int>> QtUi::ChooseSignals(const std::vector<koru::SignalChoice>& offered,
                                                    const std::vector<int>& ticked) {
    TSignalsDialog dlg(offered, ticked, Front());
    const FrontDialog front(dialogs_, &dlg);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Ticked();
}

// A small list of the record's annotators, the one in use selected; shown
// only when there is a choice.
std::optional<int> QtUi::ChooseAnnotator(const std::vector<std::string>& names, int current) {
    if (names.size() < 2) return current;
    QStringList items;
    for (const std::string& n : names) items << QString::fromStdString(n);
    QInputDialog dlg(Front());
    dlg.setWindowTitle(QStringLiteral("Annotations"));
    dlg.setLabelText(
        QStringLiteral("The record has several annotation files.\nShow the beats of:"));
    dlg.setOption(QInputDialog::UseListViewForComboBoxItems);
    dlg.setComboBoxItems(items);
    if (current >= 0 && current < items.size()) dlg.setTextValue(items[current]);
    const FrontDialog front(dialogs_, &dlg);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return static_cast<int>(items.indexOf(dlg.textValue()));
}

QWidget* QtUi::Front() const {
    return dialogs_.empty() ? static_cast<QWidget*>(win_) : dialogs_.back();
}

std::optional<int32_t> QtUi::TimeBaseDialog(std::span<const int32_t> samplesPerDivision,
                                            int32_t index) {
    TTimeBaseDialog dlg(samplesPerDivision, index, win_);
    const FrontDialog front(dialogs_, &dlg);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Index();
}

bool QtUi::ConfigureDialog(koru::DialogModel& dialog, int32_t screenWidth, int32_t screenHeight) {
    TConfigureDialog dlg(dialog, QSize(screenWidth, screenHeight), win_);
    const FrontDialog front(dialogs_, &dlg);
    // The menu-bar item that started it stays lit, and its hint would hide
    // the command's message for as long as the dialog is open.
    if (win_) win_->statusBar()->clearMessage();
    return dlg.exec() == QDialog::Accepted;
}

std::array<bool, 8> QtUi::ChannelSelectDialogFor(int channelCount) {
    TChannelSelectDialog dlg(win_ ? static_cast<QWidget*>(win_->View()) : nullptr, channelCount);
    const FrontDialog front(dialogs_, &dlg);
    dlg.exec();  // OK, Esc and the close box all go on with the ticks as they are
    return dlg.Selection();
}

void QtUi::AmplitudeDialog(const std::array<int32_t, 8>& values) {
    TAmplitudeDialog dlg(values, win_);
    const FrontDialog front(dialogs_, &dlg);
    dlg.exec();
}

void QtUi::PhysicalAmplitudeDialog(const std::array<int32_t, 8>& values,
                                   const std::array<std::string, 8>& lines,
                                   const std::string& explanation) {
    (void)values;
    TAmplitudeDialog dlg(lines, explanation, win_);
    const FrontDialog front(dialogs_, &dlg);
    dlg.exec();
}

void QtUi::ProgressBegin(koru::ProgressMode mode) {
    progress_ =
        std::make_unique<TProgressDialog>(win_ ? static_cast<QWidget*>(win_->View()) : nullptr,
                                          static_cast<TProgressDialog::Mode>(mode));
    progress_->show();
    // The load runs without returning to the event loop, so the box must be
    // on the screen before it starts: let the window system map it and
    // paint it once (user input stays queued).
    QElapsedTimer waited;
    waited.start();
    while (!progress_->windowHandle()->isExposed() && waited.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
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

void QtUi::SetCommandChecked(int32_t command, bool checked) {
    if (win_) win_->SetCommandChecked(command, checked);
}

void QtUi::InvalidateAll() {
    if (!win_) return;
    win_->update();
    win_->View()->InvalidateAll();
    win_->RefreshCommandStates();
}

void QtUi::ShowHelp(const std::string& path) {
    const QString file = QString::fromStdString(path);
    const bool exists = QFileInfo::exists(file);
    if (exists && QDesktopServices::openUrl(QUrl::fromLocalFile(file))) return;
    // Without a viewer (or a guide) the command must still say something.
    ShowMessage(koru::MessageOwner::MainWindow, HelpNotShownText(path, exists), "Help",
                koru::MessageIcon::Information);
}

std::string QtUi::HelpNotShownText(const std::string& path, bool exists) {
    if (!exists) return "The guide was not found. It belongs at\n" + path;
    return "No program to show the guide could be started. The guide is the file\n" + path +
           "\nOpen it with a web browser.";
}

void QtUi::ShowAbout() {
    if (win_) win_->ShowAboutBox();
}

void QtUi::CloseMainWindow() {
    if (win_) win_->close();
}

koru::PrintSettings* QtUi::Printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // A page is a picture of the screen: across the sheet, as it is seen.
        printer_->setPageOrientation(QPageLayout::Landscape);
    }
    return &printSettings_;
}

bool QtUi::PrintDialog(koru::PrintSettings& settings) {
    Printer();
    QPrinter& p = *printer_;
    QPrintDialog dlg(&p, win_);
    dlg.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintSelection |
                   QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintCollateCopies |
                   QAbstractPrintDialog::PrintShowPageSize);
    dlg.setMinMax(settings.minPage, settings.maxPage);
    p.setFromTo(settings.fromPage, settings.toPage);
    switch (settings.choice) {
        case koru::PageChoice::All:
            p.setPrintRange(QPrinter::AllPages);
            break;
        case koru::PageChoice::Selection:
            p.setPrintRange(QPrinter::Selection);
            break;
        case koru::PageChoice::Range:
            p.setPrintRange(QPrinter::PageRange);
            break;
    }
    p.setCopyCount(settings.copies);
    p.setCollateCopies(settings.collate);
    if (dlg.exec() != QDialog::Accepted) return false;
    switch (p.printRange()) {
        case QPrinter::AllPages:
            settings.choice = koru::PageChoice::All;
            break;
        case QPrinter::PageRange:
            settings.choice = koru::PageChoice::Range;
            settings.fromPage = p.fromPage();
            settings.toPage = p.toPage();
            break;
        case QPrinter::Selection:
        case QPrinter::CurrentPage:
            settings.choice = koru::PageChoice::Selection;
            break;
    }
    settings.copies = p.copyCount();
    settings.collate = p.collateCopies();
    return true;
}

std::unique_ptr<koru::PrintJob> QtUi::BeginPrintJob(std::string_view title,
                                                    koru::PrintResult& failure) {
    Printer();
    QPrinter& p = *printer_;
    QWidget* view = win_ ? static_cast<QWidget*>(win_->View()) : nullptr;
    if (p.outputFormat() == QPrinter::PdfFormat && !p.outputFileName().isEmpty()) {
        // A file is written as every other file of the program is: whole, or
        // not at all.
        PdfTarget target;
        target.path = p.outputFileName().toStdString();
        if (const std::string refusal = QtPrintJob::RefusalText(target.path); !refusal.empty()) {
            ShowMessage(koru::MessageOwner::View, refusal, koru::kPrintErrorTitle,
                        koru::MessageIcon::Stop);
            failure = koru::PrintResult::Refused;
            return nullptr;
        }
        target.layout = p.pageLayout();
        target.resolution = p.resolution();
        target.copies = p.copyCount();
        return QtPrintJob::ToPdf(target, Q(title), p.outputFileName(), view, failure);
    }
    return QtPrintJob::OnPrinter(p, Q(title), view, failure);
}

void QtUi::PrinterSetupDialog() {
    Printer();
    QPageSetupDialog dlg(printer_.get(), win_);
    dlg.exec();
}
