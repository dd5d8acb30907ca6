#include "text/accessible_names.h"

#include <initguid.h>
#include <objbase.h>
#include <oleacc.h>

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

}  // namespace

void NameUnlabelledControls(HWND pane) {
    for (const ControlName& entry : kNames) {
        const HWND control = GetDlgItem(pane, entry.controlId);
        if (control == nullptr)
            continue;
        IAccPropServices* services = Services();
        if (services == nullptr)
            return;
        wchar_t name[256];
        const int length = MultiByteToWideChar(CP_ACP, 0, GetText(entry.textId), -1, name, 256);
        if (length <= 0)
            continue;
        services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name);
    }
}
