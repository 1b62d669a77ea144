#include "widgets/GridListCtrlEx.h"

#include "widgets/ControlId.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace orvex {

// Opens the column trait's editor and draws rows in the row trait's colours.
class GridItemDelegate : public QStyledItemDelegate {
public:
    explicit GridItemDelegate(CGridListCtrlEx* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        const CGridColumnTrait* trait = m_grid->ColumnTrait(index.column());
        return trait ? trait->CreateEditor(parent) : nullptr;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (const CGridColumnTrait* trait = m_grid->ColumnTrait(index.column())) {
            trait->SetEditorText(editor, index.data(Qt::DisplayRole).toString());
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        const CGridColumnTrait* trait = m_grid->ColumnTrait(index.column());
        if (!trait) {
            return;
        }
        const QString text = trait->EditorText(editor);
        model->setData(index, text, Qt::DisplayRole);
        emit m_grid->cellEditEnded(index.row(), index.column(), text);
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override {
        editor->setGeometry(option.rect);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const auto [text, background] = m_grid->m_rowTrait.ColoursFor(index.row(), selected);
        painter->fillRect(option.rect, background);
        painter->setPen(text);
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(2, 0, -2, 0), Qt::AlignCenter, index.data(Qt::DisplayRole).toString());
    }

private:
    CGridListCtrlEx* m_grid;
};

CGridListCtrlEx::CGridListCtrlEx(int controlId, QWidget* parent) : QTableWidget(parent), m_controlId(controlId) {
    SetCtrlId(this, controlId);
    setItemDelegate(new GridItemDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    setWordWrap(false);
    // The hidden zero-width first column.
    setColumnCount(1);
    setHorizontalHeaderItem(0, new QTableWidgetItem(QString()));
    setColumnWidth(0, 0);
    setColumnHidden(0, true);
}

CGridListCtrlEx::~CGridListCtrlEx() = default;

int CGridListCtrlEx::InsertColumnTrait(const QString& header, int width, std::unique_ptr<CGridColumnTrait> trait) {
    const int column = columnCount();
    setColumnCount(column + 1);
    setHorizontalHeaderItem(column, new QTableWidgetItem(header));
    setColumnWidth(column, width);
    // The trait first: it decides whether the new cells are editable.
    if (trait) {
        m_traits[column] = std::move(trait);
    }
    for (int row = 0; row < rowCount(); ++row) {
        SetCellText(row, column, QString());
    }
    return column;
}

void CGridListCtrlEx::SetColumnHeader(int column, const QString& header) {
    if (QTableWidgetItem* item = horizontalHeaderItem(column)) {
        item->setText(header);
    }
}

CGridColumnTrait* CGridListCtrlEx::ColumnTrait(int column) const {
    const auto it = m_traits.find(column);
    return it == m_traits.end() ? nullptr : it->second.get();
}

void CGridListCtrlEx::SetRowCount(int rows) {
    const int old = rowCount();
    setRowCount(rows);
    for (int row = old; row < rows; ++row) {
        for (int column = 0; column < columnCount(); ++column) {
            SetCellText(row, column, QString());
        }
    }
}

void CGridListCtrlEx::SetCellText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) {
        return;
    }
    QTableWidgetItem* cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem();
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        if (ColumnTrait(column)) {
            flags |= Qt::ItemIsEditable;
        }
        cell->setFlags(flags);
        setItem(row, column, cell);
    }
    cell->setText(text);
}

QString CGridListCtrlEx::CellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void CGridListCtrlEx::SelectOnlyRow(int row) {
    clearSelection();
    if (row < 0 || row >= rowCount()) {
        return;
    }
    selectRow(row);
    scrollToItem(item(row, columnCount() > 1 ? 1 : 0));
}

void CGridListCtrlEx::EditCell(int row, int column) {
    if (QTableWidgetItem* cell = item(row, column)) {
        setCurrentItem(cell);
        editItem(cell);
    }
}

} // namespace orvex
