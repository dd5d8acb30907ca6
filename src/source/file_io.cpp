#include "source/file_io.h"

#include "text/console.h"

unsigned char* ReadWholeFile(const char* path, DWORD maxSize, DWORD* size) {
    *size = 0;
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ConsolePrint("Cannot open %s (error %lu).\n", path, GetLastError());
        return nullptr;
    }
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file, &fileSize) || fileSize.QuadPart < 0 || fileSize.QuadPart > maxSize) {
        ConsolePrint("%s is larger than %lu bytes or its size is unknown.\n", path, maxSize);
        CloseHandle(file);
        return nullptr;
    }
    const DWORD wanted = static_cast<DWORD>(fileSize.QuadPart);
    unsigned char* bytes = static_cast<unsigned char*>(LocalAlloc(LPTR, wanted > 0 ? wanted : 1));
    if (bytes == nullptr) {
        ConsolePrint("Out of memory reading %s.\n", path);
        CloseHandle(file);
        return nullptr;
    }
    DWORD total = 0;
    while (total < wanted) {
        DWORD read = 0;
        if (!ReadFile(file, bytes + total, wanted - total, &read, nullptr) || read == 0)
            break;
        total += read;
    }
    CloseHandle(file);
    if (total != wanted) {
        ConsolePrint("Cannot read %s (error %lu).\n", path, GetLastError());
        LocalFree(bytes);
        return nullptr;
    }
    *size = wanted;
    return bytes;
}

bool WriteWholeFile(const char* path, const unsigned char* bytes, DWORD size) {
    const HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ConsolePrint("Cannot create %s (error %lu).\n", path, GetLastError());
        return false;
    }
    DWORD total = 0;
    while (total < size) {
        DWORD written = 0;
        if (!WriteFile(file, bytes + total, size - total, &written, nullptr) || written == 0)
            break;
        total += written;
    }
    const bool closed = CloseHandle(file) != 0;
    if (total != size || !closed) {
        ConsolePrint("Cannot write %s (error %lu).\n", path, GetLastError());
        return false;
    }
    return true;
}
