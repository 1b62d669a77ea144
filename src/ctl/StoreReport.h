#pragma once

#include "model/EqPaths.h"
#include "model/ModeFile.h"
#include "model/ParameterStore.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::ctl {

// Which parts of a store a report shows. A processor's store shows everything; a mode file only
// what its version carries (an old file's missing slots and bands are not the file's values).
struct ReportContent {
    int paramSlots = kParamSlotCount; // slots 0..paramSlots-1 are shown
    int eqRecords = kEqRecordCount;   // records 0..eqRecords-1 are shown
    bool positionGains = true;
    bool room = true;
    bool bassBoost = true;
    bool device = true; // identity, current mode and machine settings
    std::optional<int32_t> fileVersion;

    static ReportContent ForFile(const ModeFileLayout& layout);
};

// One reported value: its name as `get` takes it, the text form and the JSON form.
struct ReportEntry {
    std::string name;
    std::string text;
    std::string json;
};

// Every value in report order, arrays element by element ("micVolume[0]"), bands as
// "eq.micA[0]" with "gain,freq,q,type" (the text `set` takes).
std::vector<ReportEntry> StoreEntries(const ParameterStore& store, const ReportContent& content);

// "name value" lines.
void WriteStoreText(std::ostream& out, const std::vector<ReportEntry>& entries);

// One JSON object: the store's field names as keys (arrays of four or eight as arrays), the bands
// under "eq" keyed by path name (objects with gain, freq, q, type), positionGainTable (dB), roomRecord
// (geometry), bassBoostRecord (dB); for a processor also identity (module, mcu, dsp, version),
// deviceMode (0..3) and machineSettingsRecord (bytes); for a file its version.
void WriteStoreJson(std::ostream& out, const ParameterStore& store, const ReportContent& content);

// The entries whose values differ, and those present on one side only (value "-" on the other).
struct ReportDifference {
    std::string name;
    std::string a;
    std::string b;
    std::string aJson; // "null" when absent
    std::string bJson;
};
std::vector<ReportDifference> DiffEntries(const std::vector<ReportEntry>& a, const std::vector<ReportEntry>& b);

// A JSON string literal; bytes above 0x7F are taken as Latin-1 (the processor's 8-bit strings).
std::string JsonString(std::string_view text);

// The name of the incoming stream format at index (byte 7 & 0x0F of the level record), nullptr
// for an index the processor does not define.
const char* InputFormatName(int index);

} // namespace orvex::ctl
