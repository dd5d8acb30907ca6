#include "wide_files.h"

std::wstring Wide(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide(units > 0 ? units : 0, L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], units);
    return wide;
}

std::string Utf8(const wchar_t* text, int units) {
    if (units < 0)
        units = (int)wcslen(text);
    if (units == 0)
        return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, units, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

bool ReadFileBytes(const std::string& path, uint32_t maxSize, std::vector<uint8_t>* bytes) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= maxSize;
    if (ok) {
        bytes->resize((size_t)size.QuadPart);
        DWORD read = 0;
        ok = bytes->empty() || (ReadFile(file, bytes->data(), (DWORD)bytes->size(), &read, nullptr) &&
                                read == bytes->size());
    }
    CloseHandle(file);
    return ok;
}
