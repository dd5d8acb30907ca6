#include "app/compose.h"
#include "app/file_drop.h"

#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include "devices/drive_list.h"
#include "devices/floppy_test.h"
#include "devices/target_pane.h"
#include "devices/usb_restart.h"
#include "install/checks.h"
#include "install/chosen_target.h"
#include "install/install_pane.h"
#include "status/status_focus.h"
#include "install/reboot_pane.h"
#include "status/status_list.h"
#include "resource.h"
#include "shell/app_hooks.h"
#include "shell/app_state.h"
#include "shell/panes.h"
#include "shell/taskbar.h"
#include "source/chooser_pane.h"
#include "source/image_digest.h"
#include "source/loader_outcome.h"
#include "source/loader_thread.h"

namespace {

constexpr unsigned kUsbRestartExitWaitMs = 30000;

// The loader has been at work since before the window: the marquee runs
// until its outcome, which may already be waiting for the pane.
void OnWelcomeCreated() {
    const HWND welcome = GetPane(PaneWelcome);
    SendDlgItemMessageA(welcome, IDC_BUSY_BAR, PBM_SETMARQUEE, 1, 1);
    ReportLoaderOutcome(false, welcome);
}

void OnPanesCreated() {
    SetStatusList(GetDlgItem(GetPane(PaneInstall), IDC_STATUS_LIST));
}

// Choosing again: the last write's lines leave the Install pane, and the next
// pick of a row (or else the next check) records the device behind the
// letter chosen.
void OnTargetPaneShown(HWND, bool shown) {
    ClearProgressLog();
    if (shown)
        ForgetChosenTarget();
}

void OnSourceChooserShown(HWND, bool) {
    ClearProgressLog();
}

// The drive rows say what their icons show in the language chosen.
void RefreshDriveListInNewLanguage() {
    StartDriveListRefresh(nullptr);
}

void ForgetFloppyOnDeviceChange(WPARAM event) {
    // Another device may now answer to a letter that was tested before.
    if (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE)
        ForgetFloppyAnswer();
}

// The checks follow the refreshed list, whose survey says which device each
// letter leads to now; run before it, they would judge a pulled stick by the
// old rows. Without a list there is no target to judge.
void RefreshDriveListOnDeviceChange(WPARAM) {
    if (!StartDriveListRefresh(nullptr))
        RunChecks();
}

// The drive list knows nothing of the installation: its survey of the drives
// travels as an opaque pointer.
void* IdentifyListedDrives(const char* letters) {
    return IdentifyDrives(letters);
}

void TakeListedDrives(void* survey) {
    TakeDriveIdentities(static_cast<DriveIdentities*>(survey));
}

void ReleaseListedDrives(void* survey) {
    ReleaseDriveIdentities(static_cast<DriveIdentities*>(survey));
}

uint32_t ListedDriveBus(const void* survey, char letter) {
    const TargetIdentity* drive = FindListedDrive(static_cast<const DriveIdentities*>(survey), letter);
    return drive != nullptr && drive->device.answered ? drive->device.busType : 0;
}

// A fixed drive is listed when its disk is a stick or card that calls itself fixed.
bool IsFixedStickDrive(char letter) {
    return IsFixedStick(IdentifyDrive(letter));
}

// A write or a refusal has ended with an Error: a screen reader says it. A
// write that logged no Error says its outcome as the bar shows its end.
void FocusOutcomeWhenWriteEnds() {
    if (!IsWriteActive() && !HaveChecksPassed())
        AnnounceWriteOutcome();
}

// The taskbar button follows the write: its progress is shown as the bar's
// is; at its end the button shows whether it failed.
void EndWriteOnTaskbar() {
    if (!IsWriteActive())
        EndTaskbarProgress(!HaveChecksPassed());
}

// Status lines are made in the language of their time: the Install pane,
// when it shows them, takes a new language at once. A pane taking its texts
// for the first time (every pane, at start) leaves them alone: the pane
// checks again whenever it is shown.
void RecheckInNewLanguage() {
    if (GetShownPane() != nullptr && GetShownPane() == GetPane(PaneInstall))
        RunChecks();
}

// A write that is restarting the USB device gets to switch it back on.
void FinishUsbRestarts() {
    FinishUsbRestartsBeforeExit(kUsbRestartExitWaitMs);
}

}  // namespace

void ComposeApplication() {
    PaneTable table = {};
    table.steps[PaneWelcome] = {IDD_WELCOME_PANE, PaneProc, nullptr};
    table.steps[PaneTarget] = {IDD_TARGET_PANE, TargetPaneProc, OnTargetPaneShown};
    table.steps[PaneInstall] = {IDD_INSTALL_PANE, InstallPaneProc, nullptr};
    table.steps[PaneReboot] = {IDD_REBOOT_PANE, RebootPaneProc, nullptr};
    table.sourceChooser = {IDD_SOURCE_CHOOSER, ChooserPaneProc, OnSourceChooserShown};
    table.welcomeCreated = OnWelcomeCreated;
    table.created = OnPanesCreated;
    SetPaneTable(table);

    AddRelocaliseHook(RecheckInNewLanguage);
    AddRelocaliseHook(ShowRebootText);
    AddRelocaliseHook(RefreshDriveListInNewLanguage);
    AddWriteStateHook(UpdateInstallControls);
    AddWriteStateHook(UpdateRebootControls);
    SetChecksShownHook(OnChecksShown);
    AddWriteStateHook(FocusOutcomeWhenWriteEnds);
    AddWriteStateHook(EndWriteOnTaskbar);
    AddDisplayChangeHook(RescaleDriveList);
    AddDisplayChangeHook(RescaleStatusList);
    AddActivatedHook(AnnouncePendingOutcome);
    AddActivatedHook(FocusPendingRebootText);
    AddDeviceChangeHook(ForgetFloppyOnDeviceChange);
    AddDeviceChangeHook(RefreshDriveListOnDeviceChange);
    SetDriveListHooks(
        {IdentifyListedDrives, TakeListedDrives, ReleaseListedDrives, RunChecks, ChooseTarget, IsFixedStickDrive,
         ListedDriveBus});
    AddExitHook(FinishUsbRestarts);
    SetDropHook(TakeDroppedFiles);
    // The attached image's SHA-256 comes after "Ready...": the checks show it then.
    SetAttachedDigestHook(RunChecks);

    // The image loads while the window is being built: reading and
    // unpacking it takes about as long as creating the panes.
    InitAppState();
    StartLoader();
}
