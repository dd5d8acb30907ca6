#include "host_files.h"

#include <cstdio>

bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    bytes->clear();
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes->insert(bytes->end(), buffer, buffer + got);
    }
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool WriteWholeFile(const char* path, const uint8_t* bytes, size_t size) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(bytes, 1, size, file) == size;
    ok = std::fclose(file) == 0 && ok;
    // Leave no half-written file behind.
    if (!ok)
        std::remove(path);
    return ok;
}
