// Showing the image loader's outcome on the Welcome pane.
#pragma once

#include <windows.h>

// With a pane: remembers it as the pane that shows outcomes, and shows an
// outcome reported before it (posted, once the window runs). Without: shows
// the outcome on that pane and re-shows the selected pane, or keeps it for the
// pane when there is none yet.
void ReportLoaderOutcome(bool success, HWND pane);

// The UI thread's half of ReportLoaderOutcome.
void ShowLoaderOutcome(bool success);

void ShowLoaderSuccess(HWND pane);
void ShowLoaderFailure(HWND pane);

// 64 when the attached image's name contains "T64", otherwise 32.
int ImageEdition();
