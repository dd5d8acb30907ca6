// The device the user chose as target, recorded when the checks first see
// the chosen letter, so that a letter that later leads elsewhere is noticed
// before anything is written.
#pragma once

#include "install/target_identity.h"

// Asks Windows which device drive `letter` leads to now.
TargetIdentity IdentifyDrive(char letter);

// Compares what `letter` leads to now (returned in *now) with the recorded
// choice. A letter other than the recorded one is a new choice and is
// recorded. False when the letter now leads to another device.
bool CheckChosenTarget(char letter, TargetIdentity* now);

TargetIdentity ChosenTarget();

// Forgets the choice: the user is choosing again.
void ForgetChosenTarget();

// Records `written` as the choice after a write: the volume Windows finds on
// the disk is new, so the next check takes any volume of the same disk.
void RecordWrittenTarget(const TargetIdentity& written);
