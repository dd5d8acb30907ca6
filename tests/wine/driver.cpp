// tdw-driver: works the wizard's window from another process, as a user or
// the shell would, one command per run. Results go to stdout, one item a
// line; failures to stderr with a non-zero exit code. Run `tdw-driver help`.
// `tdw-driver serve` answers commands read from stdin instead, so that a
// scenario starts Wine once rather than once a command.
#include "accessible_read.h"
#include "window_verbs.h"

#include <commctrl.h>
#include <shlobj.h>
#include <dbt.h>
#include <winioctl.h>

#include <ctype.h>
#include <fcntl.h>
#include <io.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const int kLanguageBar = 1014;
const int kFileNameCombo = 1148;  // the open-file dialog's name field

// ---- Commands -----------------------------------------------------------

bool IsTopmost(HWND window) {
    return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// 1 while the main window stands in front of all others.
int CmdTopmost(Context& context) {
    Print("%d\n", IsTopmost(context.main) ? 1 : 0);
    return kOk;
}

// rect [--client] <pane> [id]: on screen; --client leaves out the frame and
// caption, which no window manager draws under Xvfb.
int CmdRect(Context& context) {
    bool client = context.argc > 2 && strcmp(context.argv[2], "--client") == 0;
    int first = client ? 3 : 2;
    if (int code = RequireArgs(context, first + 1, "rect [--client] <pane> [id]"))
        return code;
    HWND window = FindPane(context.main, context.argv[first]);
    if (!window)
        return Fail(kNotFound, "pane '%s' not found", context.argv[first]);
    int code = kOk;
    if (context.argc > first + 1 && !(window = FindControl(context, first, &code)))
        return code;
    RECT rect;
    if (client) {
        GetClientRect(window, &rect);
        MapWindowPoints(window, HWND_DESKTOP, (POINT*)&rect, 2);
    } else {
        GetWindowRect(window, &rect);
    }
    Print("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return kOk;
}

// Presses a language button with the mouse, so that the toolbar itself
// checks it and reports the command to the main window.
int CmdLang(Context& context) {
    if (int code = RequireArgs(context, 3, "lang <index>"))
        return code;
    HWND bar = GetDlgItem(context.main, kLanguageBar);
    if (!WaitControlReady(bar, "the language bar"))
        return kFailed;
    int index = atoi(context.argv[2]);
    if (index < 0 || index >= (int)SendOrZero(bar, TB_BUTTONCOUNT))
        return Fail(kNotFound, "the language bar has no button %d", index);
    Remote remote(bar);
    RECT* scratch = (RECT*)remote.Scratch();
    RECT rect;
    LRESULT ok = 0;
    if (!scratch || !Send(bar, TB_GETITEMRECT, index, (LPARAM)scratch, &ok) || !ok ||
        !remote.Read(scratch, &rect, sizeof rect))
        return Fail(kFailed, "cannot find where button %d lies", index);
    LPARAM centre = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageA(bar, WM_MOUSEMOVE, 0, centre);
    PostMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageA(bar, WM_LBUTTONUP, 0, centre);
    // The toolbar checks the button before it reports the command, and our
    // query is answered only between messages: checked means handled.
    for (DWORD start = GetTickCount(); !SendOrZero(bar, TB_ISBUTTONCHECKED, index); Sleep(kPollMs))
        if (GetTickCount() - start > kSendTimeoutMs)
            return Fail(kFailed, "button %d did not become checked", index);
    return kOk;
}

int CmdLangChecked(Context& context) {
    HWND bar = GetDlgItem(context.main, kLanguageBar);
    Remote remote(bar);
    char* scratch = (char*)remote.Scratch();
    int count = (int)SendOrZero(bar, TB_BUTTONCOUNT);
    int checked = -1;
    std::string captions;
    for (int i = 0; i < count; ++i) {
        if (SendOrZero(bar, TB_ISBUTTONCHECKED, i))
            checked = i;
        std::string caption;
        LRESULT length = -1;
        if (scratch && Send(bar, TB_GETBUTTONTEXTA, i, (LPARAM)scratch, &length) && length >= 0)
            remote.ReadText(scratch, 256, &caption);
        captions += (i ? "\t" : "") + Escape(caption);
    }
    Print("%d\n%s\n", checked, captions.c_str());
    return kOk;
}

// The width and height of the icon drawn at the left of a list row: the
// box around the pixels of any status icon's colours in the row's first
// row-height square. "0x0" when none shows.
std::string DrawnIconSize(HWND list, LRESULT index) {
    RECT item;
    LRESULT ok = 0;
    if (!Send(list, LB_GETITEMRECT, index, (LPARAM)&item, &ok) || ok == LB_ERR)
        return "0x0";
    int side = item.bottom - item.top;
    POINT corner = {item.left, item.top};
    ClientToScreen(list, &corner);
    std::vector<uint32_t> pixels;
    if (side <= 0 || !ReadScreen(corner, side, side, &pixels))
        return "0x0";
    int left = side, top = side, right = -1, bottom = -1;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (IconKindOf(pixels[y * side + x]) != kDrawnUnknown) {
                left = x < left ? x : left;
                top = y < top ? y : top;
                right = x > right ? x : right;
                bottom = y > bottom ? y : bottom;
            }
    if (right < 0)
        return "0x0";
    return std::to_string(right - left + 1) + "x" + std::to_string(bottom - top + 1);
}

// The drawn size of the first status icon in the list's view: the list keeps
// its newest line in view, and continuation rows show none.
std::string FirstIconInView(HWND list) {
    std::string size = "0x0";
    RECT client, item;
    for (LRESULT i = SendOrZero(list, LB_GETTOPINDEX); size == "0x0" && GetClientRect(list, &client) &&
         SendOrZero(list, LB_GETITEMRECT, i, (LPARAM)&item) != LB_ERR && item.bottom <= client.bottom; ++i)
        size = DrawnIconSize(list, i);
    return size;
}

// Sizes in pixels that follow the DPI: "panes<TAB>row height", "drives<TAB>
// row height" (0 without rows), "status<TAB>first line's height<TAB>the
// first icon in view's drawn width x height". The Install pane must be shown.
int CmdGeometry(Context& context) {
    HWND panes = GetDlgItem(context.main, kPaneList);
    HWND target = FindPane(context.main, "target"), install = FindPane(context.main, "install");
    HWND drives = target ? GetDlgItem(target, kDriveList) : nullptr;
    HWND status = install ? GetDlgItem(install, kStatusList) : nullptr;
    if (!drives || !status)
        return Fail(kNotFound, "no drive list or status list");
    bool anyDrive = SendOrZero(drives, LB_GETCOUNT) > 0, anyLine = SendOrZero(status, LB_GETCOUNT) > 0;
    Print("panes\t%d\n", (int)SendOrZero(panes, LB_GETITEMHEIGHT, 0));
    Print("drives\t%d\n", anyDrive ? (int)SendOrZero(drives, LB_GETITEMHEIGHT, 0) : 0);
    Print("status\t%d\t%s\n", anyLine ? (int)SendOrZero(status, LB_GETITEMHEIGHT, 0) : 0,
          anyLine ? FirstIconInView(status).c_str() : "0x0");
    return kOk;
}

// Sets a control's text as typing would leave it (the window system carries
// the text across to the program); --hidden: of a control off screen, which
// only another program can do.
int CmdSetText(Context& context) {
    bool hidden = context.argc > 2 && strcmp(context.argv[2], "--hidden") == 0;
    int first = hidden ? 3 : 2;
    if (int code = RequireArgs(context, first + 3, "settext [--hidden] <pane> <id> <text>"))
        return code;
    int code = kOk;
    HWND control = FindControl(context, first, &code);
    if (!control)
        return code;
    if (!hidden && !WaitControlReady(control, ControlName(context, first).c_str()))
        return kFailed;
    LRESULT ok = 0;
    if (!Send(control, WM_SETTEXT, 0, (LPARAM)context.argv[first + 2], &ok) || !ok)
        return Fail(kFailed, "the control does not take the text");
    return kOk;
}

// A dialog of the wizard's process other than the main window, known by a
// control: the open-file dialog by its name field, a question by its No.
struct FileDialogSearch {
    DWORD pid;
    HWND main;
    HWND found;
    int mark = kFileNameCombo;
};

BOOL CALLBACK FindFileDialog(HWND window, LPARAM param) {
    FileDialogSearch* search = (FileDialogSearch*)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (pid == search->pid && window != search->main && strcmp(name, "#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, search->mark)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitFileDialog(HWND main, DWORD limit, bool present, int mark = kFileNameCombo) {
    FileDialogSearch search = {0, main, nullptr, mark};
    GetWindowThreadProcessId(main, &search.pid);
    for (DWORD start = GetTickCount();; Sleep(kPollMs)) {
        search.found = nullptr;
        EnumWindows(FindFileDialog, (LPARAM)&search);
        if ((search.found != nullptr) == present)
            return search.found ? search.found : main;
        if (GetTickCount() - start >= limit)
            return nullptr;
    }
}

// filedialog ok <path> | cancel: answers the open-file dialog that the
// browse button opened, and waits until it has gone.
int CmdFileDialog(Context& context) {
    if (int code = RequireArgs(context, 3, "filedialog ok <path> | cancel"))
        return code;
    bool ok = strcmp(context.argv[2], "ok") == 0;
    if (!ok && strcmp(context.argv[2], "cancel") != 0)
        return Fail(kUsage, "filedialog ok <path> | cancel");
    if (int code = ok ? RequireArgs(context, 4, "filedialog ok <path>") : kOk)
        return code;
    HWND dialog = WaitFileDialog(context.main, kReadyTimeoutMs, true);
    if (!dialog)
        return Fail(kNotFound, "no open-file dialog within %lu ms", kReadyTimeoutMs);
    if (ok) {
        // The name field is an edit inside the combo box.
        HWND combo = GetDlgItem(dialog, kFileNameCombo);
        HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
        if (!edit) {  // ComboBoxEx32 may hold the edit inside its own combo box
            HWND inner = FindWindowExA(combo, nullptr, "ComboBox", nullptr);
            edit = inner ? FindWindowExA(inner, nullptr, "Edit", nullptr) : nullptr;
        }
        if (!edit)
            return Fail(kNotFound, "the open-file dialog has no name field");
        if (!WaitControlReady(edit, "the open-file dialog's name field"))
            return kFailed;
        LRESULT done = 0;
        if (!Send(edit, WM_SETTEXT, 0, (LPARAM)context.argv[3], &done) || !done)
            return Fail(kFailed, "the name field does not take the path");
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(ok ? IDOK : IDCANCEL, BN_CLICKED),
                 (LPARAM)GetDlgItem(dialog, ok ? IDOK : IDCANCEL));
    if (!WaitFileDialog(context.main, kReadyTimeoutMs, false))
        return Fail(kFailed, "the open-file dialog is still open after %s", ok ? "OK" : "Cancel");
    return kOk;
}

// answer-no, answer-yes: answers the wizard's Yes/No question once it shows,
// and prints the button that had the focus (6 Yes, 7 No), a tab and the question.
int Answer(Context& context, int button) {
    HWND box = WaitFileDialog(context.main, kSendTimeoutMs, true, IDNO);
    if (!box)
        return Fail(kNotFound, "no question within %u ms", kSendTimeoutMs);
    // The box is found as soon as it exists; it gives its default button the
    // focus a moment later.
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    for (DWORD start = GetTickCount();; Sleep(kPollMs)) {
        GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &thread);
        if ((thread.hwndFocus && IsChild(box, thread.hwndFocus)) || GetTickCount() - start >= kSendTimeoutMs)
            break;
    }
    char text[1024] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    Print("%d\t%s\n", thread.hwndFocus ? GetDlgCtrlID(thread.hwndFocus) : 0, text);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button));
    if (!WaitFileDialog(context.main, kSendTimeoutMs, false, IDNO))
        return Fail(kFailed, "the question is still open after the answer");
    return kOk;
}

int CmdAnswerNo(Context& context) {
    return Answer(context, IDNO);
}

int CmdAnswerYes(Context& context) {
    return Answer(context, IDYES);
}

// chooser [cancel | <row>]: Put back's chooser once it shows: its caption,
// the focused control's id, the default button's id, the list's label and
// its rows, tab-separated; with a row (1: the first), that row is selected
// and Put back pressed, with cancel Cancel is.
int CmdChooser(Context& context) {
    HWND dialog = WaitFileDialog(context.main, kSendTimeoutMs, true, 4003), list = GetDlgItem(dialog, 4003);
    if (!dialog || !WaitControlReady(list, "the list of copies"))
        return Fail(kNotFound, "no choice of copy within %u ms", kSendTimeoutMs);
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread);
    char caption[256] = "", prompt[512] = "";
    GetWindowTextA(dialog, caption, sizeof caption);
    GetDlgItemTextA(dialog, 4002, prompt, sizeof prompt);
    const int rows = (int)SendOrZero(list, LVM_GETITEMCOUNT);
    Print("%s\t%d\t%d\t%s\t%d\n", caption, thread.hwndFocus ? GetDlgCtrlID(thread.hwndFocus) : 0,
          (int)LOWORD(SendOrZero(dialog, DM_GETDEFID)), prompt, rows);
    Remote remote(dialog);
    void* block = remote.Scratch();
    if (context.argc < 3)
        return kOk;
    const bool cancel = strcmp(context.argv[2], "cancel") == 0;
    LVITEMA state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    const int row = atoi(context.argv[2]) - 1;
    if (!cancel && (row < 0 || row >= rows || !block || !remote.Write(block, &state, sizeof state) ||
                    !Send(list, LVM_SETITEMSTATE, row, (LPARAM)block)))
        return Fail(kFailed, "cannot choose row %s", context.argv[2]);
    const int button = cancel ? IDCANCEL : IDOK;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(dialog, button));
    if (!WaitFileDialog(context.main, kSendTimeoutMs, false, 4003))
        return Fail(kFailed, "the choice of copy is still open");
    return kOk;
}

