#include "lang/LanguageTable.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <sstream>
#include <string>

namespace orvex {
namespace {

// ---- Parser rules -------------------------------------------------------------------------------

TEST(LanguageTableParseTest, ReadsCaptionsAndControlTextsOfTheStringSection) {
    const LanguageTable t = LanguageTable::Parse("[String]\nIDD335_title=Machine Set\nIDD521_1005=Host IP:\n");
    EXPECT_EQ(t.DialogTitle(335), "Machine Set");
    EXPECT_EQ(t.ControlText(521, 1005), "Host IP:");
    EXPECT_EQ(t.size(), 2u);
}

TEST(LanguageTableParseTest, KeysAreFormattedInDecimalWithoutLeadingZeros) {
    EXPECT_EQ(LanguageTable::KeyFor(513, 2), "IDD513_2");
    EXPECT_EQ(LanguageTable::KeyFor(521, 1005), "IDD521_1005");
    EXPECT_EQ(LanguageTable::TitleKey(335), "IDD335_title");
}

TEST(LanguageTableParseTest, KeysCompareWithoutRegardToCase) {
    const LanguageTable t = LanguageTable::Parse("[String]\nidd335_TITLE=机器设置\nIdd513_2=取消\n");
    EXPECT_EQ(t.DialogTitle(335), "机器设置");
    EXPECT_EQ(t.Lookup("IDD335_Title"), "机器设置");
    EXPECT_EQ(t.ControlText(513, 2), "取消");
    EXPECT_TRUE(t.Contains("iDd513_2"));
}

TEST(LanguageTableParseTest, CommentSeparatorAndBlankLinesAreIgnored) {
    const LanguageTable t = LanguageTable::Parse("[String]\n"
                                                 "//IDD_DIALOG_COMP\n"
                                                 "// 机器设置\n"
                                                 "\n"
                                                 "   \n"
                                                 ";IDD346_1045=commented out\n"
                                                 "IDD346_1045=Comp ON\n"
                                                 "-------------\n");
    EXPECT_EQ(t.size(), 1u);
    EXPECT_EQ(t.ControlText(346, 1045), "Comp ON");
}

TEST(LanguageTableParseTest, EmptyValueIsPresentButReadsEmpty) {
    const LanguageTable t = LanguageTable::Parse("[String]\nIDD484_1239=\nIDD484_1238=   \n");
    EXPECT_TRUE(t.Contains("IDD484_1239"));
    EXPECT_EQ(t.ControlText(484, 1239), "");
    EXPECT_TRUE(t.Contains("IDD484_1238")); // blanks only: as empty as no value at all
    EXPECT_EQ(t.ControlText(484, 1238), "");
    EXPECT_FALSE(t.Contains("IDD484_1237"));
    EXPECT_EQ(t.ControlText(484, 1237), "");
}

TEST(LanguageTableParseTest, ValueRunsToTheEndOfTheLineWhateverTheLineEnd) {
    const LanguageTable t = LanguageTable::Parse("[String]\r\n"
                                                 "IDD334_1005=长度单位:米(m)\r\n"
                                                 "IDD385_1054=Phase 180°\n"
                                                 "IDD335_1239=Master vol and Music Input：  \t\r\n"
                                                 "IDD1_1=a=b; c // d\r\n"
                                                 "IDD521_title=Connect IP"); // no line end at all
    EXPECT_EQ(t.ControlText(334, 1005), "长度单位:米(m)");
    EXPECT_EQ(t.ControlText(385, 1054), "Phase 180°");
    EXPECT_EQ(t.ControlText(335, 1239), "Master vol and Music Input：");
    EXPECT_EQ(t.ControlText(1, 1), "a=b; c // d");
    EXPECT_EQ(t.DialogTitle(521), "Connect IP");
}

TEST(LanguageTableParseTest, BlanksAroundKeyAndValueCarryNoMeaning) {
    const LanguageTable t = LanguageTable::Parse("[String]\n  IDD513_2 =  Cancel  \n\tIDD1_title\t=\tAbout\n");
    EXPECT_EQ(t.ControlText(513, 2), "Cancel");
    EXPECT_EQ(t.DialogTitle(1), "About");
}

TEST(LanguageTableParseTest, OnlyTheStringSectionCounts) {
    const LanguageTable t = LanguageTable::Parse("IDD1_1=before any section\n"
                                                 "[Other]\n"
                                                 "IDD1_2=other section\n"
                                                 "[ string ]\n"
                                                 "IDD1_3=in section\n"
                                                 "[Strings]\n"
                                                 "IDD1_4=similar name\n"
                                                 "[STRING]\n"
                                                 "IDD1_5=section again\n");
    EXPECT_FALSE(t.Contains("IDD1_1"));
    EXPECT_FALSE(t.Contains("IDD1_2"));
    EXPECT_EQ(t.ControlText(1, 3), "in section");
    EXPECT_FALSE(t.Contains("IDD1_4"));
    EXPECT_EQ(t.ControlText(1, 5), "section again");
    EXPECT_EQ(t.size(), 2u);
}

TEST(LanguageTableParseTest, FirstOfDuplicateKeysWins) {
    const LanguageTable t = LanguageTable::Parse("[String]\nIDD513_2=取消\nidd513_2=Cancel\nIDD513_2=\n");
    EXPECT_EQ(t.ControlText(513, 2), "取消");
    EXPECT_EQ(t.size(), 1u);
}

TEST(LanguageTableParseTest, ByteOrderMarkIsSkipped) {
    const LanguageTable t = LanguageTable::Parse("\xEF\xBB\xBF[String]\r\nIDD521_title=网络连接\r\n");
    EXPECT_EQ(t.DialogTitle(521), "网络连接");
}

TEST(LanguageTableParseTest, EmptyOrSectionlessTextGivesAnEmptyTable) {
    EXPECT_TRUE(LanguageTable::Parse("").empty());
    EXPECT_TRUE(LanguageTable::Parse("IDD1_1=x\r\nIDD1_2=y").empty());
    EXPECT_EQ(LanguageTable::Parse("[String]").DialogTitle(335), "");
}

// ---- The two embedded tables ----------------------------------------------------------------------

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Structural UTF-8 check: lead bytes, continuation bytes, no overlong two-byte forms. A table saved in
// GBK fails this on its first Chinese character.
bool IsUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int more = 0;
        if (c < 0x80)
            more = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3;
        else
            return false;
        if (i + static_cast<std::size_t>(more) >= s.size() && more > 0)
            return false;
        for (int k = 1; k <= more; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

class EmbeddedLanguageTablesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        zhText_ = new std::string(ReadFile(std::string(ORVEX_LANG_DIR) + "/lang_zh.ini"));
        enText_ = new std::string(ReadFile(std::string(ORVEX_LANG_DIR) + "/lang_en.ini"));
        zh_ = new LanguageTable(LanguageTable::Parse(*zhText_));
        en_ = new LanguageTable(LanguageTable::Parse(*enText_));
    }
    static void TearDownTestSuite() {
        delete zh_;
        delete en_;
        delete zhText_;
        delete enText_;
    }

