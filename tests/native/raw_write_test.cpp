// The whole write path, from the choice of a drive to the read-back, run
// against the model of Windows' storage stack for each kind of device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "keep/kept_copy.h"
#include "write/diskette_layout.h"
#include "write/raw_write.h"
#include "write/write_errors.h"
#include "resources/resource.h"
#include "storage_model.h"

namespace {

struct AlignedBlock {
    uint8_t* bytes = static_cast<uint8_t*>(std::aligned_alloc(4096, kWriteImageSize));
    ~AlignedBlock() { std::free(bytes); }
};

struct Device {
    std::string name;
    std::function<void(StorageModel*)> make;
    RawWriteOutcome expected;
    std::string letters;        // on the chosen disk
    std::function<void(StorageModel*)> beforeStart = nullptr;  // between the choice and Start
    bool listedAsFixed = false;  // a fixed letter the drive list shows after the removable ones
};

void Stick(StorageModel* model, const char* kind) {
    AddStick(model, kind, 'E');
}

// A stick whose disk and (last) volume are then changed.
std::function<void(StorageModel*)> StickWith(const char* kind, void (*change)(ModelDisk&, ModelVolume&)) {
    return [=](StorageModel* m) { Stick(m, kind), change(m->disks.back(), m->volumes.back()); };
}

// Drive E: of a volume driver (an encrypted container) on the system disk.
void OnSystemDisk(StorageModel* model, bool answersExtents) {
    model->volumes.push_back(ModelVolume{"\\\\?\\Volume{ca000000}\\", "E", 0, 3 << 20, 1 << 20, 1 << 20});
    model->volumes.back().answersExtents = answersExtents;
}

// A diskette drive (no disk under it) holding a medium of `bytes`.
std::function<void(StorageModel*)> Diskette(uint64_t bytes, uint32_t mediaType, bool answersGeometry = true) {
    return [=](StorageModel* m) {
        ModelVolume floppy;
        floppy.name = "\\\\?\\Volume{f1000000-0000-0000-0000-000000000000}\\";
        floppy.letters = "E";
        floppy.length = floppy.fileSystemSize = bytes;
        floppy.answersGeometry = answersGeometry;
        m->volumes.push_back(floppy);
        m->disketteMedium.assign(bytes, 0xF6);
        m->disketteMediaType = mediaType;
    };
}

std::vector<Device> Devices() {
    return {
        {"superfloppy stick", [](StorageModel* m) { Stick(m, "superfloppy"); }, RawWriteOutcome::Written, "E"},
        {"MBR stick, one partition at 1 MiB", [](StorageModel* m) { Stick(m, "mbr"); }, RawWriteOutcome::Written, "E"},
        {"MBR stick, two partitions", [](StorageModel* m) { Stick(m, "mbr2"); }, RawWriteOutcome::Written, "EF"},
        {"GPT stick", [](StorageModel* m) { Stick(m, "gpt"); }, RawWriteOutcome::Written, "E"},
        {"GPT stick, its backup header damaged", [](StorageModel* m) { Stick(m, "gpt-named"); },
         RawWriteOutcome::Written, "E"},
        {"MBR stick with a stale GPT header left in sector 1", [](StorageModel* m) { Stick(m, "stale-gpt"); },
         RawWriteOutcome::Written, "E"},
        {"MBR stick whose last sector says EFI PART with a wrong CRC: left alone",
         [](StorageModel* m) { Stick(m, "efi-bad-crc"); }, RawWriteOutcome::Written, "E"},
        {"512e disk", [](StorageModel* m) { Stick(m, "mbr"); }, RawWriteOutcome::Written, "E"},
        {"4Kn disk", [](StorageModel* m) { Stick(m, "4kn"); }, RawWriteOutcome::Sectors4096, "E"},
        {"a stick that calls itself fixed", StickWith("mbr", [](ModelDisk& d, ModelVolume&) { d.removableMedia = false; }),
         RawWriteOutcome::Written, "E", nullptr, true},
        {"an SD card that calls itself fixed",
         StickWith("mbr", [](ModelDisk& d, ModelVolume&) { d.removableMedia = false, d.busType = 0xC; }),
         RawWriteOutcome::Written, "E", nullptr, true},
        {"a 1 TB USB hard disk",
         StickWith("mbr", [](ModelDisk& d, ModelVolume&) { d.removableMedia = false, d.reportedBytes = 1ull << 40; }),
         RawWriteOutcome::NotRemovable, "E"},
        {"a volume mounted as soon as Windows reads the new layout, its boot sector marked dirty",
         StickWith("mbr", [](ModelDisk&, ModelVolume& v) { v.mountsOnNewLayout = true; }), RawWriteOutcome::Written,
         "E"},
        {"Explorer closes its handles 1.5 s after the dismount; the lock then holds",
         StickWith("superfloppy",
                   [](ModelDisk&, ModelVolume& v) {
                       v.openFiles = v.remountAfterWrites = 2;
                       v.handlesKeptAfterDismountMs = 1500;
                   }),
         RawWriteOutcome::Written, "E"},
        {"the stick pulled out mid-write, its volume left unlocked",
         StickWith("superfloppy",
                   [](ModelDisk& d, ModelVolume& v) {
                       v.openFiles = 2, v.reopenedAtOnce = true;
                       d.failsWith = 1167, d.failsAfterWrites = 3;  // ERROR_DEVICE_NOT_CONNECTED
                   }),
         RawWriteOutcome::DriveGone, "E"},
        {"a CRC error mid-write", StickWith("mbr", [](ModelDisk& d, ModelVolume&) { d.failsWith = 23, d.failsAfterWrites = 5; }),
         RawWriteOutcome::MediumFailed, "E"},
        {"Explorer window open on the stick, reading it again mid-write",
         StickWith("superfloppy", [](ModelDisk&, ModelVolume& v) { v.openFiles = 2, v.remountAfterWrites = 2; }),
         RawWriteOutcome::Written, "E"},
        {"a program opens the stick again at once after the dismount",
         StickWith("superfloppy",
                   [](ModelDisk&, ModelVolume& v) {
                       v.openFiles = v.remountAfterWrites = 2;
                       v.reopenedAtOnce = true;
                   }),
         RawWriteOutcome::TakenBack, "E"},
        {"stick swapped for a like one during the wait for the lock",
         [](StorageModel* m) {
             StickWith("mbr", [](ModelDisk&, ModelVolume& v) { v.openFiles = 2; })(m);
             m->onPause = [](StorageModel* model) { model->disks[1].serial = "STICK-OTHER"; };
         },
         RawWriteOutcome::Moved, "E"},
        {"a policy denies writing to removable drives",
         StickWith("mbr", [](ModelDisk&, ModelVolume& v) { v.policyDeniesWrite = true; }),
         RawWriteOutcome::AccessPolicy, "E"},
        {"a volume driver's removable drive inside the system disk", [](StorageModel* m) { OnSystemDisk(m, true); },
         RawWriteOutcome::NotRemovable, "EC"},
        {"the same without an extents answer", [](StorageModel* m) { OnSystemDisk(m, false); },
         RawWriteOutcome::NotRemovable, "E"},
        {"a fixed NVMe data disk",
         StickWith("mbr", [](ModelDisk& d, ModelVolume&) { d.removableMedia = false, d.busType = 17; }),
         RawWriteOutcome::NotRemovable, "E"},
        {"a disk that does not describe itself",
         StickWith("mbr", [](ModelDisk& d, ModelVolume&) { d.answersDescriptor = false; }),
         RawWriteOutcome::NotRemovable, "E"},
        {"PhysicalDriveN leading to a volume, not a disk",
         StickWith("mbr", [](ModelDisk& d, ModelVolume&) { d.object = "\\Device\\HarddiskVolume7"; }),
         RawWriteOutcome::NotRemovable, "E"},
        {"a USB disk holding a page file",
         StickWith("mbr2", [](ModelDisk&, ModelVolume& v) { v.system = true, v.openFiles = 1; }),
         RawWriteOutcome::NotRemovable, "EF"},
        {"a volume of the disk that cannot be opened",
         [](StorageModel* m) {
             Stick(m, "mbr2");
             m->volumes.back().refusesOpen = true;
         },
         RawWriteOutcome::InUse, "EF"},
        {"write-protected medium",
         [](StorageModel* m) {
             Stick(m, "mbr");
             m->disks.back().writeProtected = true;
         },
         RawWriteOutcome::WriteProtected, "E"},
        {"empty card slot",
         [](StorageModel* m) {
             Stick(m, "superfloppy");
             m->disks.back().present = false;
         },
         RawWriteOutcome::NoMedium, "E"},
        {"drive that keeps nothing",
         [](StorageModel* m) {
             Stick(m, "mbr");
             m->disks.back().keepsNothing = true;
         },
         RawWriteOutcome::NotKept, "E"},
        {"security software refuses the disk",
         [](StorageModel* m) {
             Stick(m, "mbr");
             m->disks.back().deniesDiskOpen = true;
         },
         RawWriteOutcome::AccessDenied, "E"},
        {"volume over two disks",
         [](StorageModel* m) {
             Stick(m, "mbr");
             m->volumes.back().diskCount = 2;
         },
         RawWriteOutcome::Spanned, "E"},
        {"letter moved to another stick before Start", [](StorageModel* m) { Stick(m, "mbr"); },
         RawWriteOutcome::Moved, "E",
         [](StorageModel* m) {
             m->volumes.back().letters = "";
             AddStick(m, "superfloppy", 'E');
         }},
        {"a 720 KB diskette", Diskette(737280, 5), RawWriteOutcome::TooSmall, "E"},
        {"a card shorter than the image",
         StickWith("superfloppy",
                   [](ModelDisk& d, ModelVolume& v) { d.medium.resize(1 << 20), d.cache = d.medium, v.length = 1 << 20; }),
         RawWriteOutcome::TooSmall, "E"},
        {"a card reader's volume of no geometry, shorter than the image", Diskette(1 << 20, 0, false),
         RawWriteOutcome::TooSmall, "E"},
        {"an eMMC disk built into the laptop",
         StickWith("mbr", [](ModelDisk& d, ModelVolume&) { d.removableMedia = false, d.busType = 0xD, d.deviceHotplug = false; }),
         RawWriteOutcome::NotRemovable, "E"},
        {"a USB time-out mid-write", StickWith("mbr", [](ModelDisk& d, ModelVolume&) { d.failsWith = 121, d.failsAfterWrites = 4; }),
         RawWriteOutcome::TimedOut, "E"},
        {"the drive full before the image's end",
         StickWith("mbr", [](ModelDisk& d, ModelVolume&) { d.failsWith = 112, d.failsAfterWrites = 9; }),
         RawWriteOutcome::MediumSmaller, "E"},
        {"a stick that keeps nothing, its volume left unlocked",
         StickWith("superfloppy",
                   [](ModelDisk& d, ModelVolume& v) { d.keepsNothing = true, v.openFiles = 2, v.reopenedAtOnce = true; }),
         RawWriteOutcome::NotKeptUnlocked, "E"},
        {"4,096-byte sectors learnt only once the disk is taken",
         StickWith("4kn", [](ModelDisk& d, ModelVolume&) { d.answersGeometryEx = false; }), RawWriteOutcome::Sectors4096,
         "E"},
        {"diskette drive with a 720 KB file system",
         [](StorageModel* m) {
             ModelVolume floppy;
             floppy.name = "\\\\?\\Volume{f1000000-0000-0000-0000-000000000000}\\";
             floppy.letters = "E";
             floppy.length = kWriteImageSize;
             floppy.fileSystemSize = 737280;
             m->volumes.push_back(floppy);
             m->disketteMedium.assign(kWriteImageSize, 0xF6);
         },
         RawWriteOutcome::Written, "E"},
    };
}

// A read of the drive's start, on a device of its own: refused where a write
// is refused before anything is taken, else the medium's bytes, with nothing
// written and nothing left open or locked.
void ExpectReadAsWritten(const Device& device) {
    const RawWriteOutcome refusals[] = {RawWriteOutcome::Written, RawWriteOutcome::NotRemovable,
                                        RawWriteOutcome::Spanned, RawWriteOutcome::LargeSectors};
    if (device.beforeStart || std::find(std::begin(refusals), std::end(refusals), device.expected) == std::end(refusals))
        return;
    StorageModel model = SystemOnly();
    device.make(&model);
    const StorageCalls calls = model.Calls();
    AlignedBlock start;
    EXPECT_EQ(int(RunRawRead(calls, IdentifyTarget(calls, 'E'), start.bytes).outcome), int(device.expected));
    const std::vector<uint8_t>& medium = model.disks.size() > 1 ? model.disks[1].medium : model.disketteMedium;
    if (device.expected == RawWriteOutcome::Written) {
        EXPECT_EQ(memcmp(start.bytes, medium.data(), kWriteImageSize), 0);
    }
    EXPECT_EQ(model.rawWrites, 0);
    EXPECT_EQ(model.OpenHandles(), 0);
    EXPECT_FALSE(model.AnyVolumeLocked());
}

TEST(RawWrite, EachDeviceIsWrittenOnlyWhereChosenAndReadBack) {
    AlignedBlock image, readBack;
    for (uint32_t i = 0; i < kWriteImageSize; ++i)
        image.bytes[i] = uint8_t(i * 7 + (i >> 12));
    for (const Device& device : Devices()) {
        SCOPED_TRACE(device.name);
        StorageModel model = SystemOnly();
        device.make(&model);
        const StorageCalls calls = model.Calls();

        const TargetIdentity chosen = IdentifyTarget(calls, 'E');
        EXPECT_EQ(std::string(chosen.lettersOnDisk), device.letters);
        EXPECT_EQ(IsFixedStick(chosen), device.listedAsFixed);
        EXPECT_FALSE(IsFixedStick(IdentifyTarget(calls, 'C'))) << "the Windows disk";
        if (device.beforeStart)
            device.beforeStart(&model);
        const std::vector<ModelDisk> before = model.disks;
        const std::vector<uint8_t> disketteBefore = model.disketteMedium;
        ExpectReadAsWritten(device);

        const RawWriteRequest request = {&chosen, image.bytes, readBack.bytes, PassProgress{}, 50, 100, {}, {}};
        const RawWriteResult result = RunRawWrite(calls, request);
        EXPECT_EQ(int(result.outcome), int(device.expected));

        // Nothing stays open or locked, and the system disk is never opened for writing.
        EXPECT_EQ(model.OpenHandles(), 0);
        EXPECT_FALSE(model.AnyVolumeLocked());
        for (const std::string& path : model.writeOpens) {
            EXPECT_EQ(path.find("PhysicalDrive0"), std::string::npos) << path;
            EXPECT_EQ(path.find("{c000"), std::string::npos) << path;
        }
        EXPECT_EQ(model.disks[0].medium, before[0].medium);

        const bool written = device.expected == RawWriteOutcome::Written;
        const RawWriteOutcome partial[] = {RawWriteOutcome::TakenBack, RawWriteOutcome::DriveGone,
                                           RawWriteOutcome::MediumFailed, RawWriteOutcome::TimedOut,
                                           RawWriteOutcome::MediumSmaller, RawWriteOutcome::NotKept,
                                           RawWriteOutcome::NotKeptUnlocked};
        const bool wrote = written || std::find(std::begin(partial), std::end(partial), device.expected) != std::end(partial);
        // What the failure's line says of the drive, and the error it names.
        EXPECT_EQ(result.wroteAny, wrote);
        if (wrote && !written && device.expected != RawWriteOutcome::NotKept &&
            device.expected != RawWriteOutcome::NotKeptUnlocked)
            EXPECT_NE(result.error, 0u);
        // The checks see a known size short of the image before Start.
        if (device.expected == RawWriteOutcome::TooSmall)
            EXPECT_EQ(CheckMediumFit(chosen.mediumLength, chosen.mediaType) != MediumFit::Fits,
                      device.name.find("no geometry") == std::string::npos);
        if (wrote && !written && device.expected != RawWriteOutcome::NotKept)
            continue;  // part of the image is on the stick
        // Refused on what the device said when asked without access.
        if ((device.expected == RawWriteOutcome::NotRemovable || device.expected == RawWriteOutcome::Sectors4096) &&
            device.name.find("learnt only") == std::string::npos) {
            EXPECT_TRUE(model.writeOpens.empty());
        }
        if (!written) {
            for (size_t d = 0; d < before.size(); ++d)
                EXPECT_EQ(model.disks[d].medium, before[d].medium) << "disk " << d;
            EXPECT_EQ(model.disketteMedium, disketteBefore);
            continue;
        }
        const std::vector<uint8_t>& medium =
            model.disks.size() > 1 ? model.disks[1].medium : model.disketteMedium;
        ASSERT_GE(medium.size(), kWriteImageSize);
        // What Windows writes once it has read the new layout is none of the read-back's business.
        if (!model.volumes.back().mountsOnNewLayout) {
            EXPECT_EQ(memcmp(medium.data(), image.bytes, kWriteImageSize), 0);
        }
        EXPECT_EQ(result.readBackStop, kWriteImageSize);
        if (model.disks.size() > 1) {
            const ModelDisk& disk = model.disks[1];
            EXPECT_FALSE(disk.layoutStale) << "Windows still holds the old partition table";
            EXPECT_TRUE(result.throughDisk);
            // Past the image only the old backup GPT header is gone; the
            // end of an MBR stick's last partition stays.
            const bool leftAlone = device.name.find("stale") != std::string::npos ||
                                   device.name.find("left alone") != std::string::npos;
            const size_t tail = disk.medium.size() - (leftAlone ? 0 : 512);
            EXPECT_TRUE(std::equal(disk.medium.begin() + kWriteImageSize, disk.medium.begin() + long(tail),
                                   before[1].medium.begin() + kWriteImageSize)) << device.name;
            if (!leftAlone) {
                EXPECT_NE(memcmp(disk.medium.data() + disk.medium.size() - 512, "EFI PART", 8), 0);
            }
        }
        if (device.name.rfind("Explorer", 0) == 0) {  // the lock was tried for about 5 s first
            EXPECT_EQ(model.pausedMs, 4900u + model.volumes.back().handlesKeptAfterDismountMs);
        }
    }
}

TEST(RawWrite, TheWrittenDiskIsKnownAgainButAMovedLetterIsNot) {
    StorageModel model = SystemOnly();
    AddStick(&model, "mbr", 'E');
    const StorageCalls calls = model.Calls();
    const TargetIdentity chosen = IdentifyTarget(calls, 'E');

    // After the write Windows finds a new volume on the same disk.
    model.volumes.back().name = "\\\\?\\Volume{0e000000-0000-0000-0000-000000000000}\\";
    const TargetIdentity rewritten = IdentifyTarget(calls, 'E');
    EXPECT_FALSE(IsSameDevice(chosen, rewritten));
    EXPECT_TRUE(IsSameDisk(chosen, rewritten));

    model.volumes.back().letters = "";
    AddStick(&model, "superfloppy", 'E');
    const TargetIdentity moved = IdentifyTarget(calls, 'E');
    EXPECT_FALSE(IsSameDisk(chosen, moved));
    EXPECT_FALSE(IsSameDevice(chosen, moved));
    EXPECT_TRUE(IsSameDevice(chosen, chosen));

    // The stick plugged in again under another number is known by its serial;
    // another stick, or one without a serial, under the old number is not it.
    model.volumes.pop_back();
    model.volumes[1] = ModelVolume{chosen.volume.text, "E", 1, kModelPartitionStart, 1 << 20, 1 << 20};
    model.disks[1].number = 5;
    const TargetIdentity replugged = IdentifyTarget(calls, 'E');
    EXPECT_TRUE(IsSameDevice(chosen, replugged) && IsSameDisk(chosen, replugged));
    for (const char* serial : {"STICK-2", ""}) {
        model.disks[1].number = 1;
        model.disks[1].serial = serial;
        const TargetIdentity other = IdentifyTarget(calls, 'E');
        EXPECT_FALSE(IsSameDevice(chosen, other) || IsSameDisk(chosen, other)) << serial;
    }
}

}  // namespace

