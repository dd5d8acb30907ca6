// Tests of the archive time that attach-image takes from SOURCE_DATE_EPOCH.
#include <gtest/gtest.h>

#include "source/zip_writer.h"

namespace {

uint16_t Date(int year, int month, int day) {
  return static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
}

uint16_t Time(int hour, int minute, int second) {
  return static_cast<uint16_t>(hour << 11 | minute << 5 | second / 2);
}

TEST(ZipWriter, DosTimeOfUnixSeconds) {
  struct Case {
    int64_t seconds;
    uint16_t date, time;
  };
  for (Case c : {Case{1704067200, kZipFixedTimestamp.date, kZipFixedTimestamp.time},
                 Case{315532800, Date(1980, 1, 1), Time(0, 0, 0)},
                 Case{951827697, Date(2000, 2, 29), Time(12, 34, 56)},  // odd seconds round down
                 Case{946684798, Date(1999, 12, 31), Time(23, 59, 58)},
                 Case{4107542401, Date(2100, 3, 1), Time(0, 0, 0)},  // 2100 is no leap year
                 Case{4354819199, Date(2107, 12, 31), Time(23, 59, 58)},
                 // Outside what DOS can say: the nearest time it can.
                 Case{0, Date(1980, 1, 1), Time(0, 0, 0)}, Case{-1, Date(1980, 1, 1), Time(0, 0, 0)},
                 Case{INT64_MAX, Date(2107, 12, 31), Time(23, 59, 58)}}) {
    SCOPED_TRACE(c.seconds);
    const DosTimestamp stamp = DosTimestampFromUnix(c.seconds);
    EXPECT_EQ(stamp.date, c.date);
    EXPECT_EQ(stamp.time, c.time);
  }
}

}  // namespace
