#include "widgets/UiLanguage.h"

namespace orvex {

namespace {
// Set and read on the user-interface thread only.
int g_nUiLanguage = 0;
} // namespace

int UiLanguageIndex() {
    return g_nUiLanguage;
}

void SetUiLanguageIndex(int index) {
    g_nUiLanguage = index == 0 ? 0 : 1;
}

QString UiText(const char* zh, const char* en) {
    return QString::fromUtf8(g_nUiLanguage == 0 ? zh : en);
}

} // namespace orvex