namespace {

struct Keeper {
    StorageModel* model;
    std::vector<uint8_t> diskAtKeep, kept, tail;
    uint64_t tailOffset = 0;
    bool called = false;
};

RawWriteOutcome KeepInto(void* context, const MediumContents& medium) {
    auto* keeper = static_cast<Keeper*>(context);
    keeper->called = true;
    const StorageModel& model = *keeper->model;
    keeper->diskAtKeep = model.disks.size() > 1 ? model.disks[1].medium : model.disketteMedium;
    if (medium.kept != nullptr)
        keeper->kept.assign(medium.kept, medium.kept + kWriteImageSize);
    keeper->tail.assign(medium.tail, medium.tail + medium.tailSize);
    keeper->tailOffset = medium.tailOffset;
    return RawWriteOutcome::Written;
}

bool NoHash(const uint8_t*, uint32_t, uint8_t digest[32]) {
    memset(digest, 0, 32);
    return true;
}

// A GPT stick is written with its first 1.44 MB and its backup header kept,
// then given back from the copy: byte for byte as it was, on that stick only.
TEST(RawWrite, WhatAWriteReplacesIsKeptFirstAndGoesBackWhole) {
    AlignedBlock image, readBack, kept, tail;
    memset(image.bytes, 0xE6, kWriteImageSize);
    StorageModel model = SystemOnly();
    AddStick(&model, "gpt", 'E');
    const std::vector<uint8_t> before = model.disks[1].medium;
    const StorageCalls calls = model.Calls();
    const TargetIdentity chosen = IdentifyTarget(calls, 'E');

    Keeper keeper;
    keeper.model = &model;
    RawWriteRequest request = {&chosen, image.bytes, readBack.bytes, {}, 50, 100, {KeepInto, nullptr, NoHash, &keeper}, {}};
    ASSERT_EQ(int(RunRawWrite(calls, request).outcome), int(RawWriteOutcome::Written));
    ASSERT_TRUE(keeper.called);
    EXPECT_EQ(keeper.diskAtKeep, before) << "a byte was written before the copy was kept";
    EXPECT_TRUE(std::equal(keeper.kept.begin(), keeper.kept.end(), before.begin()));
    ASSERT_EQ(keeper.tail.size(), 512u);
    EXPECT_EQ(keeper.tailOffset, before.size() - 512);
    EXPECT_EQ(memcmp(keeper.tail.data(), "EFI PART", 8), 0);

    // Put back: the kept bytes are the image, the backup header the tail.
    const TargetIdentity written = IdentifyTarget(calls, 'E');
    EXPECT_TRUE(IsKeptDevice(KeptDeviceOf(chosen), KeptDeviceOf(written)));
    memcpy(kept.bytes, keeper.kept.data(), kWriteImageSize);
    memcpy(tail.bytes, keeper.tail.data(), keeper.tail.size());
    request = {&written, kept.bytes, readBack.bytes, {}, 50, 100, {}, {keeper.tailOffset, tail.bytes, 512}};
    ASSERT_EQ(int(RunRawWrite(calls, request).outcome), int(RawWriteOutcome::Written));
    EXPECT_EQ(model.disks[1].medium, before);
    EXPECT_EQ(model.OpenHandles(), 0);

    // Another stick behind the same letter is never the copy's device.
    model.volumes.back().letters = "";
    AddStick(&model, "gpt", 'E');
    EXPECT_FALSE(IsKeptDevice(KeptDeviceOf(chosen), KeptDeviceOf(IdentifyTarget(calls, 'E'))));
}

}  // namespace

