#include "text/catalogue.h"

#include <cstdio>

const char kPlaceholderText[] = "...";

bool FindBlockEntry(CatalogueBlock block, unsigned position, const uint16_t** entry, size_t* length) {
    if (block.units == nullptr || position > 15)
        return false;
    size_t at = 0;
    for (unsigned i = 0;; ++i) {
        if (at >= block.count)
            return false;
        const size_t entryLength = block.units[at];
        if (entryLength > block.count - at - 1)
            return false;
        if (i == position) {
            *entry = block.units + at + 1;
            *length = entryLength;
            return true;
        }
        at += 1 + entryLength;
    }
}

const char* FormatCatalogueText(const CatalogueSource& source, uint16_t primaryLanguage, unsigned id,
                                const TextBuffers& buffers, va_list args) {
    if (primaryLanguage == 0)
        return kPlaceholderText;

    const uint16_t language = static_cast<uint16_t>(primaryLanguage | 0x400);
    const CatalogueBlock block = source.findBlock(language, CatalogueBlockNumber(id), source.context);
    if (block.units == nullptr)
        return kPlaceholderText;

    const uint16_t* entry = nullptr;
    size_t length = 0;
    size_t converted = 0;
    if (FindBlockEntry(block, id & 15, &entry, &length) && length > 0)
        converted = source.convert(entry, length, buffers.format, kMaxEntryBytes, source.context);
    if (converted > kMaxEntryBytes)
        converted = 0;
    // The text ends where the conversion ended: a multi-byte code page makes it
    // longer than the entry, a failed conversion leaves it empty.
    buffers.format[converted] = '\0';

    va_list copy;
    va_copy(copy, args);
    const int written = vsnprintf(buffers.result, kTextBufferSize, buffers.format, copy);
    va_end(copy);
    if (written < 0)
        buffers.result[0] = '\0';
    return buffers.result;
}
