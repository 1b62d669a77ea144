#include "smarthome/RemotePicture.h"

#include "smarthome/RemoteHotSpot.h"

#include "widgets/ControlId.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace orvex {

namespace {

using Shape = CRemoteHotSpot::Shape;

struct KeyArt {
    int id;
    const char* caption;
    Shape shape;
    QRgb colour;
    QRectF area;
};

constexpr QRgb kRed = 0xffc8323c;
constexpr QRgb kGrey = 0xff5b6470;
constexpr QRgb kSteel = 0xff3b4a5e;
constexpr QRgb kBlue = 0xff2f6fb3;
constexpr QRgb kAmber = 0xffd98a1c;
constexpr QRgb kTeal = 0xff2a8c82;

// Top to bottom, left to right: the order the keyboard visits them.
const KeyArt kKeys[] = {
    {1587, "", Shape::Round, kRed, {30, 52, 46, 46}},
    {1616, "FN", Shape::Round, kGrey, {164, 52, 46, 46}},
    {1600, "\u2212", Shape::Pill, kSteel, {30, 118, 78, 34}},
    {1601, "+", Shape::Pill, kSteel, {132, 118, 78, 34}},
    {1602, "M1", Shape::Rounded, kBlue, {93, 180, 54, 42}},
    {1604, "M3", Shape::Rounded, kBlue, {41, 227, 48, 48}},
    {1606, "OK", Shape::Round, kTeal, {95, 226, 50, 50}},
    {1605, "M2", Shape::Rounded, kBlue, {151, 227, 48, 48}},
    {1603, "M4", Shape::Rounded, kBlue, {93, 280, 54, 42}},
    {1607, "MENU", Shape::Pill, kSteel, {22, 348, 62, 30}},
    {1608, "MUTE", Shape::Pill, kAmber, {89, 348, 62, 30}},
    {1609, "EXIT", Shape::Pill, kSteel, {156, 348, 62, 30}},
    {1610, "+", Shape::Rounded, kGrey, {30, 420, 50, 42}},
    {1612, "+", Shape::Rounded, kGrey, {95, 420, 50, 42}},
    {1614, "+", Shape::Rounded, kGrey, {160, 420, 50, 42}},
    {1611, "\u2212", Shape::Rounded, kGrey, {30, 478, 50, 42}},
    {1613, "\u2212", Shape::Rounded, kGrey, {95, 478, 50, 42}},
    {1615, "\u2212", Shape::Rounded, kGrey, {160, 478, 50, 42}},
};

} // namespace

CRemotePicture::CRemotePicture(QWidget* parent) : QWidget(parent) {
    SetCtrlId(this, kControlId);
    for (const KeyArt& key : kKeys) {
        auto* spot = new CRemoteHotSpot(key.id, QString::fromUtf8(key.caption), key.shape, QColor::fromRgba(key.colour),
                                        key.area, this);
        connect(spot, &QAbstractButton::clicked, this, [this, id = key.id] { emit hotSpotClicked(id); });
        m_hotSpots.push_back(spot);
    }
    for (size_t i = 1; i < m_hotSpots.size(); ++i)
        setTabOrder(m_hotSpots[i - 1], m_hotSpots[i]);
}

CRemoteHotSpot* CRemotePicture::HotSpot(int controlId) const {
    for (CRemoteHotSpot* spot : m_hotSpots) {
        if (spot->ControlId() == controlId)
            return spot;
    }
    return nullptr;
}

QSize CRemotePicture::sizeHint() const {
    return QSize(static_cast<int>(kWidth), static_cast<int>(kHeight));
}

QSize CRemotePicture::minimumSizeHint() const {
    return QSize(static_cast<int>(kWidth * 0.75), static_cast<int>(kHeight * 0.75));
}

double CRemotePicture::Scale() const {
    return std::min(width() / kWidth, height() / kHeight);
}

QPointF CRemotePicture::Origin() const {
    const double s = Scale();
    return {(width() - kWidth * s) / 2, (height() - kHeight * s) / 2};
}

void CRemotePicture::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceHotSpots();
}

void CRemotePicture::PlaceHotSpots() {
    const double s = Scale();
    const QPointF origin = Origin();
    for (CRemoteHotSpot* spot : m_hotSpots) {
        const QRectF a = spot->Area();
        spot->setGeometry(QRectF(origin + a.topLeft() * s, a.size() * s).toRect());
    }
}

void CRemotePicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(Origin());
    const double s = Scale();
    painter.scale(s, s);

    // The body: a graphite slab with a lit edge and a faint shadow on the page.
    const QRectF body(10, 8, kWidth - 20, kHeight - 16);
    QPainterPath outline;
    outline.addRoundedRect(body, 46, 46);
    painter.fillPath(outline.translated(3, 5), QColor(0, 0, 0, 45));
    QLinearGradient slab(body.topLeft(), body.topRight());
    slab.setColorAt(0, QColor(0x2b, 0x30, 0x38));
    slab.setColorAt(0.5, QColor(0x3a, 0x41, 0x4b));
    slab.setColorAt(1, QColor(0x24, 0x28, 0x2f));
    painter.fillPath(outline, slab);
    painter.setPen(QPen(QColor(0x71, 0x7c, 0x8a), 1.5));
    painter.drawPath(outline);

    // The infrared window at the top end.
    QRadialGradient lens(QPointF(kWidth / 2, 26), 24);
    lens.setColorAt(0, QColor(0x9b, 0x1b, 0x2c));
    lens.setColorAt(1, QColor(0x3a, 0x08, 0x10));
    painter.setPen(Qt::NoPen);
    painter.setBrush(lens);
    painter.drawRoundedRect(QRectF(kWidth / 2 - 26, 18, 52, 14), 7, 7);

    // The navigation ring around M1..M4 and OK.
    painter.setBrush(QColor(0x1d, 0x21, 0x27));
    painter.setPen(QPen(QColor(0x55, 0x5f, 0x6c), 1.2));
    painter.drawEllipse(QPointF(kWidth / 2, 251), 88, 88);

    // Captions printed on the body.
    QFont font = this->font();
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xb9, 0xc3, 0xcf));
    const char* const groups[] = {"MIC", "EFFECT", "MUSIC"};
    for (int i = 0; i < 3; ++i)
        painter.drawText(QRectF(20 + 65 * i, 400, 70, 16), Qt::AlignCenter, QString::fromLatin1(groups[i]));
    painter.drawText(QRectF(30, 101, kWidth - 60, 14), Qt::AlignCenter, QStringLiteral("PITCH"));
    painter.setPen(QPen(QColor(0x55, 0x5f, 0x6c), 1));
    painter.drawLine(QPointF(40, 392), QPointF(kWidth - 40, 392));

    font.setPixelSize(15);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 4);
    painter.setFont(font);
    painter.setPen(QColor(0x8f, 0x9b, 0xa8));
    painter.drawText(QRectF(10, 556, kWidth - 20, 24), Qt::AlignCenter, QStringLiteral("ORVEX"));
}

} // namespace orvex
