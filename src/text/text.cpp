#include "text/text.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "text/catalogue.h"

namespace {

std::atomic<uint16_t> g_currentLanguage{0xFFFF};

// Each thread formats in buffers of its own, so a worker's status line can
// never be overwritten by the UI thread's lookup and the other way round.
struct ThreadTextBuffers {
    char* format = nullptr;
    char* result = nullptr;
    ~ThreadTextBuffers() {
        free(format);
        free(result);
    }
};
thread_local ThreadTextBuffers t_buffers;

CatalogueBlock FindStringBlock(uint16_t language, unsigned blockNumber, void*) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC resource =
        FindResourceExA(module, MAKEINTRESOURCEA(6) /* RT_STRING */, MAKEINTRESOURCEA(blockNumber), language);
    if (resource == nullptr)
        return {nullptr, 0};
    const HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr)
        return {nullptr, 0};
    return {static_cast<const uint16_t*>(data), SizeofResource(module, resource) / sizeof(uint16_t)};
}

size_t ConvertToAnsi(const uint16_t* units, size_t count, char* out, size_t outSize, void*) {
    const int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(units), static_cast<int>(count),
                                            out, static_cast<int>(outSize), nullptr, nullptr);
    return written > 0 ? static_cast<size_t>(written) : 0;
}

const CatalogueSource kResourceCatalogue = {FindStringBlock, ConvertToAnsi, nullptr};

bool EnsureBuffers() {
    if (t_buffers.format == nullptr)
        t_buffers.format = static_cast<char*>(malloc(kTextBufferSize));
    if (t_buffers.result == nullptr)
        t_buffers.result = static_cast<char*>(malloc(kTextBufferSize));
    return t_buffers.format != nullptr && t_buffers.result != nullptr;
}

}  // namespace

uint16_t GetCurrentLanguage() {
    return g_currentLanguage;
}
void SetCurrentLanguage(uint16_t language) {
    g_currentLanguage = language;
}

const char* GetText(unsigned id, ...) {
    const uint16_t language = g_currentLanguage;
    if (language == 0 || !EnsureBuffers())
        return kPlaceholderText;
    va_list args;
    va_start(args, id);
    const char* text =
        FormatCatalogueText(kResourceCatalogue, language, id, TextBuffers{t_buffers.format, t_buffers.result}, args);
    va_end(args);
    return text;
}
