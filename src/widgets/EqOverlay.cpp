#include "widgets/EqOverlay.h"

#include <limits>

namespace orvex {

void SampleEqOverlay(const EqOverlay* overlay, const CurveAxis& axis, EqOverlaySamples& samples) {
    ++samples.generation;
    samples.shown = overlay != nullptr && !overlay->measurement.Empty() && axis.widthPx > 0;
    if (!samples.shown) {
        samples.proposal = false;
        return;
    }
    const Measurement& m = overlay->measurement;
    const double lo = m.freqHz.front();
    const double hi = m.freqHz.back();
    samples.targetFromFile = !overlay->target.Empty();
    for (int i = 0; i < kCurvePoints; ++i) {
        const double f = CurveGridFrequency(i, axis);
        const auto at = static_cast<size_t>(i);
        samples.measured[at] =
            f < lo || f > hi ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(InterpolateLevelDb(m, f));
        samples.target[at] = samples.targetFromFile ? static_cast<float>(InterpolateLevelDb(overlay->target, f)) : 0.0f;
    }
    samples.proposal = overlay->proposal.has_value();
    if (samples.proposal) {
        samples.proposalEq.fill(0.0f);
        for (const EqBand& band : *overlay->proposal) {
            CurveBand curve = CurveBandFromEqBand(band);
            if (!ComputeBandCurve(curve, axis)) {
                continue;
            }
            for (size_t i = 0; i < curve.curve.size(); ++i) {
                samples.proposalEq[i] += curve.curve[i];
            }
        }
    }
}

CEqOverlays& CEqOverlays::Instance() {
    static CEqOverlays overlays;
    return overlays;
}

const EqOverlay* CEqOverlays::Find(int eqIdentity) const {
    const auto it = m_overlays.find(eqIdentity);
    return it == m_overlays.end() ? nullptr : &it->second;
}

void CEqOverlays::SetMeasurement(int eqIdentity, Measurement normalised, const QString& name) {
    EqOverlay& overlay = m_overlays[eqIdentity];
    overlay.measurement = std::move(normalised);
    overlay.measurementName = name;
    emit changed(eqIdentity);
}

void CEqOverlays::SetTarget(int eqIdentity, Measurement target, const QString& name) {
    const auto it = m_overlays.find(eqIdentity);
    if (it == m_overlays.end())
        return;
    it->second.target = std::move(target);
    it->second.targetName = name;
    emit changed(eqIdentity);
}

void CEqOverlays::SetProposal(int eqIdentity, std::optional<std::vector<EqBand>> freeBands) {
    const auto it = m_overlays.find(eqIdentity);
    if (it == m_overlays.end() || (!it->second.proposal && !freeBands))
        return;
    it->second.proposal = std::move(freeBands);
    emit changed(eqIdentity);
}

void CEqOverlays::Clear(int eqIdentity) {
    if (m_overlays.erase(eqIdentity) > 0)
        emit changed(eqIdentity);
}

void CEqOverlays::ClearAll() {
    std::vector<int> identities;
    for (const auto& [identity, overlay] : m_overlays)
        identities.push_back(identity);
    m_overlays.clear();
    for (int identity : identities)
        emit changed(identity);
}

} // namespace orvex
