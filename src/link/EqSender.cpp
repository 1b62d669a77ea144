#include "link/EqSender.h"

#include "model/EqPaths.h"
#include "model/ParameterStore.h"

namespace orvex {

EqSender::EqSender(ParameterStore& store, CommandEncoder& commands) : m_store(store), m_commands(commands) {}

void EqSender::SetBand(int record, const EqBand& band, double outputGainDb) {
    const std::optional<CoefficientSlot> slot = SlotForRecord(record);
    if (!slot)
        return;
    m_store.SetEqBand(record, band);
    const EqBandBytes bytes = m_store.GetEqRecordBytes(record);
    m_commands.WriteDeviceMemory(static_cast<uint16_t>(record * kEqBandRecordSize), bytes);
    const BiquadWordSet words = BandWords(BandFromEqBand(band, outputGainDb));
    m_commands.SendParamWords(slot->cmd, slot->slot, words);
}

void EqSender::SetPathBand(int eqIdentity, int band, const EqBand& value, double outputGainDb) {
    const int record = EqIdentityRecord(eqIdentity, band);
    if (record >= 0)
        SetBand(record, value, outputGainDb);
}

void EqSender::SendRecordCoefficients(int record) {
    const std::optional<CoefficientSlot> slot = SlotForRecord(record);
    if (!slot)
        return;
    const BiquadWordSet words = BandWords(BandFromRecord(m_store.GetEqRecordBytes(record)));
    m_commands.SendParamWords(slot->cmd, slot->slot, words);
}

void EqSender::SendPathBands(int eqIdentity) {
    const EqPathInfo path = EqPathForIdentity(eqIdentity);
    for (int band = 0; band < path.bandCount; ++band)
        SendRecordCoefficients(path.firstRecord + band);
}

bool EqSender::CopyEqPath(int source, int destination) {
    if (!m_store.CopyEqPath(source, destination))
        return false;
    SendPathBands(destination);
    return true;
}

void EqSender::ResetEqPath(int eqIdentity) {
    int role = -1;
    if (IsOutputEqIdentity(eqIdentity))
        role = m_store.Get(fields::outRole, eqIdentity - eqid::FirstOutput);
    for (const BandAssignment& assignment : ResetEqPathBands(eqIdentity, role))
        SetBand(assignment.record, assignment.band);
}

void EqSender::SendAllEqCoefficients() {
    for (int record : AllEqCoefficientRecords())
        SendRecordCoefficients(record);
}

void EqSender::SendBandSplit(int channel) {
    if (channel < 0 || channel >= kOutputChannelCount)
        return;
    const int first = OutputChannelFirstRecord(channel);
    SendBandSplit(channel, BandSplitIndexForFrequency(m_store.GetEqBand(first + kOutputSplitHighPassBand).freqHz));
}

void EqSender::SendBandSplit(int channel, int index) {
    if (channel < 0 || channel >= kOutputChannelCount)
        return;
    const int first = OutputChannelFirstRecord(channel);
    const std::array<EqBand, 2> pair = BandSplitBands(index, m_store.Get(fields::outDelayMode, channel));
    SetBand(first + kOutputSplitHighPassBand, pair[0]);
    SetBand(first + kOutputSplitLowPassBand, pair[1]);
}

void EqSender::SetMusicLowFilter(int freqHz) {
    SetBand(kMusicLowRecord, MusicLowFilterBand(freqHz));
}

} // namespace orvex
