#pragma once

#include "model/EqBandRecord.h"
#include "model/FilterDesign.h"
#include "model/Measurement.h"

#include <QObject>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace orvex {

// What the equaliser graph draws over a path's bands when the user brings in a room measurement: the
// measured response (normalised to its 200 Hz..2 kHz mean), the target it should follow (flat when
// none is loaded) and, while the fit dialog shows one, the bands a fit proposes.
struct EqOverlay {
    Measurement measurement;
    QString measurementName;
    Measurement target; // empty: flat
    QString targetName;
    std::optional<std::vector<EqBand>> proposal; // the path's free bands as a fit would set them
};

// A path's overlay sampled on the curve grid of the graph's axis, as the graph draws it.
struct EqOverlaySamples {
    bool shown = false;
    bool targetFromFile = false;
    bool proposal = false;
    BandCurve measured{};   // NaN outside the measurement
    BandCurve target{};     // 0 dB when flat
    BandCurve proposalEq{}; // the proposed free bands' sum
    int generation = 0;     // counts the samplings, so that a drawing of them knows when to redraw
};

// Samples `overlay` (null when the path has none) on the grid of `axis` into `samples`. Nothing is shown
// without a measurement or without a plot width; the curves sampled before are then left as they were.
void SampleEqOverlay(const EqOverlay* overlay, const CurveAxis& axis, EqOverlaySamples& samples);

// The overlays of every path, kept for the whole session: an overlay belongs to its EQ identity, so
// it is there again whenever any page shows that path, and stays across reconnecting.
class CEqOverlays : public QObject {
    Q_OBJECT

public:
    static CEqOverlays& Instance();

    // Null when the path has no measurement.
    const EqOverlay* Find(int eqIdentity) const;

    void SetMeasurement(int eqIdentity, Measurement normalised, const QString& name);
    // Ignored while the path has no measurement.
    void SetTarget(int eqIdentity, Measurement target, const QString& name);
    void SetProposal(int eqIdentity, std::optional<std::vector<EqBand>> freeBands);
    void Clear(int eqIdentity);
    void ClearAll();

signals:
    void changed(int eqIdentity);

private:
    std::map<int, EqOverlay> m_overlays;
};

} // namespace orvex
