// SHA-256 of an image, a file or a drive's contents, computed piece by piece.
// The program, the host tools and the native tests share one implementation
// (sha256_blocks.cpp, on the processor's SHA extensions where it has them),
// the field check too.
#pragma once

#include <cstddef>
#include <cstdint>

struct Sha256Digest {
    uint8_t bytes[32];
};

// 64 lower-case hex digits and the terminating NUL.
constexpr size_t kSha256HexSize = 65;

struct Sha256Hasher;

// A new computation; null when it cannot be had (no memory, no provider).
Sha256Hasher* BeginSha256();

// Adds `size` bytes; false when the hash refused them (the computation is
// then of no use, but must still be ended).
bool AddToSha256(Sha256Hasher* hasher, const void* data, size_t size);

// Ends the computation and frees the hasher; `digest` (may be null, to
// abandon it) gets the result. False when no digest was had.
bool EndSha256(Sha256Hasher* hasher, Sha256Digest* digest);

// The digest of `size` bytes in memory, in one go.
bool Sha256Of(const void* data, size_t size, Sha256Digest* digest);

// The digest as a download page prints it.
void FormatSha256(const Sha256Digest& digest, char (&hex)[kSha256HexSize]);
