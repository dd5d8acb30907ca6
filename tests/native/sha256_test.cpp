// The host tools' own SHA-256 against the FIPS 180-2 examples and the
// padding's edge lengths, fed whole and in uneven pieces.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "source/sha256.h"
#include "source/sha256_blocks.h"

namespace {

std::string Hex(const Sha256Digest& digest) {
  char hex[kSha256HexSize];
  FormatSha256(digest, hex);
  return hex;
}

TEST(Sha256, FipsExamplesAndPaddingEdges) {
  struct Case { std::string message; const char* hex; };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message.size());
    Sha256Digest whole;
    ASSERT_TRUE(Sha256Of(c.message.data(), c.message.size(), &whole));
    EXPECT_EQ(Hex(whole), c.hex);
    // Pieces of 1 to 97 bytes cross every block boundary somewhere.
    Sha256Hasher* hasher = BeginSha256();
    ASSERT_NE(hasher, nullptr);
    for (size_t at = 0, piece = 1; at < c.message.size(); at += piece, piece = piece % 97 + 1)
      ASSERT_TRUE(AddToSha256(hasher, c.message.data() + at, std::min(piece, c.message.size() - at)));
    Sha256Digest pieces;
    ASSERT_TRUE(EndSha256(hasher, &pieces));
    EXPECT_EQ(Hex(pieces), c.hex);
  }
}

// The plain rounds and the SHA extensions' (where this processor has them)
// agree from every state they reach over varied bytes.
TEST(Sha256, PlainAndProcessorBlocksAgree) {
  const Sha256Blocks fast = Sha256BlocksOfProcessor();
  if (fast == nullptr)
    GTEST_SKIP() << "no SHA extensions on this processor";
  std::string bytes(64 * 300, '\0');
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = char((i * 2654435761u) >> 13);
  uint32_t plain[8] = {1, 2, 3, 4, 5, 6, 7, 8}, other[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (size_t at = 0, count = 1; at + 64 * count <= bytes.size(); at += 64 * count, count = count % 7 + 1) {
    const auto* blocks = reinterpret_cast<const uint8_t*>(bytes.data() + at);
    Sha256BlocksPlain(plain, blocks, count);
    fast(other, blocks, count);
    ASSERT_TRUE(std::equal(plain, plain + 8, other)) << "after byte " << at;
  }
}

}  // namespace
