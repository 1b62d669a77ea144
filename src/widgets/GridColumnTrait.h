#pragma once

#include <QString>

class QWidget;

namespace orvex {

// What a grid column does when one of its cells is edited in place: which editor it opens and how the
// editor's text is read back.
class CGridColumnTrait {
public:
    virtual ~CGridColumnTrait() = default;

    virtual QWidget* CreateEditor(QWidget* parent) const = 0;
    virtual void SetEditorText(QWidget* editor, const QString& text) const = 0;
    virtual QString EditorText(const QWidget* editor) const = 0;
};

} // namespace orvex
