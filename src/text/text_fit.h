// Whether every control of a pane shows its whole text: measured with
// DrawText in the control's own font, against the room its class leaves for
// the text. A text cut off is said in the console trace, with the room it
// needs; the tests read that line at every scale, in every language.
#pragma once

#include <windows.h>

// Measures the statics and buttons of `pane` (not the edits, which scroll,
// nor owner-drawn controls, which lay out their own lines).
void TraceTextsCutOff(HWND pane);
