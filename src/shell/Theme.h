#pragma once

#include <QColor>
#include <QFont>
#include <QStringList>

class QApplication;
class QWidget;

namespace orvex {

// Pages and dialogs paint this colour behind their controls.
inline const QColor kPageBackground{240, 250, 255};
inline const QColor kLinkConnectedColour{0, 150, 0};
inline const QColor kLinkDisconnectedColour{220, 0, 0};
inline const QColor kPaneDefaultColour{255, 0, 0};

// Families to try for user-interface text, CJK-capable ones first so Chinese never falls back
// to boxes; the Latin face then comes from the same family.
QStringList UiFontFamilies();
// The "宋体"-style serif face the message texts were designed with, with the same fallbacks.
QFont MessageFont(int pixelHeight, int weight = QFont::Medium);

// Style, palette, font and style sheet of the whole program.
void ApplyApplicationLook(QApplication& app);

// Gives a page or dialog its background colour.
void UsePageBackground(QWidget* widget);

} // namespace orvex
