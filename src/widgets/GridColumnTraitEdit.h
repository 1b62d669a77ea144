#pragma once

#include "widgets/GridColumnTrait.h"

namespace orvex {

// A text cell edited in place with a line edit.
class CGridColumnTraitEdit : public CGridColumnTrait {
public:
    QWidget* CreateEditor(QWidget* parent) const override;
    void SetEditorText(QWidget* editor, const QString& text) const override;
    QString EditorText(const QWidget* editor) const override;
};

} // namespace orvex
