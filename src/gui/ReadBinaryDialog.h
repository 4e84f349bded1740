#pragma once
// Asks a raw file's channel count and sample interval. It has no Cancel:
// whatever way it closes, the values it holds are used.

#include <QDialog>

class QButtonGroup;
class QLineEdit;

class TRozaverazeDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TRozaverazeDialog(QWidget* parent = nullptr);

    int Channels() const { return channels_; }
    int Interval() const { return interval_; }

    // The interval the edit box reads as: leading blanks, a sign, digits.
    static int ParseInterval(const QString& text);

  public slots:
    void accept() override;

  private:
    QButtonGroup* group_;
    QLineEdit* edit_;
    int channels_ = 8;
    int interval_ = 1000;
};