int CmdAutoplay(Context& context) {
    UINT message = RegisterWindowMessageA("QueryCancelAutoPlay");
    LRESULT result = 0;
    if (!Send(context.main, message, 0, 0, &result))
        return Fail(kFailed, "no answer to QueryCancelAutoPlay");
    Print("%ld\n", (long)result);
    return kOk;
}

// The bytes the program's heaps hold in use, as its window reports them.
int CmdHeap(Context& context) {
    LRESULT result = 0;
    if (!Send(context.main, RegisterWindowMessageA("TalvixDiskWriter.HeapInUse"), 0, 0, &result) || result < 0)
        return Fail(kFailed, "no heap report");
    Print("%lld\n", (long long)result);
    return kOk;
}

// Asks the window whether the session may end, as Windows does at log-off,
// and prints the answer; "end": tells it that the session ends, and returns
// once it has done what it does then.
int CmdEndSession(Context& context) {
    const bool end = context.argc > 2 && strcmp(context.argv[2], "end") == 0;
    LRESULT result = 0;
    if (!Send(context.main, end ? WM_ENDSESSION : WM_QUERYENDSESSION, end, ENDSESSION_LOGOFF, &result))
        return Fail(kFailed, "no answer to %s", end ? "WM_ENDSESSION" : "WM_QUERYENDSESSION");
    if (!end)
        Print("%ld\n", (long)result);
    return kOk;
}

