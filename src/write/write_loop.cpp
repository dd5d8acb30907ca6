#include "write/write_loop.h"

namespace {

WriteResult Failure(WriteOutcome outcome, uint32_t chunk) {
    return WriteResult{outcome, chunk, chunk, uint64_t(chunk) * kWriteChunkSize};
}

}  // namespace

WriteResult WriteImage(const uint8_t* image, size_t imageSize, const WriteDevice& device,
                       const WriteProgress& progress) {
    // Checked before the first call, so a missing image never reaches the drive.
    if (image == nullptr || imageSize < kWriteImageSize)
        return Failure(WriteOutcome::NoSource, 0);
    if (device.seek == nullptr || device.write == nullptr)
        return Failure(WriteOutcome::NoDevice, 0);

    for (uint32_t chunk = 0; chunk < kWriteChunkCount; ++chunk) {
        uint64_t offset = uint64_t(chunk) * kWriteChunkSize;
        // Every track gets its own absolute seek rather than trusting where
        // the handle's file pointer was left.
        if (!device.seek(device.context, offset))
            return Failure(WriteOutcome::SeekFailed, chunk);
        uint32_t written = 0;
        if (!device.write(device.context, image + offset, kWriteChunkSize, &written))
            return Failure(WriteOutcome::WriteFailed, chunk);
        // A full stick may answer success with fewer bytes taken.
        if (written != kWriteChunkSize)
            return Failure(WriteOutcome::ShortWrite, chunk);
        if (progress.report != nullptr)
            progress.report(progress.context, uint32_t(offset) + kWriteChunkSize, kWriteProgressRange);
    }
    return WriteResult{WriteOutcome::Written, kWriteChunkCount, kWriteChunkCount, kWriteImageSize};
}

ExternalImagePlan PlanExternalImageRead(uint64_t fileSize) {
    // Compared in 64 bits: a 4 GiB + 1 KiB file must not pass for 1 KiB.
    if (fileSize < kWriteSectorSize)
        return ExternalImagePlan{ExternalImageVerdict::TooShort, 0, 0};
    const uint32_t bytes = fileSize < kWriteImageSize ? static_cast<uint32_t>(fileSize) : kWriteImageSize;
    return ExternalImagePlan{ExternalImageVerdict::ReadImage, bytes, kWriteImageSize - bytes};
}
