#pragma once

class QString;
class QWidget;

namespace orvex {

// Every control tells what it does: a short tooltip in the current language (with its key, where it
// has one) and an accessible name for screen readers. Hints come from the table of ControlHints.cpp,
// keyed by the control's template and id, or are attached to a control by the code that builds it;
// ApplyControlHints sets them in the current language and runs again on every language switch.

// Attaches a hint pair (both UTF-8) to `widget` and applies it in the current language.
void SetHint(QWidget* widget, const char* zh, const char* en);

// Sets the tooltip, accessible name and description of `root` and of every control under it that has
// a hint, in the current language. The name is the hint without the keys in brackets at its end.
void ApplyControlHints(QWidget* root);

// The hint of `widget` in both languages, without the keys in brackets at its end; false when it has
// none.
bool HintPair(const QWidget* widget, QString& zh, QString& en);

} // namespace orvex
