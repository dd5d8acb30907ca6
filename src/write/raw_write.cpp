#include "write/raw_write.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "write/bad_spot.h"
#include "write/diskette_layout.h"
#include "write/gpt_backup.h"
#include "write/volume_prep.h"
#include "write/write_errors.h"

namespace {

struct Session {
    const StorageCalls* calls;
    StorageHandle volumes[kMaxDiskVolumes];  // taken from the file system, released at the end
    unsigned volumeCount;
    StorageHandle device;  // written through; one of `volumes` when !throughDisk
    uint32_t sectorSize;
    uint32_t lastError;  // of the last failed seek, write or read
    bool leftUnlocked;   // a volume was dismounted but never locked: anyone may mount it again
    MediumGeometry medium;  // what the geometry said of the medium, through the write's own handle
    bool diskette;          // the medium turns as a diskette: whole track sides, a rotation each
    const PassProgress* progress;
    uint64_t at;            // where the last seek of the chunk loop went
    bool badSpot;           // a transfer failed twice while the drive answered elsewhere
    uint64_t badSpotAt;     // the first sector of it that failed
};

void Note(const Session& session, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Note(const Session& session, const char* format, ...) {
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof(line), format, arguments);
    va_end(arguments);
    session.calls->note(session.calls->context, line);
}

void BeginPass(const Session& session, WritePass pass) {
    if (session.progress != nullptr && session.progress->begins != nullptr)
        session.progress->begins(session.progress->context, pass);
}

void ReportPass(const Session& session, WritePass pass, uint32_t done) {
    if (session.progress != nullptr && session.progress->report != nullptr)
        session.progress->report(session.progress->context, pass, done, kWriteImageSize);
}

// The chunk loop's report, as the write pass's.
void ReportChunkWritten(void* context, uint32_t position, uint32_t) {
    ReportPass(*static_cast<const Session*>(context), WritePass::Write, position);
}

RawWriteResult Ended(RawWriteOutcome outcome, uint32_t error) {
    RawWriteResult result{};
    result.outcome = outcome;
    result.error = error;
    result.write = WriteResult{WriteOutcome::NoDevice, 0, 0, 0};
    result.readBackStop = 0;
    return result;
}

bool LockVolume(void* context, unsigned index) {
    auto* session = static_cast<Session*>(context);
    uint32_t returned = 0;
    return session->calls->control(session->calls->context, session->volumes[index], StorageControl::LockVolume,
                                   nullptr, 0, &returned) == 0;
}

bool DismountVolume(void* context, unsigned index) {
    auto* session = static_cast<Session*>(context);
    uint32_t returned = 0;
    return session->calls->control(session->calls->context, session->volumes[index], StorageControl::DismountVolume,
                                   nullptr, 0, &returned) == 0;
}

void PauseMs(void* context, unsigned milliseconds) {
    auto* session = static_cast<Session*>(context);
    session->calls->pause(session->calls->context, milliseconds);
}

bool SeekDevice(void* context, uint64_t offset) {
    auto* session = static_cast<Session*>(context);
    session->at = offset;
    session->lastError = session->calls->seek(session->calls->context, session->device, offset);
    return session->lastError == 0;
}

// Reads `size` bytes at `offset` in whole; false on an error or a short read.
bool ReadAt(Session* session, uint64_t offset, uint8_t* data, uint32_t size) {
    const StorageCalls& calls = *session->calls;
    uint32_t done = 0;
    session->lastError = calls.seek(calls.context, session->device, offset);
    if (session->lastError == 0)
        session->lastError = calls.read(calls.context, session->device, data, size, &done);
    return session->lastError == 0 && done == size;
}

uint32_t SpotRead(void* context, uint64_t offset, uint8_t* data, uint32_t size) {
    auto* session = static_cast<Session*>(context);
    return ReadAt(session, offset, data, size) ? 0 : session->lastError != 0 ? session->lastError : kErrorInvalidFunction;
}

uint32_t SpotWrite(void* context, uint64_t offset, const uint8_t* data, uint32_t size) {
    auto* session = static_cast<Session*>(context);
    const StorageCalls& calls = *session->calls;
    uint32_t done = 0;
    uint32_t error = calls.seek(calls.context, session->device, offset);
    if (error == 0)
        error = calls.write(calls.context, session->device, data, size, &done);
    return error != 0 ? error : done != size ? kErrorInvalidFunction : 0;
}

// A transfer at `offset` failed with lastError: tried once more, and told a
// bad spot from a drive gone. True when the second try went through.
bool TryAgain(Session* session, uint64_t offset, uint32_t size, uint8_t* readInto, const uint8_t* writeFrom) {
    alignas(4096) uint8_t scratch[kWriteChunkSize];
    const SpotTransfers transfers = {SpotRead, SpotWrite, session};
    const uint32_t first = session->lastError;
    const SpotResult spot =
        RetryTransfer(transfers, offset, size, readInto, writeFrom, session->sectorSize, first, scratch);
    session->lastError = spot.error;
    if (spot.verdict == SpotVerdict::Recovered)
        Note(*session, "Byte %llu failed (error %u) and went through when tried again.",
             static_cast<unsigned long long>(offset), first);
    if (spot.verdict != SpotVerdict::BadSpot)
        return spot.verdict == SpotVerdict::Recovered;
    session->badSpot = true;
    session->badSpotAt = spot.offset;
    Note(*session, "Byte %llu failed twice (error %u) while the drive still reads its first track: a bad spot.",
         static_cast<unsigned long long>(spot.offset), spot.error);
    return false;
}

bool WriteDeviceChunk(void* context, const uint8_t* data, uint32_t size, uint32_t* written) {
    auto* session = static_cast<Session*>(context);
    session->lastError = session->calls->write(session->calls->context, session->device, data, size, written);
    if (session->lastError == 0)
        return true;
    if (!TryAgain(session, session->at, size, nullptr, data))
        return false;
    *written = size;
    return true;
}

void Release(Session* session, bool throughDisk) {
    const StorageCalls& calls = *session->calls;
    if (throughDisk && session->device != nullptr)
        calls.close(calls.context, session->device);
    session->device = nullptr;
    for (unsigned i = 0; i < session->volumeCount; ++i) {
        uint32_t returned = 0;
        calls.control(calls.context, session->volumes[i], StorageControl::UnlockVolume, nullptr, 0, &returned);
        calls.close(calls.context, session->volumes[i]);
    }
    session->volumeCount = 0;
}

// Opens every volume of the disk and takes each from its file system. A
// volume that cannot be had keeps the whole disk from being written.
RawWriteResult TakeVolumes(Session* session, const TargetIdentity& now, const RawWriteRequest& request) {
    const StorageCalls& calls = *session->calls;
    if (now.tooManyVolumes)
        return Ended(RawWriteOutcome::InUse, 0);
    for (unsigned i = 0; i < now.volumeCount; ++i) {
        StorageHandle volume = nullptr;
        const uint32_t error = calls.open(calls.context, now.volumes[i].text, StorageAccess::ReadWrite, true, &volume);
        if (error != 0) {
            Note(*session, "Volume %s of drive %c: would not open (error %u).", now.volumes[i].text, now.letter,
                 error);
            // A program that holds the volume makes it a sharing violation;
            // a refusal of access is a rule of this computer (BitLocker's or
            // a removable-storage policy that denies writes). Any other error
            // says what it says, before anything is written.
            if (error == kErrorSharingViolation)
                return Ended(RawWriteOutcome::InUse, error);
            if (error == kErrorAccessDenied)
                return Ended(RawWriteOutcome::AccessPolicy, error);
            return Ended(OutcomeOfError(error, WriteStage::BeforeWrite), error);
        }
        session->volumes[session->volumeCount++] = volume;
    }
    const VolumeControl control = {LockVolume, DismountVolume, PauseMs, session};
    const PrepareResult prepared =
        LockAndDismount(control, session->volumeCount, request.lockTries, request.lockPauseMs);
    if (prepared.outcome == PrepareOutcome::InUse) {
        Note(*session, "Volume %s of drive %c: could be neither locked nor dismounted.",
             now.volumes[prepared.failedVolume].text, now.letter);
        return Ended(RawWriteOutcome::InUse, 0);
    }
    if (prepared.dismountFailures > 0)
        Note(*session, "%u volume(s) could not be dismounted; they stay locked.", prepared.dismountFailures);
    if (prepared.lockedAfterDismount > 0)
        Note(*session, "%u volume(s) open elsewhere were dismounted, then locked.", prepared.lockedAfterDismount);
    if (prepared.dismountedUnlocked > 0)
        Note(*session, "%u volume(s) stayed open elsewhere and were dismounted without a lock.",
             prepared.dismountedUnlocked);
    session->leftUnlocked = prepared.dismountedUnlocked > 0;
    return Ended(RawWriteOutcome::Written, 0);
}

// Opens what the image is written through and checks that it can take it.
RawWriteResult OpenDevice(Session* session, const TargetIdentity& now) {
    const StorageCalls& calls = *session->calls;
    uint32_t returned = 0;
    uint32_t error = 0;
    if (now.target.kind == WriteTargetKind::PhysicalDrive) {
        error = calls.open(calls.context, now.target.path.text, StorageAccess::ReadWrite, true, &session->device);
        if (error != 0) {
            session->device = nullptr;
            return Ended(OutcomeOfError(error, WriteStage::BeforeWrite), error);
        }
        // The wait for the locks is long enough for a stick to be swapped.
        if (!IsIdentifiedDisk(calls, session->device, now)) {
            Note(*session, "%s is no longer the disk of drive %c:.", now.target.path.text, now.letter);
            return Ended(RawWriteOutcome::Moved, 0);
        }
    } else {
        // Only the volume can be had: without this its writes would stop at
        // the end of what the old file system took to be the volume.
        session->device = session->volumes[0];
        error = calls.control(calls.context, session->device, StorageControl::AllowExtendedDasdIo, nullptr, 0,
                              &returned);
        if (error != 0)
            Note(*session, "Extended access to drive %c: was refused (error %u).", now.letter, error);
    }
    Note(*session, "Write target: %s", now.target.path.text);

    alignas(8) uint8_t geometry[24] = {};
    returned = 0;
    error = calls.control(calls.context, session->device, StorageControl::DriveGeometry, geometry, sizeof(geometry),
                          &returned);
    if (error == kErrorNotReady || error == kErrorNoMediaInDrive || error == kErrorUnrecognizedMedia)
        return Ended(OutcomeOfError(error, WriteStage::BeforeWrite), error);
    const uint32_t size = error == 0 && returned <= sizeof(geometry) ? returned : 0;
    const uint32_t answered = BytesPerSectorFromGeometry(geometry, size);
    session->medium = MediumFromGeometry(geometry, size);
    const SectorSizeCheck sectors = CheckSectorSize(answered);
    // Learnt only now, through the write's own handle: the same refusal as
    // when the size was known before the drive was taken.
    if (sectors.verdict != SectorSizeVerdict::Fits)
        return Ended(answered == 4096 ? RawWriteOutcome::Sectors4096 : RawWriteOutcome::LargeSectors, 0);
    session->sectorSize = sectors.bytesPerSector;

    error = calls.control(calls.context, session->device, StorageControl::IsWritable, nullptr, 0, &returned);
    if (error == kErrorWriteProtect || error == kErrorNotReady || error == kErrorNoMediaInDrive)
        return Ended(OutcomeOfError(error, WriteStage::BeforeWrite), error);
    return Ended(RawWriteOutcome::Written, 0);
}

// The length of what the image is written through; 0 when it does not say.
uint64_t DeviceLength(const Session& session) {
    alignas(8) uint8_t answer[8] = {};
    uint32_t returned = 0;
    const StorageCalls& calls = *session.calls;
    uint64_t length = 0;
    if (calls.control(calls.context, session.device, StorageControl::LengthInfo, answer, sizeof(answer),
                      &returned) == 0 &&
        returned >= sizeof(answer))
        memcpy(&length, answer, sizeof(length));
    return length;
}

RawWriteResult TooSmall(uint64_t length, uint32_t mediaType) {
    RawWriteResult result = Ended(RawWriteOutcome::TooSmall, 0);
    result.mediumLength = length;
    result.mediaType = mediaType;
    return result;
}

// The medium's length asked again through the handle that writes it, before
// its first byte: a shorter medium would take the image's start and fail
// past its end.
RawWriteResult CheckRoomForImage(Session* session, char letter) {
    uint64_t length = DeviceLength(*session);
    if (length == 0)
        length = session->medium.length;
    session->diskette = IsDisketteMedium(session->medium.mediaType, length);
    if (CheckMediumFit(length, session->medium.mediaType) == MediumFit::Fits)
        return Ended(RawWriteOutcome::Written, 0);
    Note(*session, "Drive %c: holds %llu bytes (media type %u), less than the image's %u.", letter,
         static_cast<unsigned long long>(length), session->medium.mediaType, kWriteImageSize);
    return TooSmall(length, session->medium.mediaType);
}

// Where the backup GPT header of the disk lies, when its last sector holds
// one: never a byte of the image; 0 when there is none to clear. `scratch`
// takes three sectors.
uint64_t BackupGptOffset(Session* session, uint8_t* scratch) {
    const uint32_t sector = session->sectorSize;
    const uint64_t length = DeviceLength(*session);
    if (length < uint64_t(kWriteImageSize) + 2 * sector)
        return 0;
    const uint64_t last = length - length % sector - sector;
    uint8_t* first = scratch;
    uint8_t* second = scratch + sector;
    uint8_t* end = scratch + 2 * sector;
    // An unreadable first sector only stops the primary header from counting.
    const bool firstRead = ReadAt(session, 0, first, sector);
    if (!ReadAt(session, last, end, sector) || !ReadAt(session, sector, second, sector))
        return 0;
    if (!IsBackupGpt(firstRead ? first : nullptr, second, end, sector, last / sector))
        return 0;
    return last;
}

// Writes one sector past the image and flushes it; the error, 0 when done.
uint32_t WriteSectorAt(Session* session, uint64_t offset, const uint8_t* bytes) {
    const StorageCalls& calls = *session->calls;
    uint32_t done = 0;
    uint32_t error = calls.seek(calls.context, session->device, offset);
    if (error == 0)
        error = calls.write(calls.context, session->device, bytes, session->sectorSize, &done);
    if (error == 0 && done != session->sectorSize)
        error = kErrorInvalidFunction;
    if (error == 0)
        error = calls.flush(calls.context, session->device);
    return error;
}

// False when the sector could not be cleared.
bool ClearBackupGpt(Session* session, uint64_t at, uint8_t* scratch) {
    memset(scratch, 0, session->sectorSize);
    const uint32_t error = WriteSectorAt(session, at, scratch);
    if (error != 0)
        Note(*session, "The old backup partition table at byte %llu could not be cleared (error %u).",
             static_cast<unsigned long long>(at), error);
    else
        Note(*session, "Cleared the old backup partition table at byte %llu.", static_cast<unsigned long long>(at));
    return error == 0;
}

// The SHA-256 of samples of the medium that no write touches, read into
// `scratch`: what tells one card or diskette from another in the same drive.
void TakeFingerprint(Session* session, const KeepBeforeWrite& keep, uint8_t* scratch, MediumContents* medium) {
    const uint64_t length = DeviceLength(*session);
    const UntouchedSamples samples = UntouchedSamplesOf(length);
    medium->mark = length == 0 ? MediumMark::Untold : MediumMark::NoneToTake;
    if (samples.count == 0) {
        Note(*session, length == 0 ? "The drive's length is not known: the medium has no fingerprint."
                                   : "The medium is the image's size: it has no fingerprint.");
        return;
    }
    uint32_t done = 0;
    for (unsigned i = 0; i < samples.count; done += samples.sizes[i++]) {
        if (!ReadAt(session, samples.offsets[i], scratch + done, samples.sizes[i])) {
            Note(*session, "The bytes past the image could not be read (error %u).", session->lastError);
            medium->mark = MediumMark::Untold;
            return;
        }
    }
    medium->mark = MarkOfSamples(scratch, done, keep.hash, medium->fingerprint);
    Note(*session, medium->mark == MediumMark::Blank ? "The %u bytes sampled past the image are blank: no fingerprint."
                                                     : "The medium's fingerprint is taken from %u bytes past the image.",
         done);
}

// Reads what the write is about to replace, through the handle that will
// write it, and hands it over before the first byte goes out; Written when
// the write goes on. A backup header whose read failed, and so is not kept,
// is not cleared either (`backupAt` becomes 0).
RawWriteOutcome KeepWhatIsThere(Session* session, const RawWriteRequest& request, uint64_t* backupAt) {
    alignas(4096) uint8_t tail[4096];
    MediumContents medium{};
    BeginPass(*session, WritePass::Keep);
    TakeFingerprint(session, request.keep, request.readBack, &medium);
    const uint32_t piece = ReadRequestBytes(session->diskette);
    bool read = true;
    uint32_t offset = 0;
    for (; offset < kWriteImageSize && read; offset += read ? piece : 0) {
        const uint32_t size = kWriteImageSize - offset < piece ? kWriteImageSize - offset : piece;
        read = ReadAt(session, offset, request.readBack + offset, size) ||
               TryAgain(session, offset, size, request.readBack + offset, nullptr);
        if (read)
            ReportPass(*session, WritePass::Keep, offset + size);
    }
    // Nothing is written over a bad spot: the image would not be kept there either.
    if (!read && session->badSpot)
        return RawWriteOutcome::BadSpot;
    // A diskette whose first track has no sector to find was never formatted.
    if (!read && offset == 0 && session->diskette &&
        (session->lastError == kErrorSectorNotFound || session->lastError == kErrorUnrecognizedMedia))
        return RawWriteOutcome::Unformatted;
    if (!read)
        Note(*session, "What the drive holds could not be read (error %u): no copy of it is kept.",
             session->lastError);
    if (read && *backupAt > 0 && session->sectorSize <= sizeof(tail)) {
        if (ReadAt(session, *backupAt, tail, session->sectorSize)) {
            medium.tailSize = session->sectorSize;
        } else {
            Note(*session, "The backup partition table at byte %llu could not be read; it is neither kept nor cleared.",
                 static_cast<unsigned long long>(*backupAt));
            *backupAt = 0;
        }
    }
    medium.kept = read ? request.readBack : nullptr;
    medium.tailOffset = medium.tailSize != 0 ? *backupAt : 0;
    medium.tail = tail;
    return request.keep.keep(request.keep.context, medium);
}

// Writes a kept sector back past the image and reads it back; false when the
// drive does not hold it. A sector that is not one of this disk's own, or
// lies inside the image or past the disk's end, is never written.
bool RestoreTail(Session* session, const TailSector& tail, uint8_t* scratch) {
    const uint64_t length = DeviceLength(*session);
    if (tail.size != session->sectorSize || tail.offset % tail.size != 0 || tail.offset < kWriteImageSize ||
        tail.offset > length || length - tail.offset < tail.size) {
        Note(*session, "The kept sector at byte %llu does not fit this disk; it is not written back.",
             static_cast<unsigned long long>(tail.offset));
        return false;
    }
    const uint32_t error = WriteSectorAt(session, tail.offset, tail.bytes);
    if (error != 0 || !ReadAt(session, tail.offset, scratch, tail.size) || memcmp(scratch, tail.bytes, tail.size) != 0) {
        Note(*session, "The kept sector at byte %llu was not written back (error %u).",
             static_cast<unsigned long long>(tail.offset), error != 0 ? error : session->lastError);
        return false;
    }
    Note(*session, "Wrote back the kept sector at byte %llu.", static_cast<unsigned long long>(tail.offset));
    return true;
}

// Reads the image back past every cache and compares; returns the first
// byte that differs or could not be read, kWriteImageSize when all match.
uint64_t ReadBack(Session* session, const uint8_t* image, uint8_t* readBack) {
    BeginPass(*session, WritePass::ReadBack);
    for (uint32_t chunk = 0; chunk < kWriteChunkCount; ++chunk) {
        const uint32_t offset = chunk * kWriteChunkSize;
        if (!ReadAt(session, offset, readBack + offset, kWriteChunkSize) &&
            !TryAgain(session, offset, kWriteChunkSize, readBack + offset, nullptr)) {
            Note(*session, "Read back: stopped at byte %u (error %u).", offset, session->lastError);
            return offset;
        }
        if (memcmp(readBack + offset, image + offset, kWriteChunkSize) != 0) {
            uint32_t at = offset;
            while (readBack[at] == image[at])
                ++at;
            Note(*session, "Read back: byte %u differs from the image.", at);
            return at;
        }
        ReportPass(*session, WritePass::ReadBack, offset + kWriteChunkSize);
    }
    Note(*session, "Read back: all %u bytes match.", kWriteImageSize);
    return kWriteImageSize;
}

// What a failed write or flush means. With a volume dismounted but not
// locked, a refusal is Windows guarding a volume that another program has
// mounted again, not security software.
RawWriteOutcome WriteFailure(const Session& session, uint32_t error) {
    const RawWriteOutcome outcome =
        OutcomeOfError(error, session.leftUnlocked ? WriteStage::WritingUnlocked : WriteStage::Writing);
    if (outcome == RawWriteOutcome::TakenBack)
        Note(session, "A volume dismounted without a lock was taken back by another program.");
    return outcome;
}

// True when a write that failed changed no byte of the drive: the first
// chunk was refused whole, for a reason that comes before any transfer
// (ERROR_HANDLE_DISK_FULL 39 and ERROR_DISK_FULL 112: a drive that takes no byte).
bool LeftDriveAsItWas(const WriteResult& write, uint32_t error) {
    constexpr uint32_t kRefusedHandleFull = 39;
    constexpr uint32_t kRefusedDiskFull = 112;
    if (write.chunksWritten != 0 || write.outcome == WriteOutcome::ShortWrite)
        return false;
    return write.outcome == WriteOutcome::SeekFailed || error == kErrorWriteProtect || error == kErrorAccessDenied ||
           error == kErrorNotReady || error == kErrorNoMediaInDrive || error == kRefusedDiskFull ||
           error == kRefusedHandleFull;
}

RawWriteOutcome ReadBackFailure(uint32_t error) {
    return OutcomeOfError(error, WriteStage::ReadingBack);
}

// Windows keeps the old partition table until told; released with it, the
// old volumes would mount again over the image. Told only after the read-back.
void TellNewLayout(const Session& session) {
    const StorageCalls& calls = *session.calls;
    uint32_t returned = 0;
    const uint32_t error =
        calls.control(calls.context, session.device, StorageControl::UpdateProperties, nullptr, 0, &returned);
    if (error != 0)
        Note(session, "Windows could not be told of the new layout (error %u).", error);
}

RawWriteResult WriteAndCheck(Session* session, const TargetIdentity& now, const RawWriteRequest& request) {
    const StorageCalls& calls = *session->calls;
    const bool throughDisk = now.target.kind == WriteTargetKind::PhysicalDrive;
    uint64_t backupAt = throughDisk ? BackupGptOffset(session, request.readBack) : 0;
    if (request.keep.keep != nullptr) {
        const RawWriteOutcome kept = KeepWhatIsThere(session, request, &backupAt);
        if (kept != RawWriteOutcome::Written)
            return Ended(kept, 0);
    }

    RawWriteResult result = Ended(RawWriteOutcome::Written, 0);
    result.throughDisk = throughDisk;
    session->lastError = 0;
    Note(*session, "Writing the image...");
    BeginPass(*session, WritePass::Write);
    const uint64_t started = calls.clockMs(calls.context);
    result.wroteAny = true;
    result.write = WriteImage(request.image, kWriteImageSize, WriteDevice{SeekDevice, WriteDeviceChunk, session},
                              WriteProgress{ReportChunkWritten, session});
    Note(*session, "Wrote %u of %u chunks in %llu ms.", result.write.chunksWritten, kWriteChunkCount,
         static_cast<unsigned long long>(calls.clockMs(calls.context) - started));
    if (result.write.outcome == WriteOutcome::ShortWrite)
        Note(*session, "Writing stopped at byte %llu of %u: the drive took only part of a chunk.",
             static_cast<unsigned long long>(result.write.failedOffset), kWriteImageSize);
    else if (result.write.outcome != WriteOutcome::Written)
        Note(*session, "Writing stopped at byte %llu of %u (error %u).",
             static_cast<unsigned long long>(result.write.failedOffset), kWriteImageSize, session->lastError);
    if (result.write.outcome != WriteOutcome::Written) {
        result.error = session->lastError;
        result.outcome = session->badSpot ? RawWriteOutcome::BadSpot : WriteFailure(*session, result.error);
        // A first chunk refused whole changed nothing: the drive holds what it held.
        result.wroteAny = session->badSpot ? result.write.chunksWritten > 0 || session->badSpotAt > 0
                                           : !LeftDriveAsItWas(result.write, result.error);
        if (request.keep.ended != nullptr && !result.wroteAny)
            request.keep.ended(request.keep.context, WriteEnd::NothingChanged);
        return result;
    }
    const uint32_t flushError = calls.flush(calls.context, session->device);
    if (flushError != 0) {
        Note(*session, "The drive did not take the last chunks from the cache (error %u).", flushError);
        result.error = flushError;
        result.outcome = WriteFailure(*session, flushError);
        return result;
    }
    if (backupAt > 0)
        result.backupGptLeft = !ClearBackupGpt(session, backupAt, request.readBack);
    const bool tailBack = request.tail.size == 0 || RestoreTail(session, request.tail, request.readBack);
    // Read back while every volume of the disk is still locked or
    // dismounted: once Windows reads the new layout, a volume it finds there
    // is mounted at once, and its file system (or Explorer) writes inside the
    // image before a later read could see what this program wrote.
    result.readBackStop = ReadBack(session, request.image, request.readBack);
    const bool proven = result.readBackStop == kWriteImageSize && tailBack;
    if (request.keep.ended != nullptr)
        request.keep.ended(request.keep.context, proven ? WriteEnd::Proven : WriteEnd::ReadBack);
    if (!proven) {
        result.error = session->lastError;
        result.outcome = session->badSpot ? RawWriteOutcome::BadSpot : ReadBackFailure(result.error);
        // Windows could not keep other programs from the drive: one of them
        // may have written to it while it was written.
        if (result.outcome == RawWriteOutcome::NotKept && session->leftUnlocked)
            result.outcome = RawWriteOutcome::NotKeptUnlocked;
    }
    TellNewLayout(*session);
    return result;
}

// Names the device in the trace, so that a refusal or a write can be told
// from the device's own words.
void NoteDevice(const StorageCalls& calls, const TargetIdentity& now) {
    char line[320];
    const DiskDescriptor& device = now.device;
    if (!device.answered)
        snprintf(line, sizeof(line), "Drive %c: does not say which device it is on.", now.letter);
    else
        snprintf(line, sizeof(line), "Drive %c: is on \"%s\" \"%s\", serial \"%s\", bus %u, %s media.", now.letter,
                 device.vendor, device.product, device.serial, device.busType,
                 device.removableMedia ? "removable" : "fixed");
    calls.note(calls.context, line);
}

}  // namespace

