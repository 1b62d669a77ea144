#pragma once

#include "link/CommandEncoder.h"
#include "model/CoefficientEncoding.h"
#include "model/EqBandRecord.h"

namespace orvex {

// How an equaliser band reaches the processor. Every band is kept twice there: as its 7-byte record
// in parameter memory (so editors can read it back) and as five coefficients in the DSP. SetBand
// updates both; the other operations resend stored bands.
class EqSender {
public:
    EqSender(ParameterStore& store, CommandEncoder& commands);

    // The one entry of every band editor: store the record, write its 7 bytes to memory at the
    // record's offset, design the section at 48 kHz and send its coefficients to the band's slot.
    // `record` is 0..178; the frequency is kept and designed as whole hertz.
    void SetBand(int record, const EqBand& band, double outputGainDb = 0.0);
    // The same addressed by EQ identity (0 mic A .. 14 output 8) and band.
    void SetPathBand(int eqIdentity, int band, const EqBand& value, double outputGainDb = 0.0);

    // Designs a record as stored and sends its coefficients (no memory write).
    void SendRecordCoefficients(int record);
    // Resends every band of an EQ identity from its stored records (13 bands for an output).
    void SendPathBands(int eqIdentity);
    // Copies one path onto another (with the crossover fix-ups) and sends the destination.
    // False and nothing sent when either number lies outside 0..14.
    bool CopyEqPath(int source, int destination);
    // Sets a path flat (a subwoofer output gets its 100 Hz crossover) and sends it.
    void ResetEqPath(int eqIdentity);
    // Write-all's pass: 163 coefficient sets, outputs' split pairs excluded.
    void SendAllEqCoefficients();
    // Output k's band-split pair as its delay mode wants it (bands 13 and 14 with SetBand), at the
    // index its band 13 holds now.
    void SendBandSplit(int channel);
    // The same at split index `index` (0..25, held to the ends): (500 + 100 index, 1000 + 100 index) Hz.
    void SendBandSplit(int channel, int index);
    // The music low-frequency filter (record 178) as a low-pass at `freqHz`.
    void SetMusicLowFilter(int freqHz);

private:
    ParameterStore& m_store;
    CommandEncoder& m_commands;
};

} // namespace orvex