// A visible push button of the wizard: its pressed look marks how far the
// window has got through the messages posted to it.
BOOL CALLBACK FindPushButton(HWND window, LPARAM param) {
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    LONG type = GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK;
    if (_stricmp(name, "Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) &&
        IsWindowVisible(window)) {
        *(HWND*)param = window;
        return FALSE;
    }
    return TRUE;
}

// Esc goes to the focused control, where the dialog manager turns it into
// IDCANCEL. Returns once the window has handled it: a button's pressed look,
// posted after the key, shows that every message before it was taken; the
// look is then undone with a sent message, which a window that has quit
// never answers. Fails when the window goes or stops taking messages.
int CmdEscape(Context& context) {
    if (!WaitControlReady(context.main, "the main window"))
        return kFailed;
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(context.main, nullptr);
    HWND target = GetGUIThreadInfo(thread, &info) && info.hwndFocus ? info.hwndFocus : context.main;
    HWND marker = nullptr;
    EnumChildWindows(context.main, FindPushButton, (LPARAM)&marker);
    if (!marker || (SendOrZero(marker, BM_GETSTATE) & BST_PUSHED))
        return Fail(kFailed, "no visible push button to mark the end of the key");
    LPARAM scan = MapVirtualKeyA(VK_ESCAPE, MAPVK_VK_TO_VSC) << 16;
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 1 | scan);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 1 | scan | 0xC0000000);
    PostMessageA(marker, BM_SETSTATE, TRUE, 0);
    for (DWORD start = GetTickCount(); !(SendOrZero(marker, BM_GETSTATE) & BST_PUSHED); Sleep(kPollMs))
        if (!IsWindow(marker) || GetTickCount() - start > kSendTimeoutMs)
            return Fail(kFailed, "the window did not get past Esc");
    // A window that quits on Esc takes no message after its last posted one.
    if (!Send(marker, BM_SETSTATE, FALSE, 0))
        return Fail(kFailed, "the window took no message after Esc");
    Print("%d\n", GetDlgCtrlID(target));
    return kOk;
}

