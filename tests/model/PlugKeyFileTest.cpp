#include "model/PlugKeyFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace orvex {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

class PlugKeyFileTest : public ::testing::Test {
protected:
    test::TempDir temp{"plug-keys"};
    fs::path directory = PlugKeyDirectory(temp.Path());

    void SetUp() override { ASSERT_TRUE(CreateKeyDirectory(directory)); }
};

TEST_F(PlugKeyFileTest, FirstUseCreatesThirtyTwoUnlearnedKeysBehindTheDeclaration) {
    EXPECT_EQ(directory, temp.Path() / "kvo" / "Plug");
    std::vector<PlugKey> keys;
    ASSERT_TRUE(ReadOrCreateKeyFile(directory, 7, keys).ok());
    ASSERT_EQ(keys.size(), 32u);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(keys[i].index, i);
        EXPECT_EQ(keys[i].name, "Key" + std::to_string(i + 1));
        EXPECT_EQ(keys[i].status, 0);
    }
    const std::string text = Slurp(directory / "7.xml");
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Keys>", 0), 0u) << text;
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 1);
}

TEST_F(PlugKeyFileTest, NamesWithMarkupCharactersAndNonAsciiRoundTrip) {
    std::vector<PlugKey> keys;
    ASSERT_TRUE(ReadOrCreateKeyFile(directory, 3, keys).ok());
    const std::string awkward = "TV <&\"> 'on'\n\xE7\x94\xB5\xE8\xA7\x86"; // ends in 电视
    ASSERT_TRUE(SetKeyName(directory, 3, 4, awkward).ok());
    EXPECT_EQ(KeyName(directory, 3, 4), awkward);
    ASSERT_TRUE(ReadKeyFile(directory, 3, keys).ok());
    ASSERT_EQ(keys.size(), 32u);
    EXPECT_EQ(keys[4].name, awkward);
    EXPECT_EQ(keys[5].name, "Key6");
    const std::string text = Slurp(directory / "3.xml");
    EXPECT_NE(text.find("&lt;&amp;&quot;"), std::string::npos) << text;
}

TEST_F(PlugKeyFileTest, KeysAreFoundByTheirIndexAttributeNotTheirPosition) {
    Write(directory / "9.xml", "<!-- kept by hand -->\n<Keys>\n"
                               "<Key Index=\"5\" Name=\"Five\" Status=\"0\"/>\n"
                               "<Key Index=\"0\" Name=\"Zero\" Status=\"1\"/>\n"
                               "<Key Index=\"32\" Name=\"Beyond\" Status=\"1\"/>\n"
                               "<Key Index=\"x\" Name=\"Junk\" Status=\"1\"/>\n"
                               "<Key Index=\"5\" Name=\"Again\" Status=\"1\"/>\n"
                               "</Keys>\n");
    std::vector<PlugKey> keys;
    ASSERT_TRUE(ReadKeyFile(directory, 9, keys).ok());
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].index, 5);
    EXPECT_EQ(keys[0].name, "Five");
    EXPECT_EQ(keys[1].index, 0);
    EXPECT_EQ(keys[1].status, 1);

    ASSERT_TRUE(SetKeyStatus(directory, 9, 5, 1).ok());
    ASSERT_TRUE(SetKeyName(directory, 9, 0, "Power").ok());
    ASSERT_TRUE(ReadKeyFile(directory, 9, keys).ok());
    EXPECT_EQ(keys[0].status, 1);
    EXPECT_EQ(keys[0].name, "Five");
    EXPECT_EQ(keys[1].name, "Power");
    EXPECT_EQ(KeyName(directory, 9, 1), "");

    EXPECT_EQ(SetKeyStatus(directory, 9, 1, 1).status, KeyFileStatus::NoSuchKey);
    EXPECT_EQ(SetKeyStatus(directory, 9, 32, 1).status, KeyFileStatus::NoSuchKey);
    EXPECT_EQ(SetKeyStatus(directory, 9, -1, 1).status, KeyFileStatus::NoSuchKey);
}

