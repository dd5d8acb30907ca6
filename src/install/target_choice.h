// The device the user chose as target, weighed against what the drive list
// found behind each letter. The list identifies its drives off the UI thread
// (a survey); the checks and a pick of a row only read that survey, so the
// UI thread never asks Windows about a drive.
#pragma once

#include <cstdint>

#include "keep/kept_copy.h"
#include "write/target_identity.h"

constexpr unsigned kMaxListedDrives = 26;

// One survey: the device behind each drive the list shows, in row order.
struct DriveIdentities {
    uint32_t survey;  // numbered as they begin: a higher one began later
    unsigned count;
    TargetIdentity drives[kMaxListedDrives];
    KeptOffer offers[kMaxListedDrives];  // beside each drive: its kept copy, if any
};

// The identity the survey found for drive `letter`; null when the list does
// not show that drive (or there is no survey yet).
const TargetIdentity* FindListedDrive(const DriveIdentities* drives, char letter);

struct TargetChoice {
    TargetIdentity chosen;  // letter 0: nothing recorded
    // A write went to the chosen disk: the volume Windows finds there is new,
    // so any volume of the same disk answers until a later survey is adopted.
    bool rewritten;
    uint32_t writtenAfterSurvey;  // the last survey begun before the write's record
};

enum class ChoiceVerdict {
    Same,     // the letter still leads to the chosen device (or is chosen now)
    Changed,  // it leads to another device than the one chosen
    Missing,  // the list does not show the drive
};

// Compares what the survey `drives` found behind `letter` with the choice. A
// letter other than the recorded one is a new choice and is recorded.
ChoiceVerdict CheckChoice(TargetChoice* choice, const DriveIdentities* drives, char letter);

// The user picked drive `letter` (again): the survey's device is the choice.
void RecordChoice(TargetChoice* choice, const DriveIdentities* drives, char letter);

// The writer's identity of the disk it has just written, asked of Windows
// after survey `lastSurvey` began.
void RecordWritten(TargetChoice* choice, const TargetIdentity& written, uint32_t lastSurvey);
