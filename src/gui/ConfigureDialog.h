#pragma once
// The Configure dialog: the eight channel rows, the option lists and values,
// and the buttons for files and the default. What every control does is
// the core model's; this window shows the model and forwards each click.

#include <QDialog>
#include <QIcon>
#include <QSize>
#include <array>
#include <map>

#include "platform/Color.h"
#include "platform/Ui.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

class TConfigureDialog : public QDialog {
    Q_OBJECT
  public:
    // Centred on a screen of `screen` pixels when shown.
    TConfigureDialog(koru::DialogModel& model, QSize screen, QWidget* parent = nullptr);

    // Controls by their numbers: buttons (channel, file and bottom-row ones),
    // check boxes 1139-1146, lists 161 and 162, spin values 119 and 120.
    QPushButton* Button(int control) const;
    QCheckBox* MarkerBox(int channel) const;
    QComboBox* List(int control) const;
    QSpinBox* Value(int control) const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* BuildTargetBox();
    QWidget* BuildOptionsBox();
    QLayout* BuildBottomRow();
    QPushButton* ModelButton(int control, QWidget* parent);
    static QIcon Swatch(koru::ColorRef color);
    QSpinBox* MakeValue(int spin, int value, int minimum, int maximum, QWidget* parent);
    void Forward(int control);
    // Every caption, box, list and value as the model has them.
    void Refresh();

    koru::DialogModel& model_;
    QSize screen_;
    bool placed_ = false;
    std::map<int, QPushButton*> buttons_;  // those captioned by the model
    std::map<int, QPushButton*> fixed_;    // file, OK, Cancel and Help
    std::array<QCheckBox*, 8> markers_{};
    std::map<int, QComboBox*> lists_;
    std::map<int, QSpinBox*> values_;  // by the number of the value static
    std::map<int, int> valueShown_;
};

// The Configure Help dialog: six lines about the buttons, and OK.
class TConfigureHelpDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TConfigureHelpDialog(QWidget* parent = nullptr);
};
