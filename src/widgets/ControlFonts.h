#pragma once

#include <QFont>

namespace orvex {

// The faces the controls were designed with ("宋体", "黑体", Arial) with fallbacks that exist on this
// platform and render Chinese. Sizes are in pixels so that layouts do not depend on the screen's DPI.
QFont SongFont(qreal pixelSize);
QFont HeiFont(qreal pixelSize);
QFont ArialFont(qreal pixelSize);

// Point sizes of the original layout at 96 DPI.
constexpr qreal PointsToPixels(qreal points) {
    return points * 96.0 / 72.0;
}

} // namespace orvex