// The window that has the keyboard focus in the wizard's thread, or null.
HWND FocusOf(HWND main) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(main, nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// "<pane><TAB><id>" of the focused control, "main<TAB>0" when the window
// itself has it, "none" when nothing of the wizard has.
int CmdFocus(Context& context) {
    HWND focus = FocusOf(context.main);
    if (focus == context.main) {
        Print("main\t0\n");
        return kOk;
    }
    static const char* const kNames[] = {"main", "welcome", "chooser", "target", "install", "reboot"};
    HWND parent = focus ? GetParent(focus) : nullptr;
    for (const char* name : kNames) {
        if (parent && FindPane(context.main, name) == parent) {
            Print("%s\t%d\n", name, GetDlgCtrlID(focus));
            return kOk;
        }
    }
    Print("none\n");
    return kOk;
}

struct KeyName {
    const char* name;
    WORD key;
    bool extended;  // the arrow block: its scan codes come with the E0 prefix
};
const KeyName kKeyNames[] = {
    {"tab", VK_TAB, false},   {"enter", VK_RETURN, false}, {"esc", VK_ESCAPE, false}, {"space", VK_SPACE, false},
    {"up", VK_UP, true},      {"down", VK_DOWN, true},     {"left", VK_LEFT, true},  {"right", VK_RIGHT, true},
    {"home", VK_HOME, true},  {"end", VK_END, true},      {"c", 'C', false},         {"f10", VK_F10, false},
    {"apps", VK_APPS, true},
};

void AddKey(std::vector<INPUT>* inputs, WORD key, bool extended, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = (WORD)MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
    input.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
    inputs->push_back(input);
}

// Windows hands a thread its input after sent and posted messages, and a
// repaint only once no input is left: the pane list made to need painting
// after the keys, and seen painted, means every key before it was taken.
bool WaitInputTaken(HWND main) {
    HWND marker = GetDlgItem(main, kPaneList);
    if (!marker || !IsWindowVisible(marker) || !InvalidateRect(marker, nullptr, FALSE))
        return false;
    for (DWORD start = GetTickCount(); GetUpdateRect(marker, nullptr, FALSE); Sleep(kPollMs))
        if (GetTickCount() - start > kReadyTimeoutMs)
            return false;
    return true;
}

// keys <key>...: real key presses, as a keyboard gives them, to the wizard
// brought to the foreground. A key is one of tab enter esc space up down
// left right home end c f10 apps; "shift+" or "ctrl+" in front holds that
// key down around it.
int CmdKeys(Context& context) {
    if (int code = RequireArgs(context, 3, "keys <key>..."))
        return code;
    std::vector<INPUT> inputs;
    for (int i = 2; i < context.argc; ++i) {
        const char* name = context.argv[i];
        WORD held = 0;
        if (_strnicmp(name, "shift+", 6) == 0)
            held = VK_SHIFT, name += 6;
        else if (_strnicmp(name, "ctrl+", 5) == 0)
            held = VK_CONTROL, name += 5;
        const KeyName* found = nullptr;
        for (const KeyName& key : kKeyNames)
            if (_stricmp(name, key.name) == 0)
                found = &key;
        if (!found)
            return Fail(kUsage, "unknown key '%s'", context.argv[i]);
        if (held)
            AddKey(&inputs, held, false, false);
        AddKey(&inputs, found->key, found->extended, false);
        AddKey(&inputs, found->key, found->extended, true);
        if (held)
            AddKey(&inputs, held, false, true);
    }
    if (!WaitControlReady(context.main, "the main window"))
        return kFailed;
    // Keys go to the foreground window's thread: make the wizard that first.
    SetForegroundWindow(context.main);
    for (DWORD start = GetTickCount(); GetForegroundWindow() != context.main; Sleep(kPollMs))
        if (GetTickCount() - start > kSendTimeoutMs)
            return Fail(kFailed, "the wizard does not come to the foreground");
    UINT count = (UINT)inputs.size();
    if (SendInput(count, inputs.data(), sizeof(INPUT)) != count)
        return Fail(kFailed, "SendInput did not take all %u key events (error %lu)", count, GetLastError());
    if (!WaitInputTaken(context.main))
        return Fail(kFailed, "the window did not take the keys within %lu ms", kReadyTimeoutMs);
    return kOk;
}

// What Active Accessibility gives of a control: name<TAB>role<TAB>state for
// the control, then for each child, then selection<TAB>child and focus<TAB>child.
int CmdAccessible(Context& context) {
    if (int code = RequireArgs(context, 4, "accessible <pane> <id>"))
        return code;
    int code = kOk;
    HWND control = FindControl(context, 2, &code);
    if (!control)
        return code;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const AccessibleRead read = ReadAccessible(control);
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!read.read)
        return Fail(kFailed, "AccessibleObjectFromWindow gave no object for %s", ControlName(context, 2).c_str());
    Print("%s\t%ld\t0x%lX\n", Escape(read.self.name).c_str(), read.self.role, read.self.state);
    for (const AccessibleItem& child : read.children)
        Print("%s\t%ld\t0x%lX\n", Escape(child.name).c_str(), child.role, child.state);
    Print("selection\t%ld\nfocus\t%ld\n", read.selection, read.focus);
    return kOk;
}

