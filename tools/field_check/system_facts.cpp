#include "system_facts.h"

#include <windows.h>

#include <cstdio>

namespace {

// RtlGetVersion tells the truth whatever the manifest says; GetVersionEx
// answers 6.2 to a program that does not declare Windows 10.
std::string WindowsVersion() {
    typedef LONG(WINAPI * GetVersionCall)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto call = ntdll ? (GetVersionCall)(void*)GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!call || call(&version) != 0)
        return "not known";
    char text[64];
    snprintf(text, sizeof text, "%lu.%lu build %lu", version.dwMajorVersion, version.dwMinorVersion,
             version.dwBuildNumber);
    return text;
}

std::string RegistryText(const char* name) {
    char value[256] = "";
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", name, RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS)
        return "";
    return value;
}

// Under Wine the report says so: what it shows is then Wine's behaviour.
std::string WineVersion() {
    typedef const char*(CDECL * WineVersionCall)();
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto call = ntdll ? (WineVersionCall)(void*)GetProcAddress(ntdll, "wine_get_version") : nullptr;
    return call ? call() : "";
}

std::string DisplayScale() {
    typedef UINT(WINAPI * DpiCall)();
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto forSystem = user32 ? (DpiCall)(void*)GetProcAddress(user32, "GetDpiForSystem") : nullptr;
    UINT dpi = forSystem ? forSystem() : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? (UINT)GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen)
            ReleaseDC(nullptr, screen);
    }
    if (dpi == 0)
        return "not known";
    char text[48];
    snprintf(text, sizeof text, "%u %% (%u dpi)", dpi * 100 / 96, dpi);
    return text;
}

}  // namespace

std::vector<Fact> WindowsFacts() {
    std::vector<Fact> facts = {{"Version", WindowsVersion()}};
    std::string product = RegistryText("ProductName"), display = RegistryText("DisplayVersion");
    if (!product.empty())
        facts.push_back({"Edition", display.empty() ? product : product + " " + display});
    std::string wine = WineVersion();
    if (!wine.empty())
        facts.push_back({"Wine", wine});
    facts.push_back({"Display scale", DisplayScale()});
    return facts;
}
