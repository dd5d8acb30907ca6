// What a drive row says its icon shows, from the device's answers.
#include "devices/drive_kind.h"

#include <gtest/gtest.h>

TEST(DriveKind, TheDisketteDriveFirstThenTheFixedDiskThenTheBus) {
    const struct {
        bool diskette, fixed;
        uint32_t bus;
        DriveKind kind;
    } kCases[] = {
        {false, false, kDriveBusUsb, DriveKind::UsbStick}, {false, false, kDriveBusSd, DriveKind::Card},
        {false, false, kDriveBusMmc, DriveKind::Card},     {true, false, kDriveBusUsb, DriveKind::Diskette},
        {false, true, kDriveBusUsb, DriveKind::FixedDisk}, {false, false, 0, DriveKind::Removable},
        {false, false, 11 /* SATA */, DriveKind::Removable},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(DriveKindOf(c.diskette, c.fixed, c.bus), c.kind) << c.diskette << c.fixed << " bus " << c.bus;
}
