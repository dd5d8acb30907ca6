// make_seeds [IMAGE] CORPUS_DIR
//
// Writes valid attached archives, made by the same writer as attach-image,
// and the same images gzipped, as the fuzzer's starting corpus: a few synthetic floppy images and, when
// given, a real one, each plain and after program-like leading bytes that
// hold the local-header signature, and after minimal PE headers with a
// certificate table following the archive, as in a signed program.
#include <cstdio>
#include <string>
#include <vector>

#include <zlib.h>

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

void Put32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// PE32+ headers: e_lfanew 0x40, no sections, 16 data directories.
std::vector<uint8_t> PeHeaders() {
    std::vector<uint8_t> headers(0x200, 0);
    headers[0] = 'M';
    headers[1] = 'Z';
    Put32(&headers, 0x3C, 0x40);
    Put32(&headers, 0x40, 0x00004550);
    Put32(&headers, 0x44 + 16, 0xF0);  // SizeOfOptionalHeader
    Put32(&headers, 0x58, 0x20B);      // magic
    Put32(&headers, 0x58 + 108, 16);   // NumberOfRvaAndSizes
    return headers;
}

// Pads to 8 bytes and appends a certificate table, naming it in the headers.
void AppendCertificateTable(std::vector<uint8_t>* program) {
    program->resize((program->size() + 7) / 8 * 8, 0);
    const size_t offset = program->size();
    program->resize(offset + 64, 0xA5);
    Put32(program, offset, 64);  // WIN_CERTIFICATE dwLength
    Put32(program, 0x58 + 112 + 4 * 8, static_cast<uint32_t>(offset));
    Put32(program, 0x58 + 112 + 4 * 8 + 4, 64);
}

bool WriteSeed(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

// The image gzipped with its name, as images are published.
std::vector<uint8_t> Gzipped(const std::string& name, const std::vector<uint8_t>& image) {
    z_stream stream{};
    std::vector<uint8_t> out;
    if (deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return out;
    gz_header header{};
    header.name = reinterpret_cast<Bytef*>(const_cast<char*>(name.c_str()));
    deflateSetHeader(&stream, &header);
    out.resize(deflateBound(&stream, image.size()) + 64);
    stream.next_in = const_cast<Bytef*>(image.data());
    stream.avail_in = static_cast<uInt>(image.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    out.resize(done ? stream.total_out : 0);
    deflateEnd(&stream);
    return out;
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
        const std::vector<uint8_t> gz = Gzipped(image.name, image.bytes);
        if (gz.empty() || !WriteSeed(dir + "/seed-" + std::to_string(count++) + ".gz", gz)) {
            std::fprintf(stderr, "make_seeds: cannot write seed %d\n", count);
            return 1;
        }
        for (int lead = 0; lead < 3; ++lead) {
            std::vector<uint8_t> seed;
            if (lead == 1)
                seed.assign(leading.begin(), leading.end());
            if (lead == 2)
                seed = PeHeaders();
            bool ok = AppendZipArchive(image.name, image.bytes.data(), image.bytes.size(), &seed);
            if (lead == 2)
                AppendCertificateTable(&seed);
            if (!ok || !WriteSeed(dir + "/seed-" + std::to_string(count++) + ".zip", seed)) {
                std::fprintf(stderr, "make_seeds: cannot write seed %d\n", count);
                return 1;
            }
        }
    }
    return 0;
}