namespace {

// The checks that come before a drive is taken: the letter still leads to
// the chosen device, the medium is there, and the disk may be written.
// Written when none refuses; `now` gets what the letter leads to.
RawWriteResult CheckBeforeTaking(const StorageCalls& calls, const TargetIdentity& chosen, TargetIdentity* found) {
    const TargetIdentity& now = *found = IdentifyTarget(calls, chosen.letter);
    if (!IsSameDevice(chosen, now)) {
        char line[200];
        snprintf(line, sizeof(line), "Drive %c: now leads to volume %s on %s, not to the one chosen.", chosen.letter,
                 now.volume.text[0] != '\0' ? now.volume.text : "(none)",
                 now.target.diskKnown ? now.target.path.text : "an unknown disk");
        calls.note(calls.context, line);
        return Ended(RawWriteOutcome::Moved, 0);
    }
    if (now.queryError == kErrorNotReady || now.queryError == kErrorNoMediaInDrive)
        return Ended(RawWriteOutcome::NoMedium, now.queryError);
    if (now.target.kind == WriteTargetKind::Refused)
        return Ended(RawWriteOutcome::Spanned, 0);
    NoteDevice(calls, now);
    const DiskRefusal refusal = CheckRemovableDisk(now);
    if (refusal != DiskRefusal::None) {
        char line[200];
        snprintf(line, sizeof(line), "Drive %c: is not written: %s %s.", now.letter, now.target.path.text,
                 DiskRefusalText(refusal));
        calls.note(calls.context, line);
        if (refusal == DiskRefusal::LargeSectors)
            return Ended(now.bytesPerSector == 4096 ? RawWriteOutcome::Sectors4096 : RawWriteOutcome::LargeSectors, 0);
        return Ended(RawWriteOutcome::NotRemovable, 0);
    }
    if (CheckMediumFit(now.mediumLength, now.mediaType) != MediumFit::Fits) {
        char line[160];
        snprintf(line, sizeof(line), "Drive %c: is not written: its medium is %llu bytes (media type %u).", now.letter,
                 static_cast<unsigned long long>(now.mediumLength), now.mediaType);
        calls.note(calls.context, line);
        return TooSmall(now.mediumLength, now.mediaType);
    }
    return Ended(RawWriteOutcome::Written, 0);
}

}  // namespace

