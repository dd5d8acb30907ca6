// The status list as a screen reader goes through it: its lines, not the
// items a long line takes in the list box. Each line is one child of the
// list's accessible object, numbered from 1 in the order shown, so that "3 of
// 5" counts lines. Portable: the layout is the one the keys use.
#pragma once

#include <cstddef>

#include "status/line_moves.h"

// How many lines the list holds.
size_t LineCount(const ListLayout& list);

// The line (from 0) that item `index` belongs to; -1 when there is no such
// item. A selection on any item of a line means that line.
long LineOfItem(const ListLayout& list, long index);

// The items of line `line`: its first and how many; false when there is no
// such line.
bool ItemsOfLine(const ListLayout& list, size_t line, size_t* first, size_t* items);

// Where Active Accessibility's navigation goes from line `from` (from 0; -1
// for the list itself, which only First and Last leave) among `count` lines;
// -1 where there is no line to go to.
enum class LineStep { First, Last, Next, Previous };
long StepLine(size_t count, long from, LineStep step);

// What one item of a line shows: selected, the list box's caret on it, and
// any part of it inside the list's client area.
struct ItemView {
    bool selected;
    bool caret;
    bool inView;
};

// Active Accessibility's state bits, as oleacc.h gives them.
constexpr long kStateUnavailable = 0x1, kStateSelected = 0x2, kStateFocused = 0x4, kStateOffscreen = 0x10000,
               kStateFocusable = 0x100000, kStateSelectable = 0x200000;

// A line's state, as the list box gives an item's: selectable and focusable
// while the list is enabled; selected when any of its items is; focused when
// the list has the focus and its caret is on one of them; offscreen when
// none of them is in view.
long LineState(const ItemView* items, size_t count, bool listFocused, bool listEnabled);
