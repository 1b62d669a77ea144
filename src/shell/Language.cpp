#include "shell/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include <array>

namespace orvex {

namespace {
// Qt's own texts (message-box buttons, the file dialogs) in Chinese; none in English, which is
// what Qt's widgets are written in.
QPointer<QTranslator> g_qtTranslator;

void UseQtTranslations(int language) {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || (language == kLanguageChinese) == !g_qtTranslator.isNull())
        return;
    if (g_qtTranslator) {
        QCoreApplication::removeTranslator(g_qtTranslator);
        delete g_qtTranslator.data();
    }
    if (language != kLanguageChinese)
        return;
    auto* translator = new QTranslator(application);
    // Without the translations installed Qt's texts stay English; the program's own are unaffected.
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return;
    }
    g_qtTranslator = translator;
}
} // namespace

void SetLanguageIndex(int language) {
    SetUiLanguageIndex(LanguageFromSetting(language));
    UseQtTranslations(UiLanguageIndex());
}

int LanguageFromSetting(int stored) {
    return stored == kLanguageEnglish ? kLanguageEnglish : kLanguageChinese;
}

QString ModeName(int mode) {
    static constexpr std::array<const char*, 4> zh = {"M1（电视）", "M2（电影）", "M3（K歌）", "M4（音乐）"};
    static constexpr std::array<const char*, 4> en = {"M1 (TV)", "M2 (Movie)", "M3 (Karaoke)", "M4 (Music)"};
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
