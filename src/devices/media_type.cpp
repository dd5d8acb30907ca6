#include "devices/media_type.h"

#include <cstdint>
#include <cstring>

namespace {
// Disk geometry: Cylinders (8 bytes), then MediaType (4 bytes), then the rest.
constexpr size_t kGeometrySize = 24;
constexpr size_t kMediaTypeOffset = 8;
constexpr uint32_t kFirst35InchType = 2;  // F3_1Pt44_512
constexpr uint32_t kLast35InchType = 5;   // F3_720_512
}  // namespace

bool IsThreeAndHalfInchAnswer(const unsigned char* answer, size_t size) {
    if (answer == nullptr || size < kGeometrySize)
        return false;
    uint32_t mediaType = 0;
    memcpy(&mediaType, answer + kMediaTypeOffset, sizeof(mediaType));
    return mediaType >= kFirst35InchType && mediaType <= kLast35InchType;
}
