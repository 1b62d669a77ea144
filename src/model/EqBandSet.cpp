#include "model/EqBandSet.h"

#include "model/EqPaths.h"

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

// Set by start-up to -1 and shared by every page.
int g_nEqClipboard = -1;

constexpr float kMinQ = static_cast<float>(kMinBandQ);
constexpr float kMaxPeakQ = static_cast<float>(kMaxPeakingQ);

float QLimitFor(int code) {
    return static_cast<float>(BandQLimit(code));
}

} // namespace

EqBandSet::EqBandSet() = default;

CurveAxis EqBandSet::Axis() const {
    return m_axis ? m_axis() : MainPanelAxis(0);
}

void EqBandSet::Moved(int index) const {
    if (m_recomputed) {
        m_recomputed(index);
    }
}

bool EqBandSet::IsOutputPath() const {
    return IsOutputEqIdentity(m_eqIdentity);
}

void EqBandSet::SetBandCount(int count) {
    count = std::clamp(count, 0, kEqBandSlots);
    m_bandCount = count;
    auto standard = [this](size_t bands) {
        for (size_t i = 0; i < bands; ++i) {
            m_bands[i].freqHz = static_cast<float>(kOctaveBandHz[i]);
            m_bands[i].type = eqtype::Peaking;
            m_bands[i].q = 1.41f;
        }
    };
    if (count == 7) {
        standard(7);
    } else if (count == 10) {
        standard(10);
    }
    for (int i = 0; i < count; ++i) {
        At(i).gainDb = 0.0f;
    }
    RecomputeAll();
}

int EqBandSet::VisibleBandCount() const {
    return IsOutputPath() ? std::min(m_bandCount, kOutputCrossoverBand + 1) : m_bandCount;
}

void EqBandSet::BeginLoad() {
    m_loading = true;
}

bool EqBandSet::EndLoad() {
    if (!m_loading) {
        return false;
    }
    m_loading = false;
    const CurveAxis axis = Axis();
    for (size_t i = 0; i < m_bands.size(); ++i) {
        if (m_staleCurves.test(i)) {
            ComputeBandCurve(m_bands[i], axis);
        }
    }
    m_staleCurves.reset();
    return true;
}

void EqBandSet::Recompute(int index) {
    if (m_loading) {
        if (ShareCrossoverPoint(std::span<CurveBand>(m_bands), index, m_eqIdentity)) {
            for (int h = kOutputFirstHiddenBand; h <= kOutputLastHiddenBand; ++h) {
                m_staleCurves.set(static_cast<size_t>(h));
            }
        }
        m_staleCurves.set(static_cast<size_t>(index));
    } else {
        ComputePathBandCurve(std::span<CurveBand>(m_bands), index, m_eqIdentity, Axis());
    }
    // The marker follows at once, so a page reading the record between paints sees where it is.
    Moved(index);
}

void EqBandSet::RecomputeAll() {
    if (m_loading) {
        for (int i = 0; i < m_bandCount; ++i) {
            m_staleCurves.set(static_cast<size_t>(i));
            Moved(i);
        }
        return;
    }
    const CurveAxis axis = Axis();
    for (int i = 0; i < m_bandCount; ++i) {
        ComputeBandCurve(At(i), axis);
        Moved(i);
    }
}

void EqBandSet::SetBandType(int index, int code) {
    if (!IsLive(index)) {
        return;
    }
    CurveBand& b = At(index);
    b.type = code;
    if (code == eqtype::Peaking) {
        b.q = 1.41f;
    } else if (code >= eqtype::LowPass && code <= eqtype::HighShelf) {
        SetBandGain(index, 0.0f);
        b.q = 0.7f;
    }
    Recompute(index);
}

void EqBandSet::SetBandGain(int index, float gainDb) {
    if (!IsLive(index)) {
        return;
    }
    CurveBand& b = At(index);
    b.gainDb = gainDb;
    // An off band keeps the gain it is given; it is not drawn or sent.
    if (b.type != eqtype::Off && !BandGainEditable(b.type)) {
        b.gainDb = 0.0f;
    }
    // A non-number typed or sent in would otherwise survive every clamp.
    if (!std::isfinite(b.gainDb)) {
        b.gainDb = 0.0f;
    }
    b.gainDb = std::clamp(b.gainDb, m_gainClampMin, m_gainClampMax);
    Recompute(index);
}

void EqBandSet::SetBandQ(int index, float q) {
    if (!IsLive(index) || !(std::fabs(q) >= 1e-7f)) {
        return;
    }
    CurveBand& b = At(index);
    b.q = std::clamp(q, kMinQ, QLimitFor(b.type));
    Recompute(index);
}

void EqBandSet::SetBandFrequency(int index, float hz) {
    if (!IsLive(index) || !std::isfinite(hz)) {
        return;
    }
    const EqBandLimits& e = Limits(index);
    At(index).freqHz = std::clamp(hz, e.freqMin, e.freqMax);
    Recompute(index);
}

void EqBandSet::SetBandTypeFromMenu(int index, int menuType) {
    if (!IsLive(index) || menuType < eqtype::Peaking || menuType > eqtype::HighShelf) {
        return;
    }
    if (!IsOutputPath()) {
        SetBandType(index, menuType);
        return;
    }
    At(index).gainDb = 0.0f;
    if (index == kOutputCrossoverBand) {
        // The crossover band's choice is realised on all four of its sections.
        AssignCrossoverSections(std::span<CurveBand>(m_bands), *ExpandCrossoverMenuType(menuType), Axis());
        return;
    }
    SetBandType(index, menuType);
}

