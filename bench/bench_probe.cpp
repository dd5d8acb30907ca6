// bench-probe: measurements taken from outside the wizard's process.
//   ping-loop <interval-ms> <duration-ms>  WM_NULL round trips to the main window
//   procstat <exe-name>                    handles and memory of a running process
//   procstat-serve <exe-name>              the same again for each line read on stdin
//   procregions <exe-name>                 its committed private memory, one line per allocation
//   start-to-reboot [limit-s]              presses Start and times the way to the Reboot pane
//   wait-welcome                           the wall-clock time at which the Welcome pane is ready
//   wait-dialog <title>                    the wall-clock time at which a dialog of that title shows
#include <windows.h>
#include <mmsystem.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

BOOL CALLBACK FindMainWindow(HWND window, LPARAM found) {
    char name[32];
    if (GetClassNameA(window, name, sizeof(name)) && strcmp(name, "#32770") == 0 &&
        GetDlgItem(window, 2002) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int PingLoop(DWORD intervalMs, DWORD durationMs) {
    HWND main = nullptr;
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&main));
    if (main == nullptr) {
        fprintf(stderr, "bench-probe: no main window\n");
        return 1;
    }
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    std::vector<double> answers;
    unsigned timeouts = 0;
    timeBeginPeriod(1);
    do {
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result))
            ++timeouts;
        QueryPerformanceCounter(&after);
        answers.push_back(Milliseconds(before, after, frequency));
        // When the window was slow, on stderr: where to look in a trace.
        if (answers.back() > 50)
            fprintf(stderr, "slow: %.0f ms at %.0f ms\n", answers.back(), Milliseconds(start, before, frequency));
        Sleep(intervalMs);
        QueryPerformanceCounter(&now);
    } while (Milliseconds(start, now, frequency) < durationMs);
    timeEndPeriod(1);
    std::sort(answers.begin(), answers.end());
    printf("samples %zu worst %.2f ms median %.2f ms timeouts %u\n", answers.size(), answers.back(),
           answers[answers.size() / 2], timeouts);
    return 0;
}

// The running process of that name, opened for reading; null when none runs.
HANDLE OpenNamed(const char* exeName) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    DWORD pid = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (_stricmp(entry.szExeFile, exeName) == 0)
            pid = entry.th32ProcessID;
    CloseHandle(snapshot);
    return pid != 0 ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid) : nullptr;
}

// Where the commit count lies: each allocation's base, its committed
// private bytes and reserved bytes; two runs a few writes apart show which
// allocation grows (a heap's segments, a thread's stack, pages of its own).
int ProcRegions(const char* exeName) {
    const HANDLE process = OpenNamed(exeName);
    if (process == nullptr) {
        fprintf(stderr, "bench-probe: %s is not running\n", exeName);
        return 1;
    }
    MEMORY_BASIC_INFORMATION region = {};
    const char* at = nullptr;
    const void* base = nullptr;
    size_t committed = 0, reserved = 0, total = 0;
    const auto flush = [&]() {
        if (base != nullptr && committed != 0)
            printf("%p committed %zu reserved %zu\n", base, committed, reserved);
        total += committed;
        committed = reserved = 0;
    };
    while (VirtualQueryEx(process, at, &region, sizeof(region)) == sizeof(region)) {
        if (region.AllocationBase != base) {
            flush();
            base = region.AllocationBase;
        }
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            committed += region.RegionSize;
        if (region.State != MEM_FREE)
            reserved += region.RegionSize;
        at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    }
    flush();
    printf("total committed %zu\n", total);
    CloseHandle(process);
    return 0;
}

int ProcStat(const char* exeName) {
    const HANDLE process = OpenNamed(exeName);
    if (process == nullptr) {
        fprintf(stderr, "bench-probe: %s is not running\n", exeName);
        return 1;
    }
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    // Wine answers 0 for some of these; 0 then means "not known", not "none".
    printf("handles %lu private %zu pagefile %zu working-set %zu peak-working-set %zu gdi %lu user %lu\n", handles,
           static_cast<size_t>(memory.PrivateUsage), static_cast<size_t>(memory.PagefileUsage),
           static_cast<size_t>(memory.WorkingSetSize), static_cast<size_t>(memory.PeakWorkingSetSize), gdi, user);
    CloseHandle(process);
    return 0;
}

// procstat once for each line read on stdin, until it ends: a scenario that
// measures after each of a hundred writes then starts one Wine process, not
// a hundred.
int ProcStatServe(const char* exeName) {
    char line[64];
    while (fgets(line, sizeof(line), stdin) != nullptr) {
        if (ProcStat(exeName) != 0)
            printf("not-running\n");
        fflush(stdout);
    }
    return 0;
}

// The pane (a child dialog of the main window) that holds control `id`.
struct PaneSearch {
    int id;
    HWND pane;
};

