#include "model/ModeFile.h"

#include "model/ParameterStore.h"

#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

namespace orvex {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

// Fills every mode-file block of a store with its own random bytes.
void FillBlocks(ParameterStore& store, uint32_t seed) {
    for (StoreBlock block : kModeFileBlocks)
        store.WriteBlock(block,
                         Pattern(static_cast<size_t>(StoreBlockSize(block)), seed + static_cast<uint32_t>(block)));
}

std::vector<std::vector<uint8_t>> Blocks(const ParameterStore& store) {
    std::vector<std::vector<uint8_t>> out;
    for (StoreBlock block : kModeFileBlocks)
        out.push_back(store.ReadBlock(block));
    return out;
}

void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

class ModeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("orvex-modefile-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    fs::path dir;
};

TEST_F(ModeFileTest, SaveAndLoadRoundTripByteExact) {
    ParameterStore source;
    FillBlocks(source, 7);
    const fs::path path = dir / "m2 party.kvom";
    ASSERT_TRUE(SaveModeFile(path, source).ok());
    EXPECT_EQ(fs::file_size(path), kModeFileSize);
    EXPECT_EQ(fs::file_size(path), 2223u);

    ParameterStore loaded;
    FillBlocks(loaded, 99);
    const ModeFileResult r = LoadModeFile(path, loaded);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.version, 29);
    EXPECT_EQ(Blocks(loaded), Blocks(source));
    EXPECT_EQ(SaveModeFile(path, loaded).ok(), true);

    // Nothing but the preset is left in the folder: the temporary file was renamed over it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(ModeFileTest, GoldenVersion29FileLoadsToItsFields) {
    // Built by hand from the file layout, not from the writer.
    std::vector<uint8_t> file(2223, 0);
    PutLe32(file, 0, 29);
    PutLe32(file, 4 + 4 * 30, 55);                                      // echoLevelA
    PutLe32(file, 4 + 4 * 153 + 4 * 2, std::bit_cast<uint32_t>(12.5f)); // outDelayMs[2]
    const size_t record93 = 916 + 7 * 93;                               // output 3, band 5
    const uint8_t band[7] = {0x00, 0xB4, 0x03, 0xE8, 0x07, 0xD0, 0x01}; // +3 dB, 1000 Hz, Q 2.0, PEQ
    std::copy(std::begin(band), std::end(band), file.begin() + static_cast<long>(record93));
    const uint32_t minus3 = std::bit_cast<uint32_t>(-3.0f); // position gain of channel 2, big-endian
    for (int i = 0; i < 4; ++i)
        file[2169 + 8 + static_cast<size_t>(i)] = static_cast<uint8_t>(minus3 >> (24 - 8 * i));
    const uint8_t room[20] = {5,    6,    0x85, 0x0A, 0x8A, 0x0A, 0,    0x0A, 0x0A, 0x0A,
                              0x8A, 0x8A, 0,    0x8A, 0x0A, 0x8A, 0x85, 0,    5,    0};
    std::copy(std::begin(room), std::end(room), file.begin() + 2201);
    file[2221] = 0xC0, file[2222] = 0x40; // -3.0 dB, top half of the float

    ParameterStore store;
    store.ResetStoreDefaults();
    ASSERT_TRUE(LoadModeFileBytes(file, store).ok());
    EXPECT_EQ(store.Get(fields::echoLevelA), 55);
    EXPECT_EQ(store.Get(fields::outDelayMs, 2), 12.5f);
    EXPECT_EQ(store.Get(fields::echoTimeA), 0.0f) << "the file's zero replaces the default";
    const EqBand b = store.GetEqBand(93);
    EXPECT_FLOAT_EQ(b.gainDb, 3.0f);
    EXPECT_EQ(b.freqHz, 1000);
    EXPECT_FLOAT_EQ(b.q, 2.0f);
    EXPECT_EQ(b.type, 1);
    EXPECT_EQ(store.PositionGain(2), -3.0f);
    const RoomGeometry geometry = store.Room();
    EXPECT_EQ(geometry.width, 5);
    EXPECT_EQ(geometry.length, 6);
    EXPECT_FLOAT_EQ(geometry.listener.x, -0.5f);
    EXPECT_FLOAT_EQ(geometry.listener.y, 1.0f);
    EXPECT_EQ(store.BassBoostLevel(), -3.0f);
}

class ModeFileVersionTest : public ::testing::TestWithParam<ModeFileLayout> {};

