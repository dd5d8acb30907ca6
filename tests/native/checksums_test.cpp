// The program's CRC-32 and Adler-32 against zlib's, which they stand in for:
// known values, Adler-32's modulo runs (5552 bytes), a floppy of 0xFF (the
// largest sums), each whole and continued from a first part.
#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

#include "source/checksums.h"

TEST(Checksums, AgreeWithZlib) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc32Update(0, digits, 9), 0xCBF43926u);
  EXPECT_EQ(Adler32Update(1, digits, 9), 0x091E01DEu);
  std::vector<uint8_t> data(1474560, 0xFF);
  for (size_t i = 0; i < 11106; ++i)
    data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  for (size_t size : {0, 1, 5551, 5552, 5553, 11106, 1474560}) {
    const uint8_t* p = data.data() + data.size() - size;  // the tail: 0xFF but for the whole
    const size_t part = size / 3;
    const uInt n = static_cast<uInt>(size);
    EXPECT_EQ(Crc32Update(Crc32Update(0, p, part), p + part, size - part), crc32(0, p, n)) << size;
    EXPECT_EQ(Adler32Update(Adler32Update(1, p, part), p + part, size - part), adler32(1, p, n)) << size;
    EXPECT_EQ(Crc32Update(0, data.data(), size), crc32(0, data.data(), n)) << size;
    EXPECT_EQ(Adler32Update(1, data.data(), size), adler32(1, data.data(), n)) << size;
  }
}
