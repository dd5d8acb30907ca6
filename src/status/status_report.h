// The status list as text to paste into a mail or a bug report.
#pragma once

#include <cstddef>

#include "status/message_kind.h"

struct ReportLine {
    MessageKind kind;
    const char* text;
};

// The kinds as the current language names them.
struct KindWords {
    const char* error;
    const char* ok;
    const char* warning;
};

// "Kind: text" for each line, each ended by CR LF; a line break inside a
// text becomes a space, so that every line of the report is one status
// line. Returns a malloc'ed text (empty for no lines), or null when memory
// runs out.
char* BuildStatusReport(const ReportLine* lines, size_t count, const KindWords& words);
