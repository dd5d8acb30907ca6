// How a worker hands work to the UI thread without ever losing it. The
// requests in flight live in a table of fixed size; when it is full the worker
// waits for the UI thread to run some, so that its window changes keep their
// order. Only a window that is gone (the program is closing) runs nothing.
// Windows is reached through a table of functions, so the same steps run
// against scripted answers in tests.
#pragma once

#include <cstdint>

// What one try to post or send a request came to.
enum class UiHandOff : uint8_t {
    Done,      // posted (it will run), or sent and run
    NoRoom,    // every slot of the request table is taken: try again shortly
    Refused,   // the post could not be made (no memory, the window's queue full)
    NoWindow,  // there is no main window (any more): the work never runs
};

struct UiQueueCalls {
    UiHandOff (*post)(void* context);
    UiHandOff (*send)(void* context);  // never answers Refused
    void (*pause)(void* context);      // a short wait, while the UI thread works
    void* context;
};

// A refused post is tried again this often, a pause apart, before the work is
// sent instead: sent work runs ahead of the worker's earlier posts.
constexpr unsigned kRefusedPostTries = 50;

// Posts the work, waiting while the table is full; sends it when posts stay
// refused, waiting for a slot as well. True when the work ran or will run;
// false only when there is no window, and then the caller still owns what it
// meant to hand over.
bool HandOffToUiThread(const UiQueueCalls& calls);

// Waits for a slot and sends; true when the work ran.
bool SendToUiThread(const UiQueueCalls& calls);
