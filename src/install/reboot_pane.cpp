#include "install/reboot_pane.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "install/firmware_mode.h"
#include "install/restart_request.h"
#include "resource.h"
#include "shell/app_state.h"
#include "shell/panes.h"
#include "shell/ui_thread.h"
#include "shell/unicode_control.h"
#include "text/console.h"
#include "text/copy_text.h"
#include "text/accessible_names.h"
#include "text/text.h"
#include "text/unicode_text.h"

namespace {

// (MinGW's winerror.h lacks ERROR_SHUTDOWN_USERS_LOGGED_ON; Microsoft's gives 1190.)
static_assert(kShutdownRestart == SHUTDOWN_RESTART && kShutdownForceOthers == SHUTDOWN_FORCE_OTHERS &&
                  kErrorNotAllAssigned == ERROR_NOT_ALL_ASSIGNED,
              "the restart request names Windows' values");
static_assert(kRestartReasonInstallation ==
                  (SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_INSTALLATION),
              "a planned restart for an application's installation");

static_assert(kFirmwareTypeBios == FirmwareTypeBios && kFirmwareTypeUefi == FirmwareTypeUefi &&
                  kErrorInvalidFunction == ERROR_INVALID_FUNCTION,
              "the firmware test names Windows' values");

// What the last write left on the drive; UI thread only.
struct WrittenImage {
    char name[MAX_PATH];
    char drive[3];
    bool restarted;
};
WrittenImage g_written;
bool g_haveWritten;

LRESULT TakeWrittenImage(void* image) {
    g_written = *static_cast<const WrittenImage*>(image);
    g_haveWritten = true;
    free(image);
    return 1;
}

// GetFirmwareType came with Windows 8: looked up at run time.
bool FirmwareType(uint32_t* type, void*) {
    using FirmwareCall = BOOL(WINAPI*)(FIRMWARE_TYPE*);
    const FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFirmwareType");
    FirmwareCall call = nullptr;
    static_assert(sizeof(call) == sizeof(found), "function pointers of one size");
    memcpy(&call, &found, sizeof(call));
    FIRMWARE_TYPE answer = FirmwareTypeUnknown;
    if (call == nullptr || !call(&answer))
        return false;
    *type = static_cast<uint32_t>(answer);
    return true;
}

uint32_t ReadNoVariable(void*) {
    char value[1];
    if (GetFirmwareEnvironmentVariableA("", "{00000000-0000-0000-0000-000000000000}", value, sizeof(value)) != 0)
        return 0;
    return GetLastError();
}

// Adds a paragraph to `text` (of `size` bytes), cut at its end.
void AddParagraph(char* text, size_t size, const char* paragraph) {
    const size_t used = strlen(text);
    if (used + 1 >= size)
        return;
    snprintf(text + used, size - used, "%s%s", used > 0 ? "\r\n\r\n" : "", paragraph);
}

// Restarting Windows, as the user answers and Windows allows.

bool WriteRunning(void*) {
    return IsWriteActive() != 0;
}

bool AskToRestart(RestartQuestion asked, void*) {
    char* title = CopyText(GetText(IDS_WINDOW_TITLE));
    char* question =
        CopyText(GetText(asked == RestartQuestion::RestartNow ? IDS_RESTART_QUESTION : IDS_RESTART_OTHERS));
    // No is the default: other programs may hold work that is not saved.
    const int answer = title != nullptr && question != nullptr
                           ? MessageBoxA(GetMainWindow(), question, title,
                                         MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2)
                           : IDNO;
    free(title);
    free(question);
    return answer == IDYES;
}

uint32_t EnableShutdownPrivilege(void*) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return GetLastError();
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    const bool adjusted = LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
                          AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    // Also after a success: ERROR_NOT_ALL_ASSIGNED when the token lacks the
    // privilege.
    DWORD error = GetLastError();
    if (!adjusted && error == ERROR_SUCCESS)
        error = ERROR_GEN_FAILURE;
    CloseHandle(token);
    return error;
}

// InitiateShutdownW rather than ExitWindowsEx: ExitWindowsEx may succeed
// without restarting when this process is not the signed-in user's (a
// standard user who typed an administrator's password), and it ends
// others' sessions without a word.
uint32_t RestartWindows(uint32_t flags, uint32_t reason, void*) {
    return InitiateShutdownW(nullptr, nullptr, 0, flags, reason);
}

void OnReboot() {
    const RestartCalls calls = {WriteRunning, AskToRestart, EnableShutdownPrivilege, RestartWindows, nullptr};
    const RestartResult result = RequestRestart(calls);
    switch (result.outcome) {
        case RestartOutcome::WriteRunning:
            ConsolePrint("A drive is being written: Windows is not restarted.\n");
            return;
        case RestartOutcome::Declined:
            ConsolePrint("Windows is not restarted: the user said no.\n");
            return;
        case RestartOutcome::Started:
            ConsolePrint("Windows is restarting.\n");
            return;
        case RestartOutcome::Refused:
            break;
    }
    ConsolePrint("Windows refused to restart (error %u).\n", result.error);
    char* title = CopyText(GetText(IDS_WINDOW_TITLE));
    char* refusal = CopyText(GetText(IDS_RESTART_REFUSED, result.error));
    if (title != nullptr && refusal != nullptr)
        MessageBoxA(GetMainWindow(), refusal, title, MB_OK | MB_ICONERROR);
    free(title);
    free(refusal);
}

}  // namespace

