// SHA-256 through Windows' own Cryptography API: Next Generation.
#include <windows.h>
#include <bcrypt.h>

#include <climits>
#include <new>

#include "source/sha256.h"

struct Sha256Hasher {
    BCRYPT_ALG_HANDLE algorithm;
    BCRYPT_HASH_HANDLE hash;
};

Sha256Hasher* BeginSha256() {
    auto* hasher = new (std::nothrow) Sha256Hasher{};
    if (hasher == nullptr)
        return nullptr;
    // Windows allocates the hash object itself when given none (Windows 7 on).
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&hasher->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !BCRYPT_SUCCESS(BCryptCreateHash(hasher->algorithm, &hasher->hash, nullptr, 0, nullptr, 0, 0))) {
        EndSha256(hasher, nullptr);
        return nullptr;
    }
    return hasher;
}

bool AddToSha256(Sha256Hasher* hasher, const void* data, size_t size) {
    if (hasher == nullptr || hasher->hash == nullptr)
        return false;
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));
    // BCryptHashData takes a 32-bit length.
    while (size > 0) {
        const ULONG piece = size > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(size);
        if (!BCRYPT_SUCCESS(BCryptHashData(hasher->hash, bytes, piece, 0)))
            return false;
        bytes += piece;
        size -= piece;
    }
    return true;
}

bool EndSha256(Sha256Hasher* hasher, Sha256Digest* digest) {
    if (hasher == nullptr)
        return false;
    bool finished = false;
    if (digest != nullptr && hasher->hash != nullptr)
        finished = BCRYPT_SUCCESS(BCryptFinishHash(hasher->hash, digest->bytes, sizeof(digest->bytes), 0));
    if (hasher->hash != nullptr)
        BCryptDestroyHash(hasher->hash);
    if (hasher->algorithm != nullptr)
        BCryptCloseAlgorithmProvider(hasher->algorithm, 0);
    delete hasher;
    return finished;
}
