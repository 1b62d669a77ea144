#include "widgets/ControlFonts.h"

#include <QStringList>

namespace orvex {

namespace {

QFont MakeFont(const QStringList& families, qreal pixelSize) {
    QFont font;
    font.setFamilies(families);
    // Fractional pixel sizes are rounded; an 8.4-point label is 11 pixels either way.
    font.setPixelSize(std::max(1, qRound(pixelSize)));
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace

QFont SongFont(qreal pixelSize) {
    return MakeFont({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("WenQuanYi Micro Hei"),
                     QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")},
                    pixelSize);
}

QFont HeiFont(qreal pixelSize) {
    return MakeFont({QStringLiteral("SimHei"), QStringLiteral("黑体"), QStringLiteral("WenQuanYi Micro Hei"),
                     QStringLiteral("Noto Sans CJK SC"), QStringLiteral("DejaVu Sans")},
                    pixelSize);
}

QFont ArialFont(qreal pixelSize) {
    return MakeFont({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                     QStringLiteral("WenQuanYi Micro Hei")},
                    pixelSize);
}

} // namespace orvex
