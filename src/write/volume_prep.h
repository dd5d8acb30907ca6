// Taking the volumes of a drive away from the file system before a raw write.
#pragma once

// What is done to each volume, by index. `lock` and `dismount` return false on
// failure; `pause` waits between lock attempts.
struct VolumeControl {
    bool (*lock)(void* context, unsigned volume);
    bool (*dismount)(void* context, unsigned volume);
    void (*pause)(void* context, unsigned milliseconds);
    void* context;
};

enum class PrepareOutcome {
    Ready,  // every volume locked or dismounted
    InUse,  // a volume could be neither locked nor dismounted: write nothing
};

struct PrepareResult {
    PrepareOutcome outcome;
    unsigned failedVolume;       // the volume that could be neither locked nor dismounted
    unsigned dismountFailures;   // dismounts refused after a successful lock
    unsigned dismountedUnlocked; // volumes still open elsewhere, dismounted without a lock
    unsigned lockedAfterDismount; // volumes locked only once the dismount had closed the others' handles
};

// Locks each of `volumeCount` volumes in turn, trying up to `tries` times with
// `pauseMs` between attempts, and dismounts each. A refused dismount after a
// lock does not stop the write: the lock alone keeps others off the volume.
// A volume that stays open elsewhere (an Explorer window on the stick) is
// dismounted all the same, which Windows allows with handles open, and then
// locked, tried again for about 2 s while the others close the handles that
// the dismount made invalid: a volume left unlocked may be mounted again by
// anyone at any time, though writes to it are allowed while it is not. Only a volume that can be
// neither locked nor dismounted stops everything. The
// caller then releases the volumes already taken by closing their handles.
PrepareResult LockAndDismount(const VolumeControl& control, unsigned volumeCount, unsigned tries, unsigned pauseMs);
