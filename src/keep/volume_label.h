// The volume label a kept copy's FAT volume had, read from the copy's own
// bytes: Put back's chooser shows it beside each copy that may be the
// medium's.
#pragma once

#include <cstdint>

// Reads `size` bytes at `offset` of the kept bytes into `data`; false when
// they cannot be had.
using KeptBytesRead = bool (*)(void* context, uint32_t offset, uint8_t* data, uint32_t size);

constexpr uint32_t kVolumeLabelSize = 11;

// The label of the FAT volume at the start of `size` kept bytes, or at the
// start of the first partition a master boot record there names: the root
// folder's label entry, else the boot sector's own (not "NO NAME"). In the
// OEM code page, trailing spaces cut; "" when there is none.
void VolumeLabelOf(KeptBytesRead read, void* context, uint32_t size, char (&label)[kVolumeLabelSize + 1]);
