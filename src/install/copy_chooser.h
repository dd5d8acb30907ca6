// Put back's chooser: when more than one kept copy may be the medium in the
// drive, the user picks the one to write back, or cancels (the default).
#pragma once

#include <windows.h>

#include "keep/put_back_choice.h"

// Shows the rows of `choice` (at least two) for drive `letter`, modal over
// `owner`, on the UI thread; true with `name` the chosen copy's file, false
// when the user cancelled.
bool ChooseCopyToPutBack(HWND owner, char letter, const PutBackChoice& choice, char (&name)[kKeptNameCapacity]);