// Presses keys (as `keys` does) and prints the focus events of the wizard's
// process that came of them, id<TAB>child each, once one reached control <id>.
int CmdFocusEvents(Context& context) {
    if (int code = RequireArgs(context, 4, "focus-events <id> <key>..."))
        return code;
    DWORD pid = 0;
    GetWindowThreadProcessId(context.main, &pid);
    if (!StartFocusEvents(pid))
        return Fail(kFailed, "SetWinEventHook failed");
    Context keys = context;
    keys.argc = context.argc - 1;
    keys.argv = context.argv + 1;
    const int pressed = CmdKeys(keys);
    const bool arrived = pressed == kOk && WaitFocusEvent(atoi(context.argv[2]), 0, kReadyTimeoutMs, nullptr);
    std::vector<FocusEvent> events;
    StopFocusEvents(&events);
    for (const FocusEvent& event : events)
        Print("%d\t%ld\n", event.control, event.child);
    return pressed != kOk ? pressed : arrived ? kOk : Fail(kFailed, "no focus event for control %s", context.argv[2]);
}

// Gives a control the focus as the dialog itself would.
int CmdFocusOn(Context& context) {
    if (int code = RequireArgs(context, 4, "focus-on <pane> <id>"))
        return code;
    int code = kOk;
    HWND control = FindControl(context, 2, &code);
    if (!control)
        return code;
    if (!WaitControlReady(control, ControlName(context, 2).c_str()))
        return kFailed;
    return Send(context.main, WM_NEXTDLGCTL, (WPARAM)control, TRUE) ? kOk : Fail(kFailed, "the window does not answer");
}

// The clipboard's Unicode text as UTF-8 on one line ("none" without one);
// --clear empties the clipboard.
int CmdClipboard(Context& context) {
    bool clear = context.argc > 2 && strcmp(context.argv[2], "--clear") == 0;
    if (!OpenClipboard(nullptr))
        return Fail(kFailed, "cannot open the clipboard (error %lu)", GetLastError());
    std::string text = "none";
    if (clear) {
        EmptyClipboard();
        text.clear();
    } else if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const wchar_t* wide = (const wchar_t*)GlobalLock(data);
        int size = wide ? WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr) : 0;
        text.assign(size > 0 ? size - 1 : 0, '\0');
        if (size > 1)
            WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], size, nullptr, nullptr);
        GlobalUnlock(data);
    }
    CloseClipboard();
    if (!clear)
        Print("%s\n", Escape(text).c_str());
    return kOk;
}

int CmdClose(Context& context) {
    return PostMessageA(context.main, WM_CLOSE, 0, 0) ? kOk : Fail(kFailed, "PostMessage failed");
}

bool SendDeviceChange(HWND main, bool removal, char letter) {
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (toupper(letter) - 'A');
    return Send(main, WM_DEVICECHANGE, removal ? DBT_DEVICEREMOVECOMPLETE : DBT_DEVICEARRIVAL, (LPARAM)&volume);
}

// devchange [count] [removal] [letter]: what Windows sends when a drive
// (E: unless named) comes or goes.
int CmdDevChange(Context& context) {
    int count = context.argc > 2 ? atoi(context.argv[2]) : 1;
    bool removal = context.argc > 3 && strcmp(context.argv[3], "removal") == 0;
    char letter = context.argc > 4 && IsDriveLetter(context.argv[4]) ? context.argv[4][0] : 'E';
    for (int i = 0; i < count; ++i)
        if (!SendDeviceChange(context.main, removal, letter))
            return Fail(kFailed, "no answer to WM_DEVICECHANGE %d", i + 1);
    return kOk;
}

// devnodes: DBT_DEVNODES_CHANGED, which Windows sends as any device comes or
// goes, not waited for (it carries no record); then the status lines as that
// message left them, read before any work it started reaches the window.
int CmdDevNodes(Context& context) {
    HWND pane = FindPane(context.main, "install");
    HWND list = pane ? GetDlgItem(pane, kStatusList) : nullptr;
    Remote remote(context.main);
    if (!list || !SendNotifyMessageA(context.main, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0))
        return Fail(kFailed, "cannot send DBT_DEVNODES_CHANGED");
    const LRESULT count = SendOrZero(list, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT data = SendOrZero(list, LB_GETITEMDATA, i);
        StatusEntry entry;
        std::string text;
        if (!ReadStatusEntry(remote, list, data, &entry) ||
            (!entry.continued && !remote.ReadText((const char*)(uintptr_t)entry.text, 4096, &text)))
            return Fail(kFailed, "cannot read status line %d", int(i + 1));
        if (!entry.continued)
            Print("%s\n", Escape(text).c_str());
    }
    return kOk;
}

