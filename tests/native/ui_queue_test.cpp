#include "shell/ui_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using H = UiHandOff;

// Windows' answers in the order they come; the last one repeats.
struct Script {
    std::vector<H> posts, sends;
    unsigned postCalls = 0, sendCalls = 0, pauses = 0;
};

H Next(const std::vector<H>& answers, unsigned* calls) {
    const unsigned at = (*calls)++;
    return answers[at < answers.size() ? at : answers.size() - 1];
}
H Post(void* s) {
    return Next(static_cast<Script*>(s)->posts, &static_cast<Script*>(s)->postCalls);
}
H Send(void* s) {
    return Next(static_cast<Script*>(s)->sends, &static_cast<Script*>(s)->sendCalls);
}
void Pause(void* s) {
    ++static_cast<Script*>(s)->pauses;
}

// A worker's request is never dropped while the window lives: a full table is
// waited out with posts (its earlier posts stay ahead), a post that stays
// refused is sent, and only a missing window leaves the work to its owner.
TEST(UiQueueTest, HandsEveryRequestOverUnlessTheWindowIsGone) {
    const std::vector<H> refused(kRefusedPostTries, H::Refused);
    const unsigned n = kRefusedPostTries;
    struct Row {
        const char* what;
        std::vector<H> posts, sends;
        bool handedOver;
        unsigned postCalls, sendCalls, pauses;
    } rows[] = {
        {"posted at once", {H::Done}, {H::Done}, true, 1, 0, 0},
        {"table full, then posted", {H::NoRoom, H::NoRoom, H::NoRoom, H::Done}, {H::Done}, true, 4, 0, 3},
        {"no window", {H::NoWindow}, {H::Done}, false, 1, 0, 0},
        {"refused once, then posted", {H::Refused, H::Done}, {H::Done}, true, 2, 0, 1},
        {"refused for good: sent", refused, {H::Done}, true, n, 1, n - 1},
        {"refused, sent once a slot is free", refused, {H::NoRoom, H::NoRoom, H::Done}, true, n, 3, n + 1},
        {"window gone while waiting to send", refused, {H::NoRoom, H::NoWindow}, false, n, 2, n},
        {"window gone while waiting for room", {H::NoRoom, H::NoWindow}, {H::Done}, false, 2, 0, 1},
    };
    for (const Row& row : rows) {
        Script script{row.posts, row.sends};
        EXPECT_EQ(HandOffToUiThread({Post, Send, Pause, &script}), row.handedOver) << row.what;
        EXPECT_EQ(script.postCalls, row.postCalls) << row.what;
        EXPECT_EQ(script.sendCalls, row.sendCalls) << row.what;
        EXPECT_EQ(script.pauses, row.pauses) << row.what;
    }
}

}  // namespace
