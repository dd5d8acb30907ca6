// Lookup and formatting of catalogue texts stored as string-table blocks.
// Portable: the block source and the UTF-16 conversion are supplied by the
// caller, so the rules can be tested without Windows.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

// Size of each of the two per-thread buffers that a lookup works in.
constexpr size_t kTextBufferSize = 65536;
// At most this many bytes of a converted entry are used as the format.
constexpr size_t kMaxEntryBytes = 2048;

// The text returned for a missing block and in placeholder mode.
extern const char kPlaceholderText[];

// One string-table block: 16 counted UTF-16 strings, each a length followed by
// that many units. `units` is null when the block does not exist.
struct CatalogueBlock {
    const uint16_t* units;
    size_t count;
};

struct CatalogueSource {
    // Returns the block with this number (id / 16 + 1) in a string-table language.
    CatalogueBlock (*findBlock)(uint16_t language, unsigned blockNumber, void* context);
    // Converts `count` UTF-16 units into at most `outSize` bytes of text without
    // a terminator; returns the number of bytes written (0 on failure).
    size_t (*convert)(const uint16_t* units, size_t count, char* out, size_t outSize, void* context);
    void* context;
};

// Buffers of kTextBufferSize bytes each, owned by the caller.
struct TextBuffers {
    char* format;
    char* result;
};

inline unsigned CatalogueBlockNumber(unsigned id) {
    return (id >> 4) + 1;
}

// Finds entry `position` (0..15) of a block. Returns false when the block is
// too short to hold it; a present entry of length 0 is the empty text.
bool FindBlockEntry(CatalogueBlock block, unsigned position, const uint16_t** entry, size_t* length);

// The text of `id` in `primaryLanguage`, formatted with `args`. Returns the
// placeholder "..." for language 0 or a missing block, the empty text for an
// absent entry, otherwise buffers.result.
const char* FormatCatalogueText(const CatalogueSource& source, uint16_t primaryLanguage, unsigned id,
                                const TextBuffers& buffers, va_list args);