// raise-watch <ms> [arrival|removal <letter>]: sends the device change, if
// one is named, to a window that is not topmost, then watches its z-order
// closely for up to ms and prints what it saw: "raised" then
// "lowered<TAB>ms topmost"; "raised" alone when it was still topmost at the
// end; or "not raised". Watching in the same run as the sending keeps a
// slow start of this program from missing the raise.
int CmdRaiseWatch(Context& context) {
    if (int code = RequireArgs(context, 3, "raise-watch <ms> [arrival|removal <letter>]"))
        return code;
    DWORD limit = (DWORD)atol(context.argv[2]);
    if (context.argc > 3) {
        if (int code = RequireArgs(context, 5, "raise-watch <ms> [arrival|removal <letter>]"))
            return code;
        if (!IsDriveLetter(context.argv[4]))
            return Fail(kUsage, "'%s' is no drive letter", context.argv[4]);
        if (IsTopmost(context.main))
            return Fail(kFailed, "the window is topmost before the device change");
        if (!SendDeviceChange(context.main, strcmp(context.argv[3], "removal") == 0, context.argv[4][0]))
            return Fail(kFailed, "no answer to WM_DEVICECHANGE");
    }
    const DWORD kStepMs = 5;
    DWORD start = GetTickCount(), raisedAt = 0;
    bool raised = false;
    while (GetTickCount() - start < limit) {
        bool topmost = IsTopmost(context.main);
        if (!raised && topmost) {
            raised = true;
            raisedAt = GetTickCount();
            Print("raised\n");
        } else if (raised && !topmost) {
            Print("lowered\t%lu\n", GetTickCount() - raisedAt);
            return kOk;
        }
        Sleep(kStepMs);
    }
    if (!raised)
        Print("not raised\n");
    return kOk;
}

// command <pane> <id>: the button's WM_COMMAND posted whatever its state, as a
// press queued before it was disabled, or another program, may send it.
int CmdCommand(Context& context) {
    if (int rc = RequireArgs(context, 4, "command <pane> <id>"))
        return rc;
    int code = kFailed;
    const HWND control = FindControl(context, 2, &code);
    if (control == nullptr)
        return code;
    const WPARAM command = MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED);
    return PostMessageA(GetParent(control), WM_COMMAND, command, (LPARAM)control) && Send(context.main, WM_NULL, 0, 0)
               ? kOk
               : Fail(kFailed, "the command was not delivered");
}

// drop <path>...: the files (UTF-8 paths) dropped on the window. Wine does not
// carry an HDROP between processes: the DROPFILES block is made in the
// wizard's own memory.
int CmdDrop(Context& context) {
    if (int rc = RequireArgs(context, 3, "drop <path>..."))
        return rc;
    std::vector<wchar_t> block(sizeof(DROPFILES) / sizeof(wchar_t), 0);
    for (int i = 2; i < context.argc; ++i) {
        wchar_t path[1024];
        if (MultiByteToWideChar(CP_UTF8, 0, context.argv[i], -1, path, 1024) <= 0)
            return Fail(kUsage, "not a path: %s", context.argv[i]);
        block.insert(block.end(), path, path + wcslen(path) + 1);
    }
    block.push_back(L'\0');
    DROPFILES* files = reinterpret_cast<DROPFILES*>(block.data());
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    DWORD process = 0;
    GetWindowThreadProcessId(context.main, &process);
    const HANDLE wizard = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process);
    const SIZE_T size = block.size() * sizeof(wchar_t);
    void* remote = wizard ? VirtualAllocEx(wizard, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE) : nullptr;
    const bool written = remote != nullptr && WriteProcessMemory(wizard, remote, block.data(), size, nullptr);
    if (wizard)
        CloseHandle(wizard);
    if (!written)
        return Fail(kFailed, "cannot place the drop in the wizard's memory");
    return PostMessageW(context.main, WM_DROPFILES, (WPARAM)remote, 0) && Send(context.main, WM_NULL, 0, 0)
               ? kOk
               : Fail(kFailed, "the drop was not delivered");
}

