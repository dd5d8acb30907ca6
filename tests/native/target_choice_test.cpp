// The recorded choice against what the drive list found: picks, pulled and
// swapped sticks, and the surveys around a write.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "install/target_choice.h"

namespace {

// Drive E: (or none) as survey `survey` finds it: volume `volume` on disk `disk`.
struct Move {
    char step;  // 'c' check, 'p' pick, 'w' written (survey: the last one begun)
    uint32_t survey;
    int volume;  // 0: the list shows no E:
    uint32_t disk;
    ChoiceVerdict expected = ChoiceVerdict::Same;  // of a check
};

TEST(TargetChoice, FollowsPicksDevicesAndWrites) {
    using V = ChoiceVerdict;
    const std::vector<std::pair<const char*, std::vector<Move>>> cases = {
        {"the first check records the device; another stick is another device",
         {{'c', 1, 1, 1}, {'c', 2, 2, 1, V::Changed}}},
        {"a pulled stick is missing, not another device", {{'p', 1, 1, 1}, {'c', 2, 0, 0, V::Missing}}},
        {"picking the row again after another device came chooses that device",
         {{'p', 1, 1, 1}, {'c', 2, 2, 1, V::Changed}, {'p', 2, 2, 1}, {'c', 2, 2, 1}}},
        {"after a write a survey begun before it answers but is not adopted",
         {{'p', 1, 1, 1}, {'w', 5, 2, 1}, {'c', 5, 1, 1}, {'c', 6, 2, 1}, {'c', 7, 3, 1, V::Changed}}},
        {"after a write another disk is another device", {{'p', 1, 1, 1}, {'w', 5, 2, 1}, {'c', 6, 9, 2, V::Changed}}},
    };
    for (const auto& [name, moves] : cases) {
        SCOPED_TRACE(name);
        TargetChoice choice{};
        for (size_t i = 0; i < moves.size(); ++i) {
            const Move& move = moves[i];
            DriveIdentities survey{};
            survey.survey = move.survey;
            // F: is always there, so that a missing E: is not an empty list.
            survey.drives[survey.count++].letter = 'F';
            TargetIdentity& drive = survey.drives[survey.count];
            drive.letter = 'E';
            snprintf(drive.volume.text, sizeof(drive.volume.text), "\\\\?\\Volume{%d}\\", move.volume);
            drive.target.diskKnown = true;
            drive.target.diskNumber = move.disk;
            survey.count += move.volume != 0 ? 1 : 0;
            if (move.step == 'w')
                RecordWritten(&choice, drive, move.survey);
            else if (move.step == 'p')
                RecordChoice(&choice, &survey, 'E');
            else
                EXPECT_EQ(CheckChoice(&choice, &survey, 'E'), move.expected) << "move " << i;
        }
    }
}

}  // namespace
