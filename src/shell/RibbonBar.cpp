#include "shell/RibbonBar.h"

#include "shell/ControlIds.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace orvex {

namespace {
constexpr int kTabRowHeight = 30;
constexpr int kPanelAreaHeight = 100;
} // namespace

RibbonPanel::RibbonPanel(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RibbonPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 3);
    layout->setSpacing(2);
    m_content = new QVBoxLayout;
    m_content->setSpacing(3);
    layout->addLayout(m_content, 1);
    m_caption = new QLabel(name, this);
    m_caption->setObjectName(QStringLiteral("RibbonPanelCaption"));
    m_caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    layout->addWidget(m_caption);
}

QString RibbonPanel::Name() const {
    return m_caption->text();
}

void RibbonPanel::SetName(const QString& name) {
    m_caption->setText(name);
}

RibbonCategory::RibbonCategory(const QString& name, QWidget* parent) : QWidget(parent), m_name(name) {
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(4, 0, 4, 0);
    m_row->setSpacing(0);
    m_row->addStretch(1);
}

RibbonPanel* RibbonCategory::AddPanel(const QString& name) {
    auto* panel = new RibbonPanel(name, this);
    const int insertAt = m_row->count() - 1; // before the stretch
    if (!m_panels.isEmpty()) {
        auto* separator = new QFrame(this);
        separator->setObjectName(QStringLiteral("RibbonSeparator"));
        separator->setFixedWidth(1);
        m_row->insertWidget(insertAt, separator);
        m_row->insertWidget(insertAt + 1, panel);
    } else {
        m_row->insertWidget(insertAt, panel);
    }
    m_panels.append(panel);
    return panel;
}

RibbonPanel* RibbonCategory::Panel(int index) const {
    return index >= 0 && index < m_panels.size() ? m_panels[index] : nullptr;
}

CMyMFCRibbonBar::CMyMFCRibbonBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("RibbonBar"));
    setAttribute(Qt::WA_StyledBackground);

    auto* rowWidget = new QWidget(this);
    rowWidget->setObjectName(QStringLiteral("RibbonTabRow"));
    rowWidget->setAttribute(Qt::WA_StyledBackground);
    rowWidget->setFixedHeight(kTabRowHeight);
    m_tabRow = new QHBoxLayout(rowWidget);
    m_tabRow->setContentsMargins(4, 0, 6, 0);
    m_tabRow->setSpacing(2);

    m_appButton = new QToolButton(rowWidget);
    m_appButton->setObjectName(QStringLiteral("RibbonAppButton"));
    m_appButton->setAutoRaise(true);
    m_appButton->setIconSize(QSize(24, 24));
    m_appButton->setFixedSize(40, kTabRowHeight - 2);
    m_appButton->setPopupMode(QToolButton::InstantPopup);
    m_appButton->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    m_appMenu = new QMenu(m_appButton);
    m_appButton->setMenu(m_appMenu);
    m_tabRow->addWidget(m_appButton);
    m_tabRow->addSpacing(6);

    m_tabs = new QHBoxLayout;
    m_tabs->setSpacing(2);
    m_tabs->setContentsMargins(0, 4, 0, 0);
    m_tabRow->addLayout(m_tabs);
    m_tabRow->addStretch(1);
    m_tabButtons = new QHBoxLayout;
    m_tabButtons->setSpacing(1);
    m_tabRow->addLayout(m_tabButtons);

    m_tabGroup = new QButtonGroup(this);
    m_tabGroup->setExclusive(true);
    connect(m_tabGroup, &QButtonGroup::idClicked, this, [this](int index) {
        if (index == ActiveCategoryIndex())
            return;
        SetActiveCategory(index);
        emit activeCategoryChanged(index);
    });

    m_stack = new QStackedWidget(this);
    m_stack->setFixedHeight(kPanelAreaHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(rowWidget);
    layout->addWidget(m_stack);
}

RibbonCategory* CMyMFCRibbonBar::AddCategory(const QString& name) {
    auto* category = new RibbonCategory(name, m_stack);
    m_stack->addWidget(category);
    auto* tab = new QToolButton(this);
    tab->setObjectName(QStringLiteral("RibbonCategoryTab"));
    tab->setText(name);
    tab->setCheckable(true);
    tab->setFixedHeight(kTabRowHeight - 4);
    m_tabGroup->addButton(tab, static_cast<int>(m_categories.size()));
    m_tabs->addWidget(tab);
    m_categories.append(category);
    if (m_categories.size() == 1)
        tab->setChecked(true);
    return category;
}

RibbonCategory* CMyMFCRibbonBar::Category(int index) const {
    return index >= 0 && index < m_categories.size() ? m_categories[index] : nullptr;
}

QAbstractButton* CMyMFCRibbonBar::CategoryTab(int index) const {
    return m_tabGroup->button(index);
}

void CMyMFCRibbonBar::SetCategoryName(int index, const QString& name) {
    if (RibbonCategory* category = Category(index)) {
        category->SetName(name);
        m_tabGroup->button(index)->setText(name);
    }
}

RibbonCategory* CMyMFCRibbonBar::ActiveCategory() const {
    return Category(ActiveCategoryIndex());
}

int CMyMFCRibbonBar::ActiveCategoryIndex() const {
    return m_stack->currentIndex();
}

void CMyMFCRibbonBar::SetActiveCategory(int index) {
    if (!Category(index))
        return;
    m_stack->setCurrentIndex(index);
    m_tabGroup->button(index)->setChecked(true);
}

QToolButton* CMyMFCRibbonBar::AddTabRowButton(int id, const QString& text) {
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("RibbonTabButton"));
    button->setText(text);
    button->setFocusPolicy(Qt::NoFocus);
    RegisterCommand(button, id);
    m_tabButtons->addWidget(button);
    return button;
}

QToolButton* CMyMFCRibbonBar::AddTabRowIconButton(int id, const QIcon& icon, const QString& toolTip) {
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("RibbonTabButton"));
    button->setIcon(icon);
    button->setIconSize(QSize(18, 18));
    button->setToolTip(toolTip);
    button->setFocusPolicy(Qt::NoFocus);
    RegisterCommand(button, id);
    m_tabButtons->addSpacing(4);
    m_tabButtons->addWidget(button);
    return button;
}

QWidget* CMyMFCRibbonBar::FindByID(int id) const {
    if (const auto it = m_byId.find(id); it != m_byId.end() && it->second && CtrlId(it->second) == id)
        return it->second;
    QWidget* found = FindCtrl<QWidget>(this, id);
    if (found)
        m_byId[id] = found;
    return found;
}

void CMyMFCRibbonBar::RegisterCommand(QAbstractButton* button, int id) {
    SetCtrlId(button, id);
    connect(button, &QAbstractButton::clicked, this, [this, id] { emit commandTriggered(id); });
}

void CMyMFCRibbonBar::RecalcLayout() {
    for (RibbonCategory* category : m_categories) {
        category->updateGeometry();
        if (category->layout())
            category->layout()->activate();
    }
    update();
}

void CMyMFCRibbonBar::wheelEvent(QWheelEvent* event) {
    event->accept();
}

void CMyMFCRibbonBar::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

} // namespace orvex
