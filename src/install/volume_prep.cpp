#include "install/volume_prep.h"

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
        if (!locked && dismounted && control.lock(control.context, volume)) {
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
