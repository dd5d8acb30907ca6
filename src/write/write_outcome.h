// How a raw write (or Put back) ended: what the writer reports and what each
// Windows error comes to.
#pragma once

enum class RawWriteOutcome {
    Written,         // written, flushed and read back identical
    Moved,           // the letter leads to another device than the one chosen
    Spanned,         // a volume over several extents
    InUse,           // a volume of the disk could be neither opened, locked nor dismounted
    LargeSectors,    // sectors that the track-sized chunks do not fit
    CannotOpen,      // the device would not open for writing
    WriteProtected,  // the medium refuses writes
    NoMedium,        // an empty drive or card slot
    AccessDenied,    // Windows (or security software) refused the device
    WriteFailed,     // a chunk or the flush failed: part of the image may be on the drive
    NotKept,         // what was read back differs from what was written, or could not be read
    NotRemovable,    // the drive is not on a removable disk, or its disk holds what Windows needs
    TakenBack,       // a volume left unlocked was mounted again mid-write: part of the image is on the drive
    AccessPolicy,    // Windows refused to open a volume for writing: a policy, as a rule
    DriveGone,       // the stick or card went away mid-write: part of the image may be on it
    MediumFailed,    // the medium or its device failed a read or write (a CRC error, ...)
    Sectors4096,     // a medium of 4,096-byte sectors, refused before any access
    NotThisMedium,   // the medium in the drive is not the one meant: nothing was written
    Declined,        // asked before the first byte, the user said No (the keep step said why): nothing was written
    TooSmall,        // the medium is shorter than the image: refused before any write
    DriveGoneBefore, // the stick or card went before anything was written
    TimedOut,        // the drive did not answer in time (a USB time-out)
    MediumSmaller,   // the drive ran out of room: the medium is smaller than it said
    Unformatted,     // a diskette without a format Windows recognizes
    InvalidRequest,  // the drive's driver refused the transfer as invalid
    NotKeptUnlocked, // read back differs, and a volume was left unlocked: another program may have written
    BadSpot,         // a sector failed twice while the drive still read elsewhere: the medium has a bad spot
};
