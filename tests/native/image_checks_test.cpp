// Tests of the checks that attach-image applies to a floppy image and its name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/file_names.h"
#include "source/image_checks.h"

namespace {

TEST(ImageChecks, AcceptsBootableImagesUpToAFloppyInSize) {
  struct Case {
    size_t size;
    bool signature;
    ImageStatus expected;
  };
  for (Case c : {Case{kFloppyImageSize, true, ImageStatus::Ok},
                 Case{kFloppyImageSize, false, ImageStatus::NoBootSignature},
                 Case{kFloppyImageSize - 1, true, ImageStatus::Ok},  // trimmed: padded when attached
                 Case{kFloppyImageSize + 1, true, ImageStatus::WrongSize},
                 Case{kFloppyImageSize + 512, true, ImageStatus::WrongSize},
                 Case{512, true, ImageStatus::Ok},
                 Case{512, false, ImageStatus::NoBootSignature},
                 Case{511, false, ImageStatus::WrongSize},
                 Case{0, false, ImageStatus::WrongSize}}) {
    SCOPED_TRACE(c.size);
    std::vector<uint8_t> image(c.size, 0);
    if (c.signature) {
      image[510] = 0x55;
      image[511] = 0xAA;
    }
    EXPECT_EQ(CheckFloppyImage(image.data(), image.size()), c.expected);
  }
  EXPECT_EQ(CheckFloppyImage(nullptr, kFloppyImageSize), ImageStatus::WrongSize);
}

TEST(ImageChecks, BootSignatureMustBeExact) {
  std::vector<uint8_t> image(kFloppyImageSize, 0);
  struct Case { uint8_t at510, at511; bool ok; };
  for (Case c : {Case{0x55, 0xAA, true}, Case{0xAA, 0x55, false}, Case{0x55, 0x00, false},
                 Case{0x00, 0xAA, false}, Case{0x55, 0xAB, false}}) {
    image[510] = c.at510;
    image[511] = c.at511;
    EXPECT_EQ(CheckFloppyImage(image.data(), image.size()) == ImageStatus::Ok, c.ok)
        << std::hex << int(c.at510) << " " << int(c.at511);
  }
  // The signature belongs at the end of the first sector, not anywhere else.
  image[510] = image[511] = 0;
  image[1022] = 0x55;
  image[1023] = 0xAA;
  EXPECT_EQ(CheckFloppyImage(image.data(), image.size()), ImageStatus::NoBootSignature);
}

TEST(ImageChecks, PlainDosFileNames) {
  struct Case { std::string name; bool plain; };
  std::vector<Case> cases = {
      {"T64DEMO1.IMG", true}, {"t64demo1.img", true}, {"A", true}, {"ABCDEFGH", true},
      {"ABCDEFGH.ABC", true}, {"X.Y", true}, {"_-~!#$%&.'()", true}, {"{}^@`.IMG", true},
      {"12345678.123", true}, {"CONSOLE.IMG", true}, {"COM0.IMG", true},
      {"", false}, {".IMG", false}, {"ABCDEFGHI.IMG", false}, {"T64.IMAG", false},
      {"T64.", false}, {"A.B.C", false}, {"T64 DEMO.IMG", false}, {"DIR/T64.IMG", false},
      {"DIR\\T64.IMG", false}, {"C:T64.IMG", false}, {"..", false}, {"T64+.IMG", false},
      {"T64=.IMG", false}, {"T64[1].IMG", false}, {"T64;.IMG", false}, {"T64,.IMG", false},
      {"T64*.IMG", false}, {"T64?.IMG", false}, {"T\xC9.IMG", false},
      {std::string("T64\0.IMG", 8), false}, {"CON", false}, {"con.img", false},
      {"NUL.IMG", false}, {"PRN.TXT", false}, {"AUX", false}, {"COM1.IMG", false},
      {"LPT9", false}, {"lpt1.x", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsPlainDosFileName(c.name), c.plain) << '"' << c.name << '"';
  }
}

TEST(ImageChecks, WindowsDeviceNames) {
  struct Case { const char* name; bool device; };
  for (Case c : {Case{"CON", true}, Case{"con.img", true}, Case{"Nul.a.b", true},
                 Case{"COM9", true}, Case{"LPT1.IMG", true}, Case{"AUX .IMG", true},
                 Case{"COM0", false}, Case{"COM10", false}, Case{"CONS", false},
                 Case{"XCON", false}, Case{"LPT", false}, Case{"T64DEMO1.IMG", false},
                 Case{"", false}}) {
    EXPECT_EQ(IsWindowsDeviceName(c.name), c.device) << c.name;
  }
}

TEST(ImageChecks, DescriptionsAreDistinct) {
  std::string ok = DescribeImageStatus(ImageStatus::Ok);
  std::string size = DescribeImageStatus(ImageStatus::WrongSize);
  std::string signature = DescribeImageStatus(ImageStatus::NoBootSignature);
  EXPECT_NE(ok, size);
  EXPECT_NE(size, signature);
  EXPECT_NE(ok, signature);
}

}  // namespace
