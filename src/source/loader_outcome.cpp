#include "source/loader_outcome.h"

#include <atomic>
#include <cstdio>
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
        g_outcomePane = pane;
        return;
    }
    if (g_outcomePane.load() == nullptr)
        return;
    if (OnUiThread())
        ShowLoaderOutcome(success);
    else
        RunOnUiThread(ShowLoaderOutcomeOnUiThread, reinterpret_cast<void*>(static_cast<intptr_t>(success)));
}
