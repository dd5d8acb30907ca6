#include "status/status_rows.h"

TextSpan NextStatusLine(const char* text, size_t length, size_t from, FitCall fit, void* context) {
    size_t start = from;
    while (start < length && text[start] == ' ')
        ++start;
    // A '\n' that ended the previous line.
    if (start < length && text[start] == '\n')
        ++start;
    while (start < length && text[start] == ' ')
        ++start;
    if (start >= length)
        return TextSpan{length, 0};
    size_t paragraphEnd = start;
    while (paragraphEnd < length && text[paragraphEnd] != '\n')
        ++paragraphEnd;
    const size_t count = paragraphEnd - start;
    size_t fits = fit(text + start, count, context);
    if (fits >= count)
        return TextSpan{start, count};
    // Always one character, however narrow the list: the line goes on.
    if (fits == 0)
        fits = 1;
    // A space just past what fits is a break too.
    for (size_t end = start + fits; end > start; --end) {
        if (text[end] != ' ')
            continue;
        while (end > start && text[end - 1] == ' ')
            --end;
        if (end > start)
            return TextSpan{start, end - start};
        break;
    }
    return TextSpan{start, fits};
}

size_t LinesPerStatusRow(int lineHeight, int maxRowHeight) {
    if (lineHeight <= 0 || maxRowHeight <= lineHeight)
        return 1;
    return static_cast<size_t>(maxRowHeight / lineHeight);
}
