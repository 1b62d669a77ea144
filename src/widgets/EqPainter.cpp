#include "widgets/EqPainter.h"

#include "widgets/ControlFonts.h"
#include "widgets/EqOverlay.h"
#include "widgets/GraphPalette.h"
#include "widgets/UiLanguage.h"
#include "model/EqPaths.h"
#include "model/FilterText.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace orvex {

namespace {

constexpr double kAxisMinHz = kMainPanelMinHz;
constexpr double kAxisMaxHz = kMainPanelMaxHz;
constexpr double kAxisTopDb = 15.0;
constexpr double kAxisSpanDb = 30.0;

// Plot insets from the client rectangle.
constexpr int kInsetLeft = 36;
constexpr int kInsetTop = 18;
constexpr int kInsetRight = 6;
constexpr int kInsetBottom = 20;

constexpr std::array<double, 30> kGridHz = {18,   20,   30,   40,   50,   60,   70,   80,    90,    100,
                                            200,  300,  400,  500,  600,  700,  800,  900,   1000,  2000,
                                            3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 20000, 23000};

struct AxisLabel {
    double hz;
    const char* text;
};
constexpr std::array<AxisLabel, 10> kHzLabels = {{{20, "20Hz"},
                                                  {50, "50Hz"},
                                                  {100, "100Hz"},
                                                  {200, "200Hz"},
                                                  {500, "500Hz"},
                                                  {1000, "1kHz"},
                                                  {2000, "2kHz"},
                                                  {5000, "5kHz"},
                                                  {10000, "10kHz"},
                                                  {20000, "20kHz"}}};

bool IsLowPassKind(int code) {
    return code >= 2 && code <= 20 && code % 2 == 0;
}

bool IsHighPassKind(int code) {
    return code >= 3 && code <= 21 && code % 2 != 0;
}

QColor WithAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}

// Held within a range the drawing arithmetic handles well; beyond it the curve is clipped anyway.
double DrawableDb(float db) {
    if (!std::isfinite(db)) {
        return db > 0 ? 60.0 : -60.0;
    }
    return std::clamp(static_cast<double>(db), -60.0, 60.0);
}

} // namespace

QRect EqGraphGeometry::Plot() const {
    return m_client.adjusted(kInsetLeft, kInsetTop, -kInsetRight, -kInsetBottom);
}

float EqGraphGeometry::YForGain(double gainDb) const {
    const QRect plot = Plot();
    return static_cast<float>(plot.top() + (kAxisTopDb - gainDb) * plot.height() / kAxisSpanDb);
}

QPointF EqGraphGeometry::PointFor(double hz, double gainDb) const {
    const QRect plot = Plot();
    const double x = plot.left() + plot.width() * std::log10(hz / kAxisMinHz) / std::log10(kAxisMaxHz / kAxisMinHz);
    return {x, YForGain(gainDb)};
}

double EqGraphGeometry::FrequencyAt(double plotX) const {
    const double w = std::max(1, Plot().width());
    return kAxisMinHz * std::pow(10.0, std::log10(kAxisMaxHz / kAxisMinHz) * plotX / w);
}

double EqGraphGeometry::GainAt(double plotY) const {
    const double h = std::max(1, Plot().height());
    return kAxisTopDb - plotY / h * kAxisSpanDb;
}

void CEqPainter::Render(QPainter& p, const EqGraphGeometry& g, const EqScene& scene) {
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    // Grid, labels and title change only with size, scale, path and language: kept as one layer.
    const QString key = QStringLiteral("%1x%2@%3/%4/%5")
                            .arg(g.Client().width())
                            .arg(g.Client().height())
                            .arg(dpr)
                            .arg(scene.eqIdentity)
                            .arg(UiLanguageIndex());
    if (key != m_staticKey || m_staticLayer.isNull()) {
        m_staticLayer = QPixmap(g.Client().size() * dpr);
        m_staticLayer.setDevicePixelRatio(dpr);
        QPainter sp(&m_staticLayer);
        PaintStatic(sp, g, scene.title);
        m_staticKey = key;
    }
    p.drawPixmap(0, 0, m_staticLayer);

    p.setRenderHint(QPainter::Antialiasing, true);
    if (scene.selected >= 0) {
        PaintSelectedArea(p, g, scene);
    }
    const BandCurve total = scene.bands.TotalCurve();
    if (scene.overlay.shown) {
        PaintOverlay(p, g, scene, total);
    }
    PaintTotal(p, g, total);
    if (scene.overlay.shown) {
        PaintOverlayLegend(p, g, scene, total);
    }
    PaintMarkers(p, g, scene);
    const int labelled = scene.hover >= 0 ? scene.hover : scene.selected;
    if (labelled >= 0 && labelled < scene.bands.VisibleBandCount()) {
        PaintValueLabels(p, g, scene, labelled);
    }
    if (scene.selected >= 0) {
        PaintStatus(p, g, scene);
    }
    if (scene.bypass) {
        p.setFont(HeiFont(72));
        p.setPen(Qt::white);
        p.drawText(g.Client(), Qt::AlignCenter, QStringLiteral("BYPASS"));
    }
}

