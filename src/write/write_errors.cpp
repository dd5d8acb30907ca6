#include "write/write_errors.h"

#include "resources/resource.h"
#include "write/storage_calls.h"
#include "write/write_target.h"

namespace {

// Win32 errors that only the write's failures look at.
constexpr uint32_t kErrorCrc = 23;
constexpr uint32_t kErrorHandleDiskFull = 39;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorSemTimeout = 121;
constexpr uint32_t kErrorDeviceRemoved = 1617;
constexpr uint32_t kErrorWriteFault = 29;
constexpr uint32_t kErrorReadFault = 30;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorDevNotExist = 55;
constexpr uint32_t kErrorNoSuchDevice = 433;
constexpr uint32_t kErrorDeviceHardwareError = 483;
constexpr uint32_t kErrorMediaChanged = 1110;
constexpr uint32_t kErrorIoDevice = 1117;
constexpr uint32_t kErrorDeviceNotConnected = 1167;

using O = RawWriteOutcome;

struct ErrorRow {
    uint32_t error;
    RawWriteOutcome before;    // nothing written yet
    RawWriteOutcome locked;    // part of the image may be on the drive
    RawWriteOutcome unlocked;  // the same, a volume left unlocked
};

// Only a refused access is another program taking an unlocked volume back:
// with a stick pulled out, the volume left unlocked changes nothing.
constexpr ErrorRow kRows[] = {
    {kErrorAccessDenied, O::AccessDenied, O::AccessDenied, O::TakenBack},
    {kErrorWriteProtect, O::WriteProtected, O::WriteProtected, O::WriteProtected},
    // An empty slot before the write; mid-write, the stick or card went.
    {kErrorNotReady, O::NoMedium, O::DriveGone, O::DriveGone},
    {kErrorNoMediaInDrive, O::NoMedium, O::DriveGone, O::DriveGone},
    {kErrorMediaChanged, O::NoMedium, O::DriveGone, O::DriveGone},
    {kErrorDeviceNotConnected, O::DriveGoneBefore, O::DriveGone, O::DriveGone},
    {kErrorNoSuchDevice, O::DriveGoneBefore, O::DriveGone, O::DriveGone},
    {kErrorDevNotExist, O::DriveGoneBefore, O::DriveGone, O::DriveGone},
    {kErrorFileNotFound, O::DriveGoneBefore, O::DriveGone, O::DriveGone},
    {kErrorDeviceRemoved, O::DriveGoneBefore, O::DriveGone, O::DriveGone},
    // A USB transfer that timed out: a failing stick or a bad connection.
    {kErrorSemTimeout, O::TimedOut, O::TimedOut, O::TimedOut},
    // Out of room before the image's end: the medium is smaller than it said.
    {kErrorDiskFull, O::MediumSmaller, O::MediumSmaller, O::MediumSmaller},
    {kErrorHandleDiskFull, O::MediumSmaller, O::MediumSmaller, O::MediumSmaller},
    {kErrorUnrecognizedMedia, O::Unformatted, O::Unformatted, O::Unformatted},
    {kErrorInvalidParameter, O::InvalidRequest, O::InvalidRequest, O::InvalidRequest},
    // The device answers, but its medium or controller failed.
    {kErrorCrc, O::MediumFailed, O::MediumFailed, O::MediumFailed},
    {kErrorSectorNotFound, O::MediumFailed, O::MediumFailed, O::MediumFailed},
    {kErrorWriteFault, O::MediumFailed, O::MediumFailed, O::MediumFailed},
    {kErrorReadFault, O::MediumFailed, O::MediumFailed, O::MediumFailed},
    {kErrorGenFailure, O::MediumFailed, O::MediumFailed, O::MediumFailed},
    {kErrorIoDevice, O::MediumFailed, O::MediumFailed, O::MediumFailed},
    {kErrorDeviceHardwareError, O::MediumFailed, O::MediumFailed, O::MediumFailed},
};

}  // namespace

