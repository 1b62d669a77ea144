#include "ctl/StoreReport.h"

#include "ctl/FieldAddress.h"
#include "model/StoreFields.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <map>

namespace orvex::ctl {

namespace {

constexpr std::array<const char*, 9> kInputFormats = {"STEREO",   "AC3",    "DTS",    "DTS-CD",      "E-AC3",
                                                      "DOLBY-HD", "DTS-HR", "DTS-HD", "LPCM MultiCh"};

std::string JsonFloat(float value) {
    return std::isfinite(value) ? FormatFloat(value) : std::string("null");
}

bool FieldShown(const StoreField& field, const ReportContent& content) {
    return field.slot + field.count <= content.paramSlots;
}

bool PathShown(const EqPathName& path, const ReportContent& content) {
    for (int band = 0; band < EqPathBandCount(path); ++band)
        if (EqPathRecord(path, band) >= content.eqRecords)
            return false;
    return true;
}

std::string SlotText(const ParameterStore& store, const StoreField& field, int slot) {
    if (field.type == FieldType::Int)
        return std::to_string(store.GetSlotInt(slot));
    return FormatFloat(store.GetSlotFloat(slot));
}

std::string SlotJson(const ParameterStore& store, const StoreField& field, int slot) {
    if (field.type == FieldType::Int)
        return std::to_string(store.GetSlotInt(slot));
    return JsonFloat(store.GetSlotFloat(slot));
}

std::string BandText(const EqBand& band) {
    return FormatFloat(band.gainDb) + "," + std::to_string(band.freqHz) + "," + FormatFloat(band.q) + "," +
           std::to_string(band.type);
}

std::string BandJson(const EqBand& band) {
    return "{\"gain\":" + JsonFloat(band.gainDb) + ",\"freq\":" + std::to_string(band.freqHz) +
           ",\"q\":" + JsonFloat(band.q) + ",\"type\":" + std::to_string(band.type) + "}";
}

std::string PointText(const RoomPoint& p) {
    return FormatFloat(p.x) + "," + FormatFloat(p.y);
}

std::string PointJson(const RoomPoint& p) {
    return "{\"x\":" + JsonFloat(p.x) + ",\"y\":" + JsonFloat(p.y) + "}";
}

std::string BytesText(std::span<const uint8_t> bytes) {
    std::string text;
    char buffer[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += buffer;
    }
    return text;
}

template <class Items, class Format>
std::string JsonArray(const Items& items, Format format) {
    std::string text = "[";
    bool first = true;
    for (const auto& item : items) {
        if (!first)
            text += ",";
        first = false;
        text += format(item);
    }
    return text + "]";
}

} // namespace

ReportContent ReportContent::ForFile(const ModeFileLayout& layout) {
    ReportContent content;
    content.paramSlots = layout.paramBytes / 4;
    content.eqRecords = layout.eqBytes / kEqBandRecordSize;
    content.positionGains = layout.positionGains;
    content.room = layout.room;
    content.bassBoost = layout.bassBoost;
    content.device = false;
    content.fileVersion = layout.version;
    return content;
}

std::vector<ReportEntry> StoreEntries(const ParameterStore& store, const ReportContent& content) {
    std::vector<ReportEntry> entries;
    if (content.fileVersion)
        entries.push_back({"version", std::to_string(*content.fileVersion), std::to_string(*content.fileVersion)});
    if (content.device) {
        const DeviceIdentity identity = store.Identity();
        entries.push_back({"identity.module", identity.moduleName, JsonString(identity.moduleName)});
        entries.push_back({"identity.mcu", identity.mcuVersion, JsonString(identity.mcuVersion)});
        entries.push_back({"identity.dsp", identity.dspVersion, JsonString(identity.dspVersion)});
        const std::string version = std::to_string(identity.commandSetVersion);
        entries.push_back({"identity.version", version, version});
        // Counted as the mode commands and the editor count the memories: 1..4.
        const std::string mode = std::to_string(store.DeviceMode() + 1);
        entries.push_back({"deviceMode", mode, mode});
    }
    for (const StoreField& field : StoreFields()) {
        if (!FieldShown(field, content))
            continue;
        for (int i = 0; i < field.count; ++i) {
            std::string name(field.name);
            if (field.count > 1) {
                // Appended piece by piece: "[" + std::to_string(i) makes GCC 12 at -O3 warn of an
                // overlapping copy inside the temporary string, which cannot happen.
                name += '[';
                name += std::to_string(i);
                name += ']';
            }
            entries.push_back({name, SlotText(store, field, field.slot + i), SlotJson(store, field, field.slot + i)});
        }
    }
    for (const EqPathName& path : EqPathNames()) {
        if (!PathShown(path, content))
            continue;
        for (int band = 0; band < EqPathBandCount(path); ++band) {
            const EqBand value = store.GetEqBand(EqPathRecord(path, band));
            entries.push_back(
                {"eq." + std::string(path.name) + "[" + std::to_string(band) + "]", BandText(value), BandJson(value)});
        }
    }
    if (content.positionGains) {
        for (int k = 0; k < kOutputChannelCount; ++k) {
            const float gain = store.PositionGain(k);
            entries.push_back({"positionGainTable[" + std::to_string(k) + "]", FormatFloat(gain), JsonFloat(gain)});
        }
    }
    if (content.room) {
        const RoomGeometry room = store.Room();
        entries.push_back({"roomRecord.width", std::to_string(room.width), std::to_string(room.width)});
        entries.push_back({"roomRecord.length", std::to_string(room.length), std::to_string(room.length)});
        entries.push_back({"roomRecord.listener", PointText(room.listener), PointJson(room.listener)});
        for (int i = 0; i < kRoomSpeakerCount; ++i) {
            const RoomPoint& p = room.speakers[static_cast<size_t>(i)];
            entries.push_back({"roomRecord.speaker[" + std::to_string(i) + "]", PointText(p), PointJson(p)});
        }
    }
    if (content.bassBoost) {
        const float level = store.BassBoostLevel();
        entries.push_back({"bassBoostRecord", FormatFloat(level), JsonFloat(level)});
    }
    if (content.device) {
        const MachineSettingsRecord settings = store.CommittedMachineSettings();
        entries.push_back({"machineSettingsRecord", BytesText(settings),
                           JsonArray(settings, [](uint8_t b) { return std::to_string(b); })});
    }
    return entries;
}

void WriteStoreText(std::ostream& out, const std::vector<ReportEntry>& entries) {
    for (const ReportEntry& entry : entries)
        out << entry.name << ' ' << entry.text << '\n';
}

void WriteStoreJson(std::ostream& out, const ParameterStore& store, const ReportContent& content) {
    std::vector<std::string> members;
    auto add = [&](std::string_view key, const std::string& value) {
        members.push_back(JsonString(key) + ":" + value);
    };

    if (content.fileVersion)
        add("version", std::to_string(*content.fileVersion));
    if (content.device) {
        const DeviceIdentity identity = store.Identity();
        add("identity", "{\"module\":" + JsonString(identity.moduleName) + ",\"mcu\":" +
                            JsonString(identity.mcuVersion) + ",\"dsp\":" + JsonString(identity.dspVersion) +
                            ",\"version\":" + std::to_string(identity.commandSetVersion) + "}");
        add("deviceMode", std::to_string(store.DeviceMode() + 1));
    }
    for (const StoreField& field : StoreFields()) {
        if (!FieldShown(field, content))
            continue;
        if (field.count == 1) {
            add(field.name, SlotJson(store, field, field.slot));
            continue;
        }
        std::vector<int> slots;
        for (int i = 0; i < field.count; ++i)
            slots.push_back(field.slot + i);
        add(field.name, JsonArray(slots, [&](int slot) { return SlotJson(store, field, slot); }));
    }
    std::vector<std::string> paths;
    for (const EqPathName& path : EqPathNames()) {
        if (!PathShown(path, content))
            continue;
        std::vector<int> records;
        for (int band = 0; band < EqPathBandCount(path); ++band)
            records.push_back(EqPathRecord(path, band));
        paths.push_back(JsonString(path.name) + ":" +
                        JsonArray(records, [&](int record) { return BandJson(store.GetEqBand(record)); }));
    }
    std::string eq = "{";
    for (size_t i = 0; i < paths.size(); ++i)
        eq += (i == 0 ? "" : ",") + paths[i];
    add("eq", eq + "}");
    if (content.positionGains) {
        std::vector<float> gains;
        for (int k = 0; k < kOutputChannelCount; ++k)
            gains.push_back(store.PositionGain(k));
        add("positionGainTable", JsonArray(gains, JsonFloat));
    }
    if (content.room) {
        const RoomGeometry room = store.Room();
        add("roomRecord", "{\"width\":" + std::to_string(room.width) + ",\"length\":" + std::to_string(room.length) +
                              ",\"listener\":" + PointJson(room.listener) +
                              ",\"speakers\":" + JsonArray(room.speakers, PointJson) + "}");
    }
    if (content.bassBoost)
        add("bassBoostRecord", JsonFloat(store.BassBoostLevel()));
    if (content.device)
        add("machineSettingsRecord",
            JsonArray(store.CommittedMachineSettings(), [](uint8_t b) { return std::to_string(b); }));

    out << '{';
    for (size_t i = 0; i < members.size(); ++i)
        out << (i == 0 ? "" : ",") << members[i];
    out << "}\n";
}

std::vector<ReportDifference> DiffEntries(const std::vector<ReportEntry>& a, const std::vector<ReportEntry>& b) {
    std::map<std::string, const ReportEntry*> inB;
    for (const ReportEntry& entry : b)
        inB[entry.name] = &entry;
    std::map<std::string, bool> inA;
    std::vector<ReportDifference> out;
    for (const ReportEntry& entry : a) {
        inA[entry.name] = true;
        const auto found = inB.find(entry.name);
        if (found == inB.end()) {
            out.push_back({entry.name, entry.text, "-", entry.json, "null"});
        } else if (found->second->text != entry.text) {
            out.push_back({entry.name, entry.text, found->second->text, entry.json, found->second->json});
        }
    }
    for (const ReportEntry& entry : b)
        if (!inA.contains(entry.name))
            out.push_back({entry.name, "-", entry.text, "null", entry.json});
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte > 0x7E) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", byte);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* InputFormatName(int index) {
    if (index < 0 || index >= static_cast<int>(kInputFormats.size()))
        return nullptr;
    return kInputFormats[static_cast<size_t>(index)];
}

} // namespace orvex::ctl
