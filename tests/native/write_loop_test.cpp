// Tests of the track-by-track image write against a recording fake drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "write/write_loop.h"

namespace {

constexpr size_t kExtra = 65536;  // the fake drive is larger than the image
constexpr uint8_t kUntouched = 0xE5;

enum class Fault { None, ShortWrite, LongWrite, WriteError, SeekError };

struct FakeDrive {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kWriteImageSize + kExtra, kUntouched);
    std::vector<std::pair<char, uint64_t>> calls;  // ('s', offset) or ('w', size)
    uint64_t pointer = 0;
    Fault fault = Fault::None;
    uint32_t faultChunk = 0;
    uint32_t writes = 0;
};

bool FakeSeek(void* context, uint64_t offset) {
    auto* drive = static_cast<FakeDrive*>(context);
    drive->calls.push_back({'s', offset});
    if (drive->fault == Fault::SeekError && offset == uint64_t(drive->faultChunk) * kWriteChunkSize)
        return false;
    drive->pointer = offset;
    return true;
}

bool FakeWrite(void* context, const uint8_t* data, uint32_t size, uint32_t* written) {
    auto* drive = static_cast<FakeDrive*>(context);
    drive->calls.push_back({'w', size});
    bool faulty = drive->writes++ == drive->faultChunk;
    uint32_t take = size;
    if (faulty && drive->fault == Fault::WriteError) {
        *written = 0;
        return false;
    }
    if (faulty && drive->fault == Fault::ShortWrite)
        take = size - 512;  // a full stick: success, but not every byte
    for (uint32_t i = 0; i < take && drive->pointer + i < drive->bytes.size(); ++i)
        drive->bytes[drive->pointer + i] = data[i];
    drive->pointer += take;
    *written = (faulty && drive->fault == Fault::LongWrite) ? size + 512 : take;
    return true;
}

struct Report {
    uint32_t position, total;
};

void RecordProgress(void* context, uint32_t position, uint32_t total) {
    static_cast<std::vector<Report>*>(context)->push_back({position, total});
}

std::vector<uint8_t> PatternImage(size_t size) {
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i)
        image[i] = uint8_t((i * 7 + i / 9216) & 0xFF);
    return image;
}

struct WriteRun {
    FakeDrive drive;
    std::vector<Report> reports;
    WriteResult result{};
};

void WriteTo(WriteRun& run, const uint8_t* image, size_t size) {
    WriteDevice device{FakeSeek, FakeWrite, &run.drive};
    WriteProgress progress{RecordProgress, &run.reports};
    run.result = WriteImage(image, size, device, progress);
}

TEST(WriteLoop, ConstantsDescribeTheDiskette) {
    EXPECT_EQ(kWriteImageSize, 1474560u);
    EXPECT_EQ(kWriteChunkSize, 9216u);
    EXPECT_EQ(kWriteChunkCount, 160u);
    EXPECT_EQ(kWriteProgressRange, 1974560u);
}

TEST(WriteLoop, FullWriteSeeksAndWritesEveryTrackInOrder) {
    std::vector<uint8_t> image = PatternImage(kWriteImageSize);
    WriteRun run;
    WriteTo(run, image.data(), image.size());

    EXPECT_EQ(run.result.outcome, WriteOutcome::Written);
    EXPECT_EQ(run.result.chunksWritten, 160u);
    ASSERT_EQ(run.drive.calls.size(), 320u);
    for (uint32_t k = 0; k < 160; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(run.drive.calls[2 * k], std::make_pair('s', uint64_t(k) * 9216));
        EXPECT_EQ(run.drive.calls[2 * k + 1], std::make_pair('w', uint64_t(9216)));
    }
    // The loop's reports stop short of a full bar; the last one is the caller's.
    ASSERT_EQ(run.reports.size(), 160u);
    for (uint32_t k = 0; k < 160; ++k) {
        EXPECT_EQ(run.reports[k].position, (k + 1) * 9216) << k;
        EXPECT_EQ(run.reports[k].total, 1974560u) << k;
    }
    EXPECT_EQ(run.reports.back().position, 1474560u);

    EXPECT_TRUE(std::equal(image.begin(), image.end(), run.drive.bytes.begin()));
    for (size_t i = kWriteImageSize; i < run.drive.bytes.size(); ++i)
        ASSERT_EQ(run.drive.bytes[i], kUntouched) << i;
}

TEST(WriteLoop, LargerSourceWritesOnlyTheImage) {
    std::vector<uint8_t> image = PatternImage(kWriteImageSize + 4096);
    WriteRun run;
    WriteTo(run, image.data(), image.size());
    EXPECT_EQ(run.result.outcome, WriteOutcome::Written);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + kWriteImageSize, run.drive.bytes.begin()));
    for (size_t i = kWriteImageSize; i < run.drive.bytes.size(); ++i)
        ASSERT_EQ(run.drive.bytes[i], kUntouched) << i;
}

