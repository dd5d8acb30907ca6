// Whether the last sector of a disk about to be written holds a backup GPT
// header. Windows rebuilds a GPT disk's partitions from that backup when the
// second sector no longer holds a header, so a write clears it; but the last
// sector of a stick re-partitioned with MBR is the end of its last partition
// and is never touched.
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 a GPT header carries (the zip and Ethernet one).
uint32_t GptCrc32(const uint8_t* data, size_t size);

// True when `sector` holds a GPT header: "EFI PART", a header size that fits
// the sector, and a header CRC that matches.
bool IsGptHeader(const uint8_t* sector, uint32_t sectorSize);

// True when the disk's last sector (number `lastLba`) is a backup GPT header:
// it holds one itself, or the disk is GPT (a protective MBR in `first`, a
// whole header in `second`) and that header names it as its backup.
bool IsBackupGpt(const uint8_t* first, const uint8_t* second, const uint8_t* last, uint32_t sectorSize,
                 uint64_t lastLba);
