#pragma once

#include <QColor>
#include <QTableWidget>

namespace orvex {

// A report list of a few fixed columns: header texts, one selectable row at a time, a text colour per
// row. The rows are not edited in place; the page beside it edits the selected row's value, so arrow
// keys and wheel turns are reported as steps instead of moving the selection.
class CReportCtrl : public QTableWidget {
    Q_OBJECT

public:
    explicit CReportCtrl(int controlId, QWidget* parent = nullptr);

    int ControlId() const { return m_controlId; }

    // Replaces the columns; every row keeps its count and loses its texts.
    void SetColumns(const QStringList& headers, const QList<int>& widths);
    void SetColumnHeader(int column, const QString& header);
    QString ColumnHeader(int column) const;

    void SetRowCount(int rows);
    void SetItemText(int row, int column, const QString& text);
    QString ItemText(int row, int column) const;

    void SetRowTextColour(int row, const QColor& colour);
    QColor RowTextColour(int row) const;
    void SetBackgroundColour(const QColor& colour);

    // Selects `row` (or none for -1) without reporting it: the page already knows.
    void SelectRow(int row);
    int SelectedRow() const;

    QSize sizeHint() const override;

signals:
    // The user chose a row (a click, or Home/End/Page keys).
    void rowSelected(int row);
    // Up or Right (+1), Down or Left (-1), and one per wheel notch in its direction.
    void stepRequested(int delta);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QTableWidgetItem* Item(int row, int column);

    int m_controlId;
    bool m_selecting = false;
    int m_wheelRemainder = 0;
};

} // namespace orvex
