#include "drive_facts.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "write/raw_write.h"
#include "write/storage_win32.h"
#include "write/write_target.h"

namespace {

// The geometry and length through a handle that asks for no access: the
// length from the extended geometry, else from the length query.
void AskSize(const StorageCalls& calls, const TargetIdentity& identity, DriveFacts* facts) {
    StorageHandle device = nullptr;
    if (calls.open(calls.context, identity.target.path.text, StorageAccess::Query, false, &device) != 0)
        return;
    alignas(8) uint8_t answer[64] = {};
    uint32_t returned = 0;
    if (calls.control(calls.context, device, StorageControl::DriveGeometryEx, answer, sizeof answer, &returned) == 0) {
        facts->sectorSize = BytesPerSectorFromGeometry(answer, returned);
        if (returned >= 32)
            memcpy(&facts->length, answer + 24, sizeof facts->length);
    }
    if (facts->sectorSize == 0 &&
        calls.control(calls.context, device, StorageControl::DriveGeometry, answer, 24, &returned) == 0)
        facts->sectorSize = BytesPerSectorFromGeometry(answer, returned);
    if (facts->length == 0 &&
        calls.control(calls.context, device, StorageControl::LengthInfo, answer, 8, &returned) == 0 && returned >= 8)
        memcpy(&facts->length, answer, sizeof facts->length);
    calls.close(calls.context, device);
}

const char* OutcomeText(RawWriteOutcome outcome) {
    switch (outcome) {
        case RawWriteOutcome::Written:
            return "read";
        case RawWriteOutcome::Moved:
            return "the letter leads to another device than the one chosen";
        case RawWriteOutcome::Spanned:
            return "the volume spans more than one disk";
        case RawWriteOutcome::InUse:
            return "a volume of the disk could be neither locked nor dismounted";
        case RawWriteOutcome::LargeSectors:
            return "its sectors do not fit the program's chunks";
        case RawWriteOutcome::NoMedium:
            return "there is no medium in the drive";
        case RawWriteOutcome::WriteProtected:
            return "the medium is write-protected";
        case RawWriteOutcome::AccessDenied:
        case RawWriteOutcome::AccessPolicy:
            return "Windows refused access (run as administrator; a policy may deny removable drives)";
        case RawWriteOutcome::NotRemovable:
            return "the disk is not removable or holds what Windows needs";
        case RawWriteOutcome::NotKept:
            return "a read failed, or read back other bytes than were written";
        case RawWriteOutcome::WriteFailed:
        case RawWriteOutcome::MediumFailed:
            return "a write to the medium failed";
        case RawWriteOutcome::DriveGone:
            return "the drive went away";
        case RawWriteOutcome::BadSpot:
            return "a sector failed twice while the drive read elsewhere: the medium has a bad spot";
        case RawWriteOutcome::TakenBack:
            return "Windows mounted a volume of the disk again meanwhile";
        case RawWriteOutcome::NotThisMedium:
            return "the medium is not the one meant";
        default:
            return "the device would not open";
    }
}

}  // namespace

std::string AskDrive(char letter, DriveFacts* facts) {
    *facts = DriveFacts{};
    char root[] = {letter, ':', '\\', '\0'};
    // The program lists removable drives, and fixed ones that are sticks or
    // cards calling themselves fixed.
    const UINT type = GetDriveTypeA(root);
    if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED)
        return std::string("drive ") + letter + ": is not a removable drive";
    const StorageCalls& calls = Win32StorageCalls();
    facts->identity = IdentifyTarget(calls, letter);
    const TargetIdentity& identity = facts->identity;
    facts->fixedStick = type == DRIVE_FIXED;
    if (facts->fixedStick && !IsFixedStick(identity))
        return std::string("drive ") + letter +
               ": is a fixed disk that is not a stick or card on USB, SD or MMC of at most 256 GiB, "
               "or holds what Windows needs";
    if (identity.queryError == kErrorNotReady || identity.queryError == kErrorNoMediaInDrive)
        return "there is no medium in the drive";
    if (identity.target.kind == WriteTargetKind::Refused)
        return "the volume spans more than one disk";
    if (identity.tooManyVolumes)
        return "the disk holds more volumes than the program can hold at once";
    const DiskRefusal refusal = CheckRemovableDisk(identity);
    if (refusal != DiskRefusal::None)
        return std::string(identity.target.path.text) + " " + DiskRefusalText(refusal);
    AskSize(calls, identity, facts);
    return "";
}

std::string ReadDriveStart(const TargetIdentity& identity, uint8_t* bytes) {
    const RawWriteResult result = RunRawRead(Win32StorageCalls(), identity, bytes);
    if (result.outcome == RawWriteOutcome::Written)
        return "";
    char line[200];
    snprintf(line, sizeof line, "%s (error %u, at byte %llu)", OutcomeText(result.outcome), result.error,
             static_cast<unsigned long long>(result.readBackStop));
    return line;
}

namespace {

// The disk `before` named, if letter `letter` leads to it now.
bool FoundOn(const TargetIdentity& before, char letter, TargetIdentity* found) {
    const char root[] = {letter, ':', '\\', '\0'};
    char volume[kVolumeNameCapacity];
    const UINT type = GetDriveTypeA(root);
    if ((type != DRIVE_REMOVABLE && type != DRIVE_FIXED) ||
        !GetVolumeNameForVolumeMountPointA(root, volume, sizeof volume))
        return false;
    *found = IdentifyTarget(Win32StorageCalls(), letter);
    // After a write Windows finds a new volume on the disk, and may give it
    // another letter: the disk is what still names the device.
    TargetIdentity asBefore = *found;
    asBefore.letter = before.letter;
    return IsSameDisk(before, asBefore);
}

}  // namespace

std::string WaitForDriveBack(const TargetIdentity& before, unsigned limitMs, bool (*stopped)(),
                             TargetIdentity* found) {
    const DWORD start = GetTickCount();
    for (;;) {
        // Its own letter first: where several disks answer alike (Wine's
        // drives all do) the one it had is the one meant.
        if (FoundOn(before, before.letter, found))
            return "";
        const DWORD letters = GetLogicalDrives();
        for (char letter = 'C'; letter <= 'Z'; ++letter)
            if (letter != before.letter && (letters & (1u << (letter - 'A'))) && FoundOn(before, letter, found))
                return "";
        if (stopped && stopped())
            return "stopped (Ctrl+C or the console closed) before the drive came back";
        if (GetTickCount() - start >= limitMs)
            return std::string("the disk of drive ") + before.letter + ": did not come back on any letter within " +
                   std::to_string(limitMs / 1000) + " s";
        Sleep(100);
    }
}

std::string PutBackStart(const TargetIdentity& identity, const uint8_t* bytes, uint8_t* readBack) {
    if (CheckRemovableDisk(identity) != DiskRefusal::None)
        return std::string("the disk is not one the program would write: ") +
               DiskRefusalText(CheckRemovableDisk(identity));
    RawWriteRequest request = {};
    request.chosen = &identity;
    request.image = bytes;
    request.readBack = readBack;
    request.lockTries = kRawLockTries;
    request.lockPauseMs = kRawLockPauseMs;
    const RawWriteResult result = RunRawWrite(Win32StorageCalls(), request);
    if (result.outcome == RawWriteOutcome::Written)
        return "";
    char line[200];
    snprintf(line, sizeof line, "the write failed: %s (error %u, at byte %llu)", OutcomeText(result.outcome),
             result.error, static_cast<unsigned long long>(result.readBackStop));
    return line;
}