void EqBandSet::SetCrossoverFamily(int index, int listIndex) {
    if (index != kOutputCrossoverBand) {
        return;
    }
    ApplyCrossoverFamily(std::span<CurveBand>(m_bands), listIndex, Axis());
}

void EqBandSet::LoadBand(int index, const EqBand& band) {
    if (!IsLive(index)) {
        return;
    }
    CurveBand& b = At(index);
    b.type = band.type;
    b.freqHz = static_cast<float>(band.freqHz);
    b.gainDb = band.gainDb;
    b.q = band.q;
    Recompute(index);
}

void EqBandSet::ResetBand(int index) {
    if (!IsLive(index)) {
        return;
    }
    At(index) = CurveBand{};
    m_limits[static_cast<size_t>(index)] = EqBandLimits{};
}

void EqBandSet::DragBand(int index, double hz, double gainDb) {
    CurveBand& b = At(index);
    const EqBandLimits& e = Limits(index);
    double gain = 0.0;
    if (BandGainEditable(b.type)) {
        gain = std::round(gainDb * 10.0) / 10.0; // half away from zero
    }
    b.gainDb = std::clamp(static_cast<float>(gain), e.gainMin, e.gainMax);
    b.freqHz = std::clamp(static_cast<float>(hz), e.freqMin, e.freqMax);
    Recompute(index);
}

void EqBandSet::DragQ(int index, float pixels) {
    CurveBand& b = At(index);
    // A narrow Q range moves more finely under the pointer.
    const bool narrow = QLimitFor(b.type) < kMaxPeakQ;
    b.q = std::clamp(b.q + pixels / (narrow ? 80.0f : 12.0f), kMinQ, QLimitFor(b.type));
    Recompute(index);
}

bool EqBandSet::WheelGain(int index, bool up) {
    CurveBand& b = At(index);
    if (!BandGainEditable(b.type)) {
        return false;
    }
    const EqBandLimits& e = Limits(index);
    b.gainDb = std::clamp(b.gainDb + (up ? 0.1f : -0.1f), e.gainMin, e.gainMax);
    Recompute(index);
    return true;
}

void EqBandSet::NudgeFrequency(int index, bool up, bool fine) {
    CurveBand& b = At(index);
    const float f = b.freqHz;
    float step = f > 10000.0f ? 100.0f : f > 1000.0f ? 10.0f : f > 100.0f ? 5.0f : 2.0f;
    if (fine) {
        step += 1.0f;
    }
    b.freqHz += up ? step : -step;
}

void EqBandSet::NudgeGain(int index, bool up, bool fine) {
    CurveBand& b = At(index);
    if (BandGainEditable(b.type)) {
        const float step = fine ? 0.1f : 0.2f;
        b.gainDb += up ? step : -step;
    }
}

void EqBandSet::NudgeQ(int index, bool up, bool fine) {
    const float step = fine ? 0.01f : 0.1f;
    At(index).q += up ? step : -step;
}

void EqBandSet::NudgeType(int index, bool up) {
    const int type = At(index).type;
    if (up && type >= eqtype::Peaking && type <= eqtype::LowShelf) {
        SetBandType(index, type + 1);
    } else if (!up && type >= eqtype::LowPass && type <= eqtype::HighShelf) {
        SetBandType(index, type - 1);
    }
}

void EqBandSet::ClampToLimits(int index) {
    CurveBand& b = At(index);
    const EqBandLimits& e = Limits(index);
    b.gainDb = std::clamp(b.gainDb, e.gainMin, e.gainMax);
    b.q = std::clamp(b.q, kMinQ, QLimitFor(b.type));
    b.freqHz = std::clamp(b.freqHz, e.freqMin, e.freqMax);
    Recompute(index);
}

const CurveBand& EqBandSet::Band(int index) const {
    return m_bands[static_cast<size_t>(std::clamp(index, 0, kEqBandSlots - 1))];
}

const EqBandLimits& EqBandSet::Limits(int index) const {
    return m_limits[static_cast<size_t>(std::clamp(index, 0, kEqBandSlots - 1))];
}

BandCurve EqBandSet::TotalCurve() const {
    return SumBandCurves(std::span<const CurveBand>(m_bands), m_bandCount);
}

int EqBandSet::DisplayType(int index) const {
    if (!IsLive(index)) {
        return eqtype::Off;
    }
    if (IsOutputPath() && index == kOutputCrossoverBand) {
        const CrossoverCodes codes = {m_bands[9].type, m_bands[10].type, m_bands[11].type, m_bands[12].type};
        if (const auto match = MatchCrossoverCodes(codes)) {
            return match->menuType;
        }
    }
    return Band(index).type;
}

int EqBandClipboard() {
    return g_nEqClipboard;
}

void SetEqBandClipboard(int eqIdentity) {
    g_nEqClipboard = eqIdentity;
}

void HandleEqCopyPaste(int action, int eqIdentity, const std::function<void(int, int)>& copyPath,
                       const std::function<void()>& reload) {
    if (action == kEqCopyAction) {
        SetEqBandClipboard(eqIdentity);
        return;
    }
    if (action != kEqPasteAction) {
        return;
    }
    const int source = EqBandClipboard();
    if (source != -1 && copyPath) {
        copyPath(source, eqIdentity);
    }
    if (reload) {
        reload();
    }
}

} // namespace orvex
