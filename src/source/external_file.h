// The external image's file: its path as the user gave it, kept as UTF-8 so
// that any name Windows can give a file (C:\Users\Łukasz\Downloads, a folder
// named Документы) reaches CreateFileW whole, and the one image of an
// archive file unpacked into memory.
#pragma once

#include <windows.h>

#include <cstddef>

#include "source/archive_image.h"

// Converts between UTF-16 and UTF-8; false, with an empty `out`, when the
// text does not fit in `capacity` units (terminator included) or is not text.
bool WideToUtf8(const wchar_t* text, char* out, size_t capacity);
bool Utf8ToWide(const char* text, wchar_t* out, size_t capacity);

// Opens the file a UTF-8 path names for reading; INVALID_HANDLE_VALUE when
// it cannot be opened (GetLastError says why).
HANDLE OpenPathForReading(const char* utf8Path, DWORD share);

// Published floppy archives are far smaller; a larger file is not read.
constexpr DWORD kMaxArchiveFileSize = 16u * 1024 * 1024;

// Reads the archive file whole and unpacks its one image into a new,
// zero-filled, page-aligned block of kLargestArchivedImage bytes, which
// `*image` receives when the verdict is Ok (the caller frees it with
// VirtualFree); `*image` is null otherwise. Console lines say what failed.
ArchiveImage LoadArchiveImage(const char* utf8Path, ArchiveKind kind, unsigned char** image);
