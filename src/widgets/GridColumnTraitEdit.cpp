#include "widgets/GridColumnTraitEdit.h"

#include <QLineEdit>

namespace orvex {

QWidget* CGridColumnTraitEdit::CreateEditor(QWidget* parent) const {
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    edit->setAlignment(Qt::AlignCenter);
    return edit;
}

void CGridColumnTraitEdit::SetEditorText(QWidget* editor, const QString& text) const {
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
        edit->selectAll();
    }
}

QString CGridColumnTraitEdit::EditorText(const QWidget* editor) const {
    const auto* edit = qobject_cast<const QLineEdit*>(editor);
    return edit ? edit->text() : QString();
}

} // namespace orvex
