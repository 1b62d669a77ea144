#include "widgets/ControlArt.h"

#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <cmath>

static void InitControlResources() {
    // The artwork lives in a static library; its resource initialiser must be referenced explicitly.
    static const bool done = [] {
        Q_INIT_RESOURCE(controls);
        return true;
    }();
    (void)done;
}

namespace orvex {

namespace {

struct ArtEntry {
    int id;
    const char* image;
    const char* fill;
    int width;
    int height;
};

constexpr ArtEntry kArt[] = {
    {art::HSliderThumb, "hthumb-normal.svg", nullptr, 14, 22},
    {art::HSliderChannel, "hslider-channel.svg", "hslider-fill.svg", 120, 22},
    {art::HSliderThumbDisabled, "hthumb-disabled.svg", nullptr, 14, 22},
    {art::HSliderThumbFocused, "hthumb-focused.svg", nullptr, 14, 22},
    {art::TabAlternate, "tab-alternate.svg", nullptr, 96, 28},
    {art::TabStandard, "tab-standard.svg", nullptr, 96, 28},
    {art::VSliderThumbFocused, "vthumb-focused.svg", nullptr, 22, 14},
    {art::VSliderChannel, "vslider-channel.svg", "vslider-fill.svg", 22, 120},
    {art::VSliderThumb, "vthumb-normal.svg", nullptr, 22, 14},
    {art::VSliderThumbDisabled, "vthumb-disabled.svg", nullptr, 22, 14},
};

const ArtEntry* FindArt(int id) {
    for (const ArtEntry& e : kArt) {
        if (e.id == id) {
            return &e;
        }
    }
    return nullptr;
}

} // namespace

QSize ArtNominalSize(int id) {
    const ArtEntry* e = FindArt(id);
    return e ? QSize(e->width, e->height) : QSize();
}

QPixmap RenderArt(int id, QSize logicalSize, qreal dpr, ArtRole role) {
    const ArtEntry* e = FindArt(id);
    if (!e || logicalSize.isEmpty()) {
        return {};
    }
    const char* file = (role == ArtRole::Fill && e->fill) ? e->fill : e->image;
    const QSize device(static_cast<int>(std::lround(logicalSize.width() * dpr)),
                       static_cast<int>(std::lround(logicalSize.height() * dpr)));
    const QString key =
        QStringLiteral("orvex-art-%1-%2x%3").arg(QLatin1String(file)).arg(device.width()).arg(device.height());
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) {
        return pixmap;
    }
    InitControlResources();
    QSvgRenderer renderer(QStringLiteral(":/controls/") + QLatin1String(file));
    pixmap = QPixmap(device);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(device)));
    }
    pixmap.setDevicePixelRatio(dpr);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace orvex
