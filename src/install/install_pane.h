// The Install pane: status list, Start and the write progress bar.
#pragma once

#include <windows.h>

INT_PTR CALLBACK InstallPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);

// Applies the enable rules: Previous, Next and the pane list only while no
// write runs; Start only while the checks have passed and no write runs.
void UpdateInstallControls();

// Start's description for screen readers: the Warning and Error lines, said
// before Start is pressed.
void DescribeStartButton();

// The end of a check run: Start described anew, then the buttons set.
void OnChecksShown();