void CEqPainter::PaintStatic(QPainter& p, const EqGraphGeometry& g, const QString& title) {
    const QRect plot = g.Plot();
    p.fillRect(g.Client(), graphpalette::Background);

    p.setFont(SongFont(13));
    p.setPen(graphpalette::Title);
    const QRect titleBox(0, 0, plot.right() + 1 - 2, plot.top() - 1);
    p.drawText(titleBox, Qt::AlignRight | Qt::AlignBottom, title);

    // Grid lines sit on whole pixels so they stay one crisp pixel (two at 200 %).
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen grid(graphpalette::GridLine, 1.0);
    grid.setCapStyle(Qt::FlatCap);
    const QFont labelFont = ArialFont(PointsToPixels(8.4));
    p.setFont(labelFont);
    const QFontMetrics fm(labelFont);
    for (int db = -15; db <= 15; db += 3) {
        const int y = static_cast<int>(std::lround(g.YForGain(db)));
        p.setPen(grid);
        p.drawLine(plot.left(), y, plot.right(), y);
        // The 0 dB label is formatted from negative zero and so reads "-0dB".
        const double value = db == 0 ? -0.0 : static_cast<double>(db);
        // The C library keeps the sign of negative zero (Qt's formatter drops it).
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%+-.0fdB", value);
        const QString text = QString::fromLatin1(buffer);
        p.setPen(graphpalette::GridLabel);
        p.drawText(QRect(0, y - fm.height() / 2, plot.left() - 3, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   text);
    }
    p.setPen(grid);
    for (double hz : kGridHz) {
        const int x = static_cast<int>(std::lround(g.PointFor(hz, 0).x()));
        p.drawLine(x, plot.top() + 1, x, plot.bottom());
    }
    p.setPen(graphpalette::GridLabel);
    for (const auto& [box, text] : FrequencyLabels(g))
        p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, text);
}

std::vector<std::pair<QRect, QString>> CEqPainter::FrequencyLabels(const EqGraphGeometry& g) {
    const QRect plot = g.Plot();
    const QFontMetrics fm(ArialFont(PointsToPixels(8.4)));
    std::vector<std::pair<QRect, QString>> labels;
    int lastRight = std::numeric_limits<int>::min();
    for (const AxisLabel& label : kHzLabels) {
        const int x = static_cast<int>(std::lround(g.PointFor(label.hz, 0).x()));
        const QString text = QString::fromLatin1(label.text);
        const int w = fm.horizontalAdvance(text) + 2;
        // Centred under its grid line, but never past the panel's edges ("20kHz" sits at the right one).
        const int left = std::clamp(x - w / 2, 0, std::max(0, g.Client().width() - w));
        // On a narrow panel a label that would run into its left neighbour is left out.
        if (left < lastRight + 4) {
            continue;
        }
        labels.emplace_back(QRect(left, plot.bottom() + 4, w, fm.height()), text);
        lastRight = left + w;
    }
    return labels;
}

