#include "shell/Theme.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace orvex {

QStringList UiFontFamilies() {
    return {QStringLiteral("Noto Sans CJK SC"),   QStringLiteral("WenQuanYi Micro Hei"),
            QStringLiteral("Microsoft YaHei"),    QStringLiteral("PingFang SC"),
            QStringLiteral("Source Han Sans SC"), QStringLiteral("DejaVu Sans"),
            QStringLiteral("sans-serif")};
}

QFont MessageFont(int pixelHeight, int weight) {
    QFont font;
    QStringList families{QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC")};
    families << UiFontFamilies();
    font.setFamilies(families);
    font.setPixelSize(pixelHeight);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

void ApplyApplicationLook(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);

    QFont font = app.font();
    font.setFamilies(UiFontFamilies());
    font.setPixelSize(13);
    app.setFont(font);

    QPalette palette = app.style()->standardPalette();
    palette.setColor(QPalette::Window, kPageBackground);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(42, 116, 196));
    palette.setColor(QPalette::Button, QColor(246, 249, 252));
    app.setPalette(palette);

    app.setStyleSheet(QStringLiteral(R"(
#RibbonBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fdfefe, stop:1 #e9f1fa);
             border-bottom: 1px solid #b7c9df; }
#RibbonTabRow { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3d74b4, stop:1 #2c5d99); }
#RibbonCategoryTab { color: #e8f0fa; background: transparent; border: none; padding: 4px 16px;
                     font-weight: 600; border-top-left-radius: 4px; border-top-right-radius: 4px; }
#RibbonCategoryTab:hover { background: rgba(255,255,255,0.16); }
#RibbonCategoryTab:checked { color: #1f4f8a; background: #fdfefe; }
#RibbonTabButton { color: #ffffff; background: transparent; border: 1px solid transparent; border-radius: 3px;
                   padding: 3px 4px; }
#RibbonTabButton[hasMenu="true"] { padding-right: 12px; }
#RibbonTabButton:hover { background: rgba(255,255,255,0.18); border-color: rgba(255,255,255,0.35); }
#RibbonTabButton:pressed { background: rgba(0,0,0,0.15); }
#RibbonTabButton:disabled { color: rgba(255,255,255,0.45); }
#RibbonPanel { background: transparent; }
#RibbonPanelCaption { color: #4d6480; font-size: 12px; }
#RibbonSeparator { background: #c6d5e6; }
#RibbonValueLabel { color: #1d2f44; background: transparent; border: none; font-weight: 600; padding: 0px;
                    text-align: left; }
#RibbonLargeButton { color: #1d2f44; background: transparent; border: 1px solid transparent; border-radius: 4px;
                     padding: 2px 4px; }
#RibbonLargeButton:hover { background: #dcebfa; border-color: #9fc1e6; }
#RibbonLargeButton:pressed { background: #c4dcf5; }
#RibbonLargeButton::menu-button { border: none; width: 14px; }
QStatusBar { background: #e9f1fa; border-top: 1px solid #b7c9df; }
QStatusBar::item { border: none; }
#StatusPane { padding: 0px 8px; font-weight: 600; }
)"));
}

void UsePageBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, kPageBackground);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace orvex
