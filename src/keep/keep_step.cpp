#include "keep/keep_step.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kFirstSectorSize = 512;

void Note(const KeepRequest& request, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Note(const KeepRequest& request, const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    request.note(line);
}

// The digest of the image written: the one already known (the attached
// image's, hashed by the loader) spares hashing it again before the write.
bool ImageDigest(const KeepRequest& request, uint8_t (&digest)[32]) {
    if (request.imageSha256 == nullptr)
        return request.hash(request.image, kWriteImageSize, digest);
    memcpy(digest, request.imageSha256, sizeof(digest));
    return true;
}

// Keeps what the medium holds, unless it is the image its copy records as
// last written; false when no copy of someone's data could be kept.
bool KeepContents(KeepRequest* request, const MediumContents& medium) {
    const char letter = request->chosen->letter;
    if (medium.kept == nullptr)
        return false;
    KeptCopyHeader header = request->medium;
    header.tailOffset = medium.tailOffset;
    header.tailSize = medium.tailSize;
    if (!request->hash(medium.kept, kWriteImageSize, header.keptSha256) || !ImageDigest(*request, header.imageSha256) ||
        !request->hash(request->image, kFirstSectorSize, header.firstSectorSha256) ||
        (medium.tailSize != 0 && !request->hash(medium.tail, medium.tailSize, header.tailSha256))) {
        Note(*request, "What drive %c: holds could not be hashed: no copy is kept.", letter);
        return false;
    }
    char name[kKeptNameCapacity];
    switch (KeepCopy(*request->files, header, medium.kept, medium.tail, name)) {
        case KeepOutcome::Kept:
            Note(*request, "Kept what drive %c: held as %s.", letter, name);
            return true;
        case KeepOutcome::OwnImage:
            Note(*request, "Drive %c: holds the image last written from %s; that copy stays.", letter, name);
            return true;
        case KeepOutcome::NotKept:
            break;
    }
    Note(*request, "What drive %c: held could not be kept.", letter);
    return false;
}

bool KeepOrCheck(void* context, const MediumContents& medium) {
    auto* request = static_cast<KeepRequest*>(context);
    const char letter = request->chosen->letter;
    KeptCopyHeader& now = request->medium;
    now = KeptCopyHeader{};
    now.device = KeptDeviceOf(*request->chosen);
    now.keptAt = request->startedAt;
    now.mark = medium.mark;
    memcpy(now.fingerprint, medium.fingerprint, sizeof(now.fingerprint));
    if (request->putBack != nullptr) {
        // Read again inside the lock: a card swapped since it was offered
        // is never written with another card's contents.
        if (!IsKeptMedium(*request->putBack, now)) {
            Note(*request, "The medium in drive %c: is not the one the copy was taken from.", letter);
            return false;
        }
    } else {
        request->kept = KeepContents(request, medium);
    }
    char record[kKeptNameCapacity];
    request->recorded = RecordWriteBegun(*request->files, now, record);
    if (!request->recorded)
        Note(*request, "That drive %c: is being written could not be recorded.", letter);
    return true;
}

// The image was read back: the medium holds a whole write, whatever it is.
void EndRecord(void* context) {
    auto* request = static_cast<KeepRequest*>(context);
    if (request->recorded)
        EndWriteRecords(*request->files, request->medium);
}

}  // namespace

KeepBeforeWrite KeepingFor(KeepRequest* request) {
    return KeepBeforeWrite{KeepOrCheck, EndRecord, request->hash, request};
}
