#pragma once

#include <QString>

class QAction;

namespace orvex {

// The language every control shows its texts in: 0 Chinese, 1 English. Texts are chosen when they are
// displayed, so switching repaints in the new language without rebuilding anything.
int UiLanguageIndex();
void SetUiLanguageIndex(int index);

// The Chinese or the English text of a pair (both UTF-8), by the current language.
QString UiText(const char* zh, const char* en);

// A menu entry shows its text in the current language and keeps both, so that what the entry does can
// be named in either language afterwards (the edit history names a menu's command by its entry).
void SetActionTexts(QAction* action, const char* zh, const char* en);
// The pair an entry was given; false for an entry that has only the text it shows.
bool ActionTexts(const QAction* action, QString& zh, QString& en);

} // namespace orvex
