#include "status/status_report.h"

#include <cstdlib>
#include <cstring>

namespace {

const char* KindWord(MessageKind kind, const KindWords& words) {
    switch (kind) {
        case MessageKind::Error:
            return words.error;
        case MessageKind::Warning:
            return words.warning;
        default:
            return words.ok;
    }
}

// Appends `text` at `out` (null: only counts); returns the bytes it takes.
size_t PutText(char* out, const char* text, bool oneLine) {
    size_t length = 0;
    for (; text[length] != '\0'; ++length) {
        if (out != nullptr) {
            const char c = text[length];
            out[length] = oneLine && (c == '\r' || c == '\n') ? ' ' : c;
        }
    }
    return length;
}

// Writes the report at `out`, or only measures it when `out` is null.
size_t PutReport(char* out, const ReportLine* lines, size_t count, const KindWords& words) {
    size_t used = 0;
    for (size_t i = 0; i < count; ++i) {
        used += PutText(out != nullptr ? out + used : nullptr, KindWord(lines[i].kind, words), true);
        used += PutText(out != nullptr ? out + used : nullptr, ": ", false);
        used += PutText(out != nullptr ? out + used : nullptr, lines[i].text != nullptr ? lines[i].text : "", true);
        used += PutText(out != nullptr ? out + used : nullptr, "\r\n", false);
    }
    return used;
}

}  // namespace

char* BuildStatusReport(const ReportLine* lines, size_t count, const KindWords& words) {
    const size_t length = PutReport(nullptr, lines, count, words);
    char* report = static_cast<char*>(malloc(length + 1));
    if (report == nullptr)
        return nullptr;
    PutReport(report, lines, count, words);
    report[length] = '\0';
    return report;
}
