#include "AnnotationDock.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "text/TimeText.h"
#include "view/SignalView.h"

namespace {

constexpr int kTimeColumn = 0, kLabelColumn = 1, kTextColumn = 2, kColumns = 3;

QString Text(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

}  // namespace

int TAnnotationModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::min<std::size_t>(rows_, INT32_MAX));
}

int TAnnotationModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant TAnnotationModel::data(const QModelIndex& index, int role) const {
    const koru::AnnotationList& list = session_.document().Annotations();
    const auto row = static_cast<std::size_t>(index.row());
    if (!index.isValid() || row >= list.Count() || role != Qt::DisplayRole) return {};
    const koru::Annotation& a = list[row];
    switch (index.column()) {
        case kTimeColumn:
            return Text(koru::FrameTimeText(a.frame, session_.document().Clock(),
                                            session_.settings().timeResolution != 0));
        case kLabelColumn:
            return Text(a.label);
        case kTextColumn:
            return Text(a.text);
    }
    return {};
}

QVariant TAnnotationModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    switch (section) {
        case kTimeColumn:
            return QStringLiteral("Time");
        case kLabelColumn:
            return QStringLiteral("Label");
        case kTextColumn:
            return QStringLiteral("Text");
    }
    return {};
}

void TAnnotationModel::Reset() {
    beginResetModel();
    rows_ = session_.document().IsOpen() ? session_.document().Annotations().Count() : 0;
    endResetModel();
}

TAnnotationDock::TAnnotationDock(koru::Session& session, koru::SignalView& view, QWidget* parent)
    : QDockWidget("Annotations", parent),
      session_(session),
      view_(view),
      model_(new TAnnotationModel(session, this)),
      table_(new QTableView(this)),
      labels_(new QComboBox(this)),
      count_(new QLabel(this)) {
    setObjectName("AnnotationDock");
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Next/previous:", body));
    row->addWidget(labels_, 1);
    layout->addLayout(row);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    // Uniform rows, so a list of a million annotations scrolls without
    // measuring every one.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    layout->addWidget(table_, 1);
    layout->addWidget(count_);
    setWidget(body);
    labels_->setToolTip("The label Ctrl+Right and Ctrl+Left go to");
    connect(table_, &QTableView::clicked, this, &TAnnotationDock::OnActivated);
    connect(table_, &QTableView::activated, this, &TAnnotationDock::OnActivated);
    connect(labels_, &QComboBox::activated, this, &TAnnotationDock::OnLabelChosen);
    Refresh();
}

void TAnnotationDock::Refresh() {
    const koru::SignalDocument& doc = session_.document();
    const uint64_t revision = doc.Annotations().Revision();
    if (revision != revision_ || doc.IsOpen() != wasOpen_) {
        revision_ = revision;
        wasOpen_ = doc.IsOpen();
        model_->Reset();
        table_->resizeColumnToContents(kTimeColumn);
        // The label choice keeps its label while the new list has it.
        const QString kept = labels_->currentData().toString();
        labels_->clear();
        labels_->addItem("All labels", QString());
        if (doc.IsOpen())
            for (const std::string& l : doc.Annotations().Labels()) {
                const std::size_t n = doc.Annotations().CountLabel(l);
                labels_->addItem(QString("%1 (%2)").arg(Text(l)).arg(n), Text(l));
            }
        const int at = labels_->findData(kept);
        labels_->setCurrentIndex(at < 0 ? 0 : at);
        session_.annotationLabel = labels_->currentData().toString().toStdString();
        count_->setText(QString("%1 annotations").arg(model_->rowCount()));
    }
    FollowView();
}

void TAnnotationDock::OnActivated(const QModelIndex& index) {
    if (!index.isValid()) return;
    view_.ShowAnnotation(static_cast<std::size_t>(index.row()));
    emit Moved();
}

void TAnnotationDock::OnLabelChosen(int item) {
    session_.annotationLabel = labels_->itemData(item).toString().toStdString();
}

void TAnnotationDock::FollowView() {
    const std::optional<int64_t> frame = view_.CurrentAnnotationFrame();
    const koru::AnnotationList& list = session_.document().Annotations();
    if (!frame || model_->rowCount() == 0) return;
    const auto [first, last] = list.Range(*frame, *frame + 1);
    if (first >= last || static_cast<int>(first) >= model_->rowCount()) return;
    const QModelIndex index = model_->index(static_cast<int>(first), 0);
    if (table_->currentIndex().row() == index.row()) return;
    table_->setCurrentIndex(index);
    table_->scrollTo(index);
}
