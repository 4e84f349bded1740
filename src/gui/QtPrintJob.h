#pragma once
// A print job onto a printer, or into a PDF file that is written through
// FileWriter: the old file stays as it was until the last page is on disk,
// and a cancelled or failed job leaves nothing behind. While it runs the
// "Printing" box is up (when there is a window) and the view is disabled.

#include <QFont>
#include <QPageLayout>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>

#include "platform/PrintJob.h"

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;
class QtPrinterCanvas;
class TPrintingBox;

struct PdfTarget {
    std::string path;
    QPageLayout layout;
    int resolution = 1200;  // device units per inch
    int copies = 1;         // a file holds every copy itself
};

class QtPrintJob final : public koru::PrintJob {
  public:
    // `view` (may be null) is disabled while the job runs and its window
    // owns the box; without it no box is shown.
    static std::unique_ptr<QtPrintJob> OnPrinter(QPrinter& printer, const QString& title,
                                                 QWidget* view, koru::PrintResult& failure);
    static std::unique_ptr<QtPrintJob> ToPdf(const PdfTarget& target, const QString& title,
                                             const QString& printerName, QWidget* view,
                                             koru::PrintResult& failure);
    ~QtPrintJob() override;

    // The message for a PDF file the job will not replace (write-protected),
    // empty when it may be written.
    static std::string RefusalText(const std::string& path);

    koru::Canvas& Surface() override;
    koru::Size PageSize() const override;
    void MapLogical(koru::Size logical) override;
    int32_t CopiesToDraw() const override { return copies_; }
    bool StartPage(int32_t number, int32_t count) override;
    bool EndPage() override;
    bool Canceled() override;
    koru::PrintResult Finish(bool abandon) override;

    TPrintingBox* Box() const { return box_; }

  private:
    class PdfFile;
    QtPrintJob();
    bool Begin(QPagedPaintDevice& device, const QString& title, const QString& printerName,
               QWidget* view);
    koru::PrintResult PrinterResult() const;
    koru::PrintResult PdfResult(bool abandon);
    // Ends the painter if it is active; false when it did not end well.
    bool EndPainter();

    QPrinter* printer_ = nullptr;
    std::unique_ptr<PdfFile> pdf_;
    std::unique_ptr<QPainter> painter_;
    std::unique_ptr<QtPrinterCanvas> canvas_;
    TPrintingBox* box_ = nullptr;
    QPointer<QWidget> view_;
    int32_t copies_ = 1;
    bool started_ = false;
    bool finished_ = false;
    bool outOfMemory_ = false;  // an allocation failed while ending the job
};
