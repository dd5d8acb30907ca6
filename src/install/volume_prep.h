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
    Ready,  // every volume locked (and dismounted where the file system let go)
    InUse,  // a volume stayed locked by someone else: write nothing
};

struct PrepareResult {
    PrepareOutcome outcome;
    unsigned failedVolume;      // the volume that could not be locked
    unsigned dismountFailures;  // dismounts refused after a successful lock
};

// Locks each of `volumeCount` volumes in turn, trying up to `tries` times with
// `pauseMs` between attempts, and dismounts each once it is locked. A refused
// dismount does not stop the write: the lock alone keeps others off the
// volume. Stops at the first volume that cannot be locked; the caller then
// releases the ones already locked by closing their handles.
PrepareResult LockAndDismount(const VolumeControl& control, unsigned volumeCount, unsigned tries, unsigned pauseMs);
