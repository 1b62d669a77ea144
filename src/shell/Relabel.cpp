#include "shell/Relabel.h"

#include "shell/ControlIds.h"
#include "lang/LanguageTable.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace orvex {

namespace {
std::shared_ptr<const LabelTable> g_current;

// One of the two tables embedded in the program, parsed in memory.
class EmbeddedLabelTable final : public LabelTable {
public:
    explicit EmbeddedLabelTable(LanguageTable table) : m_table(std::move(table)) {}
    QString Text(const QString& key) const override {
        return QString::fromStdString(m_table.Lookup(key.toStdString()));
    }

private:
    LanguageTable m_table;
};

void RelabelChildren(QWidget* parent, int templateId, const LabelTable& table) {
    for (QObject* object : parent->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child)
            continue;
        // A sub-dialog carries its own template; its parent relabels it separately.
        if (TemplateIdOf(child) != 0)
            continue;
        if (const int id = CtrlId(child); id != 0) {
            const QString text = table.Text(QStringLiteral("IDD%1_%2").arg(templateId).arg(id));
            if (!text.isEmpty())
                SetWidgetText(child, text);
        }
        RelabelChildren(child, templateId, table);
    }
}
} // namespace

const LabelTable* CurrentLabelTable() {
    return g_current.get();
}

void SetCurrentLabelTable(std::shared_ptr<const LabelTable> table) {
    g_current = std::move(table);
}

bool LoadEmbeddedLabelTable(int language) {
    QFile file(language == 1 ? QStringLiteral(":/lang/lang_en.ini") : QStringLiteral(":/lang/lang_zh.ini"));
    if (!file.open(QIODevice::ReadOnly)) {
        SetCurrentLabelTable(nullptr);
        return false;
    }
    const QByteArray bytes = file.readAll();
    SetCurrentLabelTable(std::make_shared<EmbeddedLabelTable>(
        LanguageTable::Parse(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))));
    return true;
}

QString WidgetText(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    return widget->windowTitle();
}

void SetWidgetText(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(text);
    else
        widget->setWindowTitle(text);
}

void RelabelDialog(QWidget* dialog, int templateId) {
    const LabelTable* table = CurrentLabelTable();
    if (!dialog || !table)
        return;
    const QString title = table->Text(QStringLiteral("IDD%1_title").arg(templateId));
    if (!title.isEmpty())
        dialog->setWindowTitle(title);
    RelabelChildren(dialog, templateId, *table);
}

} // namespace orvex