    static std::string* zhText_;
    static std::string* enText_;
    static LanguageTable* zh_;
    static LanguageTable* en_;
};

std::string* EmbeddedLanguageTablesTest::zhText_ = nullptr;
std::string* EmbeddedLanguageTablesTest::enText_ = nullptr;
LanguageTable* EmbeddedLanguageTablesTest::zh_ = nullptr;
LanguageTable* EmbeddedLanguageTablesTest::en_ = nullptr;

TEST_F(EmbeddedLanguageTablesTest, FilesAreUtf8ProfileTextsWithCrLfLineEnds) {
    for (const std::string* text : {zhText_, enText_}) {
        ASSERT_FALSE(text->empty()) << "table file missing under " << ORVEX_LANG_DIR;
        EXPECT_TRUE(IsUtf8(*text));
        EXPECT_EQ(text->rfind("[String]\r\n", 0), 0u);
        std::size_t lfCount = 0;
        for (std::size_t i = 0; i < text->size(); ++i) {
            if ((*text)[i] == '\n') {
                ++lfCount;
                EXPECT_TRUE(i > 0 && (*text)[i - 1] == '\r') << "bare LF at byte " << i;
            }
        }
        EXPECT_GT(lfCount, 300u);
    }
}

TEST_F(EmbeddedLanguageTablesTest, EveryRequiredKeyIsPresentAsDocumented) {
    for (const RequiredLanguageKey& rk : RequiredLanguageKeys()) {
        const std::string key = rk.Key();
        SCOPED_TRACE(key);
        if (rk.RequiredInChinese())
            EXPECT_FALSE(zh_->Lookup(key).empty()) << "Chinese table lacks " << key;
        else
            EXPECT_FALSE(zh_->Contains(key)) << key << " is documented as English only";

        switch (rk.presence) {
        case LanguageKeyPresence::Both:
        case LanguageKeyPresence::EnglishOnly:
            EXPECT_FALSE(en_->Lookup(key).empty()) << "English table lacks " << key;
            break;
        case LanguageKeyPresence::ChineseOnly:
            EXPECT_FALSE(en_->Contains(key)) << key << " is documented as Chinese only";
            break;
        case LanguageKeyPresence::EmptyInEnglish:
            EXPECT_TRUE(en_->Contains(key));
            EXPECT_EQ(en_->Lookup(key), "");
            break;
        }
    }
}

// A key nobody looks up is a typo of one that somebody does.
TEST_F(EmbeddedLanguageTablesTest, TablesHoldNoKeyOutsideTheRequiredList) {
    std::set<std::string> zhRequired;
    std::set<std::string> enRequired;
    for (const RequiredLanguageKey& rk : RequiredLanguageKeys()) {
        std::string key = rk.Key();
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (rk.RequiredInChinese())
            zhRequired.insert(key);
        if (rk.RequiredInEnglish())
            enRequired.insert(key);
    }
    for (const std::string& key : zh_->Keys())
        EXPECT_TRUE(zhRequired.count(key)) << "unexpected Chinese key " << key;
    for (const std::string& key : en_->Keys())
        EXPECT_TRUE(enRequired.count(key)) << "unexpected English key " << key;
    EXPECT_EQ(zh_->size(), zhRequired.size());
    EXPECT_EQ(en_->size(), enRequired.size());
}

TEST_F(EmbeddedLanguageTablesTest, RequiredListNamesEveryKeyOnce) {
    std::set<std::string> seen;
    for (const RequiredLanguageKey& rk : RequiredLanguageKeys())
        EXPECT_TRUE(seen.insert(rk.Key()).second) << rk.Key() << " listed twice";
}

TEST_F(EmbeddedLanguageTablesTest, NoKeyIsWrittenTwice) {
    // Duplicates would be silently dropped by the reader; the files must not rely on that.
    for (const std::string* text : {zhText_, enText_}) {
        std::istringstream lines(*text);
        std::set<std::string> keys;
        std::string line;
        while (std::getline(lines, line)) {
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos)
                continue;
            EXPECT_TRUE(keys.insert(line.substr(0, eq)).second) << "duplicate " << line.substr(0, eq);
        }
    }
}

