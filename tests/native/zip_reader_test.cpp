// Tests of the attached-archive reader against archives built here, byte by
// byte, with their own small ZIP builder (independent of zip_writer), and
// against archives from zip_writer, which attach-image uses.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "source/archive_image.h"
#include "source/image_checks.h"
#include "source/zip_reader.h"
#include "source/zip_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kSmallSize = 4096;

// Content that deflates to a few hundred bytes, with a boot signature so it
// also passes as an image where that matters.
Bytes MakeContent(size_t size, uint8_t seed = 1) {
  Bytes content(size);
  for (size_t i = 0; i < size; ++i) {
    content[i] = static_cast<uint8_t>((i * 7 + seed) % 251 < 40 ? i % 13 + seed : 0);
  }
  if (size >= 512) {
    content[510] = 0x55;
    content[511] = 0xAA;
  }
  return content;
}

// Raw deflate; `flushBlocks` ends the data with empty stored blocks before
// the final block, as streaming writers do, so the stream goes on after the
// last byte of output.
Bytes DeflateRaw(const Bytes& content, bool flushBlocks = false) {
  z_stream s{};
  EXPECT_EQ(deflateInit2(&s, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&s, content.size()) + 64);
  s.next_in = const_cast<Bytef*>(content.data());
  s.avail_in = static_cast<uInt>(content.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  if (flushBlocks) {
    EXPECT_EQ(deflate(&s, Z_SYNC_FLUSH), Z_OK);
    EXPECT_EQ(deflate(&s, Z_FULL_FLUSH), Z_OK);
  }
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

uint32_t Crc(const Bytes& content) {
  return static_cast<uint32_t>(crc32(crc32(0, Z_NULL, 0), content.data(),
                                     static_cast<uInt>(content.size())));
}

// Everything about a one-entry archive that a test may want to bend.
struct ArchiveLayout {
  std::string leading;                    // bytes before the first local header
  std::string name = "T64DEMO1.IMG";
  std::optional<std::string> localName;   // the local header's name, if different
  Bytes content = MakeContent(kSmallSize);
  uint16_t method = 8;
  std::optional<uint16_t> localMethod;
  uint16_t flags = 0;
  uint16_t localFlags = 0;                // added to the local header's flags
  uint16_t centralFlags = 0;              // added to the central entry's flags
  bool flushBlocks = false;               // empty stored blocks before the end
  bool dataDescriptor = false;            // sizes and CRC after the data (flag bit 3)
  bool descriptorSignature = true;
  std::string localExtra, centralExtra, entryComment, archiveComment;
  std::optional<uint32_t> declaredSize;   // uncompressed size in the headers
  int64_t compressedSizeDelta = 0;
  uint32_t crcXor = 0;
  int64_t localOffsetDelta = 0, cdOffsetDelta = 0, cdSizeDelta = 0;
  uint16_t entries = 1;                   // 0 writes only an end record
  std::optional<uint16_t> entriesHere;    // the end record's entries on this disk, if not `entries`
  uint16_t diskNumber = 0;
  size_t trimPacked = 0;                  // bytes cut off the compressed data
};

void Put16(Bytes* b, uint32_t v) {
  b->push_back(static_cast<uint8_t>(v));
  b->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes* b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutText(Bytes* b, const std::string& s) { b->insert(b->end(), s.begin(), s.end()); }

Bytes BuildArchive(const ArchiveLayout& layout) {
  Bytes out(layout.leading.begin(), layout.leading.end());
  const size_t start = out.size();
  Bytes packed = layout.method == 8 ? DeflateRaw(layout.content, layout.flushBlocks) : layout.content;
  packed.resize(packed.size() - layout.trimPacked);
  const uint32_t crc = Crc(layout.content) ^ layout.crcXor;
  const uint32_t usize = layout.declaredSize.value_or(static_cast<uint32_t>(layout.content.size()));
  const uint32_t csize = static_cast<uint32_t>(packed.size() + layout.compressedSizeDelta);
  const uint16_t flags = layout.flags | (layout.dataDescriptor ? 8 : 0);
  const std::string localName = layout.localName.value_or(layout.name);

  size_t cdStart = out.size();
  if (layout.entries > 0) {
    Put32(&out, 0x04034B50);
    Put16(&out, 20);
    Put16(&out, flags | layout.localFlags);
    Put16(&out, layout.localMethod.value_or(layout.method));
    Put16(&out, 0x6000);
    Put16(&out, 0x5821);
    Put32(&out, layout.dataDescriptor ? 0 : crc);
    Put32(&out, layout.dataDescriptor ? 0 : csize);
    Put32(&out, layout.dataDescriptor ? 0 : usize);
    Put16(&out, static_cast<uint32_t>(localName.size()));
    Put16(&out, static_cast<uint32_t>(layout.localExtra.size()));
    PutText(&out, localName);
    PutText(&out, layout.localExtra);
    out.insert(out.end(), packed.begin(), packed.end());
    if (layout.dataDescriptor) {
      if (layout.descriptorSignature) Put32(&out, 0x08074B50);
      Put32(&out, crc);
      Put32(&out, csize);
      Put32(&out, usize);
    }

    cdStart = out.size();
    Put32(&out, 0x02014B50);
    Put16(&out, 0x031E);                  // made by Unix, 3.0
    Put16(&out, 20);
    Put16(&out, flags | layout.centralFlags);
    Put16(&out, layout.method);
    Put16(&out, 0x6000);
    Put16(&out, 0x5821);
    Put32(&out, crc);
    Put32(&out, csize);
    Put32(&out, usize);
    Put16(&out, static_cast<uint32_t>(layout.name.size()));
    Put16(&out, static_cast<uint32_t>(layout.centralExtra.size()));
    Put16(&out, static_cast<uint32_t>(layout.entryComment.size()));
    Put16(&out, 0);
    Put16(&out, 0);
    Put32(&out, 0x81A40000);
    Put32(&out, static_cast<uint32_t>(layout.localOffsetDelta));
    PutText(&out, layout.name);
    PutText(&out, layout.centralExtra);
    PutText(&out, layout.entryComment);
  }
  const size_t cdSize = out.size() - cdStart;

  Put32(&out, 0x06054B50);
  Put16(&out, layout.diskNumber);
  Put16(&out, layout.diskNumber);
  Put16(&out, layout.entriesHere.value_or(layout.entries));
  Put16(&out, layout.entries);
  Put32(&out, static_cast<uint32_t>(cdSize + layout.cdSizeDelta));
  Put32(&out, static_cast<uint32_t>(cdStart - start + layout.cdOffsetDelta));
  Put16(&out, static_cast<uint32_t>(layout.archiveComment.size()));
  PutText(&out, layout.archiveComment);
  return out;
}

// An extra field: one Info-ZIP Unix timestamp block and one unknown block.
std::string ExtraField(uint8_t fill) {
  std::string e = std::string("UT\x05\x00\x01", 5) + std::string(4, static_cast<char>(fill));
  e += std::string("\xCA\xFE\x03\x00", 4) + std::string(3, static_cast<char>(fill));
  return e;
}

// Reads and inflates as the program does; the image only on success.
struct Unpacked {
  ZipStatus status = ZipStatus::Ok;
  ZipEntry entry;
  std::string name;  // the entry's name outlives the archive's bytes only as a copy
  Bytes image;
};

Unpacked Unpack(const Bytes& archive, uint32_t expected) {
  Unpacked u;
  // A copy of exactly the archive's size, so that the sanitizer sees any
  // read past its end.
  std::unique_ptr<uint8_t[]> exact(new uint8_t[archive.size() + 1]);
  if (!archive.empty()) std::memcpy(exact.get(), archive.data(), archive.size());
  u.status = ReadFirstZipEntry(exact.get(), archive.size(), expected, &u.entry);
  if (u.status != ZipStatus::Ok) return u;
  u.name.assign(u.entry.name);
  std::unique_ptr<uint8_t[]> out(new uint8_t[u.entry.uncompressedSize]);
  u.status = InflateZipEntry(exact.get(), archive.size(), u.entry, out.get(),
                             u.entry.uncompressedSize);
  if (u.status == ZipStatus::Ok) u.image.assign(out.get(), out.get() + u.entry.uncompressedSize);
  return u;
}

std::string Leading(size_t size) {
  // Program-like bytes that hold the local-header signature more than once.
  std::string s(size, 'M');
  if (size < 4) return s;
  for (size_t at : {size_t{0}, size / 3, size - 4}) std::memcpy(&s[at], "PK\x03\x04", 4);
  return s;
}

TEST(ZipReader, ReadsArchivesFromZipWriterAfterProgramBytes) {
  Bytes image = MakeContent(kFloppyImageSize, 3);
  struct Case { size_t leading; const char* name; };
  for (Case c : {Case{0, "T64DEMO1.IMG"}, Case{17948, "T64DEMO1.IMG"}, Case{36864, "DEMO"}}) {
    SCOPED_TRACE(c.leading);
    std::string lead = Leading(c.leading);
    Bytes archive(lead.begin(), lead.end());
    ASSERT_TRUE(AppendZipArchive(c.name, image.data(), image.size(), &archive));
    ASSERT_EQ(archive[archive.size() - 22], 'P');   // end record is the last 22 bytes
    ASSERT_EQ(archive[archive.size() - 19], 6);
    Unpacked u = Unpack(archive, kFloppyImageSize);
    ASSERT_EQ(u.status, ZipStatus::Ok) << DescribeZipStatus(u.status);
    EXPECT_EQ(u.name, c.name);
    EXPECT_EQ(u.entry.leadingBytes, c.leading);
    EXPECT_EQ(u.entry.method, kZipMethodDeflate);
    EXPECT_EQ(u.entry.flags, 0);
    EXPECT_EQ(u.image, image);
  }
}

TEST(ZipReader, AcceptsArchivesThatOtherWritersProduce) {
  struct Case {
    const char* what;
    ArchiveLayout layout;
  };
  std::vector<Case> cases;
  cases.push_back({"plain deflate", {}});
  ArchiveLayout leading;
  leading.leading = Leading(17948);
  cases.push_back({"signature in leading bytes", leading});
  ArchiveLayout stored;
  stored.method = 0;
  cases.push_back({"stored entry", stored});
  ArchiveLayout descriptor;
  descriptor.leading = Leading(5000);
  descriptor.dataDescriptor = true;
  descriptor.localExtra = ExtraField(1);
  descriptor.centralExtra = ExtraField(2) + ExtraField(3);
  descriptor.entryComment = "made by a test";
  cases.push_back({"data descriptor, extra fields, entry comment", descriptor});
  ArchiveLayout bare = descriptor;
  bare.descriptorSignature = false;
  cases.push_back({"data descriptor without signature", bare});
  ArchiveLayout comment;
  comment.archiveComment = std::string("has PK\x05\x06 inside") + std::string(300, 'c');
  cases.push_back({"archive comment holding the end signature", comment});
  ArchiveLayout noDot;
  noDot.name = "T64DEMO";
  cases.push_back({"name without a dot", noDot});
  ArchiveLayout flushed;
  flushed.flushBlocks = true;
  cases.push_back({"empty blocks after the last byte", flushed});
  ArchiveLayout utf8;
  utf8.name = "T64 d\xC3\xA9mo.img";
  utf8.flags = 1 << 11;
  cases.push_back({"UTF-8 name with a space", utf8});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Unpacked u = Unpack(BuildArchive(c.layout), kSmallSize);
    ASSERT_EQ(u.status, ZipStatus::Ok) << DescribeZipStatus(u.status);
    EXPECT_EQ(u.name, c.layout.name);
    EXPECT_EQ(u.entry.leadingBytes, c.layout.leading.size());
    EXPECT_EQ(u.image, c.layout.content);
  }
}

TEST(ZipReader, RefusesDamagedOrUnsuitableArchives) {
  struct Case {
    const char* what;
    ArchiveLayout layout;
    ZipStatus expected;
  };
  std::vector<Case> cases;
  auto add = [&cases](const char* what, ZipStatus expected, auto bend) {
    ArchiveLayout layout;
    layout.leading = Leading(700);
    bend(layout);
    cases.push_back({what, layout, expected});
  };
  add("no entries", ZipStatus::NoEntries, [](ArchiveLayout& s) { s.entries = 0; });
  add("second disk", ZipStatus::SpannedArchive, [](ArchiveLayout& s) { s.diskNumber = 1; });
  add("entries on other disks", ZipStatus::SpannedArchive, [](ArchiveLayout& s) {
    s.entries = 2;
    s.entriesHere = 1;
  });
  add("encrypted", ZipStatus::Encrypted, [](ArchiveLayout& s) { s.flags = 1; });
  add("strong encryption", ZipStatus::Encrypted, [](ArchiveLayout& s) { s.flags = 1 << 6; });
  add("encrypted per local header", ZipStatus::Encrypted, [](ArchiveLayout& s) { s.localFlags = 1; });
  add("encrypted per directory", ZipStatus::Encrypted, [](ArchiveLayout& s) { s.centralFlags = 1; });
  add("directory encrypted", ZipStatus::Encrypted, [](ArchiveLayout& s) { s.centralFlags = 1 << 13; });
  add("bzip2", ZipStatus::UnsupportedMethod, [](ArchiveLayout& s) { s.method = 12; });
  add("deflate64", ZipStatus::UnsupportedMethod, [](ArchiveLayout& s) { s.method = 9; });
  add("empty name", ZipStatus::NameEmpty, [](ArchiveLayout& s) { s.name = ""; });
  add("backslash parent", ZipStatus::NameHasPath, [](ArchiveLayout& s) { s.name = "..\\T64.IMG"; });
  add("slash parent", ZipStatus::NameHasPath, [](ArchiveLayout& s) { s.name = "../T64.IMG"; });
  add("drive", ZipStatus::NameHasPath, [](ArchiveLayout& s) { s.name = "C:T64.IMG"; });
  add("absolute", ZipStatus::NameHasPath, [](ArchiveLayout& s) { s.name = "/T64.IMG"; });
  add("folder", ZipStatus::NameHasPath, [](ArchiveLayout& s) { s.name = "a/b"; });
  add("dot dot", ZipStatus::NameHasPath, [](ArchiveLayout& s) { s.name = ".."; });
  add("too long", ZipStatus::NameTooLong, [](ArchiveLayout& s) { s.name = std::string(252, 'a'); });
  add("control char", ZipStatus::NameBadCharacter,
      [](ArchiveLayout& s) { s.name = std::string("T64\0.IMG", 8); });
  add("wildcard", ZipStatus::NameBadCharacter, [](ArchiveLayout& s) { s.name = "T64*.IMG"; });
  add("trailing dot", ZipStatus::NameBadCharacter, [](ArchiveLayout& s) { s.name = "T64.IMG."; });
  add("device", ZipStatus::NameReservedDevice, [](ArchiveLayout& s) { s.name = "con.img"; });
  add("too large declared", ZipStatus::WrongDeclaredSize,
      [](ArchiveLayout& s) { s.declaredSize = kSmallSize + 1; });
  add("huge declared", ZipStatus::WrongDeclaredSize,
      [](ArchiveLayout& s) { s.declaredSize = 0xFFFFFFFF; });
  add("inflates to more", ZipStatus::DataTooLong, [](ArchiveLayout& s) {
    s.content = MakeContent(kSmallSize + 1);
    s.declaredSize = kSmallSize;
  });
  add("inflates to less", ZipStatus::DataTooShort, [](ArchiveLayout& s) {
    s.content = MakeContent(kSmallSize - 1);
    s.declaredSize = kSmallSize;
  });
  add("stored longer", ZipStatus::StoredSizeMismatch, [](ArchiveLayout& s) {
    s.method = 0;
    s.content = MakeContent(kSmallSize + 1);
    s.declaredSize = kSmallSize;
  });
  add("bad CRC", ZipStatus::CrcMismatch, [](ArchiveLayout& s) { s.crcXor = 0x00010000; });
  add("stored bad CRC", ZipStatus::CrcMismatch, [](ArchiveLayout& s) {
    s.method = 0;
    s.crcXor = 1;
  });
  add("deflate stream cut short", ZipStatus::CorruptData, [](ArchiveLayout& s) { s.trimPacked = 5; });
  add("compressed size past data", ZipStatus::DataOutOfBounds,
      [](ArchiveLayout& s) { s.compressedSizeDelta = 60; });
  add("local name differs", ZipStatus::BadLocalHeader,
      [](ArchiveLayout& s) { s.localName = "..\\EVIL.IMG"; });
  add("local name differs, same length", ZipStatus::BadLocalHeader,
      [](ArchiveLayout& s) { s.localName = "T64DEMO2.IMG"; });
  add("local method differs", ZipStatus::BadLocalHeader, [](ArchiveLayout& s) { s.localMethod = 0; });
  add("local offset into data", ZipStatus::BadLocalHeader,
      [](ArchiveLayout& s) { s.localOffsetDelta = 10; });
  add("local offset past directory", ZipStatus::LocalHeaderOutOfBounds,
      [](ArchiveLayout& s) { s.localOffsetDelta = 0x7FFFFFFF; });
  add("directory offset too large", ZipStatus::CentralDirectoryOutOfBounds,
      [](ArchiveLayout& s) { s.cdOffsetDelta = 0x10000; });
  add("directory size too large", ZipStatus::CentralDirectoryOutOfBounds,
      [](ArchiveLayout& s) { s.cdSizeDelta = 0x100000; });
  add("directory size too small", ZipStatus::BadCentralHeader,
      [](ArchiveLayout& s) { s.cdSizeDelta = -1; });
  add("directory misplaced", ZipStatus::BadCentralHeader,
      [](ArchiveLayout& s) { s.cdSizeDelta = 4; });

  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Unpacked u = Unpack(BuildArchive(c.layout), kSmallSize);
    EXPECT_EQ(u.status, c.expected) << DescribeZipStatus(u.status);
  }
}

TEST(ZipReader, RefusesBytesWithoutEndRecord) {
  std::string lead = Leading(5000);
  for (const Bytes& data : {Bytes{}, Bytes(21, 0), Bytes(lead.begin(), lead.end()),
                            Bytes{'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                  1, 0}}) {
    EXPECT_EQ(Unpack(data, kSmallSize).status, ZipStatus::NoEndRecord);
  }
  ZipEntry entry;
  EXPECT_EQ(ReadFirstZipEntry(nullptr, 0, kSmallSize, &entry), ZipStatus::NoEndRecord);
}

TEST(ZipReader, ArchiveEndLooksPastOnlyZeroPadding) {
  ArchiveLayout layout;
  layout.leading = Leading(100);
  layout.archiveComment = "ends in zeros";
  layout.archiveComment += std::string(2, '\0');
  const Bytes archive = BuildArchive(layout);
  struct Case {
    std::string what;
    Bytes after;
    size_t maxPadding;
    bool found;  // else the given end comes back
  };
  for (const Case& c : {Case{"nothing after it", {}, 7, true}, Case{"no padding allowed", {}, 0, true},
                        Case{"one zero", Bytes(1, 0), 7, true}, Case{"seven zeros", Bytes(7, 0), 7, true},
                        Case{"eight zeros", Bytes(8, 0), 7, false}, Case{"zeros not allowed", Bytes(3, 0), 0, false},
                        Case{"a byte that is no padding", {0, 1, 0}, 7, false}}) {
    SCOPED_TRACE(c.what);
    Bytes data = archive;
    data.insert(data.end(), c.after.begin(), c.after.end());
    EXPECT_EQ(FindZipArchiveEnd(data.data(), data.size(), c.maxPadding), c.found ? archive.size() : data.size());
  }
  EXPECT_EQ(FindZipArchiveEnd(nullptr, 5, 7), 5u);
  const Bytes zeros(5, 0);
  EXPECT_EQ(FindZipArchiveEnd(zeros.data(), zeros.size(), 7), zeros.size());
}

// A small archive that has every structure: leading bytes, local extra
// field, data, data descriptor, central entry with extra and comment.
ArchiveLayout RichLayout() {
  ArchiveLayout layout;
  layout.leading = Leading(40);
  layout.content = MakeContent(600);
  layout.dataDescriptor = true;
  layout.localExtra = ExtraField(4);
  layout.centralExtra = ExtraField(5);
  layout.entryComment = "c";
  return layout;
}

TEST(ZipReader, RefusesEveryTruncation) {
  for (uint16_t method : {uint16_t{8}, uint16_t{0}}) {
    ArchiveLayout layout = RichLayout();
    layout.method = method;
    Bytes archive = BuildArchive(layout);
    ASSERT_EQ(Unpack(archive, 600).status, ZipStatus::Ok);
    const size_t endRecord = archive.size() - 22;
    for (size_t cut = 0; cut < archive.size(); ++cut) {
      SCOPED_TRACE(cut);
      // The file simply ends early.
      Bytes head(archive.begin(), archive.begin() + cut);
      EXPECT_NE(Unpack(head, 600).status, ZipStatus::Ok);
      // Bytes go missing before an intact end record.
      if (cut < endRecord) {
        Bytes spliced(archive.begin(), archive.begin() + cut);
        spliced.insert(spliced.end(), archive.begin() + endRecord, archive.end());
        EXPECT_NE(Unpack(spliced, 600).status, ZipStatus::Ok);
      }
    }
  }
}

TEST(ZipReader, SurvivesCorruptedBytes) {
  // Every byte of the archive flipped in turn, and random damage: the reader
  // may accept only when the image still comes out right (a byte the reader
  // does not look at, like a time stamp).
  ArchiveLayout layout = RichLayout();
  const Bytes archive = BuildArchive(layout);
  std::mt19937 random(1234);
  for (size_t round = 0; round < archive.size() + 3000; ++round) {
    Bytes bent = archive;
    if (round < archive.size()) {
      bent[round] ^= 0xFF;
    } else {
      for (int n = 0; n < 3; ++n) bent[random() % bent.size()] = static_cast<uint8_t>(random());
    }
    Unpacked u = Unpack(bent, 600);
    if (u.status == ZipStatus::Ok) {
      EXPECT_EQ(u.image, layout.content) << round;
    }
  }
}

TEST(ZipReader, InflateWritesOnlyTheDeclaredSize) {
  ArchiveLayout layout;
  Bytes archive = BuildArchive(layout);
  ZipEntry entry;
  ASSERT_EQ(ReadFirstZipEntry(archive.data(), archive.size(), kSmallSize, &entry), ZipStatus::Ok);

  Bytes small(kSmallSize - 1, 0xEE);
  EXPECT_EQ(InflateZipEntry(archive.data(), archive.size(), entry, small.data(), small.size()),
            ZipStatus::OutputTooSmall);

  Bytes roomy(kSmallSize + 64, 0xEE);
  ASSERT_EQ(InflateZipEntry(archive.data(), archive.size(), entry, roomy.data(), roomy.size()),
            ZipStatus::Ok);
  EXPECT_TRUE(std::equal(layout.content.begin(), layout.content.end(), roomy.begin()));
  for (size_t i = kSmallSize; i < roomy.size(); ++i) ASSERT_EQ(roomy[i], 0xEE) << i;

  // An entry that claims data beyond the bytes given is refused, not read.
  ZipEntry forged = entry;
  forged.compressedSize = static_cast<uint32_t>(archive.size());
  EXPECT_EQ(InflateZipEntry(archive.data(), archive.size(), forged, roomy.data(), roomy.size()),
            ZipStatus::DataOutOfBounds);
}

TEST(ZipReader, ReadsOnlyTheFirstEntry) {
  // The end record counts two entries; only the first is looked at.
  ArchiveLayout layout;
  Bytes archive = BuildArchive(layout);
  const size_t end = archive.size() - 22;
  archive[end + 8] = 2;
  archive[end + 10] = 2;
  Unpacked u = Unpack(archive, kSmallSize);
  ASSERT_EQ(u.status, ZipStatus::Ok) << DescribeZipStatus(u.status);
  EXPECT_EQ(u.image, layout.content);
}

TEST(ZipReader, UnpackedNameGetsImgOnlyWithoutDot) {
  struct Case { const char* entry; const char* unpacked; };
  for (Case c : {Case{"T64DEMO1.IMG", "T64DEMO1.IMG"}, Case{"T64DEMO1", "T64DEMO1.IMG"},
                 Case{"disk.bin", "disk.bin"}, Case{"a.b.c", "a.b.c"}, Case{"X", "X.IMG"}}) {
    const UnpackedName name = UnpackedImageName(c.entry);
    EXPECT_EQ(std::string(name.c_str()), c.unpacked);
    EXPECT_EQ(name.size(), strlen(c.unpacked));
  }
  // The limit applies to the name we unpack to, ".IMG" included.
  EXPECT_EQ(CheckZipEntryName(std::string(251, 'a')), ZipStatus::Ok);
  EXPECT_EQ(CheckZipEntryName(std::string(252, 'a')), ZipStatus::NameTooLong);
  EXPECT_EQ(CheckZipEntryName(std::string(251, 'a') + ".IMG"), ZipStatus::Ok);
  EXPECT_EQ(CheckZipEntryName(std::string(252, 'a') + ".IMG"), ZipStatus::NameTooLong);
}

TEST(ZipReader, EveryStatusHasItsOwnLine) {
  std::set<std::string> lines;
  int count = static_cast<int>(ZipStatus::OutOfMemory) + 1;
  for (int i = 0; i < count; ++i) {
    std::string line = DescribeZipStatus(static_cast<ZipStatus>(i));
    EXPECT_FALSE(line.empty());
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line, "Unknown archive error.") << i;
    lines.insert(line);
  }
  EXPECT_EQ(lines.size(), static_cast<size_t>(count));
}

// A published archive: entries of their own, each deflated, with whatever
// flags and declared size a row gives them.
struct Member {
  std::string name;
  Bytes content;
  uint16_t flags = 0;
  std::optional<uint32_t> declaredSize;
};
Member M(std::string name, Bytes content, uint16_t flags = 0, std::optional<uint32_t> declared = std::nullopt) {
  return Member{std::move(name), std::move(content), flags, declared};
}

Bytes BuildZip(const std::vector<Member>& members) {
  Bytes out, directory;
  for (const Member& m : members) {
    const Bytes packed = DeflateRaw(m.content);
    const uint32_t offset = static_cast<uint32_t>(out.size());
    for (Bytes* b : {&out, &directory}) {
      const bool central = b == &directory;
      Put32(b, central ? 0x02014B50 : 0x04034B50);
      if (central) Put16(b, 20);
      for (uint32_t v : {20u, uint32_t(m.flags), 8u, 0u, 0u}) Put16(b, v);
      Put32(b, Crc(m.content));
      Put32(b, static_cast<uint32_t>(packed.size()));
      Put32(b, m.declaredSize.value_or(static_cast<uint32_t>(m.content.size())));
      Put16(b, static_cast<uint32_t>(m.name.size()));
      Put16(b, 0);
      if (central) {
        for (int i = 0; i < 3; ++i) Put16(b, 0);
        Put32(b, 0);
        Put32(b, offset);
      }
      PutText(b, m.name);
      if (!central) b->insert(b->end(), packed.begin(), packed.end());
    }
  }
  const uint32_t cdOffset = static_cast<uint32_t>(out.size());
  out.insert(out.end(), directory.begin(), directory.end());
  Put32(&out, 0x06054B50);
  Put32(&out, 0);
  Put16(&out, static_cast<uint32_t>(members.size()));
  Put16(&out, static_cast<uint32_t>(members.size()));
  Put32(&out, static_cast<uint32_t>(directory.size()));
  Put32(&out, cdOffset);
  Put16(&out, 0);
  return out;
}

Bytes Gzip(const Bytes& content, const char* name) {
  z_stream s{};
  EXPECT_EQ(deflateInit2(&s, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  gz_header header{};
  header.name = reinterpret_cast<Bytef*>(const_cast<char*>(name));
  EXPECT_EQ(deflateSetHeader(&s, &header), Z_OK);
  Bytes out(deflateBound(&s, content.size()) + 64);
  s.next_in = const_cast<Bytef*>(content.data());
  s.avail_in = static_cast<uInt>(content.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

// Published archives: the one image is found whatever else they hold, and
// every other case is refused before more than an image's worth is inflated.
TEST(ArchiveImage, FindsTheOneImageOrSaysWhyNot) {
  const Bytes image = MakeContent(kSmallSize), readme(3000, 'r');
  Bytes bomb = MakeContent(512);
  bomb.resize(16u << 20);  // a boot sector, then 16 MiB of zeros, declared as an image
  Bytes noBoot = image;
  noBoot[511] = 0;
  const Bytes gz = Gzip(image, "OTHER.IMG");
  struct Case {
    const char* what;
    ArchiveKind kind;
    Bytes archive;
    ArchiveVerdict expected;
    std::string name;
  } cases[] = {
      {"beside a README, in a folder", ArchiveKind::Zip,
       BuildZip({M("README.TXT", readme), M("disk/OTHER.IMG", image), M("LICENCE", readme)}), ArchiveVerdict::Ok,
       "OTHER.IMG"},
      {"three images", ArchiveKind::Zip,
       BuildZip({M("DISK1.IMG", image), M("README", readme), M("DISK2.IMG", image), M("DISK3.IMG", MakeContent(512))}),
       ArchiveVerdict::SeveralImages, "DISK1.IMG, DISK2.IMG, DISK3.IMG"},
      {"no image", ArchiveKind::Zip, BuildZip({M("README.TXT", readme), M("DATA.BIN", noBoot)}),
       ArchiveVerdict::NoImage, ""},
      {"a larger entry is no image", ArchiveKind::Zip,
       BuildZip({M("BIG.IMG", MakeContent(kFloppyImageSize + 512))}), ArchiveVerdict::NoImage, ""},
      {"bomb", ArchiveKind::Zip, BuildZip({M("BOMB.IMG", bomb, 0, uint32_t(kFloppyImageSize))}),
       ArchiveVerdict::Damaged, ""},
      {"encrypted image", ArchiveKind::Zip, BuildZip({M("README", readme), M("OTHER.IMG", image, 1)}),
       ArchiveVerdict::Encrypted, ""},
      {"gzip", ArchiveKind::Gzip, gz, ArchiveVerdict::Ok, "OTHER.IMG"},
      {"gzip truncated", ArchiveKind::Gzip, Bytes(gz.begin(), gz.end() - 9), ArchiveVerdict::Damaged, ""},
      {"gzip, then another file", ArchiveKind::Gzip, [&] { Bytes b = gz; b.insert(b.end(), gz.begin(), gz.end()); return b; }(),
       ArchiveVerdict::Damaged, ""},
      {"gzip too long", ArchiveKind::Gzip, Gzip(MakeContent(kFloppyImageSize + 1), "X.IMG"),
       ArchiveVerdict::NoImage, ""},
      {"gzip bomb", ArchiveKind::Gzip, Gzip(bomb, "BOMB.IMG"), ArchiveVerdict::NoImage, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes out(kFloppyImageSize, 0xEE);
    const ArchiveImage found = UnpackArchiveImage(c.kind, c.archive.data(), c.archive.size(), out.data(), out.size());
    EXPECT_EQ(found.verdict, c.expected) << DescribeArchiveVerdict(found.verdict);
    if (found.verdict == ArchiveVerdict::Ok || found.verdict == ArchiveVerdict::SeveralImages) {
      EXPECT_EQ(std::string(found.name), c.name);
    }
    if (found.verdict != ArchiveVerdict::Ok) continue;
    ASSERT_EQ(found.size, image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), out.begin()));
    EXPECT_EQ(out[image.size()], 0xEE);  // nothing past the image
  }
}

}  // namespace
