#include "write/volume_prep.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Volumes that give in to a lock after a number of refusals (-1: never), and
// that may refuse to dismount. Every call is recorded in order.
struct FakeVolumes {
    std::vector<int> refusalsBeforeLock;
    std::vector<bool> dismountWorks;
    std::vector<std::string> calls;
    unsigned pausedMs = 0;

    static bool Lock(void* context, unsigned volume)
    {
        auto* self = static_cast<FakeVolumes*>(context);
        self->calls.push_back("lock " + std::to_string(volume));
        int& refusals = self->refusalsBeforeLock[volume];
        if (refusals < 0)
            return false;
        return refusals-- == 0;
    }
    static bool Dismount(void* context, unsigned volume)
    {
        auto* self = static_cast<FakeVolumes*>(context);
        self->calls.push_back("dismount " + std::to_string(volume));
        return self->dismountWorks[volume];
    }
    static void Pause(void* context, unsigned milliseconds) { static_cast<FakeVolumes*>(context)->pausedMs += milliseconds; }

    VolumeControl Control() { return {Lock, Dismount, Pause, this}; }
};

TEST(VolumePrepTest, RetriesALockThatIsHeldForAWhile)
{
    FakeVolumes volumes{{2}, {true}, {}, 0};
    const PrepareResult result = LockAndDismount(volumes.Control(), 1, 50, 100);
    EXPECT_EQ(result.outcome, PrepareOutcome::Ready);
    EXPECT_EQ(volumes.calls, (std::vector<std::string>{"lock 0", "lock 0", "lock 0", "dismount 0"}));
    EXPECT_EQ(volumes.pausedMs, 200u);
}

TEST(VolumePrepTest, AVolumeThatStaysInUseIsDismountedAnywayAndStopsOnlyWhenThatFailsToo)
{
    FakeVolumes volumes{{0, -1, 0}, {true, true, true}, {}, 0};
    PrepareResult result = LockAndDismount(volumes.Control(), 3, 50, 100);
    EXPECT_EQ(result.outcome, PrepareOutcome::Ready);
    EXPECT_EQ(result.dismountedUnlocked, 1u);
    // Bounded: 50 attempts with 49 pauses, about 5 s, then about 2 s more
    // after the dismount while the others close the handles it made invalid.
    EXPECT_EQ(volumes.pausedMs, 4900u + 2000u);
    EXPECT_EQ(volumes.calls.size(), 2u + 50u + 1u + 21u + 2u);
    EXPECT_EQ(volumes.calls[52], "dismount 1");
    EXPECT_EQ(volumes.calls[73], "lock 1");
    EXPECT_EQ(volumes.calls.back(), "dismount 2");

    FakeVolumes stuck{{0, -1, 0}, {true, false, true}, {}, 0};
    result = LockAndDismount(stuck.Control(), 3, 50, 100);
    EXPECT_EQ(result.outcome, PrepareOutcome::InUse);
    EXPECT_EQ(result.failedVolume, 1u);
    EXPECT_EQ(stuck.calls.back(), "dismount 1");  // volume 2 untouched
}

TEST(VolumePrepTest, ARefusedDismountAfterALockDoesNotStopTheWrite)
{
    // A file-backed drive under Wine locks but refuses to dismount.
    FakeVolumes volumes{{0, 0}, {false, true}, {}, 0};
    const PrepareResult result = LockAndDismount(volumes.Control(), 2, 50, 100);
    EXPECT_EQ(result.outcome, PrepareOutcome::Ready);
    EXPECT_EQ(result.dismountFailures, 1u);
    EXPECT_EQ(volumes.calls, (std::vector<std::string>{"lock 0", "dismount 0", "lock 1", "dismount 1"}));
}

}  // namespace
