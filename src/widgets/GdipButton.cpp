#include "widgets/GdipButton.h"

#include "widgets/ControlArt.h"
#include "widgets/ControlFonts.h"
#include "widgets/ControlId.h"

#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace orvex {

namespace {

// Hot: lifted toward white; disabled: desaturated and faded. Alpha is kept so the page shows through.
QImage AdjustFace(const QImage& source, bool disabled) {
    QImage img = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = line[x];
            const int a = qAlpha(c);
            if (a == 0) {
                continue;
            }
            // Un-premultiplied channels, since the format is plain ARGB32.
            int r = qRed(c), g = qGreen(c), b = qBlue(c);
            if (disabled) {
                const int grey = (r * 11 + g * 16 + b * 5) / 32;
                r = g = b = (grey + 200) / 2;
                line[x] = qRgba(r, g, b, a * 3 / 4);
            } else {
                r += (255 - r) * 22 / 100;
                g += (255 - g) * 22 / 100;
                b += (255 - b) * 22 / 100;
                line[x] = qRgba(r, g, b, a);
            }
        }
    }
    return img;
}

} // namespace

CGdipButton::CGdipButton(int controlId, QWidget* parent) : QAbstractButton(parent), m_controlId(controlId) {
    SetCtrlId(this, controlId);
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    m_font = SongFont(12);
    SetStandardImage(art::TabStandard);
    SetAlternateImage(art::TabAlternate);
}

void CGdipButton::SetStandardImage(int artId) {
    m_standardImage = artId;
    updateGeometry();
    update();
}

void CGdipButton::SetAlternateImage(int artId) {
    m_alternateImage = artId;
    update();
}

void CGdipButton::UseAlternateImage(bool alternate) {
    m_alternate = alternate;
    update();
}

void CGdipButton::SetButtonEnabled(bool enabled) {
    m_enabled = enabled;
    setEnabled(enabled);
    update();
}

void CGdipButton::SetTextColour(const QColor& colour) {
    m_textColour = colour;
    update();
}

void CGdipButton::SetTextFont(const QFont& font) {
    m_font = font;
    update();
}

CGdipButton::Face CGdipButton::CurrentFace() const {
    if (!m_enabled || !isEnabled()) {
        return Face::Disabled;
    }
    if (isDown()) {
        return Face::Pressed;
    }
    return m_hot ? Face::Hot : Face::Normal;
}

QPixmap CGdipButton::RenderFace(bool alternate, Face face, qreal dpr) const {
    const QPixmap image = RenderArt(alternate ? m_alternateImage : m_standardImage, size(), dpr);
    if (image.isNull() || face == Face::Normal) {
        return image;
    }
    if (face == Face::Pressed) {
        // The pressed face is the image moved one pixel to the right and down.
        QPixmap shifted(image.size());
        shifted.setDevicePixelRatio(dpr);
        shifted.fill(Qt::transparent);
        QPainter p(&shifted);
        p.drawPixmap(QPointF(1, 1), image);
        return shifted;
    }
    QPixmap adjusted = QPixmap::fromImage(AdjustFace(image.toImage(), face == Face::Disabled));
    adjusted.setDevicePixelRatio(dpr);
    return adjusted;
}

QSize CGdipButton::sizeHint() const {
    const QSize nominal = ArtNominalSize(m_standardImage);
    return nominal.isEmpty() ? QSize(96, 28) : nominal;
}

void CGdipButton::paintEvent(QPaintEvent*) {
    // No background fill: the parent's background is already behind the transparent parts.
    QPainter p(this);
    const qreal dpr = p.device()->devicePixelRatioF();
    const Face face = CurrentFace();
    const bool alternate = face != Face::Disabled && m_alternate;
    p.drawPixmap(QPoint(0, 0), RenderFace(alternate, face, dpr));
    p.setFont(m_font);
    p.setPen(m_textColour);
    p.drawText(rect().translated(1, 0), Qt::AlignCenter, text());
}

void CGdipButton::enterEvent(QEnterEvent* event) {
    m_hot = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CGdipButton::leaveEvent(QEvent* event) {
    m_hot = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CGdipButton::mousePressEvent(QMouseEvent* event) {
    QAbstractButton::mousePressEvent(event);
}

void CGdipButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double-click is a second single click.
    mousePressEvent(event);
}

void CGdipButton::nextCheckState() {
    if (m_toggle) {
        m_alternate = !m_alternate;
        update();
    }
}

} // namespace orvex
