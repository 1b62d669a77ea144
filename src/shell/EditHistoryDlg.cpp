#include "shell/EditHistoryDlg.h"

#include "shell/EditHistory.h"
#include "shell/Language.h"

#include <QDateTime>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include <chrono>

namespace orvex {

namespace {

// The item's data: the point a click on it goes to.
constexpr int kPointRole = Qt::UserRole + 1;

QString TimeOf(std::chrono::system_clock::time_point when) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

CEditHistoryDlg::CEditHistoryDlg(CEditHistory& history, QWidget* parent) : QDialog(parent), m_history(history) {
    setObjectName(QStringLiteral("EditHistory"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    m_caption = new QLabel(this);
    m_caption->setWordWrap(true);
    layout->addWidget(m_caption);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("EditHistoryList"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setWordWrap(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_list);
    resize(420, 460);
    connect(m_list, &QListWidget::itemClicked, this, &CEditHistoryDlg::OnItemClicked);
    connect(m_list, &QListWidget::itemActivated, this, &CEditHistoryDlg::OnItemClicked);
    connect(&m_history, &CEditHistory::Changed, this, &CEditHistoryDlg::Reload);
    // Clicks here move the history; they are not edits of their own.
    m_history.Ignore(this);
    Reload();
}

int CEditHistoryDlg::RowOfPoint(std::size_t point) const {
    // Rows: entries newest first, then the start (point 0).
    const std::size_t count = m_history.Journal().Entries().size();
    return point > count ? -1 : static_cast<int>(count - point);
}

void CEditHistoryDlg::Reload() {
    setWindowTitle(Tr2("编辑历史", "Edit history"));
    m_caption->setText(Tr2("点击一项，撤销或重做到该处 (Ctrl+Z 撤销，Ctrl+Y 重做)",
                           "Click an entry to undo or redo to it (Ctrl+Z undo, Ctrl+Y redo)"));
    const EditJournal& journal = m_history.Journal();
    const auto& entries = journal.Entries();
    m_list->clear();
    for (std::size_t i = entries.size(); i-- > 0;) {
        const JournalEntry& entry = entries[i];
        QString text = TimeOf(entry.when) + QStringLiteral("   ") + CEditHistory::EntryText(entry);
        auto* item = new QListWidgetItem(m_list);
        if (entry.kind == JournalEntry::Kind::Boundary) {
            text += Tr2("\n处理器保持当前数据，之前的编辑不能撤销",
                        "\nThe processor holds what it holds; earlier edits cannot be undone");
            QFont italic = item->font();
            italic.setItalic(true);
            item->setFont(italic);
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
        } else if (i >= journal.Current()) {
            text += Tr2("  (已撤销)", "  (undone)");
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
        }
        item->setText(text);
        item->setData(kPointRole, static_cast<qulonglong>(i + 1));
    }
    auto* start = new QListWidgetItem(Tr2("（开始）", "(start)"), m_list);
    start->setData(kPointRole, static_cast<qulonglong>(0));
    // The current point: the newest entry done, marked and selected.
    if (QListWidgetItem* current = m_list->item(RowOfPoint(journal.Current()))) {
        current->setText(QStringLiteral("▶ ") + current->text());
        QFont bold = current->font();
        bold.setBold(true);
        current->setFont(bold);
        m_list->setCurrentItem(current);
    }
}

void CEditHistoryDlg::OnItemClicked(QListWidgetItem* item) {
    if (item == nullptr)
        return;
    m_history.GoTo(static_cast<std::size_t>(item->data(kPointRole).toULongLong()));
    Reload();
}

} // namespace orvex
