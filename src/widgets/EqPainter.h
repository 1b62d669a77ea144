#pragma once

#include "model/EqBandSet.h"

#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <functional>
#include <span>
#include <utility>
#include <vector>

class QPainter;
class QPainterPath;

namespace orvex {

struct EqOverlaySamples;

// The equaliser graph's axes in a client rectangle: a logarithmic frequency axis and +15..-15 dB.
class EqGraphGeometry {
public:
    explicit EqGraphGeometry(const QRect& client) : m_client(client) {}

    const QRect& Client() const { return m_client; }
    // The plot rectangle inside the axis labels.
    QRect Plot() const;
    CurveAxis Axis() const { return MainPanelAxis(Plot().width()); }
    float YForGain(double gainDb) const;
    QPointF PointFor(double hz, double gainDb) const;
    // The frequency and gain at a point given from the plot's top left corner.
    double FrequencyAt(double plotX) const;
    double GainAt(double plotY) const;

private:
    QRect m_client;
};

// A band marker's centre, pixels from the plot's top left corner.
struct EqMarker {
    float x = 0.0f;
    float y = 0.0f;
};

// Everything one paint of the graph shows.
struct EqScene {
    const EqBandSet& bands;
    std::span<const EqMarker> markers;
    const EqOverlaySamples& overlay;
    QString title;
    int eqIdentity = 0;
    int selected = -1;
    int hover = -1;
    bool bypass = false;
};

// Draws the equaliser graph. Grid, labels and title, and the parts of a measurement overlay that a band
// drag does not move, are kept as layers and redrawn only when what they show changes.
class CEqPainter {
public:
    void Render(QPainter& p, const EqGraphGeometry& geometry, const EqScene& scene);
    // The next Render draws the grid layer afresh.
    void InvalidateStatic() { m_staticKey.clear(); }

    // The frequency axis labels as drawn (box and text); a label that would run into its neighbour is
    // left out.
    static std::vector<std::pair<QRect, QString>> FrequencyLabels(const EqGraphGeometry& geometry);
    // Where the selected band's status line is drawn above the plot; empty with no band selected.
    static QRectF StatusRect(const EqGraphGeometry& geometry, const EqScene& scene);

private:
    struct StatusLine {
        QString text; // up to the gain, which has a colour of its own
        QString gain;
        QFont font;
        QRectF box;
        bool coversTitle = false;
    };
    static StatusLine StatusLayout(const EqGraphGeometry& g, const EqScene& scene);

    static void PaintStatic(QPainter& p, const EqGraphGeometry& g, const QString& title);
    static void PaintSelectedArea(QPainter& p, const EqGraphGeometry& g, const EqScene& scene);
    static void PaintTotal(QPainter& p, const EqGraphGeometry& g, const BandCurve& total);
    static void PaintMarkers(QPainter& p, const EqGraphGeometry& g, const EqScene& scene);
    static void PaintValueLabels(QPainter& p, const EqGraphGeometry& g, const EqScene& scene, int index);
    static void PaintStatus(QPainter& p, const EqGraphGeometry& g, const EqScene& scene);
    void PaintOverlay(QPainter& p, const EqGraphGeometry& g, const EqScene& scene, const BandCurve& total);
    static QPainterPath OverlayPath(const EqGraphGeometry& g, const std::function<float(size_t)>& valueAt);
    static void PaintOverlayLegend(QPainter& p, const EqGraphGeometry& g, const EqScene& scene, const BandCurve& total);

    // Target, measurement and proposal, which a band drag does not change, drawn once per change.
    QPixmap m_overlayLayer;
    QString m_overlayKey;
    QPixmap m_staticLayer;
    QString m_staticKey;
};

} // namespace orvex