void CEqPainter::PaintSelectedArea(QPainter& p, const EqGraphGeometry& g, const EqScene& scene) {
    const bool output = scene.bands.IsOutputPath();
    if (output && scene.selected != kOutputCrossoverBand) {
        return; // on outputs only the crossover gets an area
    }
    const CurveBand& sel = scene.bands.Band(scene.selected);
    if (sel.type == eqtype::Off) {
        return;
    }
    BandCurve curve = sel.curve;
    if (output) {
        curve = SumBandCurves(scene.bands.Bands().subspan(kOutputCrossoverBand, 4), 4);
    }
    const QRect plot = g.Plot();
    const double step = plot.width() / 512.0;
    const double closeY =
        IsLowPassKind(sel.type) || IsHighPassKind(sel.type) ? plot.bottom() + 1 + 20.0 : g.YForGain(0.0);
    QPainterPath area;
    area.moveTo(plot.left(), g.YForGain(DrawableDb(curve[0])));
    for (int i = 1; i < kCurvePoints; ++i) {
        area.lineTo(plot.left() + i * step, g.YForGain(DrawableDb(curve[static_cast<size_t>(i)])));
    }
    area.lineTo(plot.left() + (kCurvePoints - 1) * step, closeY);
    area.lineTo(plot.left(), closeY);
    area.closeSubpath();
    p.save();
    p.setClipRect(plot);
    p.setPen(Qt::NoPen);
    p.setBrush(WithAlpha(EqBandColour(scene.selected), 0x20));
    p.drawPath(area);
    p.restore();
}

void CEqPainter::PaintTotal(QPainter& p, const EqGraphGeometry& g, const BandCurve& total) {
    const QRect plot = g.Plot();
    const double step = plot.width() / 512.0;
    std::array<QPointF, kCurvePoints> pts;
    for (int i = 0; i < kCurvePoints; ++i) {
        pts[static_cast<size_t>(i)] =
            QPointF(plot.left() + i * step, g.YForGain(DrawableDb(total[static_cast<size_t>(i)])));
    }
    // Cardinal spline of tension 0.1: each segment a cubic whose control points lie tension/3 of the
    // neighbour chord away from its ends.
    constexpr double kTension = 0.1;
    QPainterPath path(pts[0]);
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
        const QPointF& p0 = pts[i == 0 ? 0 : i - 1];
        const QPointF& p1 = pts[i];
        const QPointF& p2 = pts[i + 1];
        const QPointF& p3 = pts[std::min(i + 2, pts.size() - 1)];
        path.cubicTo(p1 + (p2 - p0) * (kTension / 3.0), p2 - (p3 - p1) * (kTension / 3.0), p2);
    }
    p.save();
    p.setClipRect(plot.adjusted(0, -1, 1, 1));
    QPen pen(graphpalette::Curve, 2.0);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

QPainterPath CEqPainter::OverlayPath(const EqGraphGeometry& g, const std::function<float(size_t)>& valueAt) {
    // Straight segments between grid points; NaN points (outside the measurement) break the curve.
    const QRect plot = g.Plot();
    const double step = plot.width() / 512.0;
    QPainterPath path;
    bool open = false;
    for (int i = 0; i < kCurvePoints; ++i) {
        const float db = valueAt(static_cast<size_t>(i));
        if (std::isnan(db)) {
            open = false;
            continue;
        }
        const QPointF pt(plot.left() + i * step, g.YForGain(DrawableDb(db)));
        if (open) {
            path.lineTo(pt);
        } else {
            path.moveTo(pt);
            open = true;
        }
    }
    return path;
}

