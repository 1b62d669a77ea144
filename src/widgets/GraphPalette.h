#pragma once

#include <QColor>

#include <algorithm>
#include <array>

namespace orvex {

// The colours of the equaliser graph and of the controls drawn beside it in the same dark style.
namespace graphpalette {
inline constexpr QColor Background(20, 20, 20);
inline constexpr QColor GridLine(64, 64, 64);
inline constexpr QColor GridLabel(128, 128, 128);
inline constexpr QColor Curve(0, 200, 255); // the total response, and the band grid's text
inline constexpr QColor LabelText(180, 180, 180);
inline constexpr QColor ValueText(16, 255, 16);
inline constexpr QColor Title(255, 255, 0);
// The curves of a room-measurement overlay.
inline constexpr QColor Measured(255, 140, 0);
inline constexpr QColor Predicted(255, 255, 255);
inline constexpr QColor Target(150, 150, 150);
inline constexpr QColor Proposal(255, 80, 200);

// The fixed band palette: band i uses entry i.
inline constexpr std::array<QRgb, 35> kBands = {
    qRgb(250, 100, 180), qRgb(255, 80, 255),  qRgb(80, 80, 255),   qRgb(80, 255, 100),  qRgb(255, 255, 100),
    qRgb(255, 100, 100), qRgb(255, 180, 20),  qRgb(255, 100, 180), qRgb(180, 100, 255), qRgb(140, 180, 255),
    qRgb(20, 180, 255),  qRgb(80, 255, 255),  qRgb(40, 255, 160),  qRgb(20, 90, 250),   qRgb(80, 255, 255),
    qRgb(255, 255, 20),  qRgb(80, 100, 255),  qRgb(20, 255, 80),   qRgb(80, 255, 40),   qRgb(180, 255, 20),
    qRgb(255, 80, 255),  qRgb(80, 120, 250),  qRgb(250, 250, 250), qRgb(250, 100, 123), qRgb(123, 80, 255),
    qRgb(80, 80, 123),   qRgb(123, 255, 100), qRgb(255, 123, 100), qRgb(123, 100, 100), qRgb(250, 100, 123),
    qRgb(123, 80, 255),  qRgb(80, 80, 123),   qRgb(123, 255, 100), qRgb(255, 123, 100), qRgb(123, 100, 100)};
} // namespace graphpalette

// Band i's colour; indexes past the palette take its last entry.
inline QColor EqBandColour(int index) {
    const int last = static_cast<int>(graphpalette::kBands.size()) - 1;
    return QColor::fromRgb(graphpalette::kBands[static_cast<size_t>(std::clamp(index, 0, last))]);
}

} // namespace orvex