TEST_P(ModeFileVersionTest, ReadsExactlyTheBlocksOfItsVersion) {
    const ModeFileLayout layout = GetParam();
    ParameterStore before;
    FillBlocks(before, 1);
    ParameterStore store;
    FillBlocks(store, 1);

    std::vector<uint8_t> file = Pattern(layout.Size(), 500 + static_cast<uint32_t>(layout.version));
    PutLe32(file, 0, static_cast<uint32_t>(layout.version));
    ASSERT_TRUE(LoadModeFileBytes(file, store).ok());

    const auto old = Blocks(before);
    const auto now = Blocks(store);
    size_t at = 4;
    auto check = [&](size_t index, size_t carried) {
        const auto& block = now[index];
        EXPECT_TRUE(
            std::equal(block.begin(), block.begin() + static_cast<long>(carried), file.begin() + static_cast<long>(at)))
            << "block " << index + 1 << " takes the file's bytes";
        EXPECT_TRUE(std::equal(block.begin() + static_cast<long>(carried), block.end(),
                               old[index].begin() + static_cast<long>(carried)))
            << "block " << index + 1 << " keeps the bytes the file does not carry";
        at += carried;
    };
    check(0, layout.paramBytes);
    check(1, layout.eqBytes);
    check(2, layout.positionGains ? 32 : 0);
    check(3, layout.room ? 20 : 0);
    check(4, layout.bassBoost ? 2 : 0);
    EXPECT_EQ(at, layout.Size());
}

INSTANTIATE_TEST_SUITE_P(AcceptedVersions, ModeFileVersionTest,
                         ::testing::ValuesIn(AcceptedModeFileLayouts().begin(), AcceptedModeFileLayouts().end()),
                         [](const auto& paramInfo) { return "v" + std::to_string(paramInfo.param.version); });

TEST_F(ModeFileTest, VersionOneLeavesTheNewerBytesUntouched) {
    ParameterStore store;
    FillBlocks(store, 3);
    const auto before = Blocks(store);
    std::vector<uint8_t> file(4 + 784 + 1246, 0xEE);
    PutLe32(file, 0, 1);
    ASSERT_TRUE(LoadModeFileBytes(file, store).ok());
    const auto after = Blocks(store);
    EXPECT_TRUE(std::equal(after[0].begin() + 784, after[0].end(), before[0].begin() + 784));
    EXPECT_EQ(after[0][783], 0xEE);
    EXPECT_EQ(after[1][1245], 0xEE);
    EXPECT_TRUE(std::equal(after[1].begin() + 1246, after[1].end(), before[1].begin() + 1246));
    EXPECT_EQ(after[2], before[2]);
    EXPECT_EQ(after[3], before[3]);
    EXPECT_EQ(after[4], before[4]);
}

TEST_F(ModeFileTest, RejectedFilesLeaveTheStoreAsItWas) {
    ParameterStore store;
    FillBlocks(store, 11);
    const auto before = Blocks(store);

    std::vector<uint8_t> version9(2223, 0x11);
    PutLe32(version9, 0, 9);
    EXPECT_EQ(LoadModeFileBytes(version9, store).status, ModeFileStatus::UnsupportedVersion);

    std::vector<uint8_t> future(2223, 0x11);
    PutLe32(future, 0, 30);
    EXPECT_EQ(LoadModeFileBytes(future, store).status, ModeFileStatus::UnsupportedVersion);

    std::vector<uint8_t> negative(2223, 0x11);
    PutLe32(negative, 0, 0xFFFFFFFF);
    EXPECT_EQ(LoadModeFileBytes(negative, store).status, ModeFileStatus::NotModeFile);

    // A current file cut short: the old editor would have taken half a block and pushed it on.
    std::vector<uint8_t> truncated(2222, 0x22);
    PutLe32(truncated, 0, 29);
    EXPECT_EQ(LoadModeFileBytes(truncated, store).status, ModeFileStatus::Truncated);

    std::vector<uint8_t> shortV1(4 + 784, 0x33);
    PutLe32(shortV1, 0, 1);
    EXPECT_EQ(LoadModeFileBytes(shortV1, store).status, ModeFileStatus::Truncated);
    EXPECT_EQ(LoadModeFileBytes(std::vector<uint8_t>{29, 0}, store).status, ModeFileStatus::NotModeFile);

    EXPECT_EQ(Blocks(store), before);

    const fs::path path = dir / "truncated.kvom";
    WriteFile(path, truncated);
    EXPECT_EQ(LoadModeFile(path, store).status, ModeFileStatus::Truncated);
    EXPECT_EQ(Blocks(store), before);
}

