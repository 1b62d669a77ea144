#pragma once

#include "shell/PageContext.h"
#include "smarthome/HomeTheaterPage.h"

class QGroupBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace orvex {

// The plug list page of the smart-plug window: every plug in the node table (nodes 2..232) as an
// icon with its name. A click (or Enter) opens the switch or dimmer dialog by the plug's type, a right
// click (or the context-menu key) the plug dialog in modify mode.
class CDlgZwaveList : public CHomeTheaterPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 481;
    static constexpr int kAddId = 1076;
    static constexpr int kDeleteId = 1075;
    static constexpr int kIconSize = 48;
    // The role of an item's node id.
    static constexpr int kNodeRole = Qt::UserRole + 1;

    CDlgZwaveList(const PageContext& ctx, QWidget* parent);

    void RefreshFromStore() override;
    void Relabel() override;

    QListWidget* List() const { return m_list; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* DeleteButton() const { return m_delete; }
    // The node ids listed, in order.
    std::vector<int> ListedNodes() const;

    // What a click and a right click on a listed plug do.
    void OpenPlug(int node);
    void ModifyPlug(int node);
    void AddPlug();

signals:
    void removeRequested();

private:
    PageContext m_ctx;
    QGroupBox* m_group = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_delete = nullptr;
};

} // namespace orvex
