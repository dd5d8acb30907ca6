#include "status/line_moves.h"

size_t FirstItemOfLine(const ListLayout& list, size_t index) {
    while (index > 0 && index < list.count && list.continued(index, list.context))
        --index;
    return index;
}

namespace {

// The first item of the line after the one that item `index` belongs to;
// `index`'s own line when it is the last.
size_t NextLine(const ListLayout& list, size_t index) {
    size_t next = index + 1;
    while (next < list.count && list.continued(next, list.context))
        ++next;
    return next < list.count ? next : FirstItemOfLine(list, index);
}

size_t PreviousLine(const ListLayout& list, size_t index) {
    const size_t start = FirstItemOfLine(list, index);
    return start > 0 ? FirstItemOfLine(list, start - 1) : 0;
}

}  // namespace

long LineMoveTarget(const ListLayout& list, long selected, LineMove move, size_t pageItems) {
    if (list.count == 0)
        return -1;
    const size_t last = FirstItemOfLine(list, list.count - 1);
    // With nothing selected, any move starts at the first line, as the
    // list box itself does.
    if (selected < 0 || static_cast<size_t>(selected) >= list.count)
        return move == LineMove::End ? static_cast<long>(last) : 0;
    const size_t from = FirstItemOfLine(list, static_cast<size_t>(selected));
    const size_t page = pageItems > 1 ? pageItems - 1 : 1;
    size_t to = from;
    switch (move) {
        case LineMove::Up:
            to = PreviousLine(list, from);
            break;
        case LineMove::Down:
            to = NextLine(list, from);
            break;
        case LineMove::Home:
            to = 0;
            break;
        case LineMove::End:
            to = last;
            break;
        case LineMove::PageUp:
            to = FirstItemOfLine(list, from > page ? from - page : 0);
            // A line taller than the page is passed whole.
            if (to == from)
                to = PreviousLine(list, from);
            break;
        case LineMove::PageDown:
            to = from + page < list.count ? FirstItemOfLine(list, from + page) : last;
            if (to == from)
                to = NextLine(list, from);
            break;
    }
    return static_cast<long>(to);
}
