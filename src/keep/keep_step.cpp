#include "keep/keep_step.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "keep/medium_mix.h"

namespace {

constexpr uint32_t kFirstSectorSize = 512;
// ERROR_HANDLE_DISK_FULL and ERROR_DISK_FULL: the disk that holds the copies has no room.
constexpr uint32_t kHandleDiskFull = 39;
constexpr uint32_t kDiskFull = 112;

void Note(const KeepRequest& request, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Note(const KeepRequest& request, const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    request.note(line);
}

bool IsZero(const uint8_t (&digest)[32]) {
    static const uint8_t zero[32] = {};
    return memcmp(digest, zero, sizeof(zero)) == 0;
}

// Keeps what the medium holds, unless it holds nothing new beside its own
// copy; false, with `why`, when no copy of someone's data could be kept.
bool KeepContents(KeepRequest* request, const MediumContents& medium) {
    const char letter = request->chosen->letter;
    request->why = KeepQuestion::DriveUnread;
    if (medium.kept == nullptr)
        return false;
    // The same image again over a medium that has its copy (a card written
    // twice): nothing of anyone's is there, and nothing needs hashing.
    if (IsAllOf(medium.kept, request->image)) {
        const KeptCopyFound own = FindKeptCopy(*request->files, request->medium);
        if (own.found) {
            Note(*request, "Drive %c: holds the image being written; %s stays.", letter, own.name);
            return true;
        }
    }
    // Nothing is proven written over it yet: until the read-back the copy
    // knows the drive to hold what it kept.
    KeptCopyHeader header = request->medium;
    header.tailOffset = medium.tailOffset;
    header.tailSize = medium.tailSize;
    if (!request->hash(medium.kept, kWriteImageSize, header.keptSha256) ||
        !request->hash(medium.kept, kFirstSectorSize, header.firstSectorSha256) ||
        (medium.tailSize != 0 && !request->hash(medium.tail, medium.tailSize, header.tailSha256))) {
        Note(*request, "What drive %c: holds could not be hashed: no copy is kept.", letter);
        return false;
    }
    const KeepResult kept = KeepCopy(*request->files, header, medium.kept, medium.tail, request->image, request->hash);
    switch (kept.outcome) {
        case KeepOutcome::Kept:
            Note(*request, "Kept what drive %c: held as %s.", letter, kept.name);
            memcpy(request->keptNew, kept.name, sizeof(request->keptNew));
            return true;
        case KeepOutcome::OwnImage:
            Note(*request, "Drive %c: holds the image last written from %s; that copy stays.", letter, kept.name);
            return true;
        case KeepOutcome::NothingNew:
            Note(*request, "Drive %c: holds only what %s and the images written over it hold; that copy stays.",
                 letter, kept.name);
            return true;
        case KeepOutcome::NotKept:
            break;
    }
    Note(*request, "What drive %c: held could not be kept (error %u).", letter, kept.error);
    request->why = kept.error == kDiskFull || kept.error == kHandleDiskFull ? KeepQuestion::NoSpace
                                                                           : KeepQuestion::FolderRefused;
    return false;
}

// True when the drive holds what was saved on it since the copy's medium
// was last written: neither the image read back then, nor the copy, nor
// chunk by chunk a mix of the copy and the image of a write cut short.
// `when` gets the time of that write.
bool ChangedSince(const KeepRequest& request, const MediumContents& medium, uint64_t* when) {
    const KeptCopyHeader& copy = *request.putBack;
    *when = copy.writtenAt != 0 ? copy.writtenAt : copy.keptAt;
    uint8_t digest[32];
    if (medium.kept == nullptr || !request.hash(medium.kept, kWriteImageSize, digest))
        return true;
    if ((!IsZero(copy.imageSha256) && memcmp(digest, copy.imageSha256, 32) == 0) ||
        memcmp(digest, copy.keptSha256, 32) == 0)
        return false;
    // A write or a Put back cut short leaves chunks of its image and of what
    // the drive held before it, which its record knows.
    const KeptCopyFound record = FindWriteRecord(*request.files, request.medium);
    const std::unique_ptr<WriteDigests> digests(new (std::nothrow) WriteDigests);
    const bool cutShort = record.found && digests != nullptr &&
                          LoadRecordDigests(*request.files, record.name, digests.get());
    if (record.found)
        *when = record.header.keptAt;
    return !IsMixOf(medium.kept, request.image, nullptr, cutShort ? digests.get() : nullptr);
}

// Put back goes only onto the copy's own medium, and over what was saved on
// it since only when the user says so (`ours` false then).
RawWriteOutcome CheckPutBack(KeepRequest* request, const MediumContents& medium, bool* ours) {
    *ours = false;
    const char letter = request->chosen->letter;
    // Read again inside the lock: a card swapped since it was offered is
    // never written with another card's contents.
    if (!IsKeptMedium(*request->putBack, request->medium)) {
        Note(*request, "The medium in drive %c: is not the one the copy was taken from.", letter);
        return RawWriteOutcome::NotThisMedium;
    }
    uint64_t when = 0;
    if (!ChangedSince(*request, medium, &when))
        return *ours = true, RawWriteOutcome::Written;
    Note(*request, "Drive %c: holds what was saved on it since the write.", letter);
    request->why = KeepQuestion::ChangedSince;
    if (request->ask != nullptr && request->ask(*request, KeepQuestion::ChangedSince, when))
        return RawWriteOutcome::Written;
    request->declined = true;
    return RawWriteOutcome::Declined;
}

// A write goes on without a copy, or without its record, only when the
// user says so, and never onto a disk that calls itself fixed.
RawWriteOutcome GoOnUnkept(KeepRequest* request) {
    const char letter = request->chosen->letter;
    // Told why, a fixed disk is not written whatever the answer.
    const bool yes = request->ask != nullptr && request->ask(*request, request->why, 0);
    const char* without = request->why == KeepQuestion::NotRecorded ? "its record" : "a copy";
    if (request->fixedDisk) {
        Note(*request, "Drive %c: is on a fixed disk, which is never written without %s.", letter, without);
    } else if (yes) {
        Note(*request, "Drive %c: is written without %s, as the user chose.", letter, without);
        return RawWriteOutcome::Written;
    } else {
        Note(*request, "Drive %c: is not written without %s.", letter, without);
    }
    request->declined = true;
    return RawWriteOutcome::Declined;
}

// Records that the write begins, with what the image is and what the drive
// holds (`before`, when it is kept or ours; null when the user let it go),
// so that a write cut short is found again and what it left on the drive is
// known. What the user let go for this write is never taken as known by the
// next one, which keeps it or asks again.
void RecordBegin(KeepRequest* request, const uint8_t* before) {
    KeptCopyHeader& medium = request->medium;
    const std::unique_ptr<WriteDigests> digests(new (std::nothrow) WriteDigests);
    bool described = digests != nullptr && request->hash(request->image, kFirstSectorSize, medium.firstSectorSha256);
    if (described) {
        DigestChunks(request->image, &digests->image);
        DigestChunks(before != nullptr ? before : request->image, &digests->before);
    }
    if (described && request->imageSha256 != nullptr)
        memcpy(medium.imageSha256, request->imageSha256, sizeof(medium.imageSha256));
    else if (described)
        described = request->hash(request->image, kWriteImageSize, medium.imageSha256);
    request->recorded = described && RecordWriteBegun(*request->files, medium, *digests, request->record);
}

RawWriteOutcome KeepOrCheck(void* context, const MediumContents& medium) {
    auto* request = static_cast<KeepRequest*>(context);
    KeptCopyHeader& now = request->medium;
    now = KeptCopyHeader{};
    now.device = KeptDeviceOf(*request->chosen);
    now.keptAt = request->startedAt;
    now.mark = medium.mark;
    memcpy(now.fingerprint, medium.fingerprint, sizeof(now.fingerprint));
    request->declined = false;
    request->keptNew[0] = '\0';
    bool known = false;  // what the drive holds is kept, or ours
    if (request->putBack != nullptr) {
        const RawWriteOutcome checked = CheckPutBack(request, medium, &known);
        if (checked != RawWriteOutcome::Written)
            return checked;
    } else {
        request->kept = known = KeepContents(request, medium);
        if (!request->kept) {
            const RawWriteOutcome unkept = GoOnUnkept(request);
            if (unkept != RawWriteOutcome::Written)
                return unkept;
        }
    }
    RecordBegin(request, known ? medium.kept : nullptr);
    if (request->recorded)
        return RawWriteOutcome::Written;
    Note(*request, "That drive %c: is being written could not be recorded.", request->chosen->letter);
    const KeepQuestion unkept = request->why;
    request->why = KeepQuestion::NotRecorded;
    const RawWriteOutcome recorded = GoOnUnkept(request);
    if (recorded == RawWriteOutcome::Written)
        request->why = unkept;
    return recorded;
}

// The write is over: only a read-back that proved it ends its record, makes
// the medium's copy name its image and lets the oldest copies go; a write
// that changed nothing leaves nothing.
void EndKeep(void* context, WriteEnd how) {
    auto* request = static_cast<KeepRequest*>(context);
    if (how == WriteEnd::NothingChanged) {
        if (request->recorded)
            DropWriteRecord(*request->files, request->record);
        return;
    }
    EndWrite(*request->files, request->medium, how == WriteEnd::Proven, request->keptNew,
             request->putBack != nullptr);
}

}  // namespace

KeepBeforeWrite KeepingFor(KeepRequest* request) {
    return KeepBeforeWrite{KeepOrCheck, EndKeep, request->hash, request};
}
