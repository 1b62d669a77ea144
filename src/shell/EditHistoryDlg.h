#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace orvex {

class CEditHistory;

// "Edit history": the actions newest first with their time and what they changed, the current point
// marked. Clicking an entry undoes or redoes until it is the newest done; a boundary says where the
// processor took over and nothing further back can be undone.
class CEditHistoryDlg : public QDialog {
    Q_OBJECT
public:
    CEditHistoryDlg(CEditHistory& history, QWidget* parent = nullptr);

    // Lists the journal again (it changed, or the language did).
    void Reload();
    // The row showing the point `point` (entries done); rows run newest first, the start last.
    int RowOfPoint(std::size_t point) const;

private:
    void OnItemClicked(QListWidgetItem* item);

    CEditHistory& m_history;
    QLabel* m_caption = nullptr;
    QListWidget* m_list = nullptr;
};

} // namespace orvex