void CEqPainter::PaintOverlay(QPainter& p, const EqGraphGeometry& g, const EqScene& scene, const BandCurve& total) {
    const QRect plot = g.Plot();
    const BandCurve& measured = scene.overlay.measured;
    // Only the prediction moves with the bands; the rest of the overlay is drawn once into a layer.
    BandCurve kept{};
    QString key = QStringLiteral("%1x%2@%3/%4")
                      .arg(g.Client().width())
                      .arg(g.Client().height())
                      .arg(p.device() ? p.device()->devicePixelRatioF() : 1.0)
                      .arg(scene.overlay.generation);
    if (scene.overlay.proposal) {
        // The bands the fit leaves alone (an output's crossover) play under a proposal as well.
        const int free = std::min(FreeEqBandCount(scene.eqIdentity), scene.bands.BandCount());
        kept = SumBandCurves(scene.bands.Bands().subspan(static_cast<size_t>(free)), scene.bands.BandCount() - free);
        double sum = 0.0;
        for (float v : kept) {
            sum += v;
        }
        key += QLatin1Char('/') + QString::number(sum, 'g', 17);
    }
    if (key != m_overlayKey || m_overlayLayer.isNull()) {
        const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
        m_overlayLayer = QPixmap(g.Client().size() * dpr);
        m_overlayLayer.setDevicePixelRatio(dpr);
        m_overlayLayer.fill(Qt::transparent);
        QPainter lp(&m_overlayLayer);
        lp.setRenderHint(QPainter::Antialiasing, true);
        lp.setClipRect(plot.adjusted(0, -1, 1, 1));
        lp.setBrush(Qt::NoBrush);
        lp.setPen(QPen(graphpalette::Target, 1.0, Qt::DashLine));
        lp.drawPath(OverlayPath(g, [&](size_t i) { return scene.overlay.target[i]; }));
        // The measurement over the prediction: where the bands are flat the two coincide and both show.
        lp.setPen(QPen(graphpalette::Measured, 1.5));
        lp.drawPath(OverlayPath(g, [&](size_t i) { return measured[i]; }));
        if (scene.overlay.proposal) {
            lp.setPen(QPen(graphpalette::Proposal, 2.0, Qt::DashLine));
            lp.drawPath(OverlayPath(g, [&](size_t i) { return measured[i] + scene.overlay.proposalEq[i] + kept[i]; }));
        }
        m_overlayKey = key;
    }
    p.save();
    p.setClipRect(plot.adjusted(0, -1, 1, 1));
    p.setBrush(Qt::NoBrush);
    // Redrawn at every drag step: two one-pixel strokes a little apart read as a bold line and cost a
    // tenth of one wide antialiased stroke along a ragged measurement.
    const QPainterPath predicted =
        OverlayPath(g, [&](size_t i) { return scene.bypass ? measured[i] : measured[i] + total[i]; });
    p.setPen(QPen(graphpalette::Predicted, 1.0));
    p.drawPath(predicted);
    p.translate(0, 0.8);
    p.drawPath(predicted);
    p.restore();
    p.drawPixmap(0, 0, m_overlayLayer);
}

void CEqPainter::PaintOverlayLegend(QPainter& p, const EqGraphGeometry& g, const EqScene& scene,
                                    const BandCurve& total) {
    struct Entry {
        QColor colour;
        Qt::PenStyle style;
        QString text;
    };
    std::vector<Entry> entries = {
        {graphpalette::Measured, Qt::SolidLine, UiText("测量", "Measured")},
        {graphpalette::Predicted, Qt::SolidLine, UiText("预测", "Predicted")},
        {graphpalette::Target, Qt::DashLine,
         scene.overlay.targetFromFile ? UiText("目标", "Target") : UiText("目标(平直)", "Target (flat)")}};
    if (scene.overlay.proposal) {
        entries.push_back({graphpalette::Proposal, Qt::DashLine, UiText("拟合结果", "Fit result")});
    }
    const QFont font = ArialFont(PointsToPixels(8.0));
    const QFontMetrics fm(font);
    int textWidth = 0;
    for (const Entry& e : entries) {
        textWidth = std::max(textWidth, fm.horizontalAdvance(e.text));
    }
    const int lineHeight = fm.height() + 1;
    const QRect plot = g.Plot();
    const QSize size(6 + 22 + 5 + textWidth + 6, 4 + lineHeight * static_cast<int>(entries.size()) + 2);
    // In the corner of the plot the curves cross least, top left when they leave it free.
    const std::array<QRect, 4> corners = {
        QRect(QPoint(plot.left() + 6, plot.top() + 6), size),
        QRect(QPoint(plot.right() - 6 - size.width(), plot.top() + 6), size),
        QRect(QPoint(plot.left() + 6, plot.bottom() - 6 - size.height()), size),
        QRect(QPoint(plot.right() - 6 - size.width(), plot.bottom() - 6 - size.height()), size)};
    const double step = plot.width() / 512.0;
    QRect box = corners[0];
    int fewest = std::numeric_limits<int>::max();
    for (const QRect& corner : corners) {
        int crossing = 0;
        for (int i = 0; i < kCurvePoints; ++i) {
            const double x = plot.left() + i * step;
            if (x < corner.left() || x > corner.right())
                continue;
            const float measured = scene.overlay.measured[static_cast<size_t>(i)];
            for (float db : {measured, scene.bypass ? measured : measured + total[static_cast<size_t>(i)]}) {
                const double y = g.YForGain(DrawableDb(db));
                crossing += !std::isnan(db) && y >= corner.top() && y <= corner.bottom() ? 1 : 0;
            }
        }
        if (crossing < fewest) {
            fewest = crossing;
            box = corner;
        }
    }
    p.save();
    p.setPen(QPen(graphpalette::GridLine, 1.0));
    p.setBrush(WithAlpha(graphpalette::Background, 0xD0));
    p.drawRect(box);
    p.setFont(font);
    int y = box.top() + 4;
    for (const Entry& e : entries) {
        const double mid = y + lineHeight / 2.0;
        p.setPen(QPen(e.colour, 2.0, e.style));
        p.drawLine(QPointF(box.left() + 6, mid), QPointF(box.left() + 28, mid));
        p.setPen(graphpalette::LabelText);
        p.drawText(QRect(box.left() + 33, y, textWidth + 2, lineHeight), Qt::AlignLeft | Qt::AlignVCenter, e.text);
        y += lineHeight;
    }
    p.restore();
}

