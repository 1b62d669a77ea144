#pragma once

#include <QString>

class QWidget;

namespace orvex {

// Every control tells what it does: a short tooltip in the current language (with its key, where it
// has one) and an accessible name for screen readers. Hints come from the table of ControlHints.cpp,
// keyed by the control's template and id, or are attached to a control by the code that builds it;
// ApplyControlHints sets them in the current language and runs again on every language switch.

// Attaches a hint pair (both UTF-8, kept as given: pass string literals) to `widget` and applies it.
void SetHint(QWidget* widget, const char* zh, const char* en);

// Sets the tooltip and accessible name of `root` and of every control under it that has a hint,
// in the current language.
void ApplyControlHints(QWidget* root);

// The tooltip of a control by the table alone (template 0: the ribbon and the status bar), in the
// current language; empty when the table has none.
QString TableHint(int templateId, int ctrlId);

// A hint's accessible name: the hint without the keys in brackets at its end.
QString AccessibleNameOfHint(const QString& hint);

} // namespace orvex
