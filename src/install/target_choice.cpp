#include "install/target_choice.h"

const TargetIdentity* FindListedDrive(const DriveIdentities* drives, char letter) {
    if (drives == nullptr || letter == 0)
        return nullptr;
    for (unsigned i = 0; i < drives->count && i < kMaxListedDrives; ++i) {
        if (drives->drives[i].letter == letter)
            return &drives->drives[i];
    }
    return nullptr;
}

ChoiceVerdict CheckChoice(TargetChoice* choice, const DriveIdentities* drives, char letter) {
    const TargetIdentity* now = FindListedDrive(drives, letter);
    if (now == nullptr)
        return ChoiceVerdict::Missing;
    if (choice->chosen.letter != letter) {
        RecordChoice(choice, drives, letter);
        return ChoiceVerdict::Same;
    }
    if (choice->rewritten && IsSameDisk(choice->chosen, *now)) {
        // A survey begun before the write's record still names the volume
        // that the write replaced: it answers, but is not adopted.
        if (drives->survey > choice->writtenAfterSurvey) {
            choice->chosen = *now;
            choice->rewritten = false;
        }
        return ChoiceVerdict::Same;
    }
    return IsSameDevice(choice->chosen, *now) ? ChoiceVerdict::Same : ChoiceVerdict::Changed;
}

void RecordChoice(TargetChoice* choice, const DriveIdentities* drives, char letter) {
    const TargetIdentity* now = FindListedDrive(drives, letter);
    *choice = TargetChoice{};
    if (now != nullptr)
        choice->chosen = *now;
}

void RecordWritten(TargetChoice* choice, const TargetIdentity& written, uint32_t lastSurvey) {
    choice->chosen = written;
    choice->rewritten = true;
    choice->writtenAfterSurvey = lastSurvey;
}