namespace {

// Formats an unformatted diskette as a 1.44 MB one, a cylinder at a time,
// when the user says so; Written once it is and answers as one. A medium
// that takes no 1.44 MB format (a 720 KB diskette) is refused as one.
RawWriteResult FormatDiskette(Session* session, const TargetIdentity& now, const RawWriteRequest& request,
                              uint32_t error) {
    const StorageCalls& calls = *session->calls;
    // Diskette drives are volumes of no disk.
    if (now.target.kind != WriteTargetKind::Volume || request.format.ask == nullptr || calls.formatCylinder == nullptr)
        return Ended(RawWriteOutcome::Unformatted, error);
    if (!request.format.ask(request.format.context)) {
        Note(*session, "Drive %c: stays unformatted, as the user chose.", now.letter);
        return Ended(RawWriteOutcome::Unformatted, error);
    }
    BeginPass(*session, WritePass::Format);
    for (uint32_t cylinder = 0; cylinder < kDisketteCylinders; ++cylinder) {
        uint32_t bad = 0;
        const uint32_t failed =
            calls.formatCylinder(calls.context, session->device, kMediaTypeDiskette144, cylinder, &bad);
        if (failed == kErrorInvalidParameter && cylinder == 0) {
            Note(*session, "Drive %c: takes no 1.44 MB format (error %u).", now.letter, failed);
            return TooSmall(0, kMediaTypeDiskette720);
        }
        if (failed != 0 || bad != 0) {
            Note(*session, "Formatting cylinder %u of drive %c: failed (error %u, %u bad tracks).", cylinder,
                 now.letter, failed, bad);
            RawWriteResult result = Ended(failed != 0 ? OutcomeOfError(failed, WriteStage::Writing)
                                                      : RawWriteOutcome::BadSpot, failed);
            session->badSpot = failed == 0;
            session->badSpotAt = uint64_t(cylinder) * kDisketteSides * kDisketteSideBytes;
            return result;
        }
        ReportPass(*session, WritePass::Format, (cylinder + 1) * kDisketteSides * kDisketteSideBytes);
    }
    Note(*session, "Formatted drive %c: as a 1.44 MB diskette.", now.letter);
    return OpenDevice(session, now);
}

}  // namespace

