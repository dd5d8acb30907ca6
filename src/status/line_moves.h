// Where a key moves the status list's selection: from line to line, over the
// items a long line goes on in. Portable: the list's layout is given as a
// function that tells continuation items.
#pragma once

#include <cstddef>

enum class LineMove { Up, Down, PageUp, PageDown, Home, End };

struct ListLayout {
    size_t count;  // items in the list
    // True for an item that goes on with the line above it.
    bool (*continued)(size_t index, void* context);
    void* context;
};

// The first item of the line that item `index` belongs to.
size_t FirstItemOfLine(const ListLayout& list, size_t index);

// The item to select after `move` from item `selected` (-1: none selected),
// always a line's first; a page is `pageItems` items. -1 for an empty list.
long LineMoveTarget(const ListLayout& list, long selected, LineMove move, size_t pageItems);
