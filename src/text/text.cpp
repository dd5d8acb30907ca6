#include "text/text.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

#include "resource.h"
#include "text/catalogue.h"
#include "text/packed_texts.h"

namespace {

std::atomic<uint16_t> g_currentLanguage{0xFFFF};

// Each thread formats in buffers of its own, so a worker's status line can
// never be overwritten by the UI thread's lookup and the other way round. They
// hang in a fiber-local slot whose callback frees them when the thread ends
// (a C++ thread_local would bring the runtime's thread machinery along).
struct ThreadTextBuffers {
    char* format;
    char* result;
};

// The two buffers are pages of their own, not heap blocks: every writer and
// drive-list thread makes and frees them, and two 64 KiB holes that the
// heap's small blocks fill meanwhile would make the heap grow with every
// thread, the more so the busier the machine.
char* NewTextBuffer() {
    return static_cast<char*>(VirtualAlloc(nullptr, kTextBufferSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

void FreeTextBuffer(char* buffer) {
    if (buffer != nullptr)
        VirtualFree(buffer, 0, MEM_RELEASE);
}

void WINAPI FreeThreadBuffers(void* data) {
    auto* buffers = static_cast<ThreadTextBuffers*>(data);
    if (buffers == nullptr)
        return;
    FreeTextBuffer(buffers->format);
    FreeTextBuffer(buffers->result);
    free(buffers);
}

std::atomic<DWORD> g_bufferSlot{FLS_OUT_OF_INDEXES};

// The slot, made by the first thread that asks; FLS_OUT_OF_INDEXES when none
// could be had.
DWORD BufferSlot() {
    DWORD slot = g_bufferSlot;
    if (slot != FLS_OUT_OF_INDEXES)
        return slot;
    const DWORD made = FlsAlloc(FreeThreadBuffers);
    if (made == FLS_OUT_OF_INDEXES || g_bufferSlot.compare_exchange_strong(slot, made))
        return made;
    FlsFree(made);  // another thread was first
    return slot;
}

// The calling thread's buffers, made on first use; null when memory runs out.
ThreadTextBuffers* ThreadBuffers() {
    const DWORD slot = BufferSlot();
    if (slot == FLS_OUT_OF_INDEXES)
        return nullptr;
    auto* buffers = static_cast<ThreadTextBuffers*>(FlsGetValue(slot));
    if (buffers != nullptr)
        return buffers;
    buffers = static_cast<ThreadTextBuffers*>(calloc(1, sizeof(ThreadTextBuffers)));
    if (buffers == nullptr)
        return nullptr;
    if (!FlsSetValue(slot, buffers)) {
        free(buffers);
        return nullptr;
    }
    return buffers;
}

// The catalogue, inflated from the program's resource on the first lookup
// of any thread and kept for the process's life; null when it could not be.
INIT_ONCE g_textsOnce = INIT_ONCE_STATIC_INIT;
const uint8_t* g_texts;
size_t g_textsSize;

BOOL CALLBACK InflateTexts(INIT_ONCE*, void*, void**) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(IDR_TEXTS), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    const HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const auto* packed = static_cast<const uint8_t*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    const size_t packedSize = packed != nullptr ? SizeofResource(module, resource) : 0;
    const size_t size = PackedTextsSize(packed, packedSize);
    auto* texts = static_cast<uint8_t*>(
        size != 0 ? VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE) : nullptr);
    if (texts != nullptr && !InflatePackedTexts(packed, packedSize, texts, size)) {
        VirtualFree(texts, 0, MEM_RELEASE);
        texts = nullptr;
    }
    g_texts = texts;
    g_textsSize = texts != nullptr ? size : 0;
    return TRUE;
}

CatalogueBlock FindStringBlock(uint16_t language, unsigned blockNumber, void*) {
    InitOnceExecuteOnce(&g_textsOnce, InflateTexts, nullptr, nullptr);
    return FindPackedBlock(g_texts, g_textsSize, language, blockNumber);
}

size_t ConvertToAnsi(const uint16_t* units, size_t count, char* out, size_t outSize, void*) {
    const int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(units), static_cast<int>(count),
                                            out, static_cast<int>(outSize), nullptr, nullptr);
    return written > 0 ? static_cast<size_t>(written) : 0;
}

size_t ConvertToUtf8(const uint16_t* units, size_t count, char* out, size_t outSize, void*) {
    const int written = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(units),
                                            static_cast<int>(count), out, static_cast<int>(outSize), nullptr, nullptr);
    return written > 0 ? static_cast<size_t>(written) : 0;
}

const CatalogueSource kResourceCatalogue = {FindStringBlock, ConvertToAnsi, nullptr};
const CatalogueSource kUtf8Catalogue = {FindStringBlock, ConvertToUtf8, nullptr};

ThreadTextBuffers* EnsureBuffers() {
    ThreadTextBuffers* buffers = ThreadBuffers();
    if (buffers == nullptr)
        return nullptr;
    if (buffers->format == nullptr)
        buffers->format = NewTextBuffer();
    if (buffers->result == nullptr)
        buffers->result = NewTextBuffer();
    return buffers->format != nullptr && buffers->result != nullptr ? buffers : nullptr;
}

}  // namespace

uint16_t GetCurrentLanguage() {
    return g_currentLanguage;
}
void SetCurrentLanguage(uint16_t language) {
    g_currentLanguage = language;
}

namespace {

const char* FormatText(const CatalogueSource& source, unsigned id, va_list args) {
    const uint16_t language = g_currentLanguage;
    ThreadTextBuffers* buffers = language != 0 ? EnsureBuffers() : nullptr;
    if (buffers == nullptr)
        return kPlaceholderText;
    return FormatCatalogueText(source, language, id, TextBuffers{buffers->format, buffers->result}, args);
}

}  // namespace

const char* GetText(unsigned id, ...) {
    va_list args;
    va_start(args, id);
    const char* text = FormatText(kResourceCatalogue, id, args);
    va_end(args);
    return text;
}

const char* GetTextUtf8(unsigned id, ...) {
    va_list args;
    va_start(args, id);
    const char* text = FormatText(kUtf8Catalogue, id, args);
    va_end(args);
    return text;
}
