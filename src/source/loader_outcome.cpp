#include "source/loader_outcome.h"

#include <atomic>
#include <cstring>

#include "resource.h"
#include "shell/app_state.h"
#include "shell/pane_list.h"
#include "shell/panes.h"
#include "shell/ui_thread.h"
#include "text/console.h"
#include "text/text.h"

namespace {
std::atomic<HWND> g_outcomePane{nullptr};
// An outcome not yet shown: the loader starts before the window exists and
// may finish before the Welcome pane does. 0: none, else OutcomeSuccess or
// OutcomeFailure. Whoever takes it (the loader, or the pane's registration)
// shows it, so each outcome is shown once.
constexpr int OutcomeSuccess = 1;
constexpr int OutcomeFailure = 2;
std::atomic<int> g_pendingOutcome{0};

// Shows `textId` on the Welcome text and keeps it there across language changes.
void SetWelcomeText(HWND pane, int textId) {
    const HWND text = GetDlgItem(pane, IDC_WELCOME_TEXT);
    SetWindowLongPtrA(text, GWLP_USERDATA, textId);
    SetWindowTextA(text, GetText(textId));
}

LRESULT ShowLoaderOutcomeOnUiThread(void* success) {
    ShowLoaderOutcome(success != nullptr);
    return 1;
}

// The pane shown again once the window runs: the focus follows the outcome.
LRESULT RefreshShownPane(void*) {
    SwitchPane(nullptr);
    return 1;
}
}  // namespace

int ImageEdition() {
    const AppState* state = g_appState;
    return state != nullptr && strstr(state->imageName.load(), "T64") != nullptr ? 64 : 32;
}

void ShowLoaderSuccess(HWND pane) {
    ShowWindow(GetDlgItem(pane, IDC_BUSY_BAR), SW_HIDE);
    EnableWindow(GetDlgItem(pane, IDC_NEXT), TRUE);
    SetWelcomeText(pane, ImageEdition() == 64 ? IDS_INTRO_64 : IDS_INTRO_32);
}

void ShowLoaderFailure(HWND pane) {
    ShowWindow(GetDlgItem(pane, IDC_BUSY_BAR), SW_HIDE);
    SetWelcomeText(pane, IDS_INTRO_NO_IMAGE);
    RefillPaneTitles(GetParent(pane));
    EnableWindow(GetDlgItem(pane, IDC_NEXT), TRUE);
    ConsolePrint("No attached image unzipped/found.\nReady...\n");
}

void ShowLoaderOutcome(bool success) {
    const HWND pane = g_outcomePane;
    if (pane == nullptr)
        return;
    if (success)
        ShowLoaderSuccess(pane);
    else
        ShowLoaderFailure(pane);
    SwitchPane(nullptr);
}

void ReportLoaderOutcome(bool success, HWND pane) {
    if (pane != nullptr) {
        // Registered on the UI thread while the window is being built: an
        // outcome that came first is on the pane before the window's first
        // paint; the pane is shown again (and takes the focus) once the
        // window runs, since the window is still being built here.
        g_outcomePane = pane;
        const int pending = g_pendingOutcome.exchange(0);
        if (pending == OutcomeSuccess)
            ShowLoaderSuccess(pane);
        else if (pending == OutcomeFailure)
            ShowLoaderFailure(pane);
        if (pending != 0)
            PostToUiThread(RefreshShownPane, nullptr);
        return;
    }
    g_pendingOutcome = success ? OutcomeSuccess : OutcomeFailure;
    if (g_outcomePane.load() == nullptr)
        return;
    // The pane exists: shown here, unless its registration took it first.
    const int pending = g_pendingOutcome.exchange(0);
    if (pending == 0)
        return;
    if (OnUiThread())
        ShowLoaderOutcome(pending == OutcomeSuccess);
    else
        RunOnUiThread(ShowLoaderOutcomeOnUiThread,
                      reinterpret_cast<void*>(static_cast<intptr_t>(pending == OutcomeSuccess)));
}
