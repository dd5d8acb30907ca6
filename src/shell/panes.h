// The wizard's panes: creation, switching, re-localisation and the procedure
// that every pane shares.
#pragma once

#include <windows.h>

enum PaneIndex {
    PaneWelcome = 0,
    PaneTarget = 1,
    PaneInstall = 2,
    PaneReboot = 3,
    PaneCount = 4,
};

// Shows the pane that the pane list selects. The first call, with the main
// window, creates the panes and the application state.
void SwitchPane(HWND mainWindow);

// Re-applies a pane's texts (and reruns the checks) when its language stamp
// differs from the current language.
void RelocalisePane(HWND pane);

// Moves the pane list's selection by `delta` and shows the pane selected.
void StepPane(int delta);

// Handles what all panes share: border, Previous/Next and background brushes.
INT_PTR CALLBACK PaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);

void PaintPaneBorder(HWND pane);

// The pane window at a pane-list index, or null before the panes exist.
HWND GetPane(int index);

// The main pane shown (never the source chooser), or null before the first
// SwitchPane.
HWND GetShownPane();
