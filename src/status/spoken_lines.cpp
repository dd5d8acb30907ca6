#include "status/spoken_lines.h"

#include <cstdlib>
#include <cstring>

namespace {

bool SameLine(const ReportLine& a, const ReportLine& b) {
    return a.kind == b.kind && a.text != nullptr && b.text != nullptr && strcmp(a.text, b.text) == 0;
}

// Whether line `index` is a Warning or Error not said earlier in the list.
bool IsFirstSaying(const ReportLine* lines, size_t index) {
    if (lines[index].kind == MessageKind::Ok || lines[index].text == nullptr)
        return false;
    for (size_t i = 0; i < index; ++i)
        if (SameLine(lines[i], lines[index]))
            return false;
    return true;
}

// Appends "word: text" (or the text alone without a word) at `out` (null:
// only counts); returns the bytes it takes.
size_t PutSpoken(char* out, const ReportLine& line, const KindWords& words) {
    const char* word = line.kind == MessageKind::Error ? words.error
                       : line.kind == MessageKind::Warning ? words.warning
                                                           : nullptr;
    const char* text = line.text != nullptr ? line.text : "";
    const size_t wordLength = word != nullptr ? strlen(word) : 0, textLength = strlen(text);
    const size_t prefix = word != nullptr ? wordLength + 2 : 0;
    if (out != nullptr) {
        if (word != nullptr) {
            memcpy(out, word, wordLength);
            memcpy(out + wordLength, ": ", 2);
        }
        memcpy(out + prefix, text, textLength);
    }
    return prefix + textLength;
}

size_t PutDescription(char* out, const ReportLine* lines, size_t count, const KindWords& words) {
    size_t used = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!IsFirstSaying(lines, i))
            continue;
        if (used > 0) {
            if (out != nullptr)
                out[used] = ' ';
            ++used;
        }
        used += PutSpoken(out != nullptr ? out + used : nullptr, lines[i], words);
    }
    return used;
}

}  // namespace

char* SpokenLine(const ReportLine& line, const KindWords& words) {
    const size_t length = PutSpoken(nullptr, line, words);
    char* spoken = static_cast<char*>(malloc(length + 1));
    if (spoken == nullptr)
        return nullptr;
    PutSpoken(spoken, line, words);
    spoken[length] = '\0';
    return spoken;
}

char* StartDescription(const ReportLine* lines, size_t count, const KindWords& words) {
    const size_t length = PutDescription(nullptr, lines, count, words);
    char* text = static_cast<char*>(malloc(length + 1));
    if (text == nullptr)
        return nullptr;
    PutDescription(text, lines, count, words);
    text[length] = '\0';
    return text;
}

long LineAfterCheckRun(const ReportLine* lines, size_t count, const ReportLine* held, size_t heldNumber,
                       bool focused) {
    if (count == 0)
        return -1;
    if (held == nullptr)
        return focused ? static_cast<long>(count - 1) : -1;
    long nearest = -1;
    size_t nearestDistance = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t distance = i > heldNumber ? i - heldNumber : heldNumber - i;
        if (SameLine(lines[i], *held) && (nearest < 0 || distance < nearestDistance)) {
            nearest = static_cast<long>(i);
            nearestDistance = distance;
        }
    }
    if (nearest >= 0)
        return nearest;
    return static_cast<long>(heldNumber < count ? heldNumber : count - 1);
}
