#include "keep/kept_store.h"

#include <algorithm>
#include <atomic>
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

// A listing is some 55 KB, and each write lists the folder several times, on
// the writer's thread and on the window's. Made and freed on the heap each
// time, it left a hole that the small blocks living on (the status lines)
// took meanwhile, so that the next listing needed new memory: the process
// grew with every write. A few listings kept for the process's life serve
// every call; a call made while all of them are taken (none seen so far)
// takes one from the heap.
constexpr unsigned kKeptListings = 4;
Listing g_listings[kKeptListings];
std::atomic<bool> g_listingTaken[kKeptListings];

class ListingLease {
public:
    ListingLease() {
        for (unsigned i = 0; i < kKeptListings && listing_ == nullptr; ++i)
            if (!g_listingTaken[i].exchange(true, std::memory_order_acquire)) {
                listing_ = &g_listings[i];
                slot_ = i;
            }
        if (listing_ == nullptr)
            listing_ = new (std::nothrow) Listing;
    }
    ~ListingLease() {
        if (slot_ < kKeptListings)
            g_listingTaken[slot_].store(false, std::memory_order_release);
        else
            delete listing_;
    }
    ListingLease(const ListingLease&) = delete;
    ListingLease& operator=(const ListingLease&) = delete;

    Listing* get() const { return listing_; }
    Listing* operator->() const { return listing_; }
    Listing& operator*() const { return *listing_; }
    bool operator==(std::nullptr_t) const { return listing_ == nullptr; }

private:
    Listing* listing_ = nullptr;
    unsigned slot_ = kKeptListings;
};

struct ListWalk {
    const KeptFiles* files;
    Listing* listing;
};

constexpr uint64_t kRecordSize = uint64_t(kKeptHeaderSize) + sizeof(WriteDigests);

