#include "smarthome/DlgZwaveList.h"

#include "widgets/ControlId.h"
#include "model/SmartHomeTables.h"
#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/Relabel.h"
#include "smarthome/DlgZwaveEdit.h"
#include "smarthome/DlgZwaveLight.h"
#include "smarthome/DlgZwaveSwitch.h"
#include "smarthome/PlugCommon.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

CDlgZwaveList::CDlgZwaveList(const PageContext& ctx, QWidget* parent) : CHomeTheaterPage(parent), m_ctx(ctx) {
    SetTemplateId(this, kTemplateId);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);

    m_group = new QGroupBox(QString::fromUtf8("设备列表"), this);
    auto* inner = new QVBoxLayout(m_group);
    m_list = new QListWidget(m_group);
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize(QSize(kIconSize, kIconSize));
    m_list->setGridSize(QSize(112, 86));
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMovement(QListView::Static);
    m_list->setWordWrap(true);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    inner->addWidget(m_list);
    SetHint(m_list, "已添加的插座: 单击来控制, 右键来编辑", "The plugs: click one to switch it, right-click to edit");
    layout->addWidget(m_group, 1);

    auto* buttons = new QHBoxLayout;
    m_add = new QPushButton(QString::fromUtf8("添加插座"), this);
    SetCtrlId(m_add, kAddId);
    m_delete = new QPushButton(QString::fromUtf8("删除插座"), this);
    SetCtrlId(m_delete, kDeleteId);
    for (QPushButton* b : {m_add, m_delete}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(100);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);

    const auto nodeOf = [](const QListWidgetItem* item) { return item ? item->data(kNodeRole).toInt() : 0; };
    connect(m_list, &QListWidget::itemClicked, this, [this, nodeOf](QListWidgetItem* item) { OpenPlug(nodeOf(item)); });
    // Enter on the focused item.
    connect(m_list, &QListWidget::itemActivated, this,
            [this, nodeOf](QListWidgetItem* item) { OpenPlug(nodeOf(item)); });
    connect(m_list, &QListWidget::customContextMenuRequested, this, [this, nodeOf](const QPoint& at) {
        QListWidgetItem* item = m_list->itemAt(at);
        if (!item)
            item = m_list->currentItem(); // the context-menu key
        if (item)
            ModifyPlug(nodeOf(item));
    });
    connect(m_add, &QPushButton::clicked, this, &CDlgZwaveList::AddPlug);
    connect(m_delete, &QPushButton::clicked, this, &CDlgZwaveList::removeRequested);
}

std::vector<int> CDlgZwaveList::ListedNodes() const {
    std::vector<int> nodes;
    for (int row = 0; row < m_list->count(); ++row)
        nodes.push_back(m_list->item(row)->data(kNodeRole).toInt());
    return nodes;
}

void CDlgZwaveList::RefreshFromStore() {
    const SmartHomeTables& tables = m_ctx.session.Link().SmartHome();
    const int current = m_list->currentItem() ? m_list->currentItem()->data(kNodeRole).toInt() : 0;
    m_list->clear();
    for (int node : tables.PresentNodes()) {
        if (!IsPlugNode(node))
            continue; // the controller itself and ids outside the network
        const PlugRecord record = tables.Plug(node);
        const uint8_t type = record[0] == kPlugTypeDimmer ? kPlugTypeDimmer : kPlugTypeSwitch;
        QString name = QString::fromStdU16String(PlugRecordName(record));
        if (name.isEmpty())
            name = QString::number(node); // a record not read yet still leaves the plug reachable
        // Under the name, the plug's last known state: what a switch left it at.
        const uint8_t value = tables.NodeValue(node);
        const QString state = type == kPlugTypeDimmer ? CDlgZwaveLight::LevelText(value)
                                                      : (value != 0 ? Tr2("开", "ON") : Tr2("关", "OFF"));
        auto* item = new QListWidgetItem(PlugTypeIcon(type, kIconSize), name + QLatin1Char('\n') + state, m_list);
        item->setData(kNodeRole, node);
        item->setToolTip(QStringLiteral("%1").arg(node));
        if (node == current)
            m_list->setCurrentItem(item);
    }
}

void CDlgZwaveList::Relabel() {
    RelabelDialog(this, kTemplateId);
    m_group->setTitle(Tr2("设备列表", "Device list"));
    RefreshFromStore(); // the states read in the new language
}

void CDlgZwaveList::OpenPlug(int node) {
    if (!IsPlugNode(node))
        return;
    const uint8_t type = m_ctx.session.Link().SmartHome().Plug(node)[0];
    if (type == kPlugTypeDimmer) {
        if (auto* dimmer = qobject_cast<CDlgZwaveLight*>(m_ctx.display.ShowToolDialog(tmpl::PlugDimmer)))
            dimmer->SetNode(node);
    } else if (type == kPlugTypeSwitch) {
        if (auto* sw = qobject_cast<CDlgZwaveSwitch*>(m_ctx.display.ShowToolDialog(tmpl::PlugSwitch)))
            sw->SetNode(node);
    }
}

void CDlgZwaveList::ModifyPlug(int node) {
    if (!IsPlugNode(node))
        return;
    if (auto* edit = qobject_cast<CDlgZwaveEdit*>(m_ctx.display.ShowToolDialog(tmpl::PlugEdit)))
        edit->StartModify(node);
}

void CDlgZwaveList::AddPlug() {
    if (auto* edit = qobject_cast<CDlgZwaveEdit*>(m_ctx.display.ShowToolDialog(tmpl::PlugEdit)))
        edit->StartAdd();
}

} // namespace orvex
