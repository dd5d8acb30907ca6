#include "keep/kept_store.h"

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
    Listed records[16];  // of writes that began
    unsigned recordCount;
};

struct ListWalk {
    const KeptFiles* files;
    Listing* listing;
};

// A record is a header alone; a copy is a header and its kept bytes.
bool ReadHeader(const KeptFiles& files, const char* name, KeptCopyHeader* header, bool record = false) {
    uint8_t bytes[kKeptHeaderSize];
    uint32_t done = 0;
    uint64_t length = 0;
    return files.length(files.context, name, &length) == 0 &&
           files.read(files.context, name, 0, bytes, sizeof(bytes), &done) == 0 && done == sizeof(bytes) &&
           ReadKeptHeader(bytes, sizeof(bytes), header) &&
           length == (record ? uint64_t(kKeptHeaderSize) : KeptFileSize(*header));
}

bool IsLeftover(const char* name) {
    const size_t length = strlen(name);
    const size_t suffix = sizeof(kPartSuffix) - 1;
    if (length <= suffix || length >= kKeptNameCapacity || strcmp(name + length - suffix, kPartSuffix) != 0)
        return false;
    char copy[kKeptNameCapacity];
    memcpy(copy, name, length - suffix);
    copy[length - suffix] = '\0';
    return IsKeptCopyName(copy) || IsWriteRecordName(copy);
}

void ConsiderFile(void* user, const char* name) {
    auto* walk = static_cast<ListWalk*>(user);
    Listing* listing = walk->listing;
    if (IsLeftover(name)) {
        if (listing->leftoverCount < 8)
            snprintf(listing->leftovers[listing->leftoverCount++], kKeptNameCapacity, "%s", name);
        return;
    }
    if (IsWriteRecordName(name)) {
        Listed& record = listing->records[listing->recordCount];
        if (listing->recordCount < sizeof(listing->records) / sizeof(listing->records[0]) &&
            ReadHeader(*walk->files, name, &record.header, true)) {
            snprintf(record.name, sizeof(record.name), "%s", name);
            ++listing->recordCount;
        }
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

// The copy kept first of all; -1 when there is none.
int OldestOf(const Listing& listing) {
    int oldest = -1;
    for (unsigned i = 0; i < listing.count; ++i)
        if (oldest < 0 || listing.copies[i].header.keptAt < listing.copies[oldest].header.keptAt)
            oldest = int(i);
    return oldest;
}

// The newest of `count` entries that describe `medium`; -1 when none does.
// The newest copy holds what the medium held before the last write that
// found someone's data on it.
int NewestOf(const Listed* entries, unsigned count, const KeptCopyHeader& medium) {
    int newest = -1;
    for (unsigned i = 0; i < count; ++i) {
        if (!IsKeptMedium(entries[i].header, medium))
            continue;
        if (newest < 0 || entries[i].header.keptAt > entries[newest].header.keptAt)
            newest = int(i);
    }
    return newest;
}

KeptCopyFound Found(const Listed* entries, int index) {
    KeptCopyFound result{};
    if (index >= 0) {
        result.found = true;
        memcpy(result.name, entries[index].name, sizeof(result.name));
        result.header = entries[index].header;
    }
    return result;
}

// Writes `parts` under a temporary name and gives it the first free name
// that `nameAt` makes; false when the folder takes none.
bool CreateWhole(const KeptFiles& files, const uint8_t* const* parts, const uint32_t* sizes, unsigned count,
                 void (*nameAt)(uint64_t, unsigned, char*, size_t), uint64_t at, char (&name)[kKeptNameCapacity]) {
    for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
        char final[kKeptNameCapacity];
        char part[kKeptNameCapacity + sizeof(kPartSuffix)];
        nameAt(at, attempt, final, sizeof(final));
        snprintf(part, sizeof(part), "%s%s", final, kPartSuffix);
        if (files.create(files.context, part, parts, sizes, count) != 0)
            continue;
        if (files.rename(files.context, part, final) != 0) {
            files.remove(files.context, part);
            continue;
        }
        memcpy(name, final, sizeof(name));
        return true;
    }
    return false;
}

// The copy `listed` now records `header`'s image as the one on the drive.
// The whole file is written anew beside it and put in its place in one
// step: a copy is never half old, half new.
bool RecordImageWritten(const KeptFiles& files, const Listed& listed, const KeptCopyHeader& header) {
    const uint64_t size = KeptFileSize(listed.header);
    const std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
    uint32_t done = 0;
    if (bytes == nullptr || files.read(files.context, listed.name, 0, bytes.get(), uint32_t(size), &done) != 0 ||
        done != size)
        return false;
    KeptCopyHeader updated = listed.header;
    memcpy(updated.imageSha256, header.imageSha256, sizeof(updated.imageSha256));
    memcpy(updated.firstSectorSha256, header.firstSectorSha256, sizeof(updated.firstSectorSha256));
    WriteKeptHeader(updated, bytes.get());
    char part[kKeptNameCapacity + sizeof(kPartSuffix)];
    snprintf(part, sizeof(part), "%s%s", listed.name, kPartSuffix);
    const uint8_t* parts[] = {bytes.get()};
    const uint32_t sizes[] = {uint32_t(size)};
    files.remove(files.context, part);
    if (files.create(files.context, part, parts, sizes, 1) != 0)
        return false;
    if (files.replace(files.context, part, listed.name) != 0) {
        files.remove(files.context, part);
        return false;
    }
    return true;
}

void LetOldestGo(const KeptFiles& files, Listing* listing, const char* keep) {
    while (listing->count > kMaxKeptCopies) {
        const int oldest = OldestOf(*listing);
        if (oldest < 0 || strcmp(listing->copies[oldest].name, keep) == 0)
            return;
        files.remove(files.context, listing->copies[oldest].name);
        listing->copies[oldest] = listing->copies[--listing->count];
    }
}

}  // namespace

