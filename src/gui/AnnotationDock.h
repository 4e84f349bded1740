#pragma once
// The dockable table of the recording's annotations: time, label and text,
// one row each however many there are (the model reads the document's list
// directly). A click goes to the annotation; the combo box chooses the
// label Next/Previous Annotation keep to.

#include <QAbstractTableModel>
#include <QDockWidget>

#include "app/Session.h"
#include "view/SignalView.h"

class QComboBox;
class QLabel;
class QTableView;

class TAnnotationModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit TAnnotationModel(const koru::Session& session, QObject* parent = nullptr)
        : QAbstractTableModel(parent), session_(session) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The document's list changed: every row read again.
    void Reset();

  private:
    const koru::Session& session_;
    std::size_t rows_ = 0;  // as at the last Reset, so a changed list never reads past its end
};

class TAnnotationDock : public QDockWidget {
    Q_OBJECT
  public:
    TAnnotationDock(koru::Session& session, koru::SignalView& view, QWidget* parent = nullptr);

    // Takes up a changed annotation list (a new recording, detected beats);
    // cheap when nothing changed.
    void Refresh();
    QTableView* Table() const { return table_; }
    QComboBox* LabelChoice() const { return labels_; }

  signals:
    // The view moved to an annotation: the window repaints.
    void Moved();

  private:
    void OnActivated(const QModelIndex& index);
    void OnLabelChosen(int item);
    // Selects the row of the view's current annotation.
    void FollowView();

    koru::Session& session_;
    koru::SignalView& view_;
    TAnnotationModel* model_;
    QTableView* table_;
    QComboBox* labels_;
    QLabel* count_;
    uint64_t revision_ = UINT64_MAX;
    bool wasOpen_ = false;
};
