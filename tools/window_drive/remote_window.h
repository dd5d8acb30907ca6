// Reaching the wizard's windows and memory from another process: finding the
// main window and its panes, sending with a timeout, reading the program's heap.
#pragma once
#include <windows.h>

#include <stddef.h>
#include <string>

const UINT kSendTimeoutMs = 15000;  // generous: a busy or slow machine is no failure
const DWORD kReadyTimeoutMs = 30000;  // as long as any wait of the scenarios
const int kPaneList = 2002;

int Fail(int code, const char* format, ...);
void Print(const char* format, ...);
// From now on Print appends to `printed` and Fail to `failed` instead of
// writing to stdout and stderr (null for both: back to them). For a program
// that reads the verbs' answers itself.
void CaptureOutput(std::string* printed, std::string* failed);
// Texts are printed on one line: CR, LF and tab are escaped as \r \n \t.
std::string Escape(const std::string& text);

// Waits, up to kReadyTimeoutMs, until `control` can be used as a user would:
// it and every window it lies in shown, it and its top-level window enabled.
// At the limit says on stderr what it saw of the control named `what`.
bool WaitControlReady(HWND control, const char* what);

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr);
LRESULT SendOrZero(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// The main window: a dialog with the pane list, of TalvixDiskWriter.exe when
// one is there, else of any program.
HWND FindMain();

struct PaneKind {
    const char* name;
    int marker;  // a control that only this pane holds
};
extern const PaneKind kPanes[4];

// A child dialog of `parent` is known by a control that only it holds.
HWND FindChildDialog(HWND parent, int controlId);
// main | welcome | chooser | target | install | reboot; null when absent.
HWND FindPane(HWND main, const char* name);

// The program's memory, through the process that owns a window.
class Remote {
public:
    explicit Remote(HWND window);
    ~Remote();
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;
    // A scratch block in the program for messages whose lParam is a pointer.
    void* Scratch();
    bool Read(const void* address, void* out, size_t size);
    // Into the scratch block (or another block of the program's own).
    bool Write(void* address, const void* data, size_t size);
    // A NUL-terminated text of at most `limit` bytes.
    bool ReadText(const char* address, size_t limit, std::string* out);

private:
    DWORD pid_ = 0;
    HANDLE process_ = nullptr;  // reading only
    HANDLE writer_ = nullptr;   // opened for the scratch block
    void* block_ = nullptr;
};
