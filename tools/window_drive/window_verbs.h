// The verbs that work the wizard's window from another process, as a user
// would: find the main window and its panes, choose a pane, pick a drive or
// any list row, click, read texts, enabled and visible states, status lines
// and list strings. A verb takes its words as a command line gives them
// (argv[1] is the verb's name) and prints its answer through Print.
#pragma once
#include "remote_window.h"

#include <stdint.h>

#include <string>
#include <vector>

enum Exit { kOk = 0, kFailed = 1, kUsage = 2, kNotFound = 3 };

const DWORD kPollMs = 50;
const int kStatusList = 1018;

// The layout the program keeps behind each status-list item.
struct StatusEntry {
    char* text;
    void* icon;
    uint8_t kind;
};
static_assert(sizeof(StatusEntry) == 24, "the program is 64-bit: text, icon, kind, 7 bytes of padding");
const char* const kKindNames[] = {"Error", "Ok", "Warning"};

const int kDriveList = 1012;

// The layout the program keeps behind each drive-list row.
struct DriveEntry {
    char rootPath[4];
    void* imageList;
    int32_t iconIndex;  // -1: no icon
};
static_assert(sizeof(DriveEntry) == 24, "the program is 64-bit: root, 4 bytes of padding, list, index, padding");

struct Context {
    HWND main;
    int argc;
    char** argv;
};

int RequireArgs(const Context& context, int count, const char* usage);
// Resolves "<pane> <id>" from argv[first], argv[first + 1].
HWND FindControl(const Context& context, int first, int* code);
// "E" or "E:".
bool IsDriveLetter(const char* text);
// The string of a list-box row, as a screen reader gets it.
bool RowString(HWND list, LRESULT index, std::string* out);

int CmdTitle(Context& context);
int CmdPanes(Context& context);
int CmdStrings(Context& context);
int CmdShown(Context& context);
int CmdSelect(Context& context);
int CmdClick(Context& context);
int CmdText(Context& context);
int CmdEnabled(Context& context);
int CmdVisible(Context& context);
int CmdChecked(Context& context);
int CmdProgress(Context& context);
int CmdList(Context& context);
int CmdPick(Context& context);
int CmdStatus(Context& context);
int CmdRows(Context& context);
int CmdPing(Context& context);
int CmdWaitMain(Context& context);

// What the screen shows: its pixels (0x00RRGGBB) in a rectangle, and the
// status kind whose icon colours a pixel has (kDrawnUnknown for none).
const uint8_t kDrawnHidden = 0xFE, kDrawnUnknown = 0xFF;
bool ReadScreen(POINT screen, int width, int height, std::vector<uint32_t>* pixels);
uint8_t IconKindOf(uint32_t pixel);
