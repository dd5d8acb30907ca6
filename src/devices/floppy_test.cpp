#include "devices/floppy_test.h"

#include <windows.h>
#include <winioctl.h>

#include "devices/media_type.h"
#include "shell/app_state.h"

namespace {
// Checks run on the UI thread only, so the cache needs no lock.
char g_cachedLetter = '+';
int g_cachedAnswer = 0;
}  // namespace

void ForgetFloppyAnswer() {
    g_cachedLetter = '+';
}

int Is35InchFloppy(const char* rootPath) {
    if (rootPath == nullptr || rootPath[0] == '\0')
        return 0;
    const char letter = rootPath[0];
    if (letter == g_cachedLetter)
        return g_cachedAnswer;
    g_cachedLetter = letter;
    g_cachedAnswer = AsksAsThreeAndHalfInchDrive(letter) ? 1 : 0;
    return g_cachedAnswer;
}

bool AsksAsThreeAndHalfInchDrive(char letter) {
    char devicePath[sizeof(kDevicePathTemplate)];
    memcpy(devicePath, kDevicePathTemplate, sizeof(devicePath));
    devicePath[4] = letter;
    // Access 0: a query needs no read or write right, and so no medium.
    const HANDLE device = CreateFileA(devicePath, 0, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    unsigned char answer[20 * sizeof(DISK_GEOMETRY)] = {};
    DWORD returned = 0;
    const bool diskette = DeviceIoControl(device, IOCTL_DISK_GET_MEDIA_TYPES, nullptr, 0, answer, sizeof(answer),
                                          &returned, nullptr) &&
                          returned <= sizeof(answer) && IsThreeAndHalfInchAnswer(answer, returned);
    CloseHandle(device);
    return diskette;
}