KeptCopyFound FindKeptCopy(const KeptFiles& files, const KeptCopyHeader& medium) {
    const std::unique_ptr<Listing> listing(new (std::nothrow) Listing);
    if (listing == nullptr)
        return KeptCopyFound{};
    List(files, listing.get());
    return Found(listing->copies, NewestOf(listing->copies, listing->count, medium));
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
    // Only the image last written from this medium's copy is ours to write
    // over without keeping it; anything else on the drive is someone's data.
    const int own = NewestOf(listing.copies, listing.count, header);
    if (own >= 0 && memcmp(listing.copies[own].header.imageSha256, header.keptSha256, 32) == 0) {
        const Listed& copy = listing.copies[own];
        memcpy(name, copy.name, sizeof(name));
        if (memcmp(copy.header.imageSha256, header.imageSha256, 32) != 0 &&
            !RecordImageWritten(files, copy, header))
            return KeepOutcome::NotKept;
        return KeepOutcome::OwnImage;
    }

    uint8_t headerBytes[kKeptHeaderSize];
    WriteKeptHeader(header, headerBytes);
    const uint8_t* parts[] = {headerBytes, kept, tail};
    const uint32_t sizes[] = {kKeptHeaderSize, kWriteImageSize, header.tailSize};
    if (!CreateWhole(files, parts, sizes, header.tailSize != 0 ? 3 : 2, KeptCopyName, header.keptAt, name))
        return KeepOutcome::NotKept;
    if (listing.count < sizeof(listing.copies) / sizeof(listing.copies[0])) {
        Listed& added = listing.copies[listing.count++];
        memcpy(added.name, name, sizeof(added.name));
        added.header = header;
    }
    LetOldestGo(files, &listing, name);
    return KeepOutcome::Kept;
}

bool RecordWriteBegun(const KeptFiles& files, const KeptCopyHeader& medium, char (&name)[kKeptNameCapacity]) {
    uint8_t bytes[kKeptHeaderSize];
    KeptCopyHeader record = medium;
    record.tailOffset = 0;
    record.tailSize = 0;
    WriteKeptHeader(record, bytes);
    const uint8_t* parts[] = {bytes};
    const uint32_t sizes[] = {kKeptHeaderSize};
    name[0] = '\0';
    return CreateWhole(files, parts, sizes, 1, WriteRecordName, medium.keptAt, name);
}

void EndWriteRecords(const KeptFiles& files, const KeptCopyHeader& medium) {
    const std::unique_ptr<Listing> listing(new (std::nothrow) Listing);
    if (listing == nullptr)
        return;
    List(files, listing.get());
    for (unsigned i = 0; i < listing->recordCount; ++i)
        if (IsKeptMedium(listing->records[i].header, medium))
            files.remove(files.context, listing->records[i].name);
}

KeptCopyFound FindWriteRecord(const KeptFiles& files, const KeptCopyHeader& medium) {
    const std::unique_ptr<Listing> listing(new (std::nothrow) Listing);
    if (listing == nullptr)
        return KeptCopyFound{};
    List(files, listing.get());
    return Found(listing->records, NewestOf(listing->records, listing->recordCount, medium));
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
    if (!hash(kept, kWriteImageSize, digest) || memcmp(digest, header->keptSha256, sizeof(digest)) != 0)
        return false;
    if (header->tailSize == 0)
        return true;
    return hash(tail, header->tailSize, digest) && memcmp(digest, header->tailSha256, sizeof(digest)) == 0;
}

bool RemoveKeptCopy(const KeptFiles& files, const char* name) {
    return IsKeptCopyName(name) && files.remove(files.context, name) == 0;
}
