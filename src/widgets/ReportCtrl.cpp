#include "widgets/ReportCtrl.h"

#include "widgets/ControlId.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QWheelEvent>

#include <algorithm>

namespace orvex {

namespace {
constexpr int kNotch = 120; // one wheel notch in eighths of a degree
} // namespace

CReportCtrl::CReportCtrl(int controlId, QWidget* parent) : QTableWidget(parent), m_controlId(controlId) {
    SetCtrlId(this, controlId);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setStretchLastSection(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The page sizes the list to its rows.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (!m_selecting && current.isValid())
            emit rowSelected(current.row());
    });
}

void CReportCtrl::SetColumns(const QStringList& headers, const QList<int>& widths) {
    const int rows = rowCount();
    clear();
    setColumnCount(static_cast<int>(headers.size()));
    setHorizontalHeaderLabels(headers);
    for (int c = 0; c < headers.size() && c < widths.size(); ++c)
        setColumnWidth(c, widths[c]);
    setRowCount(rows);
}

void CReportCtrl::SetColumnHeader(int column, const QString& header) {
    if (column < 0 || column >= columnCount())
        return;
    QTableWidgetItem* item = horizontalHeaderItem(column);
    if (item == nullptr) {
        setHorizontalHeaderItem(column, new QTableWidgetItem(header));
        return;
    }
    item->setText(header);
}

QString CReportCtrl::ColumnHeader(int column) const {
    const QTableWidgetItem* item = horizontalHeaderItem(column);
    return item ? item->text() : QString();
}

void CReportCtrl::SetRowCount(int rows) {
    setRowCount(rows);
}

QTableWidgetItem* CReportCtrl::Item(int row, int column) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return nullptr;
    QTableWidgetItem* it = item(row, column);
    if (it == nullptr) {
        it = new QTableWidgetItem;
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        // A new cell takes its row's colour.
        if (column > 0) {
            if (const QTableWidgetItem* first = item(row, 0))
                it->setForeground(first->foreground());
        }
        setItem(row, column, it);
    }
    return it;
}

void CReportCtrl::SetItemText(int row, int column, const QString& text) {
    if (QTableWidgetItem* it = Item(row, column); it != nullptr && it->text() != text)
        it->setText(text);
}

QString CReportCtrl::ItemText(int row, int column) const {
    const QTableWidgetItem* it = item(row, column);
    return it ? it->text() : QString();
}

void CReportCtrl::SetRowTextColour(int row, const QColor& colour) {
    for (int c = 0; c < columnCount(); ++c) {
        if (QTableWidgetItem* it = Item(row, c))
            it->setForeground(colour);
    }
}

QColor CReportCtrl::RowTextColour(int row) const {
    const QTableWidgetItem* it = item(row, 0);
    return it ? it->foreground().color() : palette().color(QPalette::Text);
}

void CReportCtrl::SetBackgroundColour(const QColor& colour) {
    QPalette p = palette();
    p.setColor(QPalette::Base, colour);
    p.setColor(QPalette::AlternateBase, colour);
    setPalette(p);
}

void CReportCtrl::SelectRow(int row) {
    m_selecting = true;
    if (row < 0 || row >= rowCount()) {
        clearSelection();
        setCurrentIndex(QModelIndex());
    } else {
        setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollToItem(item(row, 0));
    }
    m_selecting = false;
}

int CReportCtrl::SelectedRow() const {
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

QSize CReportCtrl::sizeHint() const {
    int w = frameWidth() * 2;
    for (int c = 0; c < columnCount(); ++c)
        w += columnWidth(c);
    int h = frameWidth() * 2 + std::max(horizontalHeader()->sizeHint().height(), horizontalHeader()->minimumHeight());
    for (int r = 0; r < rowCount(); ++r)
        h += rowHeight(r);
    return {w, h};
}

void CReportCtrl::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        emit stepRequested(1);
        event->accept();
        return;
    case Qt::Key_Down:
    case Qt::Key_Left:
        emit stepRequested(-1);
        event->accept();
        return;
    default:
        QTableWidget::keyPressEvent(event);
        return;
    }
}

void CReportCtrl::wheelEvent(QWheelEvent* event) {
    // High-resolution wheels report parts of a notch; they add up to whole steps.
    m_wheelRemainder += event->angleDelta().y();
    const int steps = m_wheelRemainder / kNotch;
    m_wheelRemainder -= steps * kNotch;
    for (int i = 0; i < (steps < 0 ? -steps : steps); ++i)
        emit stepRequested(steps < 0 ? -1 : 1);
    event->accept();
}

} // namespace orvex
