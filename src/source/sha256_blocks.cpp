// SHA-256 in the program's own code: Windows' CNG pays a trip through its
// provider for every call, and no processor's SHA extensions under Wine.
#include "source/sha256.h"

#include <atomic>
#include <cstring>
#include <new>

#include "source/sha256_blocks.h"

namespace {

constexpr size_t kBlockSize = 64;

std::atomic<Sha256Blocks> g_compressor{nullptr};

// Chosen at the first use: whether the processor has SHA extensions does
// not change, and two threads choosing at once choose the same.
Sha256Blocks Compressor() {
    Sha256Blocks chosen = g_compressor.load(std::memory_order_relaxed);
    if (chosen == nullptr) {
        chosen = Sha256BlocksOfProcessor();
        if (chosen == nullptr)
            chosen = Sha256BlocksPlain;
        g_compressor.store(chosen, std::memory_order_relaxed);
    }
    return chosen;
}

uint32_t Load32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

uint32_t Rotate(uint32_t x, unsigned n) {
    return (x >> n) | (x << (32 - n));
}

}  // namespace

const uint32_t kSha256Rounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

void Sha256BlocksPlain(uint32_t (&state)[8], const uint8_t* blocks, size_t count) {
    for (; count > 0; --count, blocks += kBlockSize) {
        uint32_t w[64];
        for (unsigned i = 0; i < 16; ++i)
            w[i] = Load32(blocks + 4 * i);
        for (unsigned i = 16; i < 64; ++i) {
            const uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (unsigned i = 0; i < 64; ++i) {
            const uint32_t t1 =
                h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) + ((e & f) ^ (~e & g)) + kSha256Rounds[i] + w[i];
            const uint32_t t2 = (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

struct Sha256Hasher {
    uint32_t state[8];
    uint8_t partial[kBlockSize];
    size_t partialSize;
    uint64_t total;
};

Sha256Hasher* BeginSha256() {
    auto* hasher = new (std::nothrow) Sha256Hasher{
        {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19}, {}, 0, 0};
    return hasher;
}

bool AddToSha256(Sha256Hasher* hasher, const void* data, size_t size) {
    if (hasher == nullptr || (data == nullptr && size > 0))
        return false;
    if (size == 0)
        return true;
    auto* bytes = static_cast<const uint8_t*>(data);
    hasher->total += size;
    if (hasher->partialSize > 0) {
        const size_t taken = size < kBlockSize - hasher->partialSize ? size : kBlockSize - hasher->partialSize;
        memcpy(hasher->partial + hasher->partialSize, bytes, taken);
        hasher->partialSize += taken;
        bytes += taken;
        size -= taken;
        if (hasher->partialSize < kBlockSize)
            return true;
        Compressor()(hasher->state, hasher->partial, 1);
        hasher->partialSize = 0;
    }
    // Whole blocks straight from the caller's bytes, in one call.
    Compressor()(hasher->state, bytes, size / kBlockSize);
    bytes += size - size % kBlockSize;
    memcpy(hasher->partial, bytes, size % kBlockSize);
    hasher->partialSize = size % kBlockSize;
    return true;
}

bool EndSha256(Sha256Hasher* hasher, Sha256Digest* digest) {
    if (hasher == nullptr)
        return false;
    if (digest != nullptr) {
        // A one bit, zeros, and the length in bits in the last eight bytes.
        const uint64_t bits = hasher->total * 8;
        uint8_t padding[2 * kBlockSize] = {0x80};
        const size_t padded = hasher->partialSize < kBlockSize - 8 ? kBlockSize : 2 * kBlockSize;
        const size_t size = padded - hasher->partialSize;
        for (unsigned i = 0; i < 8; ++i)
            padding[size - 1 - i] = uint8_t(bits >> (8 * i));
        AddToSha256(hasher, padding, size);
        for (unsigned i = 0; i < 8; ++i)
            for (unsigned b = 0; b < 4; ++b)
                digest->bytes[4 * i + b] = uint8_t(hasher->state[i] >> (24 - 8 * b));
    }
    delete hasher;
    return digest != nullptr;
}
