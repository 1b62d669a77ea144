// The control table: what outside controllers may reach, and the check every requested value passes
// before anything is sent.

#include "model/ControlTable.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>

using namespace orvex;

namespace {

TEST(ControlTableTest, HoldsTheRibbonsVolumesMutesSourceAndTheRoomsOperationsAndNothingElse) {
    std::set<std::string> names;
    for (const ControlEntry& entry : ControlTable()) {
        EXPECT_TRUE(names.insert(std::string(entry.name)).second) << entry.name << " twice";
        EXPECT_FALSE(entry.labelEn.empty()) << entry.name;
        EXPECT_FALSE(entry.labelZh.empty()) << entry.name;
        EXPECT_LE(entry.minValue, entry.maxValue) << entry.name;
        if (entry.target == ControlTarget::Field) {
            // Every field entry is the store field of that name, inside the range the store allows.
            ASSERT_NE(entry.field, nullptr) << entry.name;
            EXPECT_EQ(entry.field->name, entry.name);
            EXPECT_EQ(entry.field->count, 1) << entry.name;
            EXPECT_GE(entry.minValue, entry.field->minValue) << entry.name;
            EXPECT_LE(entry.maxValue, entry.field->maxValue) << entry.name;
        } else {
            EXPECT_EQ(entry.field, nullptr) << entry.name;
        }
    }
    const std::set<std::string> expected = {"micMasterVolume", "effectVolume",   "reverbVolume", "echoVolume",
                                            "musicVolume",     "musicNoiseGate", "micMute",      "musicMute",
                                            "echoMute",        "reverbMute",     "musicSource",  "mode",
                                            "scene",           "plug",           "plugLevel",    "levels"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(FindControl("outMute"), nullptr);
    EXPECT_EQ(FindControl("micmastervolume"), nullptr); // names are exact
    ASSERT_NE(FindControl("musicSource"), nullptr);
    EXPECT_EQ(FindControl("musicSource")->choices.size(), 6u);
    EXPECT_EQ(FindControl("musicSource")->choices[3], "Bluetooth");
}

struct CheckCase {
    const char* name;
    ControlValue value;
    ControlCheck check;
    int applied; // when Ok
};

class ControlCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(ControlCheckTest, RefusesWhatTheControlCannotTake) {
    const CheckCase& c = GetParam();
    const ControlCheckResult result = CheckControlValue(c.name, c.value);
    EXPECT_EQ(result.check, c.check);
    if (c.check == ControlCheck::Ok) {
        EXPECT_EQ(result.value, c.applied);
    } else {
        EXPECT_FALSE(ControlCheckText(result, c.name).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ControlCheckTest,
    ::testing::Values(
        // Levels: whole numbers in 0..100; a whole-valued float is a whole number.
        CheckCase{"micMasterVolume", int64_t{0}, ControlCheck::Ok, 0},
        CheckCase{"micMasterVolume", int64_t{100}, ControlCheck::Ok, 100},
        CheckCase{"musicNoiseGate", 60.0, ControlCheck::Ok, 60},
        CheckCase{"micMasterVolume", int64_t{101}, ControlCheck::OutOfRange, 0},
        CheckCase{"echoVolume", int64_t{-1}, ControlCheck::OutOfRange, 0},
        CheckCase{"musicVolume", int64_t{1} << 40, ControlCheck::OutOfRange, 0},
        CheckCase{"musicVolume", 60.5, ControlCheck::WrongKind, 0},
        CheckCase{"musicVolume", std::numeric_limits<double>::infinity(), ControlCheck::WrongKind, 0},
        CheckCase{"musicVolume", std::numeric_limits<double>::quiet_NaN(), ControlCheck::WrongKind, 0},
        CheckCase{"musicVolume", 1e300, ControlCheck::WrongKind, 0},
        CheckCase{"musicVolume", std::string("60"), ControlCheck::WrongKind, 0},
        CheckCase{"musicVolume", true, ControlCheck::WrongKind, 0},
        CheckCase{"musicVolume", std::monostate{}, ControlCheck::WrongKind, 0},
        // Switches: true/false or 0/1.
        CheckCase{"micMute", true, ControlCheck::Ok, 1}, CheckCase{"musicMute", false, ControlCheck::Ok, 0},
        CheckCase{"echoMute", int64_t{1}, ControlCheck::Ok, 1},
        CheckCase{"reverbMute", int64_t{2}, ControlCheck::OutOfRange, 0},
        CheckCase{"reverbMute", std::string("on"), ControlCheck::WrongKind, 0},
        CheckCase{"reverbMute", 1.0, ControlCheck::WrongKind, 0},
        // The music source: its code or its name.
        CheckCase{"musicSource", std::string("HDMI"), ControlCheck::Ok, 2},
        CheckCase{"musicSource", int64_t{5}, ControlCheck::Ok, 5},
        CheckCase{"musicSource", int64_t{6}, ControlCheck::OutOfRange, 0},
        CheckCase{"musicSource", std::string("hdmi"), ControlCheck::OutOfRange, 0},
        CheckCase{"musicSource", false, ControlCheck::WrongKind, 0},
        // Mode memories 1..4 and scenes 0..5.
        CheckCase{"mode", int64_t{1}, ControlCheck::Ok, 1}, CheckCase{"mode", int64_t{4}, ControlCheck::Ok, 4},
        CheckCase{"mode", int64_t{0}, ControlCheck::OutOfRange, 0},
        CheckCase{"mode", int64_t{5}, ControlCheck::OutOfRange, 0}, CheckCase{"scene", int64_t{5}, ControlCheck::Ok, 5},
        CheckCase{"scene", int64_t{6}, ControlCheck::OutOfRange, 0},
        CheckCase{"plugLevel", int64_t{99}, ControlCheck::Ok, 99},
        CheckCase{"plugLevel", int64_t{100}, ControlCheck::OutOfRange, 0},
        // Outside the table, or only readable.
        CheckCase{"outMute", int64_t{1}, ControlCheck::UnknownControl, 0},
        CheckCase{"", int64_t{1}, ControlCheck::UnknownControl, 0},
        CheckCase{"levels", int64_t{1}, ControlCheck::ReadOnly, 0}),
    [](const auto& paramInfo) { return std::to_string(paramInfo.index); });

} // namespace
