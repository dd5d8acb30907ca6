#include "status/progress_log.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<MessageKind, std::string>> Contents(const ProgressLog& log)
{
    std::vector<std::pair<MessageKind, std::string>> lines;
    for (const ProgressRecord* record = log.first; record != nullptr; record = record->next)
        lines.emplace_back(record->kind, record->text);
    return lines;
}

TEST(ProgressLogTest, KeepsOwnCopiesInOrderAcrossWrites)
{
    ProgressLog log;
    char text[64] = "Starting write process...";
    ASSERT_TRUE(AppendProgressRecord(&log, MessageKind::Ok, text));
    // The caller's buffer is reused at once (it is GetText's): the log must not care.
    std::snprintf(text, sizeof(text), "4004: Can't write to disk.");
    ASSERT_TRUE(AppendProgressRecord(&log, MessageKind::Error, text));
    ASSERT_TRUE(AppendProgressRecord(&log, MessageKind::Ok, "Starting write process..."));

    const auto lines = Contents(log);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::make_pair(MessageKind::Ok, std::string("Starting write process...")));
    EXPECT_EQ(lines[1], std::make_pair(MessageKind::Error, std::string("4004: Can't write to disk.")));
    EXPECT_EQ(lines[2].second, "Starting write process...");
    EXPECT_EQ(log.last->next, nullptr);
    ReleaseProgressLog(&log);
}

TEST(ProgressLogTest, ReleaseEmptiesTheLogAndANewChainStarts)
{
    ProgressLog log;
    ReleaseProgressLog(&log);  // releasing an empty log is harmless
    ASSERT_TRUE(AppendProgressRecord(&log, MessageKind::Warning, "first"));
    ReleaseProgressLog(&log);
    EXPECT_EQ(log.first, nullptr);
    EXPECT_EQ(log.last, nullptr);
    ASSERT_TRUE(AppendProgressRecord(&log, MessageKind::Ok, "second"));
    const auto lines = Contents(log);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].second, "second");
    ReleaseProgressLog(&log);  // LeakSanitizer checks that every record and text went
}

// A write's pass lines go; the rest keep their order, and the next line
// comes after the last of them.
TEST(ProgressLogTest, PassLinesGoAndTheRestKeepTheirOrder)
{
    ProgressLog log;
    for (const char* text : {"pass", "start", "pass", "failed", "pass"})
        ASSERT_TRUE(AppendProgressRecord(&log, MessageKind::Ok, text, text[0] == 'p'));
    DropPassRecords(&log);
    ASSERT_TRUE(AppendProgressRecord(&log, MessageKind::Ok, "next"));
    EXPECT_EQ(Contents(log).size(), 3u);
    EXPECT_EQ(std::string(log.first->text) + log.first->next->text + log.last->text, "startfailednext");
    ReleaseProgressLog(&log);
}

}  // namespace