namespace {

// Each Windows error gets its own words, whether the volume was locked or not
// (System Error Codes: what each error reports).
TEST(RawWrite, EachErrorIsToldByItsOwnText) {
    using S = WriteStage;
    const struct { uint32_t error; WriteStage stage; int text; } cases[] = {
        {5, S::Writing, IDS_ACCESS_REFUSED},           {5, S::WritingUnlocked, IDS_DRIVE_TAKEN_BACK},
        {21, S::BeforeWrite, IDS_NO_MEDIUM},           {21, S::WritingUnlocked, IDS_DRIVE_GONE},  // ERROR_NOT_READY
        {1167, S::WritingUnlocked, IDS_DRIVE_GONE},    {433, S::ReadingBack, IDS_DRIVE_GONE},
        {23, S::WritingUnlocked, IDS_MEDIUM_FAILED},   {23, S::ReadingBack, IDS_MEDIUM_FAILED},  // ERROR_CRC
        {19, S::WritingUnlocked, IDS_WRITE_PROTECTED}, {87, S::WritingUnlocked, IDS_INVALID_REQUEST},
        {87, S::ReadingBack, IDS_NOT_KEPT},
        {121, S::Writing, IDS_USB_TIMEOUT},            {121, S::ReadingBack, IDS_USB_TIMEOUT},  // ERROR_SEM_TIMEOUT
        {2, S::BeforeWrite, IDS_DRIVE_GONE_BEFORE},    {2, S::Writing, IDS_DRIVE_GONE},  // ERROR_FILE_NOT_FOUND
        {1617, S::BeforeWrite, IDS_DRIVE_GONE_BEFORE}, {1617, S::WritingUnlocked, IDS_DRIVE_GONE},  // ERROR_DEVICE_REMOVED
        {1785, S::BeforeWrite, IDS_UNFORMATTED},       {112, S::Writing, IDS_MEDIUM_SMALLER},  // ERROR_DISK_FULL
        {39, S::WritingUnlocked, IDS_MEDIUM_SMALLER},  {1450, S::Writing, IDS_CANT_WRITE},  // and one outside the table
    };
    for (const auto& c : cases)
        EXPECT_EQ(FailureTextOf(OutcomeOfError(c.error, c.stage)).id, c.text) << c.error << " " << int(c.stage);
}

}  // namespace

