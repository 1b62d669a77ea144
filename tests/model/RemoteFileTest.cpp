#include "model/RemoteFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>

namespace orvex {
namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& file, size_t count) {
    std::vector<char> bytes(count);
    std::iota(bytes.begin(), bytes.end(), char(0x40));
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(RemoteFileTest, LoadTakesTheFirstEighteenBytesAndFailsWithoutTouchingTheTable) {
    test::TempDir temp("remote-file");
    RemoteKeyRecord table{};
    table.fill(0x11);

    WriteBytes(temp.Path() / "long.remo", 40);
    ASSERT_TRUE(LoadRemoteFile(temp.Path() / "long.remo", table).ok());
    EXPECT_EQ(table[0], 0x40);
    EXPECT_EQ(table[17], 0x40 + 17);

    table.fill(0x11);
    const RemoteKeyRecord before = table;
    for (size_t size : {0u, 1u, 17u}) {
        WriteBytes(temp.Path() / "short.remo", size);
        EXPECT_EQ(LoadRemoteFile(temp.Path() / "short.remo", table).status, RemoteFileStatus::TooShort) << size;
        EXPECT_EQ(table, before);
    }
    EXPECT_EQ(LoadRemoteFile(temp.Path() / "absent.remo", table).status, RemoteFileStatus::CannotOpen);
    EXPECT_EQ(LoadRemoteFile(temp.Path(), table).status, RemoteFileStatus::CannotOpen); // a folder
    EXPECT_EQ(table, before);
}

TEST(RemoteFileTest, SaveWritesExactlyTheTableAndReportsAFolderItCannotWriteTo) {
    test::TempDir temp("remote-file");
    RemoteKeyRecord table{};
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<uint8_t>(0xA0 + i);
    const fs::path file = temp.Path() / "keys.remo";
    ASSERT_TRUE(SaveRemoteFile(file, table).ok());
    EXPECT_EQ(fs::file_size(file), 18u);
    RemoteKeyRecord back{};
    ASSERT_TRUE(LoadRemoteFile(file, back).ok());
    EXPECT_EQ(back, table);

    const RemoteFileResult failed = SaveRemoteFile(temp.Path() / "missing" / "keys.remo", table);
    EXPECT_EQ(failed.status, RemoteFileStatus::CannotWrite);
    EXPECT_NE(failed.errorCode, 0);
}

} // namespace
} // namespace orvex
