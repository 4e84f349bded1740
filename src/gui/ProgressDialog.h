#pragma once
// The modeless "WAIT" box shown while a file is read into memory or written,
// or beats are detected.
// Its owner works without returning to the event loop, so every change of
// the percentage is painted at once.

#include <QDialog>

class QLabel;
class QProgressBar;

class TProgressDialog : public QDialog {
    Q_OBJECT
  public:
    enum Mode { Reading = 0, Writing = 1, Detecting = 2 };
    TProgressDialog(QWidget* owner, Mode mode);

    void SetPercent(int percent);
    int Percent() const;
    QString MessageText() const;

  private:
    QLabel* message_;
    QProgressBar* gauge_;
};
