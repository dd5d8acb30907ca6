// The ordered record of write-process lines, replayed below the check lines
// every time the checks rebuild the status list. Used on the UI thread only.
#pragma once

#include "status/message_kind.h"

struct ProgressRecord {
    MessageKind kind;
    char* text;  // owned
    bool pass;   // names a pass of a write as it began: kept only until the next write
    ProgressRecord* next;
};

struct ProgressLog {
    ProgressRecord* first = nullptr;
    ProgressRecord* last = nullptr;
};

// Appends a record holding its own copy of `text`. Returns false, leaving the
// log as it was, when memory runs out.
bool AppendProgressRecord(ProgressLog* log, MessageKind kind, const char* text, bool pass = false);

// Frees the records that name a pass; the others keep their order.
void DropPassRecords(ProgressLog* log);

// Frees every record and its text; the log is empty afterwards.
void ReleaseProgressLog(ProgressLog* log);
