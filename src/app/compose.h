// The top of the house: the one place that knows every room and wires the
// subsystems' panes and handlers into the shell.
#pragma once

// Hands the frame its pane table and registers every hook. Called once, by
// main(), before the main window is created.
void ComposeApplication();
