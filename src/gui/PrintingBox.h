#pragma once
// The "Printing" box: which page of how many is being printed, of which
// recording and on which printer, and a Cancel button that stops the job.
// The job draws without returning to the event loop, so it serves the box
// itself between drawing calls.

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

class TPrintingBox : public QDialog {
    Q_OBJECT
  public:
    TPrintingBox(QWidget* owner, const QString& title, const QString& printer);

    void SetPage(int page, int count);
    bool WasCanceled() const { return canceled_; }

    QString PageText() const;
    QPushButton* CancelButton() const { return cancel_; }

  protected:
    // Escape and the close button cancel too.
    void reject() override;

  private:
    QLabel* page_;
    QProgressBar* gauge_;
    QPushButton* cancel_;
    bool canceled_ = false;
};
