#include "shell/Language.h"

#include "editors/output/UiLanguage.h"

#include <array>

namespace orvex {

int languageIndex = kLanguageChinese;

void SetLanguageIndex(int language) {
    languageIndex = LanguageFromSetting(language);
    SetUiLanguageIndex(languageIndex);
}

int LanguageFromSetting(int stored) {
    return stored == kLanguageEnglish ? kLanguageEnglish : kLanguageChinese;
}

QString ModeName(int mode) {
    static constexpr std::array<const char*, 4> zh = {"M1（电视）", "M2（电影）", "M3（K歌）", "M4（音乐）"};
    static constexpr std::array<const char*, 4> en = {"M1（TV）", "M2（Movie）", "M3（Karaoke）", "M4（Music）"};
    if (mode < 0 || mode > 3)
        mode = 0;
    return Tr2(zh[static_cast<size_t>(mode)], en[static_cast<size_t>(mode)]);
}

QString ModeNumeral(int n) {
    static constexpr std::array<const char*, 4> zh = {"一", "二", "三", "四"};
    static constexpr std::array<const char*, 4> en = {"1", "2", "3", "4"};
    if (n < 1 || n > 4)
        n = 1;
    return Tr2(zh[static_cast<size_t>(n - 1)], en[static_cast<size_t>(n - 1)]);
}

} // namespace orvex
