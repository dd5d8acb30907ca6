#include "status/progress_log.h"

#include <cstdlib>

#include "text/copy_text.h"

bool AppendProgressRecord(ProgressLog* log, MessageKind kind, const char* text, bool pass) {
    ProgressRecord* record = static_cast<ProgressRecord*>(malloc(sizeof(ProgressRecord)));
    if (record == nullptr)
        return false;
    record->text = CopyText(text);
    if (record->text == nullptr) {
        free(record);
        return false;
    }
    record->kind = kind;
    record->pass = pass;
    record->next = nullptr;
    if (log->last == nullptr)
        log->first = record;
    else
        log->last->next = record;
    log->last = record;
    return true;
}

void ReleaseProgressLog(ProgressLog* log) {
    ProgressRecord* record = log->first;
    while (record != nullptr) {
        ProgressRecord* next = record->next;
        free(record->text);
        free(record);
        record = next;
    }
    log->first = nullptr;
    log->last = nullptr;
}

void DropPassRecords(ProgressLog* log) {
    ProgressRecord* kept = nullptr;
    for (ProgressRecord** at = &log->first; *at != nullptr;) {
        ProgressRecord* record = *at;
        if (!record->pass) {
            kept = record;
            at = &record->next;
            continue;
        }
        *at = record->next;
        free(record->text);
        free(record);
    }
    log->last = kept;
}
