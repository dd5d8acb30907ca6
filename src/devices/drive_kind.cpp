#include "devices/drive_kind.h"

DriveKind DriveKindOf(bool disketteDrive, bool fixedDisk, uint32_t busType) {
    if (disketteDrive)
        return DriveKind::Diskette;
    if (fixedDisk)
        return DriveKind::FixedDisk;
    if (busType == kDriveBusUsb)
        return DriveKind::UsbStick;
    if (busType == kDriveBusSd || busType == kDriveBusMmc)
        return DriveKind::Card;
    return DriveKind::Removable;
}
