#include "source/sha256.h"

bool Sha256Of(const void* data, size_t size, Sha256Digest* digest) {
    Sha256Hasher* hasher = BeginSha256();
    if (hasher == nullptr)
        return false;
    const bool added = AddToSha256(hasher, data, size);
    return EndSha256(hasher, added ? digest : nullptr) && added;
}

void FormatSha256(const Sha256Digest& digest, char (&hex)[kSha256HexSize]) {
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < sizeof(digest.bytes); ++i) {
        hex[2 * i] = kDigits[digest.bytes[i] >> 4];
        hex[2 * i + 1] = kDigits[digest.bytes[i] & 15];
    }
    hex[kSha256HexSize - 1] = '\0';
}