RawWriteOutcome OutcomeOfError(uint32_t error, WriteStage stage) {
    for (const ErrorRow& row : kRows) {
        if (row.error != error)
            continue;
        switch (stage) {
            case WriteStage::BeforeWrite:
                return row.before;
            case WriteStage::Writing:
                return row.locked;
            case WriteStage::WritingUnlocked:
                return row.unlocked;
            case WriteStage::ReadingBack:
                // The write itself went through: only a drive that went, a
                // medium that failed or a drive that stopped answering says
                // more than that it was not kept.
                return row.locked == O::DriveGone || row.locked == O::MediumFailed || row.locked == O::TimedOut
                           ? row.locked
                           : O::NotKept;
        }
    }
    switch (stage) {
        case WriteStage::BeforeWrite:
            return O::CannotOpen;
        case WriteStage::ReadingBack:
            return O::NotKept;
        default:
            return O::WriteFailed;
    }
}

FailureText FailureTextOf(RawWriteOutcome outcome, uint32_t mediaType) {
    using A = FailureArgument;
    switch (outcome) {
        case O::Written:
        case O::Declined:  // its line is logged where the question was asked
            break;
        case O::Moved:
            return {IDS_TARGET_MOVED, A::Drive, true};
        case O::InUse:
            return {IDS_DRIVE_IN_USE, A::Drive, true};
        case O::LargeSectors:
            return {IDS_LARGE_SECTORS, A::Drive, true};
        case O::Sectors4096:
            return {IDS_SECTORS_4096, A::Drive, true};
        case O::Spanned:
            return {IDS_SPANNED_VOLUME, A::Drive, true};
        case O::WriteProtected:
            return {IDS_WRITE_PROTECTED, A::Drive, false};
        case O::NoMedium:
            return {IDS_NO_MEDIUM, A::Drive, false};
        case O::AccessDenied:
            return {IDS_ACCESS_REFUSED, A::Drive, false};
        case O::NotRemovable:
            return {IDS_NOT_REMOVABLE_DISK, A::Drive, true};
        case O::TakenBack:
            return {IDS_DRIVE_TAKEN_BACK, A::Drive, true};
        case O::AccessPolicy:
            return {IDS_ACCESS_POLICY, A::Drive, true};
        case O::DriveGone:
            return {IDS_DRIVE_GONE, A::Drive, true};
        case O::DriveGoneBefore:
            return {IDS_DRIVE_GONE_BEFORE, A::Drive, false};
        case O::MediumFailed:
            return {IDS_MEDIUM_FAILED, A::Drive, true};
        case O::NotThisMedium:
            return {IDS_PUT_BACK_OTHER_MEDIUM, A::Drive, true};
        case O::NotKept:
            return {IDS_NOT_KEPT, A::None, false};
        case O::NotKeptUnlocked:
            return {IDS_NOT_KEPT_UNLOCKED, A::Drive, false};
        case O::TooSmall:
            return mediaType == kMediaTypeDiskette720 ? FailureText{IDS_DISKETTE_720, A::Drive, true}
                                                      : FailureText{IDS_MEDIUM_TOO_SMALL, A::Medium, true};
        case O::TimedOut:
            return {IDS_USB_TIMEOUT, A::Drive, false};
        case O::MediumSmaller:
            return {IDS_MEDIUM_SMALLER, A::Drive, false};
        case O::Unformatted:
            return {IDS_UNFORMATTED, A::Drive, false};
        case O::InvalidRequest:
            return {IDS_INVALID_REQUEST, A::Drive, false};
        case O::BadSpot:
            return {IDS_BAD_SPOT_DISKETTE, A::Spot, false};
        case O::CannotOpen:
        case O::WriteFailed:
            return {IDS_CANT_WRITE, A::OwnNumber, false};
    }
    return {0, A::None, true};
}
