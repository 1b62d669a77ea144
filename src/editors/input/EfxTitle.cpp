#include "editors/input/EfxTitle.h"

#include "widgets/ControlId.h"
#include "shell/Language.h"
#include "shell/Theme.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

struct TitleSpec {
    int imageZh;
    int imageEn;
    bool echo;
    bool channelB;
};

// Kinds 0..3: reverb A, reverb B, echo A, echo B.
constexpr TitleSpec kTitles[] = {
    {367, 407, false, false},
    {393, 408, false, true},
    {362, 403, true, false},
    {391, 404, true, true},
};

constexpr int kHeight = 40;
constexpr int kIconWidth = 44;
constexpr int kGap = 12;
constexpr int kPadding = 14;
constexpr qreal kRadius = 7.0;

const QColor kChannelAColour{0, 200, 255};
const QColor kChannelBColour{0, 220, 0};

QFont HeadingFont() {
    QFont font;
    font.setFamilies(UiFontFamilies());
    font.setPixelSize(19);
    font.setWeight(QFont::Bold);
    return font;
}

QFont ChannelFont() {
    QFont font;
    font.setFamilies(UiFontFamilies());
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    return font;
}

// Sound spreading from a source: a dot and three widening arcs.
void PaintReverbIcon(QPainter& p, const QRectF& box, const QColor& colour) {
    const QPointF source(box.left() + 9, box.center().y());
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(source, 3.2, 3.2);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 3; ++i) {
        QColor c = colour;
        c.setAlphaF(1.0 - 0.25 * i);
        p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap));
        const qreal r = 8.0 + 7.0 * i;
        p.drawArc(QRectF(source.x() - r, source.y() - r, 2 * r, 2 * r), -50 * 16, 100 * 16);
    }
}

// A sound and its repeats: bars that fade and shrink.
void PaintEchoIcon(QPainter& p, const QRectF& box, const QColor& colour) {
    p.setPen(Qt::NoPen);
    const qreal baseline = box.center().y();
    for (int i = 0; i < 4; ++i) {
        QColor c = colour;
        c.setAlphaF(1.0 - 0.22 * i);
        p.setBrush(c);
        const qreal h = 22.0 * std::pow(0.72, i);
        p.drawRoundedRect(QRectF(box.left() + 6 + 8.5 * i, baseline - h / 2, 4.5, h), 2.0, 2.0);
    }
}

} // namespace

CEfxTitle::CEfxTitle(QWidget* parent) : QWidget(parent) {
    SetCtrlId(this, kControlId);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Load(0);
}

int CEfxTitle::ImageId(int kind, int language) {
    if (kind < 0 || kind > 3)
        return 0;
    return language == kLanguageEnglish ? kTitles[kind].imageEn : kTitles[kind].imageZh;
}

void CEfxTitle::Load(int kind) {
    m_kind = std::clamp(kind, 0, 3);
    const TitleSpec& spec = kTitles[m_kind];
    m_imageId = ImageId(m_kind, UiLanguageIndex());
    m_heading = spec.echo ? Tr2("回声均衡", "Echo EQ") : Tr2("混响均衡", "Reverb EQ");
    m_channel = spec.channelB ? Tr2("话筒通道 B", "Mic channel B") : Tr2("话筒通道 A", "Mic channel A");
    updateGeometry();
    adjustSize();
    update();
}

QColor CEfxTitle::Accent() const {
    return kTitles[m_kind].channelB ? kChannelBColour : kChannelAColour;
}

QSize CEfxTitle::sizeHint() const {
    const int heading = QFontMetrics(HeadingFont()).horizontalAdvance(m_heading);
    const int channel = QFontMetrics(ChannelFont()).horizontalAdvance(m_channel) + 2 * 10;
    return {kPadding / 2 + kIconWidth + heading + kGap + channel + kPadding, kHeight};
}

void CEfxTitle::Paint(QPainter& p, const QRectF& area) const {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF banner = area.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(banner.topLeft(), banner.bottomLeft());
    fill.setColorAt(0, QColor(44, 50, 58));
    fill.setColorAt(1, QColor(20, 20, 20));
    p.setPen(QPen(QColor(12, 12, 12), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(banner, kRadius, kRadius);

    // A thin accent line along the bottom edge ties the banner to the channel's curve colour.
    const QColor accent = Accent();
    QPainterPath clip;
    clip.addRoundedRect(banner, kRadius, kRadius);
    p.save();
    p.setClipPath(clip);
    p.fillRect(QRectF(banner.left(), banner.bottom() - 3, banner.width(), 3), accent);
    p.restore();

    const QRectF icon(banner.left() + kPadding / 2.0, banner.top(), kIconWidth, banner.height() - 3);
    if (kTitles[m_kind].echo)
        PaintEchoIcon(p, icon, accent);
    else
        PaintReverbIcon(p, icon, accent);

    const QFont headingFont = HeadingFont();
    p.setFont(headingFont);
    p.setPen(Qt::white);
    const qreal headingWidth = QFontMetricsF(headingFont).horizontalAdvance(m_heading);
    const QRectF headingBox(icon.right(), banner.top(), headingWidth + 1, banner.height() - 3);
    p.drawText(headingBox, Qt::AlignVCenter | Qt::AlignLeft, m_heading);

    // The channel as a small outlined tag after the heading.
    const QFont channelFont = ChannelFont();
    const qreal channelWidth = QFontMetricsF(channelFont).horizontalAdvance(m_channel);
    const QRectF tag(headingBox.right() + kGap, banner.center().y() - 11.5, channelWidth + 20, 21);
    p.setPen(QPen(accent, 1.2));
    p.setBrush(QColor(accent.red(), accent.green(), accent.blue(), 40));
    p.drawRoundedRect(tag, 10.5, 10.5);
    p.setFont(channelFont);
    p.setPen(accent.lighter(125));
    p.drawText(tag, Qt::AlignCenter, m_channel);
}

QPixmap CEfxTitle::Render(qreal dpr) const {
    const QSize logical = sizeHint();
    QPixmap pixmap(QSize(qCeil(logical.width() * dpr), qCeil(logical.height() * dpr)));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    Paint(p, QRectF(QPointF(0, 0), QSizeF(logical)));
    return pixmap;
}

void CEfxTitle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    Paint(p, QRectF(rect()));
}

} // namespace orvex