RawWriteResult RunRawWrite(const StorageCalls& calls, const RawWriteRequest& request) {
    TargetIdentity now{};
    const RawWriteResult checked = CheckBeforeTaking(calls, *request.chosen, &now);
    if (checked.outcome != RawWriteOutcome::Written)
        return checked;
    if (request.image == nullptr || request.readBack == nullptr)
        return Ended(RawWriteOutcome::WriteFailed, 0);

    Session session{};
    session.calls = &calls;
    session.progress = &request.progress;
    RawWriteResult result = TakeVolumes(&session, now, request);
    if (result.outcome == RawWriteOutcome::Written)
        result = OpenDevice(&session, now);
    // A diskette unformatted as its geometry says, or as its first track
    // reads, is offered a format once.
    const bool unformatted = result.outcome == RawWriteOutcome::Unformatted;
    for (int round = 0; round < 2; ++round) {
        if (result.outcome == RawWriteOutcome::Unformatted && (round == 0) == unformatted)
            result = FormatDiskette(&session, now, request, result.error);
        if (result.outcome == RawWriteOutcome::Written)
            result = CheckRoomForImage(&session, now.letter);
        if (result.outcome == RawWriteOutcome::Written)
            result = WriteAndCheck(&session, now, request);
        if (result.outcome != RawWriteOutcome::Unformatted || unformatted || result.wroteAny)
            break;
    }
    Release(&session, now.target.kind == WriteTargetKind::PhysicalDrive);
    result.diskette = session.diskette;
    if (result.outcome == RawWriteOutcome::BadSpot) {
        result.badSpot = session.badSpotAt;
        result.error = session.lastError;
    }
    return result;
}

