// The heart of SHA-256: whole 64-byte blocks folded into the eight-word
// state. Plain C++ anywhere; the processor's SHA extensions where it has
// them, which do the same work some ten times faster.
#pragma once

#include <cstddef>
#include <cstdint>

using Sha256Blocks = void (*)(uint32_t (&state)[8], const uint8_t* blocks, size_t count);

// The 64 round constants, also loaded four at a time by the SHA extensions.
extern const uint32_t kSha256Rounds[64];

void Sha256BlocksPlain(uint32_t (&state)[8], const uint8_t* blocks, size_t count);

// The SHA extensions' version; null when the processor has none.
Sha256Blocks Sha256BlocksOfProcessor();
