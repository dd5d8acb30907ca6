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

// What the frame is told of one pane: its dialog template, its procedure,
// and what its being shown or hidden means to the other rooms (may be null).
struct PaneEntry {
    int templateId;
    DLGPROC procedure;
    void (*shown)(HWND pane, bool shown);
};

// The frame knows its panes only through this table, handed over at start:
// the four steps in pane-list order and the source chooser that sits inside
// the Welcome pane.
struct PaneTable {
    PaneEntry steps[PaneCount];
    PaneEntry sourceChooser;
    // Runs once, when the Welcome pane exists: it shows first, alone.
    void (*welcomeCreated)();
    // Runs once, when the other panes exist too: wires them to the
    // subsystems and starts what fills them.
    void (*created)();
};

// Called once, before the main window is created.
void SetPaneTable(const PaneTable& table);

// Called by a pane's procedure when it is shown or hidden: runs the `shown`
// function its table entry names.
void AnnouncePaneShown(HWND pane, bool shown);

// Shows the pane that the pane list selects. The first call, with the main
// window, creates the Welcome pane and runs the table's `welcomeCreated`;
// the other panes follow as soon as it shows, or when one is asked for.
void SwitchPane(HWND mainWindow);

// Re-applies a pane's texts (and runs the relocalise hooks) when its
// language stamp differs from the current language.
void RelocalisePane(HWND pane);

// Moves the pane list's selection by `delta` and shows the pane selected.
void StepPane(int delta);

// Handles what all panes share: border, Previous/Next and background brushes.
INT_PTR CALLBACK PaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);

void PaintPaneBorder(HWND pane);

// Gives every pane its text font at the main window's DPI.
void RescalePanes();

// The pane window at a pane-list index, or null before the panes exist.
HWND GetPane(int index);

// The main pane shown (never the source chooser), or null before the first
// SwitchPane.
HWND GetShownPane();
