// The device the user chose as target, recorded from the drive list's survey
// when a row is picked (or when the checks first see the chosen letter), so
// that a letter that later leads elsewhere is noticed before anything is
// written.
#pragma once

#include "install/target_choice.h"
#include "write/target_identity.h"

// Asks Windows which device drive `letter` leads to now. Never on the UI
// thread: it opens every volume of the machine.
TargetIdentity IdentifyDrive(char letter);

// The drive list's rebuild thread: identifies each drive of `letters` (the
// rows it is about to show). Returns an owned survey, or null without memory.
DriveIdentities* IdentifyDrives(const char* letters);

// UI thread, as the list shows the rows of `survey`: it becomes the one the
// checks read (null: none). Takes ownership.
void TakeDriveIdentities(DriveIdentities* survey);
void ReleaseDriveIdentities(DriveIdentities* survey);

// UI thread: the user picked drive `letter`'s row, anew or again.
void ChooseTarget(char letter);

// UI thread: compares what the last survey found behind `letter` (returned in
// *now, zeroed when the list does not show the drive) with the choice.
ChoiceVerdict CheckChosenTarget(char letter, TargetIdentity* now);

// UI thread: what the last survey found of drive `letter`'s kept copy.
KeptOffer KeptOfferFor(char letter);

// UI thread: drive `letter`'s copy is gone (put back, or missing): the last
// survey no longer offers it, before the drive list looks again.
void ForgetKeptOffer(char letter);

TargetIdentity ChosenTarget();

// Forgets the choice: the user is choosing again.
void ForgetChosenTarget();

// Records `written` as the choice after a write: the volume Windows finds on
// the disk is new, so the next check takes any volume of the same disk.
void RecordWrittenTarget(const TargetIdentity& written);
