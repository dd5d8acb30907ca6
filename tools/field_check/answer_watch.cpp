#include "answer_watch.h"

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace {

const DWORD kIntervalMs = 5;
const UINT kGiveUpMs = 2000;  // an answer slower than this counts as none

std::atomic<HWND> g_window{nullptr};
std::atomic<bool> g_stop{false};
std::atomic<const char*> g_phase{""};
HANDLE g_thread = nullptr;
// Written by the thread only, read after it has ended.
std::vector<AnswerSample> g_samples;
double g_desktopWorst = 0;

// A WM_NULL round trip in milliseconds; kGiveUpMs when it got no answer.
double RoundTrip(HWND window, LARGE_INTEGER frequency, bool* answered) {
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    DWORD_PTR result = 0;
    *answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kGiveUpMs, &result) != 0;
    QueryPerformanceCounter(&after);
    return *answered ? 1000.0 * double(after.QuadPart - before.QuadPart) / double(frequency.QuadPart) : kGiveUpMs;
}

DWORD WINAPI Watch(void*) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const HWND desktop = GetDesktopWindow();
    bool answered = false;
    timeBeginPeriod(1);
    double desktopBefore = RoundTrip(desktop, frequency, &answered);
    while (!g_stop) {
        HWND window = g_window;
        if (window) {
            const char* phase = g_phase;
            const double ms = RoundTrip(window, frequency, &answered);
            // A window that went away between the read and the send is no
            // slow answer; one that is still there but did not answer is.
            const bool counts = answered || (IsWindow(window) && g_window == window);
            bool desktopAnswered = false;
            const double desktopAfter = RoundTrip(desktop, frequency, &desktopAnswered);
            const double machine = desktopAnswered ? std::max(desktopBefore, desktopAfter) : 0;
            g_desktopWorst = std::max(g_desktopWorst, desktopAfter);
            desktopBefore = desktopAnswered ? desktopAfter : 0;
            if (counts && g_samples.size() < g_samples.capacity())
                g_samples.push_back({ms, answered ? ms - machine : ms, answered, phase});
        }
        Sleep(kIntervalMs);
    }
    timeEndPeriod(1);
    return 0;
}

}  // namespace

bool StartAnswerWatch() {
    g_samples.reserve(1 << 18);  // three quarters of an hour of samples
    g_thread = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    return g_thread != nullptr;
}

void WatchWindow(HWND window) {
    g_window = window;
}

void WatchPhase(const char* phase) {
    g_phase = phase;
}

AnswerTimes StopAnswerWatch(double slowMs) {
    g_stop = true;
    if (g_thread) {
        WaitForSingleObject(g_thread, INFINITE);
        CloseHandle(g_thread);
        g_thread = nullptr;
    }
    AnswerTimes times = SumUpAnswers(g_samples, slowMs);
    times.desktopWorstMs = g_desktopWorst;
    return times;
}
