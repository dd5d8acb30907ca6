// Tests of the choice between the volume and the whole disk, and of the
// sector-size rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "write/disk_descriptor.h"
#include "write/page_files.h"
#include "write/write_target.h"

namespace {

struct Extent {
    uint32_t disk;
    int64_t start;
    int64_t length;
};

// Lays out an answer as the disk-extents query fills it: a count, padding,
// then 24-byte extents with padding after the disk number. Padding is filled
// with junk so a reader that looks at it is caught.
std::vector<uint8_t> ExtentsAnswer(uint32_t count, const std::vector<Extent>& extents) {
    std::vector<uint8_t> bytes(8 + 24 * extents.size(), 0xCC);
    memcpy(bytes.data(), &count, 4);
    for (size_t i = 0; i < extents.size(); ++i) {
        uint8_t* at = bytes.data() + 8 + 24 * i;
        memcpy(at, &extents[i].disk, 4);
        memcpy(at + 8, &extents[i].start, 8);
        memcpy(at + 16, &extents[i].length, 8);
    }
    return bytes;
}

// Copies an answer into a heap block of exactly `size` bytes, so that ASan
// catches any read past what the device returned.
WriteTarget Choose(char letter, bool answered, const std::vector<uint8_t>& answer, size_t size) {
    std::vector<uint8_t> exact(answer.begin(), answer.begin() + std::min(size, answer.size()));
    exact.shrink_to_fit();
    return ChooseWriteTarget(letter, answered, exact.empty() ? nullptr : exact.data(), exact.size());
}

constexpr int64_t kMiB = 1 << 20;
constexpr int64_t kStick = 8000 * kMiB;

TEST(WriteTarget, DevicePathsAreBuiltInFull) {
    EXPECT_STREQ(VolumeDevicePath('E').text, "\\\\.\\E:");
    EXPECT_STREQ(VolumeDevicePath('a').text, "\\\\.\\a:");
    EXPECT_STREQ(VolumeDevicePath('Z').text, "\\\\.\\Z:");
    for (char bad : {'\0', '1', ':', '\\', '[', '@', '`', '{'})
        EXPECT_STREQ(VolumeDevicePath(bad).text, "") << int(bad);
    EXPECT_STREQ(PhysicalDriveDevicePath(0).text, "\\\\.\\PhysicalDrive0");
    EXPECT_STREQ(PhysicalDriveDevicePath(3).text, "\\\\.\\PhysicalDrive3");
    EXPECT_STREQ(PhysicalDriveDevicePath(UINT32_MAX).text, "\\\\.\\PhysicalDrive4294967295");
}

TEST(WriteTarget, WholeDiskVolumeOrPartitionOrSpannedVolume) {
    struct Case {
        std::string name;
        std::vector<uint8_t> answer;
        WriteTargetKind kind;
        ExtentsReading reading;
        std::string path;
        uint32_t disk;
    };
    std::vector<Case> cases = {
        {"unpartitioned stick", ExtentsAnswer(1, {{1, 0, 1474560}}), WriteTargetKind::PhysicalDrive,
         ExtentsReading::AtDiskStart, "\\\\.\\PhysicalDrive1", 1},
        {"partition at 1 MiB on disk 2", ExtentsAnswer(1, {{2, kMiB, kStick}}), WriteTargetKind::PhysicalDrive,
         ExtentsReading::InsideDisk, "\\\\.\\PhysicalDrive2", 2},
        {"old-style partition at sector 63", ExtentsAnswer(1, {{7, 63 * 512, kStick}}), WriteTargetKind::PhysicalDrive,
         ExtentsReading::InsideDisk, "\\\\.\\PhysicalDrive7", 7},
        {"partition beyond 4 GiB", ExtentsAnswer(1, {{12, int64_t(5) << 32, kStick}}), WriteTargetKind::PhysicalDrive,
         ExtentsReading::InsideDisk, "\\\\.\\PhysicalDrive12", 12},
        {"two disks", ExtentsAnswer(2, {{1, 0, kStick}, {2, 0, kStick}}), WriteTargetKind::Refused,
         ExtentsReading::Spanned, "", 0},
        {"two extents of one disk", ExtentsAnswer(2, {{1, kMiB, kMiB}, {1, 4 * kMiB, kMiB}}), WriteTargetKind::Refused,
         ExtentsReading::Spanned, "", 0},
        // A spanned volume whose answer had room for one extent only.
        {"count beyond the bytes", ExtentsAnswer(3, {{1, 0, kStick}}), WriteTargetKind::Refused,
         ExtentsReading::Spanned, "", 0},
        {"huge count", ExtentsAnswer(0xFFFFFFFFu, {{1, 0, kStick}}), WriteTargetKind::Refused, ExtentsReading::Spanned,
         "", 0},
        {"huge count, header only", ExtentsAnswer(0x80000000u, {}), WriteTargetKind::Refused, ExtentsReading::Spanned,
         "", 0},
        {"no extents", ExtentsAnswer(0, {{1, kMiB, kStick}}), WriteTargetKind::Volume, ExtentsReading::Malformed,
         "\\\\.\\E:", 0},
        {"one extent, header only", ExtentsAnswer(1, {}), WriteTargetKind::Volume, ExtentsReading::Malformed,
         "\\\\.\\E:", 0},
        {"negative start", ExtentsAnswer(1, {{2, -512, kStick}}), WriteTargetKind::Volume, ExtentsReading::Malformed,
         "\\\\.\\E:", 0},
        {"negative length", ExtentsAnswer(1, {{2, kMiB, -1}}), WriteTargetKind::Volume, ExtentsReading::Malformed,
         "\\\\.\\E:", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteTarget target = Choose('E', true, c.answer, c.answer.size());
        EXPECT_EQ(target.kind, c.kind);
        EXPECT_EQ(target.reading, c.reading);
        EXPECT_STREQ(target.path.text, c.path.c_str());
        EXPECT_EQ(target.diskNumber, c.disk);
        bool named = c.reading == ExtentsReading::AtDiskStart || c.reading == ExtentsReading::InsideDisk;
        EXPECT_EQ(target.diskKnown, named);
    }
    WriteTarget partition = Choose('E', true, ExtentsAnswer(1, {{2, kMiB, kStick}}), 32);
    EXPECT_EQ(partition.startingOffset, uint64_t(kMiB));
}

TEST(WriteTarget, CutOrMissingAnswersFallBackToTheVolume) {
    // A partition far into disk 9: every cut of it must be read as no answer.
    std::vector<uint8_t> answer = ExtentsAnswer(1, {{9, kMiB, kStick}});
    for (size_t size = 0; size < answer.size(); ++size) {
        SCOPED_TRACE(size);
        WriteTarget target = Choose('F', true, answer, size);
        EXPECT_EQ(target.kind, WriteTargetKind::Volume);
        EXPECT_EQ(target.reading, ExtentsReading::Malformed);
        EXPECT_STREQ(target.path.text, "\\\\.\\F:");
        EXPECT_FALSE(target.diskKnown);
    }
    EXPECT_EQ(Choose('F', true, answer, answer.size()).kind, WriteTargetKind::PhysicalDrive);
    // Bytes left behind by a failed call mean nothing.
    for (size_t size : {size_t(0), answer.size()}) {
        WriteTarget target = Choose('F', false, answer, size);
        EXPECT_EQ(target.kind, WriteTargetKind::Volume) << size;
        EXPECT_EQ(target.reading, ExtentsReading::NotAnswered) << size;
        EXPECT_STREQ(target.path.text, "\\\\.\\F:");
    }
    EXPECT_EQ(ChooseWriteTarget('F', true, nullptr, 32).reading, ExtentsReading::Malformed);
}

TEST(WriteTarget, ExtraBytesAfterOneExtentAreIgnored) {
    std::vector<uint8_t> answer = ExtentsAnswer(1, {{4, kMiB, kStick}, {5, 0, kStick}});
    WriteTarget target = Choose('G', true, answer, answer.size());
    EXPECT_EQ(target.kind, WriteTargetKind::PhysicalDrive);
    EXPECT_STREQ(target.path.text, "\\\\.\\PhysicalDrive4");
}

TEST(WriteTarget, NoLetterNoTarget) {
    std::vector<uint8_t> answer = ExtentsAnswer(1, {{2, kMiB, kStick}});
    for (char bad : {'\0', '3', '\\'}) {
        for (bool answered : {true, false}) {
            WriteTarget target = Choose(bad, answered, answer, answer.size());
            EXPECT_EQ(target.kind, WriteTargetKind::Refused) << int(bad);
            EXPECT_EQ(target.reading, ExtentsReading::BadLetter) << int(bad);
            EXPECT_STREQ(target.path.text, "");
        }
    }
}

TEST(SectorSize, OnlySectorsThatDivideATrackAreWritten) {
    struct Case {
        uint32_t reported;
        SectorSizeVerdict verdict;
        uint32_t used;
    };
    for (Case c :
         {Case{0, SectorSizeVerdict::Fits, 512}, Case{512, SectorSizeVerdict::Fits, 512},
          Case{1024, SectorSizeVerdict::Fits, 1024}, Case{2048, SectorSizeVerdict::TooLarge, 2048},
          Case{4096, SectorSizeVerdict::TooLarge, 4096}, Case{65536, SectorSizeVerdict::TooLarge, 65536},
          Case{131072, SectorSizeVerdict::Absurd, 131072}, Case{0x80000000u, SectorSizeVerdict::Absurd, 0x80000000u},
          Case{UINT32_MAX, SectorSizeVerdict::Absurd, UINT32_MAX}, Case{256, SectorSizeVerdict::Absurd, 256},
          Case{1, SectorSizeVerdict::Absurd, 1},
          Case{3, SectorSizeVerdict::Absurd, 3},  // divides 9,216, but no disk has it
          Case{520, SectorSizeVerdict::Absurd, 520}, Case{4608, SectorSizeVerdict::Absurd, 4608}}) {  // half a track
        SCOPED_TRACE(c.reported);
        SectorSizeCheck check = CheckSectorSize(c.reported);
        EXPECT_EQ(check.verdict, c.verdict);
        EXPECT_EQ(check.bytesPerSector, c.used);
    }
}

TEST(SectorSize, BytesPerSectorIsReadFromAWholeGeometryOnly) {
    // Cylinders 80, MediaType 2, 2 heads, 18 sectors per track, then the size.
    std::vector<uint8_t> geometry(24, 0);
    uint32_t fields[] = {2, 2, 18, 4096};
    geometry[0] = 80;
    memcpy(geometry.data() + 8, fields, sizeof(fields));
    for (size_t size = 0; size <= geometry.size(); ++size) {
        std::vector<uint8_t> exact(geometry.begin(), geometry.begin() + size);
        exact.shrink_to_fit();
        uint32_t expected = size == 24 ? 4096 : 0;
        EXPECT_EQ(BytesPerSectorFromGeometry(exact.empty() ? nullptr : exact.data(), size), expected) << size;
    }
    EXPECT_EQ(BytesPerSectorFromGeometry(nullptr, 24), 0u);
}

TEST(DiskDescriptor, StringsCountOnlyWhollyInsideTheAnswer) {
    // Version, Size, the type bytes, the offsets of vendor "Talvix" (40) and serial " AB12 " (47), the bus.
    std::vector<uint8_t> full(40, 0);
    const uint32_t fields[] = {40, 54, 0, 40, 0, 0, 47, kBusTypeUsb};
    memcpy(full.data(), fields, sizeof(fields));
    for (const char* text : {"Talvix", " AB12 "})
        full.insert(full.end(), text, text + strlen(text) + 1);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        std::vector<uint8_t> exact(full.begin(), full.begin() + cut);
        exact.shrink_to_fit();
        const DiskDescriptor read = ReadDiskDescriptor(exact.empty() ? nullptr : exact.data(), cut);
        EXPECT_EQ(read.answered, cut >= 36) << cut;
        EXPECT_STREQ(read.vendor, cut >= 47 ? "Talvix" : "") << cut;
        EXPECT_STREQ(read.serial, cut == full.size() ? "AB12" : "") << cut;
    }
    // A declared size short of the serial's end, a serial offset into the fixed part or past the end.
    for (auto [field, value] : {std::pair<size_t, uint32_t>{4, 50}, {24, 8}, {24, 0xFFFFFFFF}}) {
        std::vector<uint8_t> bad = full;
        memcpy(bad.data() + field, &value, 4);
        EXPECT_STREQ(ReadDiskDescriptor(bad.data(), bad.size()).serial, "") << value;
    }
}

TEST(DiskDescriptor, OnlyDiskObjectsAndPageFileDrivesCount) {
    EXPECT_TRUE(NamesHarddiskObject("\\device\\HARDDISK12\\DR12"));
    for (const char* other : {"\\Device\\HarddiskVolume3", "\\Device\\Harddisk", "\\Device\\Harddisk1x", ""})
        EXPECT_FALSE(NamesHarddiskObject(other)) << other;
    // The last entry lacks its terminators, as a registry value may.
    const char list[] = "\\??\\C:\\pagefile.sys\0d:\\pagefile.sys 16 2048\0?:\\pagefile.sys\0\\??\\e:\\swapfile.sys";
    char letters[27] = {};
    AddPageFileLetters(list, sizeof(list) - 1, letters, sizeof(letters));
    EXPECT_STREQ(letters, "CDE");
}

}  // namespace
