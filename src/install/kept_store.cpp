#include "install/kept_store.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr char kPartSuffix[] = ".part";
constexpr unsigned kNameAttempts = 16;

struct Listed {
    char name[kKeptNameCapacity];
    KeptCopyHeader header;
};

// Every whole copy in the folder, with its header; leftovers of a keep that
// never finished are noted apart.
struct Listing {
    Listed copies[kMaxKeptCopies * 4];
    unsigned count;
    bool tooMany;
    char leftovers[8][kKeptNameCapacity];
    unsigned leftoverCount;
};

struct ListWalk {
    const KeptFiles* files;
    Listing* listing;
};

bool ReadHeader(const KeptFiles& files, const char* name, KeptCopyHeader* header) {
    uint8_t bytes[kKeptHeaderSize];
    uint32_t done = 0;
    uint64_t length = 0;
    return files.length(files.context, name, &length) == 0 &&
           files.read(files.context, name, 0, bytes, sizeof(bytes), &done) == 0 && done == sizeof(bytes) &&
           ReadKeptHeader(bytes, sizeof(bytes), header) && length == KeptFileSize(*header);
}

bool IsLeftover(const char* name) {
    const size_t length = strlen(name);
    const size_t suffix = sizeof(kPartSuffix) - 1;
    if (length <= suffix || length >= kKeptNameCapacity || strcmp(name + length - suffix, kPartSuffix) != 0)
        return false;
    char copy[kKeptNameCapacity];
    memcpy(copy, name, length - suffix);
    copy[length - suffix] = '\0';
    return IsKeptCopyName(copy);
}

void ConsiderFile(void* user, const char* name) {
    auto* walk = static_cast<ListWalk*>(user);
    Listing* listing = walk->listing;
    if (IsLeftover(name)) {
        if (listing->leftoverCount < 8)
            snprintf(listing->leftovers[listing->leftoverCount++], kKeptNameCapacity, "%s", name);
        return;
    }
    if (!IsKeptCopyName(name))
        return;
    if (listing->count == sizeof(listing->copies) / sizeof(listing->copies[0])) {
        listing->tooMany = true;
        return;
    }
    Listed& listed = listing->copies[listing->count];
    if (!ReadHeader(*walk->files, name, &listed.header))
        return;  // not whole: never offered, never counted
    snprintf(listed.name, sizeof(listed.name), "%s", name);
    ++listing->count;
}

void List(const KeptFiles& files, Listing* listing) {
    memset(listing, 0, sizeof(*listing));
    ListWalk walk{&files, listing};
    files.list(files.context, ConsiderFile, &walk);
}

// The copy kept first among those of `device`; -1 when it has none.
int OldestOf(const Listing& listing, const KeptDevice* device) {
    int oldest = -1;
    for (unsigned i = 0; i < listing.count; ++i) {
        const Listed& listed = listing.copies[i];
        if (device != nullptr && !IsKeptDevice(listed.header.device, *device))
            continue;
        if (oldest < 0 || listed.header.keptAt < listing.copies[oldest].header.keptAt)
            oldest = int(i);
    }
    return oldest;
}

void LetOldestGo(const KeptFiles& files, Listing* listing, const char* keep) {
    while (listing->count > kMaxKeptCopies) {
        const int oldest = OldestOf(*listing, nullptr);
        if (oldest < 0 || strcmp(listing->copies[oldest].name, keep) == 0)
            return;
        files.remove(files.context, listing->copies[oldest].name);
        listing->copies[oldest] = listing->copies[--listing->count];
    }
}

}  // namespace

KeptCopyFound FindKeptCopy(const KeptFiles& files, const KeptDevice& device) {
    KeptCopyFound result{};
    const std::unique_ptr<Listing> listing(new (std::nothrow) Listing);
    if (listing == nullptr)
        return result;
    List(files, listing.get());
    const int oldest = OldestOf(*listing, &device);
    if (oldest >= 0) {
        result.found = true;
        memcpy(result.name, listing->copies[oldest].name, sizeof(result.name));
        result.header = listing->copies[oldest].header;
    }
    return result;
}

KeepOutcome KeepCopy(const KeptFiles& files, const KeptCopyHeader& header, const uint8_t* kept, const uint8_t* tail,
                     char (&name)[kKeptNameCapacity]) {
    name[0] = '\0';
    const std::unique_ptr<Listing> owned(new (std::nothrow) Listing);
    if (owned == nullptr || kept == nullptr || header.tailSize > kMaxKeptTailSize ||
        (header.tailSize != 0 && tail == nullptr))
        return KeepOutcome::NotKept;
    Listing& listing = *owned;
    List(files, &listing);
    for (unsigned i = 0; i < listing.leftoverCount; ++i)
        files.remove(files.context, listing.leftovers[i]);
    const int existing = OldestOf(listing, &header.device);
    if (existing >= 0) {
        memcpy(name, listing.copies[existing].name, sizeof(name));
        return KeepOutcome::AlreadyKept;
    }

    uint8_t headerBytes[kKeptHeaderSize];
    WriteKeptHeader(header, headerBytes);
    const uint8_t* parts[] = {headerBytes, kept, tail};
    const uint32_t sizes[] = {kKeptHeaderSize, kWriteImageSize, header.tailSize};
    for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
        char final[kKeptNameCapacity];
        char part[kKeptNameCapacity + sizeof(kPartSuffix)];
        KeptCopyName(header.keptAt, attempt, final, sizeof(final));
        snprintf(part, sizeof(part), "%s%s", final, kPartSuffix);
        if (files.create(files.context, part, parts, sizes, header.tailSize != 0 ? 3 : 2) != 0)
            continue;
        if (files.rename(files.context, part, final) != 0) {
            files.remove(files.context, part);
            continue;
        }
        memcpy(name, final, sizeof(name));
        if (listing.count < sizeof(listing.copies) / sizeof(listing.copies[0])) {
            Listed& added = listing.copies[listing.count++];
            memcpy(added.name, final, sizeof(added.name));
            added.header = header;
        }
        LetOldestGo(files, &listing, final);
        return KeepOutcome::Kept;
    }
    return KeepOutcome::NotKept;
}

bool LoadKeptCopy(const KeptFiles& files, const char* name, KeptHash hash, KeptCopyHeader* header, uint8_t* kept,
                  uint8_t* tail) {
    if (!IsKeptCopyName(name) || !ReadHeader(files, name, header))
        return false;
    uint32_t done = 0;
    if (files.read(files.context, name, kKeptHeaderSize, kept, kWriteImageSize, &done) != 0 ||
        done != kWriteImageSize)
        return false;
    if (header->tailSize != 0 &&
        (files.read(files.context, name, uint64_t(kKeptHeaderSize) + kWriteImageSize, tail, header->tailSize,
                    &done) != 0 ||
         done != header->tailSize))
        return false;
    uint8_t digest[32];
    hash(kept, kWriteImageSize, digest);
    if (memcmp(digest, header->keptSha256, sizeof(digest)) != 0)
        return false;
    if (header->tailSize == 0)
        return true;
    hash(tail, header->tailSize, digest);
    return memcmp(digest, header->tailSha256, sizeof(digest)) == 0;
}

bool RemoveKeptCopy(const KeptFiles& files, const char* name) {
    return IsKeptCopyName(name) && files.remove(files.context, name) == 0;
}
