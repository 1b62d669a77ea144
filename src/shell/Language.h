#pragma once

#include "widgets/UiLanguage.h"

#include <QString>

namespace orvex {

inline constexpr int kLanguageChinese = 0;
inline constexpr int kLanguageEnglish = 1;

// The language is the one the editing controls show (UiLanguageIndex): 0 Chinese, 1 English. It is
// changed only by the language button (and by `--lang` at start-up).
// Changes the language of the whole program: the shell's texts, the editing controls' and Qt's own
// (message-box buttons, file dialogs) alike.
void SetLanguageIndex(int language);

// The stored `language` value is trusted only when it is one the program writes: anything else
// (a hand-edited or corrupted setting) falls back to Chinese rather than indexing past the pair.
int LanguageFromSetting(int stored);

// A text that exists in both languages, chosen at the moment it is shown. Both arguments are UTF-8.
inline QString Tr2(const char* zh, const char* en) {
    return UiText(zh, en);
}

// The mode names of the status bar and the mode menus, for modes 0..3.
QString ModeName(int mode);
// "一".."四" / "1".."4" for n = 1..4, as the mode prompts number them.
QString ModeNumeral(int n);

} // namespace orvex
