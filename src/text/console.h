// The console trace. The C runtime writes an unbuffered stream one character
// at a time, and the trace must reach a redirected file line by line: each
// call here formats its text first and writes it whole.
#pragma once

#if defined(__MINGW_PRINTF_FORMAT)
#define TDW_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define TDW_PRINTF_FORMAT printf
#endif

// printf's formats; the text goes to stdout in one write.
void ConsolePrint(const char* format, ...) __attribute__((format(TDW_PRINTF_FORMAT, 1, 2)));
