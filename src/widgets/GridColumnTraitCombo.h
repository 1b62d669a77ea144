#pragma once

#include "widgets/GridColumnTrait.h"

#include <QStringList>

#include <functional>

namespace orvex {

// A cell edited with a drop-down list of fixed choices. The items may follow the current language, so
// they can be given as a function evaluated whenever an editor opens.
class CGridColumnTraitCombo : public CGridColumnTrait {
public:
    void SetItems(const QStringList& items);
    void SetItemSource(std::function<QStringList()> source);
    QStringList Items() const;

    QWidget* CreateEditor(QWidget* parent) const override;
    void SetEditorText(QWidget* editor, const QString& text) const override;
    QString EditorText(const QWidget* editor) const override;

private:
    QStringList m_items;
    std::function<QStringList()> m_source;
};

} // namespace orvex
