#include "widgets/EqOverlay.h"

namespace orvex {

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
