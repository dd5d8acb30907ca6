// Whether a drive is a 3.5-inch diskette drive.
#pragma once

// 1 for a 3.5-inch diskette drive, else 0. The answer for the last letter
// asked about is kept, so asking again does not touch the device.
int Is35InchFloppy(const char* rootPath);

// The same asked anew, from any thread: whether drive `letter` is a 3.5-inch
// diskette drive.
bool AsksAsThreeAndHalfInchDrive(char letter);

// Drops the kept answer, so the next question tests the device again: the
// letter may now belong to another device. Called on the UI thread.
void ForgetFloppyAnswer();
