// The program's small CRC-32 and Adler-32 against zlib's own, which they stand
// in for inside the program: known values, Adler-32's modulo runs (5552
// bytes) and a whole floppy of 0xFF (its largest sums), whole and in pieces.
#include <gtest/gtest.h>
#include <zlib.h>

#include <vector>

#include "source/checksums.h"

TEST(Checksums, AgreeWithZlib) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc32Update(0, digits, sizeof digits), 0xCBF43926u);
  EXPECT_EQ(Adler32Update(1, digits, sizeof digits), 0x091E01DEu);

  std::vector<uint8_t> ramp(5553 * 2);
  for (size_t i = 0; i < ramp.size(); ++i)
    ramp[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  const std::vector<uint8_t> full(1474560, 0xFF);
  const std::vector<uint8_t>* inputs[] = {&ramp, &full};
  for (const std::vector<uint8_t>* data : inputs) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{5551}, size_t{5552}, size_t{5553}, data->size()}) {
      if (size > data->size())
        continue;
      const uInt n = static_cast<uInt>(size);
      EXPECT_EQ(Crc32Update(0, data->data(), size), crc32(0, data->data(), n)) << size;
      EXPECT_EQ(Adler32Update(1, data->data(), size), adler32(1, data->data(), n)) << size;
      // Continued from a first part, as inflate() feeds them.
      const size_t part = size / 3;
      EXPECT_EQ(Crc32Update(Crc32Update(0, data->data(), part), data->data() + part, size - part),
                crc32(0, data->data(), n)) << size;
      EXPECT_EQ(Adler32Update(Adler32Update(1, data->data(), part), data->data() + part, size - part),
                adler32(1, data->data(), n)) << size;
    }
  }
}