BOOL CALLBACK FindPane(HWND child, LPARAM search) {
    auto* wanted = reinterpret_cast<PaneSearch*>(search);
    char name[32];
    if (GetClassNameA(child, name, sizeof(name)) && strcmp(name, "#32770") == 0 &&
        GetDlgItem(child, wanted->id) != nullptr) {
        wanted->pane = child;
        return FALSE;
    }
    return TRUE;
}

// Times, from within one process so that no driver start is counted, the
// whole write: the press of Start until the Reboot pane shows, within
// `limitMs`. A long write is watched every 10 ms, not by spinning, so that
// the watch takes no core from the write.
int StartToReboot(unsigned limitMs) {
    HWND main = nullptr;
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&main));
    PaneSearch install = {111, nullptr}, reboot = {113, nullptr};
    if (main != nullptr) {
        EnumChildWindows(main, FindPane, reinterpret_cast<LPARAM>(&install));
        EnumChildWindows(main, FindPane, reinterpret_cast<LPARAM>(&reboot));
    }
    if (install.pane == nullptr || reboot.pane == nullptr || IsWindowVisible(reboot.pane)) {
        fprintf(stderr, "bench-probe: no Install pane shown\n");
        return 1;
    }
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    SendMessageA(GetDlgItem(install.pane, 111), BM_CLICK, 0, 0);
    do {
        if (limitMs > 30000)
            Sleep(10);
        else
            SwitchToThread();
        QueryPerformanceCounter(&now);
        if (Milliseconds(start, now, frequency) > limitMs) {
            fprintf(stderr, "bench-probe: no Reboot pane after %u s\n", limitMs / 1000);
            return 1;
        }
    } while (!IsWindowVisible(reboot.pane));
    printf("%.1f\n", Milliseconds(start, now, frequency));
    return 0;
}

// Milliseconds since 1970, to compare with a script's clock.
unsigned long long WallClockMs() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    const unsigned long long ticks = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - 116444736000000000ull) / 10000;
}

// Waits, up to 30 s, for a visible dialog titled `title` (the trivial dialog
// program's), prints the wall-clock time it showed, and closes it. Looks as
// often as wait-welcome does.
int WaitDialog(const char* title) {
    timeBeginPeriod(1);
    for (unsigned waited = 0; waited < 30000; waited += 5) {
        const HWND dialog = FindWindowA("#32770", title);
        if (dialog != nullptr && IsWindowVisible(dialog)) {
            printf("%llu\n", WallClockMs());
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            timeEndPeriod(1);
            return 0;
        }
        Sleep(5);
    }
    timeEndPeriod(1);
    fprintf(stderr, "bench-probe: no dialog '%s' after 30 s\n", title);
    return 1;
}

// Waits, up to 30 s, for the wizard's Welcome pane to show the loader's
// outcome (Next enabled) and prints the wall-clock time of that moment in
// milliseconds since 1970, for a script that noted when it started the wizard.
// Started before the wizard, so that its own start is not counted; it looks
// every 5 ms, so as not to load the Wine server that the wizard is using.
int WaitWelcome() {
    timeBeginPeriod(1);
    for (unsigned waited = 0; waited < 30000; waited += 5) {
        HWND main = nullptr;
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&main));
        PaneSearch welcome = {1006, nullptr};  // the pane with the busy bar
        if (main != nullptr)
            EnumChildWindows(main, FindPane, reinterpret_cast<LPARAM>(&welcome));
        if (welcome.pane != nullptr && IsWindowVisible(main) && IsWindowEnabled(GetDlgItem(welcome.pane, 102))) {
            printf("%llu\n", WallClockMs());
            timeEndPeriod(1);
            return 0;
        }
        Sleep(5);
    }
    timeEndPeriod(1);
    fprintf(stderr, "bench-probe: no Welcome pane ready after 30 s\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "ping-loop") == 0)
        return PingLoop(strtoul(argv[2], nullptr, 10), strtoul(argv[3], nullptr, 10));
    if (argc == 3 && strcmp(argv[1], "procstat") == 0)
        return ProcStat(argv[2]);
    if (argc == 3 && strcmp(argv[1], "procstat-serve") == 0)
        return ProcStatServe(argv[2]);
    if (argc == 3 && strcmp(argv[1], "procregions") == 0)
        return ProcRegions(argv[2]);
    if ((argc == 2 || argc == 3) && strcmp(argv[1], "start-to-reboot") == 0)
        return StartToReboot(argc == 3 ? 1000 * strtoul(argv[2], nullptr, 10) : 30000);
    if (argc == 2 && strcmp(argv[1], "wait-welcome") == 0)
        return WaitWelcome();
    if (argc == 3 && strcmp(argv[1], "wait-dialog") == 0)
        return WaitDialog(argv[2]);
    fprintf(stderr,
            "usage: bench-probe ping-loop <interval-ms> <duration-ms> | procstat[-serve] <exe-name> | procregions <exe-name> | "
            "start-to-reboot [limit-s] | "
            "wait-welcome | wait-dialog <title>\n");
    return 2;
}
