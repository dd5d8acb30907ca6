// Writing a floppy image onto a device in whole tracks, and how much of an
// image file to read for it.
#pragma once

#include <cstddef>
#include <cstdint>

// One track of a 1.44 MB diskette: 18 sectors of 512 bytes.
constexpr uint32_t kWriteChunkSize = 9216;
// 160 tracks make the 1,474,560-byte image.
constexpr uint32_t kWriteChunkCount = 160;
constexpr uint32_t kWriteImageSize = kWriteChunkSize * kWriteChunkCount;
// The smallest image file: one boot sector.
constexpr uint32_t kWriteSectorSize = 512;
// The bar runs against the image size plus 500,000 while writing, so it stops
// at about three quarters and only fills once the USB device has restarted.
constexpr uint32_t kWriteProgressRange = kWriteImageSize + 500000;

// The handle the image goes to. Both calls return false on failure; `write`
// stores the number of bytes the device took in *written.
struct WriteDevice {
    bool (*seek)(void* context, uint64_t offset);  // absolute, from offset 0
    bool (*write)(void* context, const uint8_t* data, uint32_t size, uint32_t* written);
    void* context;
};

// Told after every chunk: `position` bytes written, shown against `total`.
// `report` may be null.
struct WriteProgress {
    void (*report)(void* context, uint32_t position, uint32_t total);
    void* context;
};

enum class WriteOutcome {
    Written,   // every chunk went out in full
    NoSource,  // no image, or fewer than kWriteImageSize bytes of it
    NoDevice,  // the device lacks a seek or write call
    SeekFailed,
    WriteFailed,  // the write call itself failed
    ShortWrite,   // the write call succeeded but took other than a whole chunk
};

struct WriteResult {
    WriteOutcome outcome;
    uint32_t chunksWritten;  // chunks that went out in full, from chunk 0
    uint32_t failedChunk;    // the chunk that stopped the write; kWriteChunkCount when none did
    uint64_t failedOffset;   // its byte offset on the device; kWriteImageSize when none
};

// Writes the first kWriteImageSize bytes of `image` (which must hold at least
// that many: `imageSize`) as kWriteChunkCount chunks, each after an absolute
// seek to its own offset. The first failed seek or write, or a write that
// takes fewer or more bytes than the chunk, stops everything: no further call
// reaches the device. Without a usable source or device nothing is called at
// all and the result names chunk 0. Progress is reported after every chunk
// written in full, at positions kWriteChunkSize .. kWriteImageSize against
// kWriteProgressRange; the final full-bar report is the caller's.
WriteResult WriteImage(const uint8_t* image, size_t imageSize, const WriteDevice& device,
                       const WriteProgress& progress);

enum class ExternalImageVerdict {
    TooShort,   // smaller than a boot sector: refuse before the device is opened
    ReadImage,  // read its first bytesToRead bytes, never more
};

struct ExternalImagePlan {
    ExternalImageVerdict verdict;
    uint32_t bytesToRead;  // at most kWriteImageSize; 0 when refused
    uint32_t zeroBytes;    // written as zeros after them, to the image's end
};

// Decides from an image file's full 64-bit size how much of it to load: a
// file trimmed of its trailing zeros is read whole and padded with zeros,
// of a longer one only the image's worth is read.
ExternalImagePlan PlanExternalImageRead(uint64_t fileSize);
