#include "shell/ui_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using H = UiHandOff;

// Windows' answers in the order they come; the last one repeats.
struct Script {
    std::vector<H> posts, sends;
    unsigned postCalls = 0, sendCalls = 0, pauses = 0;

    static H Next(const std::vector<H>& answers, unsigned* calls) {
        const unsigned at = (*calls)++;
        return answers[at < answers.size() ? at : answers.size() - 1];
    }
};

UiQueueCalls CallsOf(Script* script) {
    return {[](void* c) { auto* s = static_cast<Script*>(c); return Script::Next(s->posts, &s->postCalls); },
            [](void* c) { auto* s = static_cast<Script*>(c); return Script::Next(s->sends, &s->sendCalls); },
            [](void* c) { ++static_cast<Script*>(c)->pauses; }, script};
}

// A worker's request is never dropped while the window lives: a full table is
// waited out with posts (its earlier posts stay ahead), a post that stays
// refused is sent, and only a missing window leaves the work to its owner.
TEST(UiQueueTest, HandsEveryRequestOverUnlessTheWindowIsGone) {
    const std::vector<H> refusedAlways(kRefusedPostTries, H::Refused);
    struct Row {
        const char* what;
        std::vector<H> posts, sends;
        bool handedOver;
        unsigned postCalls, sendCalls, pauses;
    } rows[] = {
        {"posted at once", {H::Done}, {H::Done}, true, 1, 0, 0},
        {"table full, then room: posted, never sent", {H::NoRoom, H::NoRoom, H::NoRoom, H::Done}, {H::Done}, true, 4, 0, 3},
        {"no window", {H::NoWindow}, {H::Done}, false, 1, 0, 0},
        {"refused once, then posted", {H::Refused, H::Done}, {H::Done}, true, 2, 0, 1},
        {"refused for good: sent", refusedAlways, {H::Done}, true, kRefusedPostTries, 1, kRefusedPostTries - 1},
        {"refused, sent once a slot is free", refusedAlways, {H::NoRoom, H::NoRoom, H::Done}, true,
         kRefusedPostTries, 3, kRefusedPostTries + 1},
        {"window gone while waiting to send", refusedAlways, {H::NoRoom, H::NoWindow}, false, kRefusedPostTries, 2,
         kRefusedPostTries},
        {"window gone while waiting for room", {H::NoRoom, H::NoWindow}, {H::Done}, false, 2, 0, 1},
    };
    for (const Row& row : rows) {
        Script script{row.posts, row.sends};
        EXPECT_EQ(HandOffToUiThread(CallsOf(&script)), row.handedOver) << row.what;
        EXPECT_EQ(script.postCalls, row.postCalls) << row.what;
        EXPECT_EQ(script.sendCalls, row.sendCalls) << row.what;
        EXPECT_EQ(script.pauses, row.pauses) << row.what;
    }
}

}  // namespace
