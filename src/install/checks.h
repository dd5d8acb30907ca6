// The pre-flight checks shown on the Install pane.
#pragma once

// Rebuilds the status list from the source choice and the destination, then
// replays the progress log; ChecksPassed ends 1 only when no line is an Error.
void RunChecks();

// Called on the UI thread at the end of every check run: the Install pane
// describes Start and sets its buttons from the outcome.
void SetChecksShownHook(void (*hook)());

// After the last check run: the chosen drive's device has a kept copy (Put
// back is shown), and nothing but the source checks stands in its way (Put
// back may be pressed when no write runs).
bool IsPutBackOffered();
bool IsPutBackReady();