// A record is a header and the digests of the image's chunks and of the
// drive's; a copy is a header and its kept bytes.
bool ReadHeader(const KeptFiles& files, const char* name, KeptCopyHeader* header, bool record = false) {
    uint8_t bytes[kKeptHeaderSize];
    uint32_t done = 0;
    uint64_t length = 0;
    if (files.length(files.context, name, &length) != 0 ||
        files.read(files.context, name, 0, bytes, sizeof(bytes), &done) != 0 || done != sizeof(bytes) ||
        !ReadKeptHeader(bytes, sizeof(bytes), header))
        return false;
    if (record)
        return length == kRecordSize;
    return length == KeptFileSize(*header);
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

// The oldest copies, never `keep`, that go when the folder holds `extra`
// more than it lists: as many as pass kMaxKeptCopies, at most kMaxLetGo,
// the oldest first. Returns how many.
unsigned OldestToGo(const Listing& listing, const char* keep, unsigned extra, int (&going)[kMaxLetGo]) {
    const unsigned count = listing.count + extra;
    const unsigned goes = count > kMaxKeptCopies ? count - kMaxKeptCopies : 0;
    unsigned found = 0;
    while (found < goes && found < kMaxLetGo) {
        int oldest = -1;
        for (unsigned i = 0; i < listing.count; ++i) {
            const Listed& copy = listing.copies[i];
            bool taken = strcmp(copy.name, keep) == 0;
            for (unsigned j = 0; j < found; ++j)
                taken = taken || going[j] == int(i);
            if (!taken && (oldest < 0 || copy.header.keptAt < listing.copies[oldest].header.keptAt))
                oldest = int(i);
        }
        if (oldest < 0)
            break;
        going[found++] = oldest;
    }
    return found;
}

// The newest of `count` entries that describe `medium`; -1 when none does.
// The newest copy holds what the medium held before the last write that
// found someone's data on it. `matching` gets how many describe it.
int NewestOf(const Listed* entries, unsigned count, const KeptCopyHeader& medium, unsigned* matching = nullptr) {
    int newest = -1;
    unsigned found = 0;
    for (unsigned i = 0; i < count; ++i) {
        if (!IsKeptMedium(entries[i].header, medium))
            continue;
        ++found;
        if (newest < 0 || entries[i].header.keptAt > entries[newest].header.keptAt)
            newest = int(i);
    }
    if (matching != nullptr)
        *matching = found;
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
// that `nameAt` makes (or, `direct`, writes them under that name at once);
// the error of the last call that failed, 0 when the file is there.
uint32_t CreateWhole(const KeptFiles& files, const uint8_t* const* parts, const uint32_t* sizes, unsigned count,
                     void (*nameAt)(uint64_t, unsigned, char*, size_t), uint64_t at, char (&name)[kKeptNameCapacity],
                     bool direct = false) {
    uint32_t error = 0;
    for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
        char final[kKeptNameCapacity];
        char part[kKeptNameCapacity + sizeof(kPartSuffix)];
        nameAt(at, attempt, final, sizeof(final));
        snprintf(part, sizeof(part), "%s%s", final, kPartSuffix);
        error = files.create(files.context, direct ? final : part, parts, sizes, count);
        if (error != 0)
            continue;
        if (!direct && (error = files.rename(files.context, part, final)) != 0) {
            files.remove(files.context, part);
            continue;
        }
        memcpy(name, final, sizeof(name));
        return 0;
    }
    return error != 0 ? error : 1;
}

// The copy `listed` now records `medium`'s image, read back, as the one on
// the drive. Only the header's first sector changes, written in place: a
// copy's kept bytes are never rewritten.
bool RecordImageProven(const KeptFiles& files, const Listed& listed, const KeptCopyHeader& medium) {
    KeptCopyHeader updated = listed.header;
    memcpy(updated.imageSha256, medium.imageSha256, sizeof(updated.imageSha256));
    memcpy(updated.firstSectorSha256, medium.firstSectorSha256, sizeof(updated.firstSectorSha256));
    updated.writtenAt = medium.keptAt;
    uint8_t bytes[kKeptHeaderSize];
    WriteKeptHeader(updated, bytes);
    return files.update(files.context, listed.name, 0, bytes, sizeof(bytes)) == 0;
}

bool IsZero(const uint8_t (&digest)[32]) {
    static const uint8_t zero[32] = {};
    return memcmp(digest, zero, sizeof(zero)) == 0;
}

// True when the drive's bytes `kept` hold nothing that `copy` and the
// images written over it do not: the image the copy records as read back,
// the copy's own bytes, or chunk by chunk a mix of those, of `image` and of
// the image of the medium's record of a write cut short.
bool HoldsNothingNew(const KeptFiles& files, const Listing& listing, const Listed& copy, const KeptCopyHeader& header,
                     const uint8_t* kept, const uint8_t* image, KeptHash hash) {
    if ((!IsZero(copy.header.imageSha256) && memcmp(copy.header.imageSha256, header.keptSha256, 32) == 0) ||
        memcmp(copy.header.keptSha256, header.keptSha256, 32) == 0 || IsAllOf(kept, image))
        return true;
    const std::unique_ptr<uint8_t[]> copyBytes(new (std::nothrow) uint8_t[kWriteImageSize]);
    const std::unique_ptr<WriteDigests> digests(new (std::nothrow) WriteDigests);
    uint32_t done = 0;
    if (copyBytes == nullptr || digests == nullptr ||
        files.read(files.context, copy.name, kKeptHeaderSize, copyBytes.get(), kWriteImageSize, &done) != 0 ||
        done != kWriteImageSize)
        return false;
    uint8_t digest[32];
    if (!hash(copyBytes.get(), kWriteImageSize, digest) || memcmp(digest, copy.header.keptSha256, 32) != 0)
        return false;
    const int record = NewestOf(listing.records, listing.recordCount, header);
    const bool cutShort = record >= 0 && LoadRecordDigests(files, listing.records[record].name, digests.get());
    return IsMixOf(kept, copyBytes.get(), image, cutShort ? digests.get() : nullptr);
}

// Reads copy `name` whole and checks it against its own SHA-256.
bool LoadWhole(const KeptFiles& files, const char* name, KeptHash hash, KeptCopyHeader* header, uint8_t* kept,
               uint8_t* tail) {
    if (!ReadHeader(files, name, header))
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

// A keep cut short between its flush and its rename (the power went) left a
// whole copy under its temporary name: it is named a copy again. Any other
// leftover is a part that never became whole, and goes. True when the
// folder changed.
bool TidyLeftovers(const KeptFiles& files, const Listing& listing, KeptHash hash) {
    const std::unique_ptr<uint8_t[]> kept(new (std::nothrow) uint8_t[kWriteImageSize + kMaxKeptTailSize]);
    for (unsigned i = 0; i < listing.leftoverCount; ++i) {
        const char* part = listing.leftovers[i];
        char final[kKeptNameCapacity];
        snprintf(final, sizeof(final), "%.*s", int(strlen(part) - (sizeof(kPartSuffix) - 1)), part);
        KeptCopyHeader header;
        if (kept != nullptr && IsKeptCopyName(final) &&
            LoadWhole(files, part, hash, &header, kept.get(), kept.get() + kWriteImageSize) &&
            files.rename(files.context, part, final) == 0)
            continue;
        files.remove(files.context, part);
    }
    return listing.leftoverCount != 0;
}

// Whether keeping `kept` (whose SHA-256 is header.keptSha256) finds the
// medium's copy enough (OwnImage, NothingNew, with `name` the copy's) or
// needs a new copy (Kept).
KeepOutcome Judge(const KeptFiles& files, const Listing& listing, const KeptCopyHeader& header, const uint8_t* kept,
                  const uint8_t* image, KeptHash hash, char (&name)[kKeptNameCapacity]) {
    // Only what this program wrote over the medium's copy is its own to write
    // over without keeping it; anything else on the drive is someone's data.
    const int own = NewestOf(listing.copies, listing.count, header);
    if (own < 0)
        return KeepOutcome::Kept;
    const Listed& copy = listing.copies[own];
    memcpy(name, copy.name, sizeof(name));
    if (!IsZero(copy.header.imageSha256) && memcmp(copy.header.imageSha256, header.keptSha256, 32) == 0)
        return KeepOutcome::OwnImage;
    if (HoldsNothingNew(files, listing, copy, header, kept, image, hash))
        return KeepOutcome::NothingNew;
    return KeepOutcome::Kept;
}

}  // namespace

KeptSurvey SurveyKeptFolder(const KeptFiles& files, const KeptCopyHeader& medium, const uint8_t* drive,
                            KeptHash hash, bool tidy) {
    KeptSurvey survey{};
    const ListingLease listing;
    if (listing == nullptr)
        return survey;
    List(files, listing.get());
    KeptCopyHeader held = medium;
    if (tidy && hash != nullptr && TidyLeftovers(files, *listing, hash))
        List(files, listing.get());
    if (drive != nullptr && hash != nullptr && hash(drive, kWriteImageSize, held.keptSha256)) {
        char own[kKeptNameCapacity];
        survey.keepsNew = Judge(files, *listing, held, drive, nullptr, hash, own) == KeepOutcome::Kept;
        int going[kMaxLetGo];
        survey.goingCount = survey.keepsNew ? OldestToGo(*listing, "", 1, going) : 0;
        for (unsigned i = 0; i < survey.goingCount; ++i)
            survey.going[i] = Found(listing->copies, going[i]);
    }
    survey.copy = Found(listing->copies, NewestOf(listing->copies, listing->count, medium, &survey.candidates));
    survey.record = Found(listing->records, NewestOf(listing->records, listing->recordCount, medium));
    survey.copies = listing->count;
    survey.oldest = Found(listing->copies, OldestOf(*listing));
    return survey;
}

KeptCopyFound FindKeptCopy(const KeptFiles& files, const KeptCopyHeader& medium) {
    return SurveyKeptFolder(files, medium).copy;
}

unsigned FindKeptCopies(const KeptFiles& files, const KeptCopyHeader& medium, KeptCopyFound* found,
                        unsigned capacity) {
    const ListingLease listing;
    if (listing == nullptr)
        return 0;
    List(files, listing.get());
    int order[sizeof(listing->copies) / sizeof(listing->copies[0])];
    unsigned count = 0;
    for (unsigned i = 0; i < listing->count; ++i)
        if (IsKeptMedium(listing->copies[i].header, medium))
            order[count++] = int(i);
    // Stable: of copies kept at the same moment, the first listed leads, as
    // NewestOf takes it.
    const Listed* copies = listing->copies;
    std::stable_sort(order, order + count,
                     [copies](int a, int b) { return copies[a].header.keptAt > copies[b].header.keptAt; });
    count = std::min(count, capacity);
    for (unsigned i = 0; i < count; ++i)
        found[i] = Found(copies, order[i]);
    return count;
}

KeepResult KeepCopy(const KeptFiles& files, const KeptCopyHeader& header, const uint8_t* kept, const uint8_t* tail,
                    const uint8_t* image, KeptHash hash) {
    KeepResult result{KeepOutcome::NotKept, 0, ""};
    const ListingLease owned;
    if (owned == nullptr || kept == nullptr || header.tailSize > kMaxKeptTailSize ||
        (header.tailSize != 0 && tail == nullptr))
        return result;
    Listing& listing = *owned;
    List(files, &listing);
    if (TidyLeftovers(files, listing, hash))
        List(files, &listing);
    const KeepOutcome judged = Judge(files, listing, header, kept, image, hash, result.name);
    if (judged != KeepOutcome::Kept) {
        result.outcome = judged;
        return result;
    }

    uint8_t headerBytes[kKeptHeaderSize];
    WriteKeptHeader(header, headerBytes);
    const uint8_t* parts[] = {headerBytes, kept, tail};
    const uint32_t sizes[] = {kKeptHeaderSize, kWriteImageSize, header.tailSize};
    result.error =
        CreateWhole(files, parts, sizes, header.tailSize != 0 ? 3 : 2, KeptCopyName, header.keptAt, result.name);
    if (result.error != 0) {
        result.name[0] = '\0';
        return result;
    }
    result.outcome = KeepOutcome::Kept;
    return result;
}

bool RecordWriteBegun(const KeptFiles& files, const KeptCopyHeader& medium, const WriteDigests& digests,
                      char (&name)[kKeptNameCapacity]) {
    uint8_t bytes[kKeptHeaderSize];
    KeptCopyHeader record = medium;
    record.tailOffset = 0;
    record.tailSize = 0;
    WriteKeptHeader(record, bytes);
    uint8_t digestBytes[sizeof(WriteDigests)];
    for (uint32_t i = 0; i < 2 * kWriteChunkCount; ++i)
        for (unsigned b = 0; b < 8; ++b)
            digestBytes[i * 8 + b] =
                uint8_t((i < kWriteChunkCount ? digests.image : digests.before).chunk[i % kWriteChunkCount] >> (8 * b));
    const uint8_t* parts[] = {bytes, digestBytes};
    const uint32_t sizes[] = {kKeptHeaderSize, uint32_t(sizeof(digests))};
    name[0] = '\0';
    // Under its final name at once, and flushed before the first byte: a
    // record cut short itself is no record, and the write has not begun.
    return CreateWhole(files, parts, sizes, 2, WriteRecordName, medium.keptAt, name, true) == 0;
}

void EndWrite(const KeptFiles& files, const KeptCopyHeader& medium, bool proven, const char* keptNew,
              bool putBack) {
    const ListingLease listing;
    if (listing == nullptr || !proven)
        return;
    List(files, listing.get());
    const int own = putBack ? -1 : NewestOf(listing->copies, listing->count, medium);
    if (own >= 0 && (memcmp(listing->copies[own].header.imageSha256, medium.imageSha256, 32) != 0 ||
                     memcmp(listing->copies[own].header.firstSectorSha256, medium.firstSectorSha256, 32) != 0))
        RecordImageProven(files, listing->copies[own], medium);
    for (unsigned i = 0; i < listing->recordCount; ++i)
        if (IsKeptMedium(listing->records[i].header, medium))
            files.remove(files.context, listing->records[i].name);
    // The new copy is the drive's only once the image is proven over it:
    // until then nothing else goes for it.
    int going[kMaxLetGo];
    const unsigned goes = keptNew[0] != '\0' ? OldestToGo(*listing, keptNew, 0, going) : 0;
    for (unsigned i = 0; i < goes; ++i)
        files.remove(files.context, listing->copies[going[i]].name);
}

void DropWriteRecord(const KeptFiles& files, const char* name) {
    if (IsWriteRecordName(name))
        files.remove(files.context, name);
}

KeptCopyFound FindWriteRecord(const KeptFiles& files, const KeptCopyHeader& medium) {
    return SurveyKeptFolder(files, medium).record;
}

bool LoadRecordDigests(const KeptFiles& files, const char* name, WriteDigests* digests) {
    uint64_t length = 0;
    uint32_t done = 0;
    uint8_t bytes[sizeof(WriteDigests)];
    if (files.length(files.context, name, &length) != 0 || length != kRecordSize ||
        files.read(files.context, name, kKeptHeaderSize, bytes, sizeof(bytes), &done) != 0 || done != sizeof(bytes))
        return false;
    for (uint32_t i = 0; i < 2 * kWriteChunkCount; ++i) {
        uint64_t& digest = (i < kWriteChunkCount ? digests->image : digests->before).chunk[i % kWriteChunkCount];
        digest = 0;
        for (unsigned b = 0; b < 8; ++b)
            digest |= uint64_t(bytes[i * 8 + b]) << (8 * b);
    }
    return true;
}

bool LoadKeptCopy(const KeptFiles& files, const char* name, KeptHash hash, KeptCopyHeader* header, uint8_t* kept,
                  uint8_t* tail) {
    return IsKeptCopyName(name) && LoadWhole(files, name, hash, header, kept, tail);
}

bool RemoveKeptCopy(const KeptFiles& files, const char* name) {
    return IsKeptCopyName(name) && files.remove(files.context, name) == 0;
}
