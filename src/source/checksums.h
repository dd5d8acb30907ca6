// The two checksums zlib's inflater asks for, small: CRC-32 (gzip's trailer,
// a ZIP entry) and Adler-32 (a zlib stream's trailer). zlib's own CRC brings
// 11 KiB of tables and unrolled code into the program; these build their
// table when called and take about a millisecond for a floppy's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32 (ISO-HDLC, as gzip and ZIP use it) of `size` bytes, continuing from
// `crc` (0 to begin), with zlib's crc32() convention.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);

// Adler-32 of `size` bytes, continuing from `adler` (1 to begin), with zlib's
// adler32() convention.
uint32_t Adler32Update(uint32_t adler, const uint8_t* data, size_t size);
