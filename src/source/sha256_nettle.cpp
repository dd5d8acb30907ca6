// SHA-256 for the host tools and the native tests, which run without
// Windows' CNG: Nettle's, from Debian's nettle-dev.
#include <nettle/sha2.h>

#include <new>

#include "source/sha256.h"

struct Sha256Hasher {
    sha256_ctx context;
};

Sha256Hasher* BeginSha256() {
    auto* hasher = new (std::nothrow) Sha256Hasher;
    if (hasher != nullptr)
        sha256_init(&hasher->context);
    return hasher;
}

bool AddToSha256(Sha256Hasher* hasher, const void* data, size_t size) {
    if (hasher == nullptr || (data == nullptr && size > 0))
        return false;
    if (size > 0)
        sha256_update(&hasher->context, size, static_cast<const uint8_t*>(data));
    return true;
}

bool EndSha256(Sha256Hasher* hasher, Sha256Digest* digest) {
    if (hasher == nullptr)
        return false;
    if (digest != nullptr)
        sha256_digest(&hasher->context, sizeof(digest->bytes), digest->bytes);
    delete hasher;
    return digest != nullptr;
}
