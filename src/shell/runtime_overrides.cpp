// Replacements for pieces of the C++ runtime that would otherwise bring far
// more into the program than they do: the default terminate handler names an
// uncaught exception's type with a demangler of some 45 KB, and the library's
// operator new carries the exception machinery (unwinding, per-thread
// exception state) with it. This program throws nothing; a failed nothrow new
// returns null as before, and a failed plain new ends the process. MinGW's
// own snprintf, which the C++ library asks for, carries a floating-point
// formatter of some 20 KB; Windows' msvcrt formats everything the program
// prints (%s, %u, %llu, %c, widths and precisions) in its place.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    fputs("Fatal error: terminate called.\n", stderr);
    abort();
}

}  // namespace __gnu_cxx

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return malloc(size != 0 ? size : 1);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return malloc(size != 0 ? size : 1);
}

void* operator new(std::size_t size) {
    void* block = malloc(size != 0 ? size : 1);
    if (block == nullptr) {
        fputs("Out of memory.\n", stderr);
        abort();
    }
    return block;
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void operator delete(void* block) noexcept {
    free(block);
}

void operator delete[](void* block) noexcept {
    free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    free(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    free(block);
}

// snprintf's promise on top of msvcrt's _vsnprintf: the text always ends in
// NUL within `count`, and the result is the length the whole text needs.
extern "C" int __cdecl __mingw_vsnprintf(char* buffer, size_t count, const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    int length = count > 0 ? _vsnprintf(buffer, count, format, args) : -1;
    if (length < 0 || static_cast<size_t>(length) >= count) {
        length = _vscprintf(format, again);
        if (count > 0)
            buffer[count - 1] = '\0';
    }
    va_end(again);
    return length;
}
