#include "install/source_check.h"
#include "devices/media_type.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

std::vector<unsigned char> Head(size_t size, bool signature, bool pk)
{
    std::vector<unsigned char> bytes(size, 0x90);
    if (signature && size >= 512) {
        bytes[510] = 0x55;
        bytes[511] = 0xAA;
    }
    if (pk && size >= 2) {
        bytes[0] = 'P';
        bytes[1] = 'K';
    }
    return bytes;
}

TEST(SourceCheckTest, ClassifiesTheFirstBytes)
{
    struct Case {
        size_t size;
        bool signature;
        bool pk;
        SourceVerdict expected;
    } cases[] = {
        {512, true, false, SourceVerdict::Bootable},
        {512, true, true, SourceVerdict::Bootable},  // the signature test comes first
        {512, false, true, SourceVerdict::ZipArchive},
        {512, false, false, SourceVerdict::NotBootable},
        {511, false, true, SourceVerdict::ZipArchive},
        {511, false, false, SourceVerdict::NotBootable},
        {2, false, true, SourceVerdict::ZipArchive},
        {1, false, false, SourceVerdict::NotBootable},
        {0, false, false, SourceVerdict::NotBootable},
    };
    for (const Case& c : cases) {
        const auto bytes = Head(c.size, c.signature, c.pk);
        EXPECT_EQ(ClassifySourceHead(bytes.data(), bytes.size()), c.expected)
            << "size " << c.size << " signature " << c.signature << " pk " << c.pk;
    }
    // 511 bytes whose last two hold 0x55 0xAA at 509/510 are not a boot sector.
    auto shortSector = Head(511, false, false);
    shortSector[509] = 0x55;
    shortSector[510] = 0xAA;
    EXPECT_EQ(ClassifySourceHead(shortSector.data(), shortSector.size()), SourceVerdict::NotBootable);

    // The whole file's size decides whether a bootable head is enough to write.
    const auto sector = Head(512, true, false);
    for (uint64_t size : {uint64_t(0), uint64_t(511), uint64_t(512), uint64_t(1474559), uint64_t(1474560),
                          uint64_t(1) << 32, uint64_t(5) << 30})
        EXPECT_EQ(ClassifySourceFile(sector.data(), sector.size(), size),
                  size < 512 ? SourceVerdict::TooShort
                  : size < 1474560 ? SourceVerdict::Trimmed : SourceVerdict::Bootable) << size;
    const auto zip = Head(512, false, true);
    EXPECT_EQ(ClassifySourceFile(zip.data(), zip.size(), 100), SourceVerdict::ZipArchive);
    // An archive's own header wins over a 0x55 0xAA its packed bytes happen to hold.
    auto archive = Head(512, true, true);
    for (const char* magic : {"PK\x03\x04", "PK\x05\x06", "\x1F\x8B\x08"}) {
        memcpy(archive.data(), magic, 4);
        EXPECT_EQ(ClassifySourceHead(archive.data(), archive.size()),
                  magic[0] == 'P' ? SourceVerdict::ZipArchive : SourceVerdict::GzipArchive) << magic;
    }
}

std::vector<unsigned char> MediaTypesAnswer(std::vector<uint32_t> types)
{
    std::vector<unsigned char> answer(types.size() * 24, 0);
    for (size_t i = 0; i < types.size(); ++i)
        memcpy(answer.data() + i * 24 + 8, &types[i], 4);
    return answer;
}

TEST(MediaTypeTest, OnlyAFirstThreeAndHalfInchTypeCounts)
{
    for (uint32_t type : {2u, 3u, 4u, 5u}) {
        const auto answer = MediaTypesAnswer({type});
        EXPECT_TRUE(IsThreeAndHalfInchAnswer(answer.data(), answer.size())) << type;
    }
    for (uint32_t type : {0u, 1u, 6u, 11u, 12u, 0x10000002u}) {
        const auto answer = MediaTypesAnswer({type});
        EXPECT_FALSE(IsThreeAndHalfInchAnswer(answer.data(), answer.size())) << type;
    }
    // Only the first record decides.
    const auto mixed = MediaTypesAnswer({11, 2});
    EXPECT_FALSE(IsThreeAndHalfInchAnswer(mixed.data(), mixed.size()));
    // No bytes, or fewer than one record: not a diskette drive, and no read past the answer.
    const auto one = MediaTypesAnswer({2});
    EXPECT_FALSE(IsThreeAndHalfInchAnswer(one.data(), 0));
    EXPECT_FALSE(IsThreeAndHalfInchAnswer(one.data(), 12));
    EXPECT_FALSE(IsThreeAndHalfInchAnswer(nullptr, 24));
}

}  // namespace
