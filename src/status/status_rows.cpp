#include "status/status_rows.h"

#include "text/utf8_text.h"

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
    // A line ends between characters, never inside one's bytes.
    fits = Utf8CharStart(text + start, fits);
    // Always one character, however narrow the list: the line goes on.
    if (fits == 0)
        fits = Utf8CharEnd(text + start, 0, count);
    if (fits >= count)
        return TextSpan{start, count};
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
