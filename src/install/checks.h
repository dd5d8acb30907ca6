// The pre-flight checks shown on the Install pane.
#pragma once

// Rebuilds the status list from the source choice and the destination, then
// replays the progress log; ChecksPassed ends 1 only when no line is an Error.
void RunChecks();
