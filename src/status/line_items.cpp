#include "status/line_items.h"

size_t LineCount(const ListLayout& list) {
    size_t lines = 0;
    for (size_t i = 0; i < list.count; ++i)
        lines += i == 0 || !list.continued(i, list.context);
    return lines;
}

long LineOfItem(const ListLayout& list, long index) {
    if (index < 0 || static_cast<size_t>(index) >= list.count)
        return -1;
    long line = -1;
    for (size_t i = 0; i <= static_cast<size_t>(index); ++i)
        line += i == 0 || !list.continued(i, list.context);
    return line;
}

bool ItemsOfLine(const ListLayout& list, size_t line, size_t* first, size_t* items) {
    size_t seen = 0;
    for (size_t i = 0; i < list.count; ++i) {
        if (i > 0 && list.continued(i, list.context))
            continue;
        if (seen++ != line)
            continue;
        size_t end = i + 1;
        while (end < list.count && list.continued(end, list.context))
            ++end;
        *first = i;
        *items = end - i;
        return true;
    }
    return false;
}

long StepLine(size_t count, long from, LineStep step) {
    const long last = static_cast<long>(count) - 1;
    switch (step) {
        case LineStep::First:
            return count > 0 ? 0 : -1;
        case LineStep::Last:
            return last;
        case LineStep::Next:
            return from >= 0 && from < last ? from + 1 : -1;
        case LineStep::Previous:
            return from > 0 && from <= last ? from - 1 : -1;
    }
    return -1;
}

long LineState(const ItemView* items, size_t count, bool listFocused, bool listEnabled) {
    bool selected = false, caret = false, inView = false;
    for (size_t i = 0; i < count; ++i) {
        selected = selected || items[i].selected;
        caret = caret || items[i].caret;
        inView = inView || items[i].inView;
    }
    if (!listEnabled)
        return kStateUnavailable | (selected ? kStateSelected : 0) | (inView ? 0 : kStateOffscreen);
    return kStateFocusable | kStateSelectable | (selected ? kStateSelected : 0) |
           (listFocused && caret ? kStateFocused : 0) | (inView ? 0 : kStateOffscreen);
}
