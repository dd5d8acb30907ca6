// The catalogue as the program carries it. Both languages' string-table
// blocks are packed at build time into one resource: the inflated size (4
// bytes, little-endian), then raw deflate. Stored as UTF-16 string tables
// they were most of the program's resources; deflated they take a quarter.
// Inflated, the catalogue is a run of blocks, each its language, its number
// and its length in UTF-16 units (16 bits each, little-endian), followed by
// the units, laid out as a string-table resource's block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/catalogue.h"

// Inflated, the catalogue is never larger than this.
constexpr size_t kMaxPackedTextsSize = size_t(1) << 20;

// The inflated size the packed catalogue announces: 0 when it is too short to
// say, or says more than kMaxPackedTextsSize or an odd number of bytes.
size_t PackedTextsSize(const uint8_t* packed, size_t size);

// Inflates the packed catalogue into `out`, of PackedTextsSize bytes. False
// when the deflated bytes are damaged or do not fill `out` exactly.
bool InflatePackedTexts(const uint8_t* packed, size_t size, uint8_t* out, size_t outSize);

// Block `number` of `language` in the inflated catalogue (2-byte aligned);
// `units` is null when it is absent, or when the run is cut short before it.
CatalogueBlock FindPackedBlock(const uint8_t* texts, size_t size, uint16_t language, unsigned number);