RawWriteResult RunRawRead(const StorageCalls& calls, const TargetIdentity& chosen, uint8_t* bytes) {
    TargetIdentity now{};
    RawWriteResult result = CheckBeforeTaking(calls, chosen, &now);
    if (result.outcome != RawWriteOutcome::Written)
        return result;
    Session session{};
    session.calls = &calls;
    // Taken as for a write, so that no file system changes what is read.
    RawWriteRequest asWrite{};
    asWrite.lockTries = kRawLockTries;
    asWrite.lockPauseMs = kRawLockPauseMs;
    result = TakeVolumes(&session, now, asWrite);
    if (result.outcome == RawWriteOutcome::Written)
        result = OpenDevice(&session, now);
    if (result.outcome == RawWriteOutcome::Written) {
        result.throughDisk = now.target.kind == WriteTargetKind::PhysicalDrive;
        result.readBackStop = 0;
        while (result.readBackStop < kWriteImageSize &&
               ReadAt(&session, result.readBackStop, bytes + result.readBackStop, kWriteChunkSize))
            result.readBackStop += kWriteChunkSize;
        if (result.readBackStop != kWriteImageSize) {
            result.outcome = RawWriteOutcome::NotKept;
            result.error = session.lastError;
        }
    }
    Release(&session, now.target.kind == WriteTargetKind::PhysicalDrive);
    return result;
}
