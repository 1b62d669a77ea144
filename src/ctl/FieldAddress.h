#pragma once

#include "model/EqBandRecord.h"
#include "model/StoreFields.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvex::ctl {

// An equaliser path as the tool names it. Every path but the music low-frequency filter is an EQ
// identity; that filter is a single record of its own.
struct EqPathName {
    std::string_view name;
    int identity; // 0..14, or -1 for the music low-frequency filter
};

std::span<const EqPathName> EqPathNames();
const EqPathName* FindEqPath(std::string_view name);
// Bands a user addresses: the bands shown by the editor (13 for an output), 1 for musicLow.
int EqPathBandCount(const EqPathName& path);
// Record index of a band inside eqBandTable, or -1.
int EqPathRecord(const EqPathName& path, int band);

// What a NAME on the command line points at.
struct FieldTarget {
    enum class Kind { Slot, Band, Other };
    Kind kind = Kind::Other;
    const StoreField* field = nullptr; // Slot
    int index = -1;                    // Slot: element, -1 for the whole field
    const EqPathName* path = nullptr;  // Band
    int band = -1;                     // Band: band, -1 for the whole path
    std::string name;                  // as typed
};

// Parses "echoLevelA", "outDelayMs[2]", "micVolume", "eq.music[3]", "eq.out1". A name that is
// neither a store field nor a band comes back as Kind::Other (the caller looks it up among the
// report's names). Returns nullopt with a one-line reason for a malformed index or an unknown path.
std::optional<FieldTarget> ParseTarget(std::string_view text, std::string& error);

// The store word for element `index` of a field (0 for a single field) as typed, in the field's own
// units; refuses text that is not a number, a fraction for a whole-number field and anything outside
// the element's range.
std::optional<uint32_t> ParseFieldValue(const StoreField& field, int index, std::string_view nameAsTyped,
                                        std::string_view text, std::string& error);

// "GAIN_DB,FREQ_HZ,Q,TYPE" within the limits the band editors keep: gain -15..15 dB,
// frequency 20..20000 Hz, Q 0.1..30 (0.1..2 for the pass and shelf types), type 0..5
// (up to 21 on an output, whose crossover band carries the section types).
std::optional<EqBand> ParseBandValue(const EqPathName& path, std::string_view nameAsTyped, std::string_view text,
                                     std::string& error);

// Shortest text that reads back to the same value ("0.55", "217", "-60").
std::string FormatNumber(double value);
std::string FormatFloat(float value);

} // namespace orvex::ctl
