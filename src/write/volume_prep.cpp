#include "write/volume_prep.h"

namespace {

// How long the lock is tried again after a dismount.
constexpr unsigned kLockAfterDismountMs = 2000;

// fastfat refuses the lock while handles that the dismount made invalid are
// still open, and Explorer closes its own only when the dismount notice
// reaches it: the lock is tried with the same pause for about 2 s.
bool LockAfterDismount(const VolumeControl& control, unsigned volume, unsigned pauseMs) {
    const unsigned pauses = pauseMs > 0 ? kLockAfterDismountMs / pauseMs : 0;
    for (unsigned attempt = 0; attempt <= pauses; ++attempt) {
        if (attempt > 0)
            control.pause(control.context, pauseMs);
        if (control.lock(control.context, volume))
            return true;
    }
    return false;
}

}  // namespace

PrepareResult LockAndDismount(const VolumeControl& control, unsigned volumeCount, unsigned tries, unsigned pauseMs) {
    PrepareResult result = {PrepareOutcome::Ready, 0, 0, 0, 0};
    for (unsigned volume = 0; volume < volumeCount; ++volume) {
        bool locked = false;
        for (unsigned attempt = 0; attempt < tries && !locked; ++attempt) {
            if (attempt > 0)
                control.pause(control.context, pauseMs);
            locked = control.lock(control.context, volume);
        }
        const bool dismounted = control.dismount(control.context, volume);
        if (!locked && dismounted && LockAfterDismount(control, volume, pauseMs)) {
            locked = true;
            ++result.lockedAfterDismount;
        }
        if (locked && !dismounted)
            ++result.dismountFailures;
        if (!locked && dismounted)
            ++result.dismountedUnlocked;
        if (!locked && !dismounted) {
            result.outcome = PrepareOutcome::InUse;
            result.failedVolume = volume;
            return result;
        }
    }
    return result;
}
