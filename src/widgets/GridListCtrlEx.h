#pragma once

#include "widgets/GridColumnTrait.h"
#include "widgets/GridRowTraitXP.h"

#include <QTableWidget>

#include <map>
#include <memory>

namespace orvex {

// Report-style grid list: fixed columns with header texts, cells edited in place by their column's trait,
// rows coloured by a row trait, and an end-of-edit signal naming the row and column. Column 0 is a
// hidden zero-width column, as in every grid of the program.
class CGridListCtrlEx : public QTableWidget {
    Q_OBJECT

public:
    explicit CGridListCtrlEx(int controlId, QWidget* parent = nullptr);
    ~CGridListCtrlEx() override;

    int ControlId() const { return m_controlId; }

    // Appends a visible column; a null trait makes it read-only.
    int InsertColumnTrait(const QString& header, int width, std::unique_ptr<CGridColumnTrait> trait);
    void SetColumnHeader(int column, const QString& header);
    CGridColumnTrait* ColumnTrait(int column) const;

    void SetRowCount(int rows);
    void SetCellText(int row, int column, const QString& text);
    QString CellText(int row, int column) const;

    // Makes row the only selected row and scrolls it into view.
    void SelectOnlyRow(int row);

    CGridRowTraitXP& RowTrait() { return m_rowTrait; }

    // Opens the in-place editor of a cell (as a double-click does).
    void EditCell(int row, int column);

signals:
    // The in-place editor of (row, column) closed with text; the cell already holds it.
    void cellEditEnded(int row, int column, const QString& text);

private:
    friend class GridItemDelegate;

    int m_controlId;
    std::map<int, std::unique_ptr<CGridColumnTrait>> m_traits;
    CGridRowTraitXP m_rowTrait;
};

} // namespace orvex