void NoteImageWritten(const char* name, char letter, bool restarted) {
    auto* image = static_cast<WrittenImage*>(calloc(1, sizeof(WrittenImage)));
    if (image == nullptr)
        return;
    snprintf(image->name, sizeof(image->name), "%s", name != nullptr ? name : "");
    image->drive[0] = letter;
    image->drive[1] = ':';
    image->restarted = restarted;
    // Queued before the write's end, so the pane knows of it when it shows.
    if (!QueueOnUiThread(TakeWrittenImage, image))
        free(image);
}

void ForgetImageWritten() {
    g_haveWritten = false;
}

void ShowRebootText() {
    const HWND pane = GetPane(PaneReboot);
    if (pane == nullptr)
        return;
    char text[4096] = "";
    if (!g_haveWritten) {
        AddParagraph(text, sizeof(text), GetTextUtf8(IDS_REBOOT_NOTHING_WRITTEN));
    } else {
        AddParagraph(text, sizeof(text), GetTextUtf8(IDS_REBOOT_WRITTEN, g_written.name, g_written.drive));
        AddParagraph(text, sizeof(text), GetTextUtf8(IDS_REBOOT_NEXT));
        // A diskette image starts only through the old BIOS way of booting.
        if (StartedInUefiMode({FirmwareType, ReadNoVariable, nullptr}))
            AddParagraph(text, sizeof(text), GetTextUtf8(IDS_REBOOT_UEFI));
        if (!g_written.restarted)
            AddParagraph(text, sizeof(text), GetTextUtf8(IDS_REBOOT_REPLUG, g_written.drive));
    }
    // The image's name may be any name Windows allows: the text is UTF-8.
    if (wchar_t* wide = WideFromUtf8(text)) {
        SetDlgItemTextW(pane, IDC_REBOOT_TEXT, wide);
        free(wide);
    }
    // A short name of its own: named with its first paragraph, a screen
    // reader said that paragraph twice, as the name and as the text.
    const HWND edit = GetDlgItem(pane, IDC_REBOOT_TEXT);
    NameControlPart(edit, CHILDID_SELF, GetText(IDS_NAME_OUTCOME));
    // Read from the start, nothing highlighted.
    SendMessageA(edit, EM_SETSEL, 0, 0);
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
}

namespace {

constexpr UINT_PTR kNoSelectSubclass = 3;

// The dialog manager selects an edit's whole text as it gives it the focus,
// when the edit answers WM_GETDLGCODE with DLGC_HASSETSEL; the text is then
// read as "selected". Without it the caret stays where it was: at the start.
LRESULT CALLBACK NoSelectOnFocus(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(edit, NoSelectOnFocus, kNoSelectSubclass);
    const LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
    return message == WM_GETDLGCODE ? (result & ~static_cast<LRESULT>(DLGC_HASSETSEL)) : result;
}

}  // namespace

// The text is to take the focus when the wizard is in front again. UI thread only.
static bool g_focusPending;

void FocusRebootText() {
    const HWND pane = GetPane(PaneReboot);
    const HWND text = GetDlgItem(pane, IDC_REBOOT_TEXT);
    g_focusPending = false;
    if (text == nullptr || GetShownPane() != pane)
        return;
    // Only while the wizard is in front: focus must not pull it before
    // another program. It is given when the user comes back.
    if (GetActiveWindow() != GetMainWindow()) {
        g_focusPending = true;
        return;
    }
    // Once: the focus event is what a screen reader speaks.
    if (GetFocus() != text)
        SendMessageA(GetMainWindow(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(text), TRUE);
}

void FocusPendingRebootText() {
    if (g_focusPending)
        FocusRebootText();
}

void UpdateRebootControls() {
    EnableWindow(GetDlgItem(GetPane(PaneReboot), IDC_REBOOT), IsWriteActive() == 0);
}

INT_PTR CALLBACK RebootPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            // The written image's name may hold letters the ANSI code page lacks.
            if (const HWND edit = MakeControlUnicode(pane, IDC_REBOOT_TEXT, L"Edit")) {
                if (!SetWindowSubclass(edit, NoSelectOnFocus, kNoSelectSubclass, 0))
                    ConsolePrint("The Reboot text is selected whole as it takes the focus.\n");
            }
            return PaneProc(pane, message, wParam, lParam);
        case WM_SHOWWINDOW:
            if (wParam != 0)
                ShowRebootText();
            return PaneProc(pane, message, wParam, lParam);
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_REBOOT && HIWORD(wParam) == BN_CLICKED)
                OnReboot();
            return PaneProc(pane, message, wParam, lParam);
        default:
            return PaneProc(pane, message, wParam, lParam);
    }
}
