#include "widgets/GridColumnTraitCombo.h"

#include <QComboBox>

namespace orvex {

void CGridColumnTraitCombo::SetItems(const QStringList& items) {
    m_items = items;
    m_source = nullptr;
}

void CGridColumnTraitCombo::SetItemSource(std::function<QStringList()> source) {
    m_source = std::move(source);
}

QStringList CGridColumnTraitCombo::Items() const {
    return m_source ? m_source() : m_items;
}

QWidget* CGridColumnTraitCombo::CreateEditor(QWidget* parent) const {
    auto* combo = new QComboBox(parent);
    combo->addItems(Items());
    combo->setEditable(false);
    return combo;
}

void CGridColumnTraitCombo::SetEditorText(QWidget* editor, const QString& text) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const int at = combo->findText(text);
        combo->setCurrentIndex(at >= 0 ? at : 0);
    }
}

QString CGridColumnTraitCombo::EditorText(const QWidget* editor) const {
    const auto* combo = qobject_cast<const QComboBox*>(editor);
    return combo ? combo->currentText() : QString();
}

} // namespace orvex
