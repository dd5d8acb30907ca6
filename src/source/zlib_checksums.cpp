// zlib's crc32() and adler32(), defined by the program itself: the linker then
// takes no checksum member from the static zlib, and inflate() and the ZIP
// reader use the small ones in checksums.cpp.
#include <zlib.h>

#include "source/checksums.h"

extern "C" uLong crc32(uLong crc, const Bytef* buf, uInt len)
{
    if (buf == Z_NULL)
        return 0;
    return Crc32Update(static_cast<uint32_t>(crc), buf, len);
}

extern "C" uLong adler32(uLong adler, const Bytef* buf, uInt len)
{
    if (buf == Z_NULL)
        return 1;
    return Adler32Update(static_cast<uint32_t>(adler), buf, len);
}
