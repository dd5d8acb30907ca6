// make_seeds [IMAGE] CORPUS_DIR
//
// Writes valid attached archives, made by the same writer as attach-image,
// as the fuzzer's starting corpus: a few synthetic floppy images and, when
// given, a real one, each plain and after program-like leading bytes that
// hold the local-header signature.
#include <cstdio>
#include <string>
#include <vector>

#include "source/zip_writer.h"

namespace {

constexpr size_t kImageSize = 1474560;

bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes->insert(bytes->end(), buffer, buffer + got);
    }
    std::fclose(file);
    return true;
}

bool WriteSeed(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_seeds [IMAGE] CORPUS_DIR\n");
        return 2;
    }
    std::string dir = argv[argc - 1];

    struct Image {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Image> images;
    std::vector<uint8_t> zeros(kImageSize, 0);
    zeros[510] = 0x55;
    zeros[511] = 0xAA;
    images.push_back({"T64ZERO.IMG", zeros});
    std::vector<uint8_t> pattern = zeros;
    for (size_t i = 0; i < pattern.size(); i += 509)
        pattern[i] = static_cast<uint8_t>(i / 509);
    images.push_back({"T64PATT", pattern});
    if (argc == 3) {
        std::vector<uint8_t> real;
        if (!ReadWholeFile(argv[1], &real) || real.size() != kImageSize) {
            std::fprintf(stderr, "make_seeds: %s is not a floppy image\n", argv[1]);
            return 1;
        }
        images.push_back({"T64DEMO1.IMG", real});
    }

    std::string leading(300, 'M');
    leading.replace(0, 4, "PK\x03\x04", 4);
    leading.replace(150, 4, "PK\x03\x04", 4);
    int count = 0;
    for (const Image& image : images) {
        for (bool lead : {false, true}) {
            std::vector<uint8_t> seed;
            if (lead)
                seed.assign(leading.begin(), leading.end());
            if (!AppendZipArchive(image.name, image.bytes.data(), image.bytes.size(), &seed) ||
                !WriteSeed(dir + "/seed-" + std::to_string(count++) + ".zip", seed)) {
                std::fprintf(stderr, "make_seeds: cannot write seed %d\n", count);
                return 1;
            }
        }
    }
    return 0;
}
