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

const char* const kKindNames[] = {"Error", "Ok", "Warning"};

const int kDriveList = 1012;

// What the program keeps behind each status-list item (text, icon, kind, and
// where a long line goes on from the item above: the flag and the span of the
// text drawn) and each drive-list row (root path, image list, icon index, -1
// for none), read whatever the program's width.
struct StatusEntry {
    uint64_t text, icon;
    uint8_t kind;
    bool continued;
    uint32_t from, length;
};
struct DriveEntry {
    char rootPath[4];
    uint64_t imageList;
    int32_t iconIndex;
};

// An item's data as the list `list` of the 32- or 64-bit program holds it at
// `data` (LB_GETITEMDATA); false when it cannot be read.
bool ReadStatusEntry(Remote& remote, HWND list, LRESULT data, StatusEntry* entry);
bool ReadDriveEntry(Remote& remote, HWND list, LRESULT data, DriveEntry* entry);

struct Context {
    HWND main;
    int argc;
    char** argv;
};

int RequireArgs(const Context& context, int count, const char* usage);
// Resolves "<pane> <id>" from argv[first], argv[first + 1].
HWND FindControl(const Context& context, int first, int* code);
// "control <id> on pane '<pane>'", from argv[first], argv[first + 1].
std::string ControlName(const Context& context, int first);
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
int CmdStatusItems(Context& context);
int CmdRows(Context& context);
int CmdPing(Context& context);
int CmdWaitMain(Context& context);

// What the screen shows: its pixels (0x00RRGGBB) in a rectangle, and the
// status kind whose icon colours a pixel has (kDrawnUnknown for none).
const uint8_t kScrolledAway = 0xFD, kDrawnHidden = 0xFE, kDrawnUnknown = 0xFF;
bool ReadScreen(POINT screen, int width, int height, std::vector<uint32_t>* pixels);
uint8_t IconKindOf(uint32_t pixel);