namespace {

struct PassWatch {
    StorageModel* model;
    std::vector<WritePass> begun;
    std::vector<uint32_t> positions, rotations;  // the bar, and the diskette's turns, at each report
};

void WatchBegin(void* watch, WritePass pass) {
    static_cast<PassWatch*>(watch)->begun.push_back(pass);
}

void WatchReport(void* context, WritePass pass, uint32_t done, uint32_t size) {
    auto* watch = static_cast<PassWatch*>(context);
    watch->positions.push_back(PassPosition(kUsualPasses, pass, done, size));
    watch->rotations.push_back(watch->model->disketteRotations);
}

bool SayYes(void* asked) {
    return ++*static_cast<int*>(asked) > 0;
}

// Diskettes as they are, written as the Install pane writes them: the bar
// rises through every pass, moves at least every cylinder and is full only
// after them, and three passes cost three turns of each track side; a sector
// that fails is tried again, then named, and never taken for a drive gone;
// an unformatted one is formatted when the user says so, a 720 KB one refused.
TEST(RawWrite, DiskettesAsTheyReallyAre) {
    using O = RawWriteOutcome;
    enum Medium { Hd, Dd, Stick };
    const struct {
        const char* name;
        Medium medium;
        int unformatted;
        int64_t bad;  // sector; its writes fail, its reads too when `badRead`, `failures` times
        uint32_t error;
        bool badRead;
        int failures;
        bool yes;  // to formatting
        O outcome;
        size_t passes;
    } rows[] = {
        {"sound", Hd, 0, -1, 0, false, 0, false, O::Written, 3},
        {"first sector bad, found keeping what is there", Hd, 0, 0, 23, true, -1, false, O::BadSpot, 1},
        {"a sector mid-way that takes no write", Hd, 0, 1453, 27, false, -1, false, O::BadSpot, 2},
        {"the last sector, ERROR_NOT_READY as under Wine", Hd, 0, 2879, 21, false, -1, false, O::BadSpot, 2},
        {"a CRC error gone at the second try", Hd, 0, 700, 23, true, 1, false, O::Written, 3},
        {"a stick's sector mid-way that takes no write", Stick, 0, 1000, 29, false, -1, false, O::BadSpot, 2},
        {"unformatted, as its geometry says", Hd, 1, -1, 0, false, 0, true, O::Written, 4},
        {"no sector on its first track", Hd, 2, -1, 0, false, 0, true, O::Written, 5},
        {"unformatted, and the user says No", Hd, 1, -1, 0, false, 0, false, O::Unformatted, 0},
        {"unformatted 720 KB", Dd, 1, -1, 0, false, 0, true, O::TooSmall, 1},
    };
    AlignedBlock image, readBack;
    memset(image.bytes, 0xE6, kWriteImageSize);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StorageModel model = SystemOnly();
        if (row.medium == Stick)
            AddStick(&model, "superfloppy", 'E');
        else
            Diskette(kWriteImageSize, row.unformatted != 0 ? 0 : 2)(&model);
        model.disketteUnformatted = row.unformatted;
        model.disketteDoubleDensity = row.medium == Dd;
        model.badSector = row.bad, model.badError = row.error, model.badOnRead = row.badRead, model.badFailures = row.failures;
        const std::vector<uint8_t>& medium = row.medium == Stick ? model.disks[1].medium : model.disketteMedium;
        const StorageCalls calls = model.Calls();
        const TargetIdentity chosen = IdentifyTarget(calls, 'E');
        Keeper keeper{&model, {}, {}, {}, 0, false};
        PassWatch watch{&model, {}, {}, {}};
        int asked = row.yes ? 0 : -1;
        const RawWriteRequest request = {&chosen, image.bytes, readBack.bytes, {WatchBegin, WatchReport, &watch}, 50,
                                         100, {KeepInto, nullptr, NoHash, &keeper}, {}, {SayYes, &asked}};
        const RawWriteResult result = RunRawWrite(calls, request);
        EXPECT_EQ(int(result.outcome), int(row.outcome));
        EXPECT_EQ(watch.begun.size(), row.passes);
        EXPECT_EQ(model.formattedCylinders, row.unformatted != 0 && row.yes && row.medium == Hd ? 80u : 0u);
        EXPECT_TRUE(row.outcome != O::Written || memcmp(medium.data(), image.bytes, kWriteImageSize) == 0);
        EXPECT_TRUE(row.outcome != O::BadSpot ||
                    (result.badSpot == uint64_t(row.bad) * 512 && result.diskette == (row.medium != Stick)));
        EXPECT_TRUE(row.medium != Dd || FailureTextOf(result.outcome, result.mediaType).id == IDS_DISKETTE_720);
        if (row.bad >= 0 || row.unformatted != 0)
            continue;
        EXPECT_EQ(model.disketteRotations, 3 * kWriteChunkCount);
        EXPECT_EQ(watch.positions.back(), 3 * kWriteImageSize);
        EXPECT_LT(watch.positions.back(), PassRange(kUsualPasses));
        for (size_t i = 1; i < watch.positions.size(); ++i)
            EXPECT_TRUE(watch.positions[i] > watch.positions[i - 1] && watch.rotations[i] - watch.rotations[i - 1] <= 2);
    }
    const DisketteSpot last = DisketteSpotOf(kWriteImageSize - 1), side = DisketteSpotOf(9216 + 1024);
    EXPECT_TRUE(last.cylinder == 79 && last.side == 1 && last.sector == 18);
    EXPECT_TRUE(side.cylinder == 0 && side.side == 1 && side.sector == 3);
}

}  // namespace
