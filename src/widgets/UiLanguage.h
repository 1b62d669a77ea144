#pragma once

#include <QString>

namespace orvex {

// The language every control shows its texts in: 0 Chinese, 1 English. Texts are chosen when they are
// displayed, so switching repaints in the new language without rebuilding anything.
int UiLanguageIndex();
void SetUiLanguageIndex(int index);

// The Chinese or the English text of a pair (both UTF-8), by the current language.
QString UiText(const char* zh, const char* en);

} // namespace orvex
