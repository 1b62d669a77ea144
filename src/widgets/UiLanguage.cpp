#include "widgets/UiLanguage.h"

#include <QAction>
#include <QVariant>

namespace orvex {

namespace {
// Set and read on the user-interface thread only.
int g_nUiLanguage = 0;
constexpr const char* kActionZhProperty = "textZh";
constexpr const char* kActionEnProperty = "textEn";
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

void SetActionTexts(QAction* action, const char* zh, const char* en) {
    action->setText(UiText(zh, en));
    action->setProperty(kActionZhProperty, QString::fromUtf8(zh));
    action->setProperty(kActionEnProperty, QString::fromUtf8(en));
}

bool ActionTexts(const QAction* action, QString& zh, QString& en) {
    const QVariant z = action->property(kActionZhProperty);
    const QVariant e = action->property(kActionEnProperty);
    if (!z.isValid() || !e.isValid())
        return false;
    zh = z.toString();
    en = e.toString();
    return true;
}

} // namespace orvex
