// Tests of where an attached archive must end, over hand-made PE headers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/pe_overlay.h"

namespace {

constexpr size_t kFileSize = 4096;
constexpr uint32_t kPeOffset = 0x80;
// PE signature, file header, a PE32+ optional header and two sections.
constexpr uint32_t kHeadersEnd = kPeOffset + 4 + 20 + 0xF0 + 2 * 40;

// The header fields a case may bend; the defaults make an unsigned PE32+ file.
struct Headers {
  size_t fileSize = kFileSize;
  char mz = 'M';
  uint32_t peOffset = kPeOffset;
  uint32_t peSignature = 0x00004550;
  uint16_t sections = 2;
  uint16_t optionalSize = 0xF0;
  uint16_t magic = 0x20B;
  uint32_t directories = 16;
  uint32_t certOffset = 0;
  uint32_t certSize = 0;
};

void Put(std::vector<uint8_t>* bytes, uint64_t at, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) {
    if (at + i < bytes->size())
      (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

std::vector<uint8_t> Build(const Headers& h) {
  std::vector<uint8_t> bytes(h.fileSize, 0);
  Put(&bytes, 0, static_cast<uint8_t>(h.mz) | ('Z' << 8), 2);
  Put(&bytes, 0x3C, h.peOffset, 4);
  const uint64_t pe = h.peOffset;
  Put(&bytes, pe, h.peSignature, 4);
  Put(&bytes, pe + 4 + 2, h.sections, 2);
  Put(&bytes, pe + 4 + 16, h.optionalSize, 2);
  const uint64_t optional = pe + 24;
  Put(&bytes, optional, h.magic, 2);
  const uint64_t count = optional + (h.magic == 0x10B ? 92 : 108);
  Put(&bytes, count, h.directories, 4);
  Put(&bytes, count + 4 + 4 * 8, h.certOffset, 4);
  Put(&bytes, count + 4 + 4 * 8 + 4, h.certSize, 4);
  return bytes;
}

TEST(PeOverlay, ArchiveEndsWhereTheCertificateTableBegins) {
  struct Case {
    std::string what;
    Headers headers;
    PeCertificates expected;
    size_t archiveEnd;
  };
  auto with = [](auto change) {
    Headers h;
    change(h);
    return h;
  };
  const std::vector<Case> cases = {
      {"unsigned PE32+", Headers{}, PeCertificates::Unsigned, kFileSize},
      {"unsigned PE32", with([](Headers& h) { h.magic = 0x10B; h.optionalSize = 0xE0; }), PeCertificates::Unsigned,
       kFileSize},
      {"signed PE32+", with([](Headers& h) { h.certOffset = 3000; h.certSize = 1096; }), PeCertificates::Signed, 3000},
      {"signed PE32", with([](Headers& h) { h.magic = 0x10B; h.optionalSize = 0xE0; h.certOffset = 3000; h.certSize = 1096; }),
       PeCertificates::Signed, 3000},
      {"table followed by more bytes", with([](Headers& h) { h.certOffset = 3000; h.certSize = 8; }),
       PeCertificates::Signed, 3000},
      {"table right after the headers", with([](Headers& h) { h.certOffset = kHeadersEnd; h.certSize = 8; }),
       PeCertificates::Signed, kHeadersEnd},
      // Headers that cannot be read: the whole file counts.
      {"shorter than a DOS header", with([](Headers& h) { h.fileSize = 63; }), PeCertificates::NotPe, 63},
      {"no MZ", with([](Headers& h) { h.mz = 'X'; h.certOffset = 3000; h.certSize = 8; }), PeCertificates::NotPe,
       kFileSize},
      {"e_lfanew past the end", with([](Headers& h) { h.peOffset = 0xFFFFFFF0; }), PeCertificates::NotPe, kFileSize},
      {"file header cut off", with([](Headers& h) { h.peOffset = kFileSize - 20; }), PeCertificates::NotPe, kFileSize},
      {"no PE signature", with([](Headers& h) { h.peSignature = 0x00004E45; }), PeCertificates::NotPe, kFileSize},
      {"optional header past the end", with([](Headers& h) { h.optionalSize = 0xFFFF; }), PeCertificates::NotPe,
       kFileSize},
      {"unknown magic", with([](Headers& h) { h.magic = 0x107; }), PeCertificates::NotPe, kFileSize},
      {"optional header without a directory count", with([](Headers& h) { h.optionalSize = 110; }),
       PeCertificates::NotPe, kFileSize},
      // No security entry, whatever stands where it would be.
      {"four directories", with([](Headers& h) { h.directories = 4; h.certOffset = 3000; h.certSize = 1096; }),
       PeCertificates::Unsigned, kFileSize},
      {"optional header ends before the entry",
       with([](Headers& h) { h.optionalSize = 112 + 4 * 8 + 4; h.certOffset = 3000; h.certSize = 1096; }),
       PeCertificates::Unsigned, kFileSize},
      // A security entry that names bytes it cannot mean is ignored.
      {"table one byte past the end", with([](Headers& h) { h.certOffset = 3000; h.certSize = 1097; }),
       PeCertificates::Damaged, kFileSize},
      {"offset past the end", with([](Headers& h) { h.certOffset = 0xFFFFFFF8; h.certSize = 8; }),
       PeCertificates::Damaged, kFileSize},
      {"size that wraps", with([](Headers& h) { h.certOffset = 3000; h.certSize = 0xFFFFFFFF; }),
       PeCertificates::Damaged, kFileSize},
      {"table inside the headers", with([](Headers& h) { h.certOffset = kHeadersEnd - 1; h.certSize = 8; }),
       PeCertificates::Damaged, kFileSize},
      {"too many sections for the offset", with([](Headers& h) { h.sections = 0xFFFF; h.certOffset = 3000; h.certSize = 8; }),
       PeCertificates::Damaged, kFileSize},
      {"table smaller than its header", with([](Headers& h) { h.certOffset = 3000; h.certSize = 7; }),
       PeCertificates::Damaged, kFileSize},
      {"offset without a size", with([](Headers& h) { h.certOffset = 3000; }), PeCertificates::Damaged, kFileSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> bytes = Build(c.headers);
    const PeOverlayEnd found = FindPeOverlayEnd(bytes.data(), bytes.size());
    EXPECT_EQ(found.certificates, c.expected);
    EXPECT_EQ(found.archiveEnd, c.archiveEnd);
    const bool signed_ = c.expected == PeCertificates::Signed;
    EXPECT_EQ(found.certificateSize, signed_ ? c.headers.certSize : 0u);
    EXPECT_EQ(found.padding, signed_ ? kCertificateTablePadding : 0u);
  }
  EXPECT_EQ(FindPeOverlayEnd(nullptr, kFileSize).archiveEnd, kFileSize);
}

}  // namespace
