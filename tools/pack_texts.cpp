// pack-texts RES OUT: packs the string tables of the compiled resource file
// RES into the catalogue resource OUT that the program carries.
#include <cstdio>
#include <string>
#include <vector>

#include "host_files.h"
#include "text/packed_texts.h"
#include "text/text_pack.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pack-texts RES OUT\n");
        return 2;
    }
    std::vector<uint8_t> res, packed;
    std::string error;
    if (!ReadWholeFile(argv[1], &res)) {
        std::fprintf(stderr, "pack-texts: cannot read %s\n", argv[1]);
        return 1;
    }
    if (!PackStringTables(res, &packed, &error)) {
        std::fprintf(stderr, "pack-texts: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (!WriteWholeFile(argv[2], packed.data(), packed.size())) {
        std::fprintf(stderr, "pack-texts: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("pack-texts: %zu bytes of string tables packed into %zu\n",
                PackedTextsSize(packed.data(), packed.size()), packed.size());
    return 0;
}
