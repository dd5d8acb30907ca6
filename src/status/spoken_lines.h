// What a screen reader hears of the status list: each line's name, the
// Warnings and Errors that Start's description repeats, and which line is
// selected after a check run rebuilt the list. Portable: the lines are given
// as kinds and texts (ReportLine), without the list box's continuation rows.
#pragma once

#include <cstddef>

#include "status/status_report.h"

// A line as a screen reader names it: an Error or Warning begins with its
// kind word, "Error: text"; an Ok line is its text. Malloc'ed; null when
// memory runs out.
char* SpokenLine(const ReportLine& line, const KindWords& words);

// Start's description: every Warning and Error line as SpokenLine names it,
// joined by spaces; a line said before in the list (the same warning of an
// earlier write, replayed) is said once. Malloc'ed; null when memory runs out.
char* StartDescription(const ReportLine* lines, size_t count, const KindWords& words);

// The line a check run leaves selected, by its number among `lines`; -1 for
// none. A line the user held (`held`, null when none, at line number
// `heldNumber` before the run) stays selected: the line of the same kind and
// text nearest its old place, or, when it is gone, the line now at its
// place. Without one, the newest line when the list has the focus.
long LineAfterCheckRun(const ReportLine* lines, size_t count, const ReportLine* held, size_t heldNumber,
                       bool focused);
