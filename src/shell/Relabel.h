#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace orvex {

// The language table RelabelDialog reads: one section, keys compared without letter case,
// an empty value meaning "no entry".
class LabelTable {
public:
    virtual ~LabelTable() = default;
    virtual QString Text(const QString& key) const = 0;
};

// The table of the current language; null when none could be loaded (then relabelling changes
// nothing, and every widget keeps the text it has).
const LabelTable* CurrentLabelTable();
void SetCurrentLabelTable(std::shared_ptr<const LabelTable> table);

// Loads the embedded table of `language` (0 Chinese, 1 English) as the current one. False when
// the resource is missing or unreadable; the current table is then cleared.
bool LoadEmbeddedLabelTable(int language);

// Applies the current table to one dialog: its caption from "IDD<n>_title", then every labelled
// widget inside it (not descending into embedded sub-dialogs) from "IDD<n>_<control id>".
// Missing keys and empty values leave the text as it is.
void RelabelDialog(QWidget* dialog, int templateId);

// The text a widget shows, whatever its kind (label, button, group box, caption of a window).
QString WidgetText(const QWidget* widget);
void SetWidgetText(QWidget* widget, const QString& text);

} // namespace orvex
