#pragma once

#include "model/EqBandRecord.h"
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