TEST(WriteLoop, FailingTrackStopsEverything) {
    std::vector<uint8_t> image = PatternImage(kWriteImageSize);
    struct Case {
        Fault fault;
        WriteOutcome outcome;
    };
    for (Case c :
         {Case{Fault::ShortWrite, WriteOutcome::ShortWrite}, Case{Fault::LongWrite, WriteOutcome::ShortWrite},
          Case{Fault::WriteError, WriteOutcome::WriteFailed}, Case{Fault::SeekError, WriteOutcome::SeekFailed}}) {
        for (uint32_t k : {0u, 1u, 80u, 159u}) {
            SCOPED_TRACE(testing::Message() << "fault " << int(c.fault) << " at chunk " << k);
            WriteRun run;
            run.drive.fault = c.fault;
            run.drive.faultChunk = k;
            WriteTo(run, image.data(), image.size());

            EXPECT_EQ(run.result.outcome, c.outcome);
            EXPECT_EQ(run.result.chunksWritten, k);
            EXPECT_EQ(run.result.failedChunk, k);
            EXPECT_EQ(run.result.failedOffset, uint64_t(k) * 9216);
            // k whole pairs, then the failing seek (and its write unless the
            // seek failed), then nothing.
            size_t calls = 2 * k + (c.fault == Fault::SeekError ? 1 : 2);
            ASSERT_EQ(run.drive.calls.size(), calls);
            EXPECT_EQ(run.drive.calls[2 * k], std::make_pair('s', uint64_t(k) * 9216));
            // No report for the failing track, so the bar never claims it.
            ASSERT_EQ(run.reports.size(), k);
            if (k > 0) {
                EXPECT_EQ(run.reports.back().position, k * 9216);
            }
            // The tracks before the failing one are on the drive; nothing past it.
            EXPECT_TRUE(std::equal(image.begin(), image.begin() + k * 9216, run.drive.bytes.begin()));
            size_t firstUntouched = size_t(k + 1) * 9216;
            for (size_t i = firstUntouched; i < run.drive.bytes.size(); ++i)
                ASSERT_EQ(run.drive.bytes[i], kUntouched) << i;
        }
    }
}

TEST(WriteLoop, MissingSourceOrDeviceNeverReachesTheDrive) {
    std::vector<uint8_t> image = PatternImage(kWriteImageSize);
    struct Case {
        const uint8_t* source;
        size_t size;
        bool seek, write;
        WriteOutcome outcome;
    };
    for (Case c : {Case{nullptr, kWriteImageSize, true, true, WriteOutcome::NoSource},
                   Case{nullptr, 0, true, true, WriteOutcome::NoSource},
                   Case{image.data(), kWriteImageSize - 1, true, true, WriteOutcome::NoSource},
                   Case{image.data(), 0, true, true, WriteOutcome::NoSource},
                   Case{image.data(), kWriteImageSize, false, true, WriteOutcome::NoDevice},
                   Case{image.data(), kWriteImageSize, true, false, WriteOutcome::NoDevice}}) {
        SCOPED_TRACE(testing::Message() << "size " << c.size << " seek " << c.seek << " write " << c.write);
        FakeDrive drive;
        std::vector<Report> reports;
        WriteDevice device{c.seek ? FakeSeek : nullptr, c.write ? FakeWrite : nullptr, &drive};
        WriteResult result = WriteImage(c.source, c.size, device, WriteProgress{RecordProgress, &reports});
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.chunksWritten, 0u);
        EXPECT_EQ(result.failedChunk, 0u);
        EXPECT_EQ(result.failedOffset, 0u);
        EXPECT_TRUE(drive.calls.empty());
        EXPECT_TRUE(reports.empty());
    }
}

TEST(WriteLoop, WritesWithoutAProgressReceiver) {
    std::vector<uint8_t> image = PatternImage(kWriteImageSize);
    FakeDrive drive;
    WriteResult result = WriteImage(image.data(), image.size(), WriteDevice{FakeSeek, FakeWrite, &drive},
                                    WriteProgress{nullptr, nullptr});
    EXPECT_EQ(result.outcome, WriteOutcome::Written);
    EXPECT_EQ(drive.calls.size(), 320u);
}

TEST(ExternalImage, ReadsAtMostTheImageAndPadsATrimmedFile) {
    constexpr uint64_t kGiB = uint64_t(1) << 30;
    struct Case {
        uint64_t fileSize;
        ExternalImageVerdict verdict;
        uint32_t bytes;
    };
    for (Case c :
         {Case{0, ExternalImageVerdict::TooShort, 0}, Case{511, ExternalImageVerdict::TooShort, 0},
          Case{512, ExternalImageVerdict::ReadImage, 512}, Case{1228800, ExternalImageVerdict::ReadImage, 1228800},
          Case{1474559, ExternalImageVerdict::ReadImage, 1474559},
          Case{1474560, ExternalImageVerdict::ReadImage, 1474560},
          Case{1474561, ExternalImageVerdict::ReadImage, 1474560},
          Case{5 * kGiB, ExternalImageVerdict::ReadImage, 1474560},
          // Whatever a cut to 32 bits would make of these, the 64-bit
          // size says they are large enough.
          Case{4 * kGiB, ExternalImageVerdict::ReadImage, 1474560},
          Case{4 * kGiB + 512, ExternalImageVerdict::ReadImage, 1474560},
          Case{4 * kGiB + 1474559, ExternalImageVerdict::ReadImage, 1474560},
          Case{UINT64_MAX, ExternalImageVerdict::ReadImage, 1474560}}) {
        SCOPED_TRACE(c.fileSize);
        ExternalImagePlan plan = PlanExternalImageRead(c.fileSize);
        EXPECT_EQ(plan.verdict, c.verdict);
        EXPECT_EQ(plan.bytesToRead, c.bytes);
        // The bytes read and the zeros after them make exactly one image.
        EXPECT_EQ(plan.bytesToRead + plan.zeroBytes, c.bytes > 0 ? 1474560u : 0u);
    }
}

}  // namespace
