#include "system_facts.h"

#include <windows.h>
#include <userenv.h>

#include <cstdio>
#include <cstring>

#include "source/sha256.h"
#include "wide_files.h"

namespace {

// RtlGetVersion tells the truth whatever the manifest says; GetVersionEx
// answers 6.2 to a program that does not declare Windows 10.
std::string WindowsVersion(unsigned long* build, std::string* servicePack) {
    typedef LONG(WINAPI * GetVersionCall)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto call = ntdll ? (GetVersionCall)(void*)GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!call || call(&version) != 0)
        return "not known";
    *build = version.dwBuildNumber;
    char pack[128] = "";
    WideCharToMultiByte(CP_UTF8, 0, version.szCSDVersion, -1, pack, sizeof pack, nullptr, nullptr);
    *servicePack = pack[0] ? pack : "none";
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

std::string ScaleText(UINT dpi) {
    char text[48];
    snprintf(text, sizeof text, "%u %% (%u dpi)", dpi * 100 / 96, dpi);
    return text;
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
    return dpi ? ScaleText(dpi) : "not known";
}

// The first string of the file's version resource; "none" without one.
std::string FileVersion(const std::string& path) {
    DWORD ignored = 0;
    const std::wstring wide = Wide(path);
    const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    std::string block(size, '\0');
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoW(wide.c_str(), 0, size, &block[0]) ||
        !VerQueryValueW(&block[0], L"\\", (void**)&fixed, &length) || length < sizeof *fixed)
        return "none";
    char text[64];
    snprintf(text, sizeof text, "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
             HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    return text;
}

std::string LastComponent(std::string path) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

}  // namespace

bool UnderWine() {
    return !WineVersion().empty();
}

std::vector<Fact> WindowsFacts() {
    unsigned long build = 0;
    std::string servicePack = "not known";
    std::vector<Fact> facts = {{"Version", WindowsVersion(&build, &servicePack)}, {"Service pack", servicePack}};
    // A 32-bit check on 64-bit Windows runs under WOW64.
    BOOL wow64 = FALSE;
    const bool windows64 = sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    facts.push_back({"Windows", windows64 ? "64-bit" : "32-bit"});
    const LANGID language = GetUserDefaultUILanguage();
    wchar_t name[128] = L"";
    GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_SENGLANGUAGE, name, 128);
    char line[200];
    snprintf(line, sizeof line, "%s (0x%04X)", name[0] ? Utf8(name).c_str() : "not known", language);
    facts.push_back({"User-interface language", line});
    snprintf(line, sizeof line, "%u", GetACP());
    facts.push_back({"ANSI code page", line});
    std::string product = WindowsEdition(RegistryText("ProductName"), build),
                display = RegistryText("DisplayVersion");
    if (!product.empty())
        facts.push_back({"Edition", display.empty() ? product : product + " " + display});
    std::string wine = WineVersion();
    if (!wine.empty())
        facts.push_back({"Wine", wine});
    facts.push_back({"Display scale", DisplayScale()});
    return facts;
}

std::string WindowScale(HWND window) {
    // The monitor's own scale is told only to a thread that is aware of
    // each monitor's (Windows 10 1607 and later); elsewhere the system's.
    typedef DPI_AWARENESS_CONTEXT(WINAPI * SetContextCall)(DPI_AWARENESS_CONTEXT);
    typedef HRESULT(WINAPI * MonitorDpiCall)(HMONITOR, int, UINT*, UINT*);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    HMODULE shcore = LoadLibraryA("shcore.dll");
    auto setContext = user32 ? (SetContextCall)(void*)GetProcAddress(user32, "SetThreadDpiAwarenessContext") : nullptr;
    auto monitorDpi = shcore ? (MonitorDpiCall)(void*)GetProcAddress(shcore, "GetDpiForMonitor") : nullptr;
    UINT dpiX = 0, dpiY = 0;
    if (setContext && monitorDpi) {
        DPI_AWARENESS_CONTEXT old = setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
        HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
        if (monitorDpi(monitor, 0 /* MDT_EFFECTIVE_DPI */, &dpiX, &dpiY) != S_OK)
            dpiY = 0;
        if (old)
            setContext(old);
    }
    if (shcore)
        FreeLibrary(shcore);
    return dpiY ? ScaleText(dpiY) : DisplayScale() + " (the system's; the monitor's own not known)";
}

Fact ProgramFact(const std::string& label, const std::string& path) {
    std::vector<uint8_t> file;
    const bool read = ReadFileBytes(path, 256u << 20, &file);
    const uint8_t* bytes = read ? file.data() : nullptr;
    const size_t size = file.size();
    std::string digest = "not read", width = "width not known";
    // The PE header's machine: x86 is made for 32-bit Windows.
    uint32_t header = 0;
    if (bytes && size >= 0x40)
        memcpy(&header, bytes + 0x3C, 4);
    if (bytes && header < size && size - header >= 6 && memcmp(bytes + header, "PE\0\0", 4) == 0)
        width = bytes[header + 4] == 0x4C && bytes[header + 5] == 0x01 ? "32-bit" : "64-bit";
    Sha256Digest sum;
    if (bytes && Sha256Of(bytes, size, &sum)) {
        char hex[kSha256HexSize];
        FormatSha256(sum, hex);
        digest = hex;
    }
    return {label, path + ", " + digest + ", version " + FileVersion(path) + ", " + width};
}

std::vector<std::string> UserNames() {
    std::vector<std::string> names;
    wchar_t text[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    if (GetUserNameW(text, &size))
        names.push_back(Utf8(text));
    // The profile's folder may be named otherwise ("jan.LAPTOP", "jan_000"),
    // and the temporary folder may give it in its short form ("JANVAN~1").
    const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", text, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        names.push_back(LastComponent(Utf8(text)));
        wchar_t shortPath[MAX_PATH];
        const DWORD shortLength = GetShortPathNameW(text, shortPath, MAX_PATH);
        if (shortLength > 0 && shortLength < MAX_PATH)
            names.push_back(LastComponent(Utf8(shortPath)));
    }
    return names;
}

std::string ProfilesFolder() {
    wchar_t folder[MAX_PATH];
    DWORD size = MAX_PATH;
    return GetProfilesDirectoryW(folder, &size) ? Utf8(folder) : "";
}