// Paints every window of the wizard now, so that a screenshot shows the state.
int CmdRedraw(Context& context) {
    RedrawWindow(context.main, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return Send(context.main, WM_NULL, 0, 0) ? kOk : Fail(kFailed, "the window stopped answering");
}

// The drives this prefix offers: "E:\<TAB>removable" and so on. Needs no window.
int CmdDrives(Context&) {
    static const char* const kTypes[] = {"unknown", "none", "removable", "fixed", "remote", "cdrom", "ramdisk"};
    char roots[512] = "";
    DWORD length = GetLogicalDriveStringsA(sizeof roots, roots);
    if (!length || length > sizeof roots)
        return Fail(kFailed, "GetLogicalDriveStringsA failed");
    for (const char* root = roots; *root; root += strlen(root) + 1) {
        UINT type = GetDriveTypeA(root);
        Print("%s\t%s\n", Escape(root).c_str(), type < 7 ? kTypes[type] : "unknown");
    }
    return kOk;
}

// ---- Drives that come and go: Wine's mount manager ----------------------
// Wine defines a drive letter for a unix folder and device file when asked
// through \\.\MountPointManager, and every program sees the new drive list at
// once. The request is a fixed header followed by the unix paths as byte
// strings; offsets count from the header's start.
struct UnixDriveRequest {
    ULONG size;
    ULONG type;  // DRIVE_REMOVABLE adds, DRIVE_NO_ROOT_DIR removes
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
static_assert(sizeof(UnixDriveRequest) == 32, "Wine's layout of the drive request");
const DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

int DefineUnixDrive(char letter, UINT type, const char* folder, const char* device) {
    std::string buffer(sizeof(UnixDriveRequest), '\0');
    UnixDriveRequest request = {};
    request.type = type;
    request.letter = (WCHAR)letter;
    if (folder) {
        request.mountPointOffset = (USHORT)buffer.size();
        buffer.append(folder).push_back('\0');
    }
    if (device) {
        request.deviceOffset = (USHORT)buffer.size();
        buffer.append(device).push_back('\0');
    }
    request.size = (ULONG)buffer.size();
    memcpy(&buffer[0], &request, sizeof request);
    HANDLE manager = CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return Fail(kFailed, "cannot open the mount manager (error %lu)", GetLastError());
    DWORD returned = 0;
    BOOL ok =
        DeviceIoControl(manager, kDefineUnixDrive, &buffer[0], (DWORD)buffer.size(), nullptr, 0, &returned, nullptr);
    DWORD error = GetLastError();
    CloseHandle(manager);
    if (!ok)
        return Fail(kFailed, "the mount manager refused drive %c: (error %lu)", letter, error);
    return kOk;
}

// mount <letter> <unix folder> <unix device file>: a removable drive appears.
int CmdMount(Context& context) {
    if (int code = RequireArgs(context, 5, "mount <letter> <unix folder> <unix device file>"))
        return code;
    if (!IsDriveLetter(context.argv[2]))
        return Fail(kUsage, "'%s' is no drive letter", context.argv[2]);
    return DefineUnixDrive(context.argv[2][0], DRIVE_REMOVABLE, context.argv[3], context.argv[4]);
}

// unmount <letter>: the drive goes, as when a stick is pulled.
int CmdUnmount(Context& context) {
    if (int code = RequireArgs(context, 3, "unmount <letter>"))
        return code;
    if (!IsDriveLetter(context.argv[2]))
        return Fail(kUsage, "'%s' is no drive letter", context.argv[2]);
    return DefineUnixDrive(context.argv[2][0], DRIVE_NO_ROOT_DIR, nullptr, nullptr);
}

void DumpTree(HWND parent, int depth) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = "", text[128] = "";
        GetClassNameA(child, name, sizeof name);
        Send(child, WM_GETTEXT, sizeof text, (LPARAM)text);
        Print("%*s%d\t%s\t%s%s\t%s\n", depth * 2, "", GetDlgCtrlID(child), name,
              IsWindowVisible(child) ? "visible" : "hidden", IsWindowEnabled(child) ? "" : ",disabled",
              Escape(text).c_str());
        DumpTree(child, depth + 1);
    }
}

// Every window of the wizard with id, class, state and text: for failure reports.
int CmdDump(Context& context) {
    DumpTree(context.main, 0);
    return kOk;
}

int CmdHelp(Context&);

