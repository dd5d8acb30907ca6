// Whole-file reads and writes with every result checked.
#pragma once

#include <windows.h>

// Reads a whole file of at most `maxSize` bytes into a LocalAlloc'ed block
// (zero-filled, LPTR). Returns null, with a console line saying why, on any
// failure; `size` receives the file's size.
unsigned char* ReadWholeFile(const char* path, DWORD maxSize, DWORD* size);

// Creates (or replaces) a file holding exactly `size` bytes. Returns false,
// with a console line saying why, on any failure.
bool WriteWholeFile(const char* path, const unsigned char* bytes, DWORD size);
