#include "QtPrintJob.h"

#include <zlib.h>

#include <QCoreApplication>
#include <QIODevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QWidget>
#include <cerrno>
#include <new>

#include "PrintingBox.h"
#include "QtPrinterCanvas.h"
#include "QtTextRenderer.h"
#include "platform/FileWriter.h"

// Qt deflates every stream of a PDF at zlib's default level and has no
// setting for it; at that level deflate took more than half the time of a
// printed page. The fastest level halves the printing time for about a
// quarter more bytes. This stands in for zlib's own initialisation for every
// caller in the program that asks for the default level; a caller that names
// a level keeps it.
extern "C" int deflateInit_(z_streamp stream, int level, const char* version, int streamSize) {
    if (level == Z_DEFAULT_COMPRESSION) level = Z_BEST_SPEED;
    return deflateInit2_(stream, level, Z_DEFLATED, MAX_WBITS, 8, Z_DEFAULT_STRATEGY, version,
                         streamSize);
}

namespace {

// The PDF engine's output, handed to a FileWriter chunk by chunk.
class WriterDevice final : public QIODevice {
  public:
    explicit WriterDevice(koru::FileWriter& writer) : writer_(writer) {}
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        return writer_.Write(data, static_cast<std::size_t>(size)) ? size : -1;
    }

  private:
    koru::FileWriter& writer_;
};

koru::PrintResult FromErrno(int error) {
    if (error == ENOSPC || error == EDQUOT) return koru::PrintResult::OutOfDisk;
    if (error == ENOMEM) return koru::PrintResult::OutOfMemory;
    return koru::PrintResult::Failed;
}

}  // namespace

class QtPrintJob::PdfFile {
  public:
    koru::FileWriter writer;
    WriterDevice device{writer};
    QPdfWriter pdf{&device};
};

QtPrintJob::QtPrintJob() = default;

QtPrintJob::~QtPrintJob() {
    // Nothing may leave a destructor: a job unwound by a failed allocation
    // is thrown away, whatever ending it costs.
    try {
        if (!finished_) Finish(true);
    } catch (...) {
        (void)painter_.release();
    }
    delete box_;
    if (view_) view_->setEnabled(true);
}

std::string QtPrintJob::RefusalText(const std::string& path) {
    if (!koru::IsWriteProtected(path)) return {};
    return "Cannot write " + path + ": " + koru::kWriteProtectedWords +
           ". The file was not changed.";
}

bool QtPrintJob::EndPainter() {
    if (!painter_ || !painter_->isActive()) return false;
    try {
        return painter_->end();
    } catch (const std::bad_alloc&) {
        // The PDF engine writes out the last page as it ends, and can run
        // out of memory again right after a job failed for it. The painter
        // is then left unended for good: its destructor would end it again
        // and throw where nothing may.
        (void)painter_.release();
        outOfMemory_ = true;
        return false;
    }
}

std::unique_ptr<QtPrintJob> QtPrintJob::OnPrinter(QPrinter& printer, const QString& title,
                                                  QWidget* view, koru::PrintResult& failure) {
    std::unique_ptr<QtPrintJob> job(new QtPrintJob);
    job->printer_ = &printer;
    printer.setDocName(title);
    // Copies are the printer's business where it can make them.
    job->copies_ = printer.supportsMultipleCopies() ? 1 : std::max(printer.copyCount(), 1);
    if (!job->Begin(printer, title, printer.printerName(), view)) {
        failure = job->PrinterResult();
        if (failure == koru::PrintResult::Printed) failure = koru::PrintResult::Failed;
        job->finished_ = true;
        return nullptr;
    }
    return job;
}

std::unique_ptr<QtPrintJob> QtPrintJob::ToPdf(const PdfTarget& target, const QString& title,
                                              const QString& printerName, QWidget* view,
                                              koru::PrintResult& failure) {
    std::unique_ptr<QtPrintJob> job(new QtPrintJob);
    job->pdf_ = std::make_unique<PdfFile>();
    PdfFile& file = *job->pdf_;
    if (!file.writer.Open(target.path)) {
        failure = FromErrno(file.writer.ErrorCode());
        job->finished_ = true;
        return nullptr;
    }
    file.device.open(QIODevice::WriteOnly);
    file.pdf.setPageLayout(target.layout);
    file.pdf.setResolution(target.resolution);
    file.pdf.setTitle(title);
    file.pdf.setCreator(QStringLiteral("KORU VIEW"));
    job->copies_ = std::max(target.copies, 1);
    if (!job->Begin(file.pdf, title, printerName, view)) {
        failure = job->PdfResult(true);
        if (failure == koru::PrintResult::Printed) failure = koru::PrintResult::Failed;
        job->finished_ = true;
        return nullptr;
    }
    return job;
}