struct Command {
    const char* name;
    int (*run)(Context&);
    bool needsMain;
    const char* usage;
};
const Command kCommands[] = {
    {"wait-main", CmdWaitMain, false, "wait-main <ms>       wait until the main window is visible"},
    {"title", CmdTitle, true, "title                the main window's title"},
    {"panes", CmdPanes, true, "panes                index<TAB>selected<TAB>title of each pane-list entry"},
    {"shown", CmdShown, true, "shown                the visible main pane: welcome|target|install|reboot|none"},
    {"select", CmdSelect, true, "select <index>       choose a pane-list entry as a click does"},
    {"click", CmdClick, true,
     "click [--post] <pane> <id>  press a button (--post: for buttons that open a modal dialog)"},
    {"text", CmdText, true, "text <pane> <id>     a control's text"},
    {"enabled", CmdEnabled, true, "enabled <pane> <id>  1 or 0"},
    {"visible", CmdVisible, true, "visible <pane> <id>  1 or 0"},
    {"checked", CmdChecked, true, "checked <pane> <id>  BM_GETCHECK: 0, 1 or 2"},
    {"progress", CmdProgress, true, "progress <pane> <id>  a progress bar: position<TAB>low<TAB>high"},
    {"topmost", CmdTopmost, true, "topmost              1 while the main window is topmost"},
    {"list", CmdList, true, "list <pane> <id>     a list box: count<TAB>selected index"},
    {"pick", CmdPick, true, "pick <pane> <id> <index>  select a list-box entry as a click does"},
    {"rect", CmdRect, true, "rect [--client] <pane> [id]  screen rectangle: left top right bottom"},
    {"lang", CmdLang, true, "lang <index>         click a language button"},
    {"lang-checked", CmdLangChecked, true, "lang-checked         the checked language button, then the captions"},
    {"status", CmdStatus, true,
     "status [--drawn]     Error|Ok|Warning<TAB>text of each status line, checked against its drawn icon"},
    {"answer-no", CmdAnswerNo, true, "answer-no            answer No to a Yes/No question; print the focused id<TAB>text"},
    {"answer-yes", CmdAnswerYes, true, "answer-yes           answer Yes to a Yes/No question; print the focused id<TAB>text"},
    {"chooser", CmdChooser, true, "chooser [cancel|<row>]  Put back's choice of copy: caption, focus, default, label, rows; answer it"},
    {"autoplay", CmdAutoplay, true, "autoplay             send QueryCancelAutoPlay, print the answer"},
    {"heap", CmdHeap, true, "heap                 bytes in use in the program's heaps"},
    {"endsession", CmdEndSession, true, "endsession [end]     send WM_QUERYENDSESSION and print the answer, or WM_ENDSESSION"},
    {"escape", CmdEscape, true, "escape               press Esc, wait until it is handled; prints the id of the focused control that got it"},
    {"keys", CmdKeys, true, "keys <key>...        press keys (tab enter esc space up down left right home end c f10 apps, shift+ or ctrl+<key>)"},
    {"focus", CmdFocus, true, "focus                the focused control: pane<TAB>id, or none"},
    {"focus-on", CmdFocusOn, true, "focus-on <pane> <id>  give a control the focus"},
    {"accessible", CmdAccessible, true,
     "accessible <pane> <id>  name<TAB>role<TAB>state of a control and each child, then selection and focus"},
    {"focus-events", CmdFocusEvents, true, "focus-events <id> <key>...  press keys, print the focus events (id<TAB>child)"},
    {"clipboard", CmdClipboard, false, "clipboard [--clear]  the clipboard's text on one line (CR LF as \\r\\n), or none; or empty it"},
    {"close", CmdClose, true, "close                post WM_CLOSE"},
    {"devchange", CmdDevChange, true, "devchange [count] [removal] [letter]  send WM_DEVICECHANGE for a drive (E:)"},
    {"devnodes", CmdDevNodes, true, "devnodes             send DBT_DEVNODES_CHANGED, print the status lines as it left them"},
    {"raise-watch", CmdRaiseWatch, true,
     "raise-watch <ms> [arrival|removal <letter>]  send the device change, watch the window go topmost and back"},
    {"rows", CmdRows, true, "rows                 drive list: root<TAB>icon|noicon per row, then selected<TAB>index"},
    {"status-items", CmdStatusItems, true,
     "status-items         per status line: items, tallest item, whole|broken, first item's string, one fill|fills differ|unseen"},
    {"strings", CmdStrings, true, "strings <pane> <id>  each row's string of a list box (what a screen reader reads)"},
    {"geometry", CmdGeometry, true,
     "geometry             row heights of the three lists and the first status line's drawn icon size"},
    {"settext", CmdSetText, true, "settext [--hidden] <pane> <id> <text>  set a control's text (--hidden: one off screen)"},
    {"filedialog", CmdFileDialog, true,
     "filedialog ok <path> | cancel  answer the open-file dialog and wait until it closes"},
    {"mount", CmdMount, false,
     "mount <letter> <unix folder> <unix device file>  add a removable drive (mount manager)"},
    {"unmount", CmdUnmount, false, "unmount <letter>     remove a drive (mount manager)"},
    {"ping", CmdPing, true, "ping                 milliseconds the window takes to answer WM_NULL"},
    {"command", CmdCommand, true, "command <pane> <id>  post a button's WM_COMMAND, enabled or not"},
    {"drop", CmdDrop, true, "drop <path>...       drop files (UTF-8 paths) on the window"},
    {"redraw", CmdRedraw, true, "redraw               repaint the whole window now"},
    {"dump", CmdDump, true, "dump                 every child window: id, class, state, text"},
    {"drives", CmdDrives, false, "drives               each drive root and its type"},
    {"help", CmdHelp, false, "help                 this list"},
};
// Panes: main | welcome | chooser | target | install | reboot.

int CmdHelp(Context&) {
    Print("usage: tdw-driver <command> [arguments]\npanes: main welcome chooser target install reboot\n");
    for (const Command& command : kCommands)
        Print("  %s\n", command.usage);
    return kOk;
}

int Run(int argc, char** argv) {
    for (const Command& command : kCommands) {
        if (strcmp(argv[1], command.name) != 0)
            continue;
        Context context = {nullptr, argc, argv};
        if (command.needsMain && !(context.main = FindMain()))
            return Fail(kNotFound, "no main window");
        return command.run(context);
    }
    return Fail(kUsage, "unknown command '%s' (try help)", argv[1]);
}

// One command a line, its words separated by 0x1F (words may hold spaces and
// tabs). Each answer is a line "<exit code> <stdout bytes> <stderr bytes>"
// and then those bytes. Ends at an empty line or the end of stdin.
int Serve() {
    _setmode(_fileno(stdin), _O_BINARY);
    for (;;) {
        std::string line;
        int c;
        while ((c = getchar()) != EOF && c != '\n')
            line.push_back((char)c);
        if (line.empty())
            return kOk;
        std::vector<std::string> words(1, "tdw-driver");
        size_t start = 0;
        for (size_t end; (end = line.find('\x1f', start)) != std::string::npos; start = end + 1)
            words.push_back(line.substr(start, end - start));
        words.push_back(line.substr(start));
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(&word[0]);
        argv.push_back(nullptr);
        std::string out, err;
        CaptureOutput(&out, &err);
        int code = Run((int)words.size(), argv.data());
        CaptureOutput(nullptr, nullptr);
        if (!err.empty())
            err = "tdw-driver: " + err + "\n";
        printf("%d %u %u\n", code, (unsigned)out.size(), (unsigned)err.size());
        fwrite(out.data(), 1, out.size(), stdout);
        fwrite(err.data(), 1, err.size(), stdout);
        fflush(stdout);
        if (c == EOF)
            return kOk;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The harness compares output byte for byte: no CR before LF.
    _setmode(_fileno(stdout), _O_BINARY);
    // Screen pixels as they are, whatever the DPI: the wizard is DPI-aware.
    SetProcessDPIAware();
    if (argc < 2) {
        Context none = {nullptr, argc, argv};
        CmdHelp(none);
        return kUsage;
    }
    if (argc == 2 && strcmp(argv[1], "serve") == 0)
        return Serve();
    return Run(argc, argv);
}