struct SpotRow {
    const char* key;
    const char* chinese;
    const char* english;
};

void PrintTo(const SpotRow& row, std::ostream* os) {
    *os << row.key;
}

class EmbeddedLanguageSpotTest : public EmbeddedLanguageTablesTest, public ::testing::WithParamInterface<SpotRow> {};

TEST_P(EmbeddedLanguageSpotTest, HoldsTheTextOfEachLanguage) {
    EXPECT_EQ(zh_->Lookup(GetParam().key), GetParam().chinese);
    EXPECT_EQ(en_->Lookup(GetParam().key), GetParam().english);
}

INSTANTIATE_TEST_SUITE_P(
    TellingRows, EmbeddedLanguageSpotTest,
    ::testing::Values(SpotRow{"IDD335_title", "机器设置", "Machine Set"},
                      SpotRow{"IDD521_title", "网络连接", "Connect IP"},
                      SpotRow{"IDD334_1005", "长度单位:米(m)", "Unit:m"}, SpotRow{"IDD513_2", "取消", "Cancel"},
                      SpotRow{"IDD484_1239", "请您确保此插座上的设备允许调节电压", ""},
                      SpotRow{"IDD385_1054", "相位180°", "Phase 180°"},
                      SpotRow{"IDD385_1062", "通道1+通道2齐调节", "CH1+CH2 Linked"},
                      SpotRow{"IDD333_1132", "通道7", "CH 7"}, SpotRow{"IDD333_1198", "高频延时", "High Freq"},
                      SpotRow{"IDD346_1220", "选择通道", "Select CH"}, SpotRow{"IDD346_1076", "通道5", "CH 5"},
                      SpotRow{"IDD313_1068", "话筒通道A", "Mic CH A"}, SpotRow{"IDD512_1196", "莲花", "AUX"},
                      SpotRow{"IDD335_1199", "输出至SL/SR和SBL/SBR", "Route to SL/SR and SBL/SBR"},
                      SpotRow{"IDD484_1005", "提示：松开滑动条后设置灯光亮度", "Tip: Release drag to set value"},
                      SpotRow{"IDD521_1", "尝试连接", "Connect"}),
    [](const ::testing::TestParamInfo<SpotRow>& row) { return std::string(row.param.key); });

TEST_F(EmbeddedLanguageTablesTest, OneLanguageKeysLeaveTheOtherLanguageUnchanged) {
    // Switching to English keeps the Chinese tab texts CH6..CH8 of the compressor page ...
    EXPECT_EQ(zh_->ControlText(346, 1077), "通道6");
    EXPECT_EQ(en_->ControlText(346, 1077), "");
    EXPECT_FALSE(en_->Contains("IDD346_1079"));
    // ... and switching back to Chinese keeps the English text of output page control 1132.
    EXPECT_FALSE(zh_->Contains("IDD385_1132"));
    EXPECT_FALSE(en_->ControlText(385, 1132).empty());
}

} // namespace
} // namespace orvex
