#include "pe_imports.h"

namespace {

constexpr size_t kNewHeaderOffsetField = 0x3C;  // e_lfanew
constexpr uint32_t kPeSignature = 0x00004550;   // "PE\0\0"
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kImportDescriptorSize = 20;
constexpr uint32_t kImportDirectory = 1;  // IMAGE_DIRECTORY_ENTRY_IMPORT
// No real program comes near these; a table that loops stops here.
constexpr size_t kMaxDlls = 1024;
constexpr size_t kMaxFunctionsPerDll = 16384;
constexpr size_t kMaxNameLength = 512;

uint64_t Read(const uint8_t* p, int width) {
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

bool Fits(uint64_t offset, uint64_t length, uint64_t limit) {
    return offset <= limit && length <= limit - offset;
}

struct Image {
    const uint8_t* data;
    size_t size;
    uint64_t sections;  // file offset of the section table
    unsigned sectionCount;

    // The file offset of `length` bytes at address `rva`; false when no
    // section holds them in the file.
    bool Locate(uint64_t rva, uint64_t length, uint64_t* offset) const {
        for (unsigned i = 0; i < sectionCount; ++i) {
            const uint8_t* header = data + sections + i * kSectionHeaderSize;
            const uint64_t start = Read(header + 12, 4);      // VirtualAddress
            const uint64_t stored = Read(header + 16, 4);     // SizeOfRawData
            const uint64_t fileStart = Read(header + 20, 4);  // PointerToRawData
            if (rva >= start && Fits(rva - start, length, stored) && Fits(fileStart + (rva - start), length, size)) {
                *offset = fileStart + (rva - start);
                return true;
            }
        }
        return false;
    }

    // A terminated name at `rva`; false when it runs out of its section or is too long.
    bool Name(uint64_t rva, std::string* name) const {
        name->clear();
        for (uint64_t offset = 0; name->size() < kMaxNameLength; ++rva) {
            if (!Locate(rva, 1, &offset))
                return false;
            if (data[offset] == '\0')
                return !name->empty();
            name->push_back(static_cast<char>(data[offset]));
        }
        return false;
    }
};

// One DLL's functions, from its lookup table (its address table when the
// linker left no lookup table).
bool ReadFunctions(const Image& image, uint64_t table, int thunkSize, const std::string& dll, PeImports* result) {
    const uint64_t ordinalFlag = uint64_t{1} << (thunkSize * 8 - 1);
    for (size_t index = 0; index < kMaxFunctionsPerDll; ++index) {
        uint64_t offset = 0;
        if (!image.Locate(table + index * thunkSize, thunkSize, &offset))
            return false;
        const uint64_t thunk = Read(image.data + offset, thunkSize);
        if (thunk == 0)
            return true;
        PeImport import{dll, ""};
        if (thunk & ordinalFlag)
            import.function = "#" + std::to_string(thunk & 0xFFFF);
        else if (!image.Name((thunk & 0x7FFFFFFF) + 2, &import.function))  // after the two-byte hint
            return false;
        result->imports.push_back(import);
    }
    return false;
}

}  // namespace

PeImports ReadPeImports(const uint8_t* data, size_t size) {
    PeImports result;
    if (data == nullptr || size < kNewHeaderOffsetField + 4 || data[0] != 'M' || data[1] != 'Z')
        return result;
    const uint64_t pe = Read(data + kNewHeaderOffsetField, 4);
    if (!Fits(pe, 4 + kFileHeaderSize, size) || Read(data + pe, 4) != kPeSignature)
        return result;
    const uint8_t* fileHeader = data + pe + 4;
    const uint64_t optional = pe + 4 + kFileHeaderSize;
    const uint64_t optionalSize = Read(fileHeader + 16, 2);
    Image image{data, size, optional + optionalSize, static_cast<unsigned>(Read(fileHeader + 2, 2))};
    if (!Fits(optional, optionalSize, size) || optionalSize < 2 ||
        !Fits(image.sections, uint64_t{image.sectionCount} * kSectionHeaderSize, size))
        return result;
    const uint64_t magic = Read(data + optional, 2);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus)
        return result;
    const int thunkSize = magic == kMagicPe32Plus ? 8 : 4;
    const uint64_t countField = magic == kMagicPe32Plus ? 108 : 92;  // NumberOfRvaAndSizes
    const uint64_t entry = countField + 4 + kImportDirectory * 8;
    result.machine = static_cast<uint16_t>(Read(fileHeader, 2));
    if (!Fits(entry, 8, optionalSize) || Read(data + optional + countField, 4) <= kImportDirectory)
        return result;
    const uint64_t directory = Read(data + optional + entry, 4);
    if (directory == 0) {
        result.readable = true;  // a program that imports nothing
        return result;
    }
    for (size_t index = 0; index < kMaxDlls; ++index) {
        uint64_t offset = 0;
        if (!image.Locate(directory + index * kImportDescriptorSize, kImportDescriptorSize, &offset))
            return result;
        const uint8_t* descriptor = data + offset;
        const uint64_t lookup = Read(descriptor, 4);
        const uint64_t name = Read(descriptor + 12, 4);
        const uint64_t addresses = Read(descriptor + 16, 4);
        if (lookup == 0 && name == 0 && addresses == 0) {
            result.readable = true;
            return result;
        }
        std::string dll;
        if (!image.Name(name, &dll) || !ReadFunctions(image, lookup != 0 ? lookup : addresses, thunkSize, dll, &result))
            return result;
    }
    return result;
}

const char* MachineName(uint16_t machine) {
    return machine == 0x14C ? "32-bit (x86)" : machine == 0x8664 ? "64-bit (x64)" : "neither x86 nor x64";
}