bool QtPrintJob::Begin(QPagedPaintDevice& device, const QString& title, const QString& printerName,
                       QWidget* view) {
    painter_ = std::make_unique<QPainter>();
    if (!painter_->begin(&device)) return false;
    canvas_ = std::make_unique<QtPrinterCanvas>(*painter_, QtTextRenderer().Font());
    canvas_->SetPoll([this] { return Canceled(); });
    if (view) {
        view_ = view;
        box_ = new TPrintingBox(view->window(), title, printerName);
        view->setEnabled(false);
        box_->show();
    }
    return true;
}

koru::Canvas& QtPrintJob::Surface() {
    return *canvas_;
}

koru::Size QtPrintJob::PageSize() const {
    return canvas_->DeviceSize();
}

void QtPrintJob::MapLogical(koru::Size logical) {
    canvas_->MapLogical(logical);
}

bool QtPrintJob::StartPage(int32_t number, int32_t count) {
    if (box_) {
        box_->SetPage(number, count);
        QCoreApplication::processEvents();
    }
    if (started_) {
        QPagedPaintDevice* device = pdf_ ? static_cast<QPagedPaintDevice*>(&pdf_->pdf) : printer_;
        if (!device->newPage()) return false;
    }
    started_ = true;
    return !(pdf_ && pdf_->writer.Failed());
}

bool QtPrintJob::EndPage() {
    canvas_->Flush();
    if (pdf_) return !pdf_->writer.Failed();
    return printer_->printerState() != QPrinter::Error &&
           printer_->printerState() != QPrinter::Aborted;
}

bool QtPrintJob::Canceled() {
    if (box_) QCoreApplication::processEvents();
    return box_ && box_->WasCanceled();
}

koru::PrintResult QtPrintJob::PrinterResult() const {
    if (box_ && box_->WasCanceled()) return koru::PrintResult::Canceled;
    switch (printer_->printerState()) {
        case QPrinter::Aborted:
            return koru::PrintResult::SpoolerAborted;
        case QPrinter::Error:
            return koru::PrintResult::Failed;
        default:
            return koru::PrintResult::Printed;
    }
}

koru::PrintResult QtPrintJob::PdfResult(bool abandon) {
    koru::FileWriter& writer = pdf_->writer;
    if (box_ && box_->WasCanceled()) {
        writer.Abandon();
        return koru::PrintResult::Canceled;
    }
    if (writer.Failed()) {
        const koru::PrintResult r = FromErrno(writer.ErrorCode());
        writer.Abandon();
        return r;
    }
    if (abandon) {
        writer.Abandon();
        return koru::PrintResult::Failed;
    }
    if (!writer.Commit()) return FromErrno(writer.ErrorCode());
    return koru::PrintResult::Printed;
}

koru::PrintResult QtPrintJob::Finish(bool abandon) {
    if (finished_) return koru::PrintResult::Failed;
    finished_ = true;
    try {
        if (canvas_) canvas_->Flush();
    } catch (const std::bad_alloc&) {
        outOfMemory_ = true;
    }
    canvas_.reset();
    if (pdf_) {
        EndPainter();
        pdf_->device.close();
        if (outOfMemory_) {
            pdf_->writer.Abandon();
            return koru::PrintResult::OutOfMemory;
        }
        return PdfResult(abandon);
    }
    // Read before an abort of our own makes the printer say it was aborted.
    koru::PrintResult r = PrinterResult();
    if (abandon || outOfMemory_) printer_->abort();
    const bool ended = EndPainter();
    if (outOfMemory_) return koru::PrintResult::OutOfMemory;
    if (r == koru::PrintResult::Printed && (abandon || !ended)) r = koru::PrintResult::Failed;
    return r;
}
