#include "text/accessible_names.h"

#include <initguid.h>
#include <objbase.h>
#include <oleacc.h>

#include <cstdlib>
#include <cstring>

#include "resource.h"
#include "text/console.h"
#include "text/text.h"

namespace {

struct ControlName {
    int controlId;
    unsigned textId;
};
constexpr ControlName kNames[] = {
    {IDC_EXTERNAL_PATH, IDS_NAME_IMAGE_FILE},
    {IDC_TARGET_LIST, IDS_NAME_DRIVE_LIST},
    {IDC_STATUS_LIST, IDS_NAME_STATUS_LIST},
    {IDC_WRITE_PROGRESS, IDS_NAME_WRITE_PROGRESS},
    {IDC_BROWSE, IDS_NAME_BROWSE},
    {IDC_PANE_LIST, IDS_NAME_PANE_LIST},
};

// UI thread only: made on first use, kept for the life of the process.
IAccPropServices* g_services;
bool g_unavailable;

IAccPropServices* Services() {
    if (g_services != nullptr || g_unavailable)
        return g_services;
    // The service is an in-process COM object of oleacc; S_FALSE and a thread
    // already in another model are fine for it.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HRESULT made = CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IAccPropServices, reinterpret_cast<void**>(&g_services));
    if (FAILED(made) || g_services == nullptr) {
        g_services = nullptr;
        g_unavailable = true;
        ConsolePrint("Screen readers get no names for unlabelled controls (error 0x%08lx).\n",
                     static_cast<unsigned long>(made));
    }
    return g_services;
}

// Says on the console, once for each property, that Windows did not take it
// (Wine's property service answers E_NOTIMPL).
void SayRefused(const MSAAPROPID& property, HRESULT result) {
    static bool saidName, saidDescription, saidHelp;
    bool* said = &saidName;
    const char* what = "names";
    if (property == PROPID_ACC_DESCRIPTION) {
        said = &saidDescription;
        what = "descriptions";
    } else if (property == PROPID_ACC_HELP) {
        said = &saidHelp;
        what = "help texts";
    }
    if (*said)
        return;
    *said = true;
    ConsolePrint("Screen readers get no %s from this program: Windows refused them (error 0x%08lx).\n", what,
                 static_cast<unsigned long>(result));
}

// Sets one text property of `control` (or of its part) to `text` in the code
// page `codePage`; false when there is no service.
bool SetTextProperty(HWND control, DWORD part, const MSAAPROPID& property, const char* text, UINT codePage = CP_ACP) {
    IAccPropServices* services = Services();
    if (services == nullptr)
        return false;
    const int units = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    auto* wide = units > 0 ? static_cast<wchar_t*>(malloc(static_cast<size_t>(units) * sizeof(wchar_t))) : nullptr;
    HRESULT set = E_OUTOFMEMORY;
    if (wide != nullptr && MultiByteToWideChar(codePage, 0, text, -1, wide, units) == units)
        set = services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), part, property, wide);
    free(wide);
    if (FAILED(set))
        SayRefused(property, set);
    return true;
}

}  // namespace

void NameUnlabelledControls(HWND pane) {
    // The pane list sits on the window itself.
    const HWND window = GetAncestor(pane, GA_ROOT);
    for (const ControlName& entry : kNames) {
        HWND control = GetDlgItem(pane, entry.controlId);
        if (control == nullptr && window != pane && window != nullptr)
            control = GetDlgItem(window, entry.controlId);
        if (control != nullptr && !SetTextProperty(control, CHILDID_SELF, PROPID_ACC_NAME, GetText(entry.textId)))
            return;
    }
}

void NameControlPart(HWND control, unsigned part, const char* name, bool utf8) {
    SetTextProperty(control, part, PROPID_ACC_NAME, name, utf8 ? CP_UTF8 : CP_ACP);
}

void DescribeControl(HWND control, const char* description) {
    if (control == nullptr)
        return;
    // The description reaches UI Automation only as the legacy pattern's
    // description; the help text is UI Automation's HelpText, which Narrator
    // reads. Both carry the same text.
    if (description != nullptr && description[0] != '\0') {
        SetTextProperty(control, CHILDID_SELF, PROPID_ACC_DESCRIPTION, description, CP_UTF8);
        SetTextProperty(control, CHILDID_SELF, PROPID_ACC_HELP, description, CP_UTF8);
        return;
    }
    IAccPropServices* services = Services();
    MSAAPROPID properties[] = {PROPID_ACC_DESCRIPTION, PROPID_ACC_HELP};
    const HRESULT cleared = services != nullptr ? services->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT),
                                                                           CHILDID_SELF, properties, 2)
                                               : S_OK;
    if (FAILED(cleared))
        SayRefused(PROPID_ACC_DESCRIPTION, cleared);
}