void CEqPainter::PaintMarkers(QPainter& p, const EqGraphGeometry& g, const EqScene& scene) {
    const QRect plot = g.Plot();
    const QFont numberFont = ArialFont(PointsToPixels(8.0));
    for (int i = 0; i < scene.bands.VisibleBandCount(); ++i) {
        const CurveBand& b = scene.bands.Band(i);
        if (b.type == eqtype::Off) {
            continue;
        }
        const EqMarker& e = scene.markers[static_cast<size_t>(i)];
        const QPointF c(plot.left() + e.x, plot.top() + e.y);
        const QColor colour = EqBandColour(i);
        const QColor fill = WithAlpha(colour, i == scene.selected ? 0x50 : 0x25);
        if (b.type == eqtype::Peaking) {
            p.setPen(QPen(WithAlpha(colour, 0x7F), 2.0, Qt::SolidLine, Qt::FlatCap));
            p.setBrush(Qt::NoBrush);
            const QRectF ring(c.x() - 9, c.y() - 9, 18, 18);
            // Two arcs with gaps at left and right.
            p.drawArc(ring, 15 * 16, 150 * 16);
            p.drawArc(ring, 195 * 16, 150 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawEllipse(c, 7.0, 7.0);
        } else {
            QPen dashed(WithAlpha(colour, 0x7F), 1.5, Qt::DashLine);
            p.setPen(dashed);
            p.setBrush(fill);
            p.drawRect(QRectF(c.x() - 7, c.y() - 7, 14, 14));
            if (i == scene.selected) {
                p.setPen(QPen(QColor(255, 0, 0, 255), 1.5, Qt::DashLine));
                p.drawLine(QPointF(c.x(), plot.top()), QPointF(c.x(), plot.bottom() + 1));
            }
        }
        p.setFont(numberFont);
        p.setPen(colour);
        p.drawText(QRectF(c.x() - 10, c.y() - 8, 20, 16), Qt::AlignCenter, QString::number(i + 1));
    }
}

void CEqPainter::PaintValueLabels(QPainter& p, const EqGraphGeometry& g, const EqScene& scene, int index) {
    const CurveBand& b = scene.bands.Band(index);
    const EqMarker& e = scene.markers[static_cast<size_t>(index)];
    const QRect plot = g.Plot();
    // Lines stand 9 pixels apart; the face is sized so its capitals and digits fit that pitch whatever
    // face the fallback chain supplies.
    QFont font = ArialFont(PointsToPixels(8.4));
    while (font.pixelSize() > 8 && QFontMetrics(font).capHeight() > 7.5) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    const QFontMetrics fm(font);
    const std::array<QString, 3> labels = {QStringLiteral("F:"), QStringLiteral("G:"), QStringLiteral("Q:")};
    const std::array<QString, 3> values = {QString::asprintf("%.0fHz", static_cast<double>(b.freqHz)),
                                           QString::asprintf("%+-.1fdB", static_cast<double>(b.gainDb)),
                                           QString::asprintf("%.2f", static_cast<double>(b.q))};
    const bool above = b.gainDb < -0.01f;
    const std::array<int, 3> offsets = above ? std::array<int, 3>{-42, -33, -24} : std::array<int, 3>{18, 27, 36};
    const int labelWidth = fm.horizontalAdvance(QStringLiteral("G:")) + 2;
    int valueWidth = 0;
    for (const QString& v : values) {
        valueWidth = std::max(valueWidth, fm.horizontalAdvance(v));
    }
    // The block starts a little left of the marker and is kept inside the client area.
    double x = plot.left() + e.x - 12;
    x = std::clamp(x, 1.0, std::max(1.0, static_cast<double>(g.Client().width() - labelWidth - valueWidth - 2)));
    const double cy = plot.top() + e.y;
    p.setFont(font);
    for (size_t k = 0; k < 3; ++k) {
        // Offsets give each line's top; the baseline sits at the digits' cap height below it.
        const double baseline = cy + offsets[k] + fm.capHeight();
        p.setPen(graphpalette::LabelText);
        p.drawText(QPointF(x, baseline), labels[k]);
        p.setPen(graphpalette::ValueText);
        p.drawText(QPointF(x + labelWidth, baseline), values[k]);
    }
}

CEqPainter::StatusLine CEqPainter::StatusLayout(const EqGraphGeometry& g, const EqScene& scene) {
    StatusLine line;
    if (scene.selected < 0)
        return line;
    const CurveBand& b = scene.bands.Band(scene.selected);
    line.text = UiLanguageIndex() == 0
                    ? QString::asprintf("EQ号=%d    频率=%.0fHz    Q值=%.2f     增益=", scene.selected + 1,
                                        static_cast<double>(b.freqHz), static_cast<double>(b.q))
                    : QString::asprintf("Index=%d     Frequency=%.0fHz    Q=%.2f     Gain=", scene.selected + 1,
                                        static_cast<double>(b.freqHz), static_cast<double>(b.q));
    line.gain = QString::asprintf("%+-.1fdB ", static_cast<double>(b.gainDb));
    line.font = SongFont(PointsToPixels(9.0));
    constexpr qreal kLeft = 36;
    // On a narrow panel the wide spacing would run into the title at the right: single spaces then.
    const qreal titleLeft = g.Plot().right() - QFontMetrics(SongFont(13)).horizontalAdvance(scene.title) - 8;
    auto advance = [&line] { return QFontMetricsF(line.font).horizontalAdvance(line.text + line.gain); };
    if (kLeft + advance() > titleLeft)
        line.text = line.text.simplified();
    // Still too wide: the status of the band being edited wins over the title for as long as it shows,
    // and on a very narrow panel a smaller font keeps the gain whole.
    line.coversTitle = kLeft + advance() > titleLeft;
    while (kLeft + advance() > g.Client().width() - 2 && line.font.pixelSize() > 8)
        line.font.setPixelSize(line.font.pixelSize() - 1);
    const QFontMetricsF fm(line.font);
    line.box = QRectF(kLeft, 3, advance(), fm.height());
    return line;
}

QRectF CEqPainter::StatusRect(const EqGraphGeometry& g, const EqScene& scene) {
    return StatusLayout(g, scene).box;
}

void CEqPainter::PaintStatus(QPainter& p, const EqGraphGeometry& g, const EqScene& scene) {
    const StatusLine line = StatusLayout(g, scene);
    const float gain = scene.bands.Band(scene.selected).gainDb;
    const float mag = std::fabs(gain);
    const QColor gainColour = (gain >= -6.0f && gain <= 6.0f) ? QColor(0, 255, 0)
                              : (mag > 6.0f && mag < 10.1f)   ? graphpalette::Title
                                                              : QColor(255, 0, 0);
    const QFontMetrics fm(line.font);
    p.setFont(line.font);
    const QPointF origin(line.box.left(), line.box.top() + fm.ascent());
    if (line.coversTitle)
        p.fillRect(QRect(0, 0, g.Client().width(), g.Plot().top() - 1), graphpalette::Background);
    p.setPen(QColor(0, 255, 0));
    p.drawText(origin, line.text);
    p.setPen(gainColour);
    p.drawText(origin + QPointF(fm.horizontalAdvance(line.text), 0), line.gain);
}

} // namespace orvex
