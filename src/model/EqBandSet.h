#pragma once

#include "model/EqBandRecord.h"
#include "model/FilterDesign.h"

#include <array>
#include <bitset>
#include <functional>
#include <span>

namespace orvex {

// Band slots of one equaliser path as an editor holds them (the longest path has fewer).
inline constexpr int kEqBandSlots = 40;

// What dragging, the wheel and the keys may do to a band's frequency and gain.
struct EqBandLimits {
    float freqMin = static_cast<float>(kMinBandFreqHz);
    float freqMax = static_cast<float>(kMaxBandFreqHz);
    float gainMin = kMinBandGainDb;
    float gainMax = kMaxBandGainDb;
};

// The bands of the path an equaliser graph edits, with the rules every edit follows: the type rules
// (a type change resets Q and, for shapes without a gain, the gain), the limits, the output paths'
// crossover band whose menu type is realised on four sections, and each band's curve on the display
// grid kept up to date. It knows nothing of pixels beyond the axis it samples curves on.
class EqBandSet {
public:
    EqBandSet();

    // Where the curves are sampled; asked at every recompute, since the plot width can change at any
    // time. Without a source no curve is computed.
    void SetAxisSource(std::function<CurveAxis()> axis) { m_axis = std::move(axis); }
    CurveAxis Axis() const;
    // Told the index of every band whose settings were just recomputed (a marker to move).
    void SetRecomputedHandler(std::function<void(int)> handler) { m_recomputed = std::move(handler); }

    void SetEqIdentity(int eqIdentity) { m_eqIdentity = eqIdentity; }
    int EqIdentity() const { return m_eqIdentity; }
    bool IsOutputPath() const;

    // Seven and ten bands start on the octave frequencies as peaking bands at Q 1.41; every band of the
    // count starts at 0 dB.
    void SetBandCount(int count);
    int BandCount() const { return m_bandCount; }
    // Bands shown and edited by hand: bands 0..9 on output paths, all bands elsewhere.
    int VisibleBandCount() const;
    bool IsLive(int index) const { return index >= 0 && index < kEqBandSlots; }

    // A whole path set band by band: in between, edits change the settings only and EndLoad computes each
    // changed band's curve once. EndLoad returns false when no load was open.
    void BeginLoad();
    bool EndLoad();

    void SetBandType(int index, int code);
    // Held to the set's gain range; a band type without a gain of its own keeps 0 dB.
    void SetBandGain(int index, float gainDb);
    // A Q of (nearly) zero is ignored; otherwise held to the type's range.
    void SetBandQ(int index, float q);
    // Held to the band's frequency limits.
    void SetBandFrequency(int index, float hz);
    // Type from a menu or a type radio (1 PEQ .. 5 HS), with the output paths' rules.
    void SetBandTypeFromMenu(int index, int menuType);
    void SetCrossoverFamily(int index, int listIndex);
    // Values as given, then the curve.
    void LoadBand(int index, const EqBand& band);
    // Back to a fresh record: default settings and limits, no curve recomputed.
    void ResetBand(int index);

    // A drag to frequency `hz` and gain `gainDb`: the gain in tenths of a decibel where the type has one,
    // 0 dB otherwise; both held to the band's limits.
    void DragBand(int index, double hz, double gainDb);
    // A sideways drag of `pixels` changes Q, more finely for the types with a narrow Q range.
    void DragQ(int index, float pixels);
    // One wheel notch of gain; false (nothing changed) when the type has no gain of its own.
    bool WheelGain(int index, bool up);
    // Key steps; they leave the band unclamped until ClampToLimits.
    void NudgeFrequency(int index, bool up, bool fine);
    void NudgeGain(int index, bool up, bool fine);
    void NudgeQ(int index, bool up, bool fine);
    // The next or previous of the types 1..5; nothing beyond either end.
    void NudgeType(int index, bool up);
    void ClampToLimits(int index);

    const CurveBand& Band(int index) const;
    const EqBandLimits& Limits(int index) const;
    std::span<const CurveBand> Bands() const { return m_bands; }
    BandCurve TotalCurve() const;
    // The type a page shows for a band: on an output path's crossover band the menu type its four
    // section codes amount to, otherwise the band's code.
    int DisplayType(int index) const;

    // Recomputes the band's curve now, or marks it stale while a load is open.
    void Recompute(int index);
    void RecomputeAll();

private:
    CurveBand& At(int index) { return m_bands[static_cast<size_t>(index)]; }
    void Moved(int index) const;

    std::array<CurveBand, kEqBandSlots> m_bands{};
    std::array<EqBandLimits, kEqBandSlots> m_limits{};
    std::function<CurveAxis()> m_axis;
    std::function<void(int)> m_recomputed;
    bool m_loading = false;
    std::bitset<kEqBandSlots> m_staleCurves;
    int m_eqIdentity = 0;
    int m_bandCount = 0;
    float m_gainClampMin = kMinBandGainDb;
    float m_gainClampMax = kMaxBandGainDb;
};

// ---- The band clipboard --------------------------------------------------------------------------------

// The process-wide EQ clipboard, shared by every page so that a path copied on one pastes on another: the
// EQ identity last copied, -1 when nothing was.
int EqBandClipboard();
void SetEqBandClipboard(int eqIdentity);

inline constexpr int kEqCopyAction = 0;
inline constexpr int kEqPasteAction = 1;

// What every equaliser page does with a copy or paste of its path. Copy remembers the path in the EQ
// clipboard. Paste copies the remembered path into this one through copyPath (CopyEqPath of the store)
// when something was copied, then reloads the path; with nothing copied it only reloads.
void HandleEqCopyPaste(int action, int eqIdentity, const std::function<void(int source, int destination)>& copyPath,
                       const std::function<void()>& reload);

} // namespace orvex
