// Heap copies of texts, for lists and logs that own what they show.
#pragma once

// A heap copy of `text` (malloc), or null when memory runs out.
char* CopyText(const char* text);