TEST_F(PlugKeyFileTest, AFileThatDoesNotParseIsReportedAndNeverReplaced) {
    for (const std::string& broken :
         {std::string("<Keys><Key Index=\"0\" Name=\"Power\" Status=\"1\"/><Key Ind"),
          std::string("<Other><Key Index=\"0\"/></Other>"), std::string("\x00\x01", 2), std::string()}) {
        Write(directory / "4.xml", broken);
        std::vector<PlugKey> keys;
        EXPECT_EQ(ReadOrCreateKeyFile(directory, 4, keys).status, KeyFileStatus::Malformed);
        EXPECT_EQ(SetKeyName(directory, 4, 0, "x").status, KeyFileStatus::Malformed);
        EXPECT_EQ(SetKeyStatus(directory, 4, 0, 1).status, KeyFileStatus::Malformed);
        EXPECT_EQ(CreateDefaultKeyFile(directory, 4).status, KeyFileStatus::CannotWrite);
        EXPECT_EQ(KeyName(directory, 4, 0), "");
        EXPECT_EQ(Slurp(directory / "4.xml"), broken);
    }
}

TEST_F(PlugKeyFileTest, NoFileIsTouchedThroughAnEmptyOrRelativeDirectory) {
    EXPECT_TRUE(PlugKeyDirectory("").empty());
    EXPECT_TRUE(PlugKeyDirectory("Documents").empty());
    EXPECT_TRUE(PlugKeyFilePath(directory, 233).empty());
    EXPECT_TRUE(PlugKeyFilePath(directory, -1).empty());

    // A relative key directory would resolve against the working directory.
    const fs::path before = fs::current_path();
    ASSERT_EQ(::chdir(temp.Path().c_str()), 0);
    Write("kvo/Plug/5.xml", BuildDefaultKeyFile());
    std::vector<PlugKey> keys;
    EXPECT_EQ(ReadOrCreateKeyFile("kvo/Plug", 6, keys).status, KeyFileStatus::NoDirectory);
    EXPECT_EQ(SetKeyStatus("kvo/Plug", 5, 0, 1).status, KeyFileStatus::NoDirectory);
    EXPECT_FALSE(DeletePlugKeyFile("kvo/Plug", 5));
    EXPECT_FALSE(DeletePlugKeyFile("", 5));
    EXPECT_EQ(DeleteAllKeyFiles("kvo/Plug"), 0);
    EXPECT_EQ(DeleteAllKeyFiles(""), 0);
    EXPECT_FALSE(CreateKeyDirectory("kvo2/Plug"));
    EXPECT_TRUE(fs::exists("kvo/Plug/5.xml"));
    EXPECT_FALSE(fs::exists("kvo/Plug/6.xml"));
    EXPECT_FALSE(fs::exists("kvo2"));
    ASSERT_EQ(::chdir(before.c_str()), 0);
}

TEST_F(PlugKeyFileTest, DeletingRemovesFilesOnlyAndOnlyUnderTheKeyDirectory) {
    Write(directory / "2.xml", BuildDefaultKeyFile());
    Write(directory / "3.xml", BuildDefaultKeyFile());
    Write(directory / "old" / "notes.txt", "x");
    Write(temp.Path() / "kvo" / "other.xml", "y");
    Write(temp.Path() / "mine.txt", "z");

    EXPECT_TRUE(DeletePlugKeyFile(directory, 2));
    EXPECT_FALSE(DeletePlugKeyFile(directory, 2));
    EXPECT_TRUE(fs::exists(directory / "3.xml"));

    // Anything but the key directory itself is refused, its parents included.
    EXPECT_EQ(DeleteAllKeyFiles(temp.Path()), 0);
    EXPECT_EQ(DeleteAllKeyFiles(temp.Path() / "kvo"), 0);
    EXPECT_EQ(DeleteAllKeyFiles(directory), 2);
    EXPECT_FALSE(fs::exists(directory / "3.xml"));
    EXPECT_FALSE(fs::exists(directory / "old" / "notes.txt"));
    EXPECT_TRUE(fs::is_directory(directory / "old"));
    EXPECT_TRUE(fs::exists(temp.Path() / "kvo" / "other.xml"));
    EXPECT_TRUE(fs::exists(temp.Path() / "mine.txt"));
}

} // namespace
} // namespace orvex
