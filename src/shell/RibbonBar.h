#pragma once

#include <QFrame>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <unordered_map>

class QAbstractButton;
class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QMenu;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace orvex {

// One group of controls on a category, with its name underneath.
class RibbonPanel : public QWidget {
    Q_OBJECT
public:
    explicit RibbonPanel(const QString& name, QWidget* parent = nullptr);

    QString Name() const;
    void SetName(const QString& name);
    // Where the panel's controls go.
    QVBoxLayout* Content() const { return m_content; }

private:
    QVBoxLayout* m_content = nullptr;
    QLabel* m_caption = nullptr;
};

// One tab of the ribbon: a row of panels.
class RibbonCategory : public QWidget {
    Q_OBJECT
public:
    explicit RibbonCategory(const QString& name, QWidget* parent = nullptr);

    QString Name() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }

    RibbonPanel* AddPanel(const QString& name);
    int PanelCount() const { return static_cast<int>(m_panels.size()); }
    RibbonPanel* Panel(int index) const;

private:
    QString m_name;
    QHBoxLayout* m_row = nullptr;
    QList<RibbonPanel*> m_panels;
};

// The ribbon of the main frame, built from Qt widgets: the application button, the category
// tabs with a row of tool buttons beside them, and the panels of the active category.
// A wheel never switches categories and there is no customisation menu.
class CMyMFCRibbonBar : public QWidget {
    Q_OBJECT
public:
    explicit CMyMFCRibbonBar(QWidget* parent = nullptr);

    QToolButton* ApplicationButton() const { return m_appButton; }
    QMenu* ApplicationMenu() const { return m_appMenu; }

    RibbonCategory* AddCategory(const QString& name);
    int CategoryCount() const { return static_cast<int>(m_categories.size()); }
    RibbonCategory* Category(int index) const;
    void SetCategoryName(int index, const QString& name);
    RibbonCategory* ActiveCategory() const;
    int ActiveCategoryIndex() const;
    void SetActiveCategory(int index);
    QAbstractButton* CategoryTab(int index) const;

    // A text button in the tab row.
    QToolButton* AddTabRowButton(int id, const QString& text);
    // The icon-only button at the far right of the tab row.
    QToolButton* AddTabRowIconButton(int id, const QIcon& icon, const QString& toolTip);

    // Any element by its command id (the first one, in build order).
    QWidget* FindByID(int id) const;
    template <class T>
    T* FindByID(int id) const {
        return qobject_cast<T*>(FindByID(id));
    }

    // Connects an element so that it reports `id` when the user triggers it.
    void RegisterCommand(QAbstractButton* button, int id);

    // After texts change: redo the layout and repaint.
    void RecalcLayout();

signals:
    void commandTriggered(int id);
    void activeCategoryChanged(int index);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QToolButton* m_appButton = nullptr;
    QMenu* m_appMenu = nullptr;
    QHBoxLayout* m_tabRow = nullptr;
    QHBoxLayout* m_tabs = nullptr;
    QHBoxLayout* m_tabButtons = nullptr;
    QButtonGroup* m_tabGroup = nullptr;
    QStackedWidget* m_stack = nullptr;
    QList<RibbonCategory*> m_categories;
    // Elements found by id: the frame asks for the same few on every idle update.
    mutable std::unordered_map<int, QPointer<QWidget>> m_byId;
};

} // namespace orvex
