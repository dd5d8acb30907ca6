#include "source/checksums.h"

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size)
{
    // Four bytes a step through four tables (slicing by four), built afresh
    // on each call: a few microseconds, against milliseconds for an image,
    // and nothing stored in the program or shared between threads.
    uint32_t table[4][256];
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;  // the reflected 0x04C11DB7
        table[0][n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n)
        for (int k = 1; k < 4; ++k)
            table[k][n] = (table[k - 1][n] >> 8) ^ table[0][table[k - 1][n] & 0xFF];

    crc = ~crc;
    for (; size >= 4; size -= 4, data += 4) {
        crc ^= data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24;
        crc = table[3][crc & 0xFF] ^ table[2][(crc >> 8) & 0xFF] ^ table[1][(crc >> 16) & 0xFF] ^ table[0][crc >> 24];
    }
    for (; size > 0; --size)
        crc = table[0][(crc ^ *data++) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t Adler32Update(uint32_t adler, const uint8_t* data, size_t size)
{
    constexpr uint32_t kBase = 65521;
    // The most bytes after which `b` still fits in 32 bits before the modulo.
    constexpr size_t kRun = 5552;
    uint32_t a = adler & 0xFFFF;
    uint32_t b = adler >> 16;
    while (size > 0) {
        size_t run = size < kRun ? size : kRun;
        size -= run;
        while (run-- > 0) {
            a += *data++;
            b += a;
        }
        a %= kBase;
        b %= kBase;
    }
    return (b << 16) | a;
}