TEST_F(ModeFileTest, LongerFileLoadsAndIgnoresItsTail) {
    ParameterStore source;
    FillBlocks(source, 5);
    std::vector<uint8_t> file = BuildModeFile(source);
    file.resize(file.size() + 100, 0x5A);
    ParameterStore store;
    ASSERT_TRUE(LoadModeFileBytes(file, store).ok());
    EXPECT_EQ(Blocks(store), Blocks(source));
}

TEST_F(ModeFileTest, MissingFileAndUnwritablePathReportTheSystemError) {
    ParameterStore store;
    const ModeFileResult load = LoadModeFile(dir / "absent.kvom", store);
    EXPECT_EQ(load.status, ModeFileStatus::CannotOpen);
    EXPECT_EQ(load.errorCode, ENOENT);

    const ModeFileResult save = SaveModeFile(dir / "no-such-folder" / "preset.kvom", store);
    EXPECT_EQ(save.status, ModeFileStatus::CannotWrite);
    EXPECT_EQ(save.errorCode, ENOENT);
}

// A 6-byte text file was reported as "version 1819043176 is not supported": its first four
// characters read as a version word.
TEST_F(ModeFileTest, TextAndTinyFilesAreNotModeFiles) {
    ParameterStore store;
    FillBlocks(store, 12);
    const auto before = Blocks(store);
    const fs::path text = dir / "notes.kvom";
    std::ofstream(text) << "hello\n";
    const ModeFileResult r = LoadModeFile(text, store);
    EXPECT_EQ(r.status, ModeFileStatus::NotModeFile);
    const std::string longText(3000, 'x');
    EXPECT_EQ(
        LoadModeFileBytes(std::span(reinterpret_cast<const uint8_t*>(longText.data()), longText.size()), store).status,
        ModeFileStatus::NotModeFile);
    EXPECT_EQ(LoadModeFileBytes(std::vector<uint8_t>(2223, 0), store).status, ModeFileStatus::NotModeFile);
    EXPECT_EQ(LoadModeFileBytes(std::vector<uint8_t>{}, store).status, ModeFileStatus::NotModeFile);
    EXPECT_EQ(Blocks(store), before);
}

// The old test saved the failing copy to another path, so the preset it checked was never at risk:
// here the write into the same target fails half-way, as on a full disk.
TEST_F(ModeFileTest, FailedSaveKeepsThePreviousPreset) {
    ParameterStore first;
    FillBlocks(first, 21);
    const fs::path path = dir / "keep.kvom";
    ASSERT_TRUE(SaveModeFile(path, first).ok());
    const std::vector<uint8_t> firstBytes = BuildModeFile(first);

    ParameterStore second;
    FillBlocks(second, 22);
    size_t written = 0;
    const ModeFileResult r = SaveModeFile(path, second, [&](int fd, std::span<const uint8_t> bytes) {
        const size_t half = bytes.size() / 2;
        written = static_cast<size_t>(::write(fd, bytes.data(), half));
        errno = ENOSPC;
        return false;
    });
    EXPECT_EQ(r.status, ModeFileStatus::CannotWrite);
    EXPECT_EQ(r.errorCode, ENOSPC);
    EXPECT_GT(written, 0u); // the failure came after part of the new preset was on disk

    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> onDisk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(onDisk, firstBytes);
    // The temporary file is gone again.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(ModeFileTest, FailedRenameKeepsWhatStandsAtTheTarget) {
    // A folder standing where the file should go makes the final rename fail after the data was
    // written to the temporary file.
    const fs::path blocked = dir / "blocked.kvom";
    fs::create_directories(blocked / "inside");
    ParameterStore second;
    FillBlocks(second, 22);
    const ModeFileResult r = SaveModeFile(blocked, second);
    EXPECT_EQ(r.status, ModeFileStatus::CannotWrite);
    EXPECT_NE(r.errorCode, 0);
    EXPECT_TRUE(fs::is_directory(blocked / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(ModeFileTitleTest, FirstTwoCharactersNameTheDeviceMemory) {
    EXPECT_EQ(PendingModeFromFileTitle("m1"), 0);
    EXPECT_EQ(PendingModeFromFileTitle("m2 party"), 1);
    EXPECT_EQ(PendingModeFromFileTitle("M3karaoke night"), 2);
    EXPECT_EQ(PendingModeFromFileTitle("m4"), 3);
    EXPECT_EQ(PendingModeFromFileTitle("party m3"), -1);
    EXPECT_EQ(PendingModeFromFileTitle("m5"), -1);
    EXPECT_EQ(PendingModeFromFileTitle("m"), -1);
    EXPECT_EQ(PendingModeFromFileTitle(""), -1);
    EXPECT_EQ(PendingModeFromFileTitle("mx1"), -1);
}

} // namespace
} // namespace orvex
