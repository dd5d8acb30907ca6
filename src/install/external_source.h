// An external image file judged once and loaded again by the same rules: the
// checks show what it holds, and the writer, before it takes the drive,
// refuses with the checks' own Error whatever they would refuse now.
#pragma once

#include <cstdint>

#include "install/source_check.h"
#include "source/archive_image.h"
#include "source/image_digest.h"
#include "source/sha256.h"
#include "status/message_kind.h"

// What the checks learned of an archive file.
struct CheckedArchive {
    ArchiveImage image;
    bool digestKnown;
    char hex[kSha256HexSize];  // of the image as unpacked
};

// What the archive holds, for this version of the file (path in UTF-8, size,
// last write); unpacked again only when the file changed. UI thread only.
// True, with `checked`, when that is known. Otherwise starts reading it on a
// thread of its own, unless that is under way, and returns false;
// `whenKnown` then runs on the UI thread once it is known.
bool CheckArchiveFile(const FileVersion& file, SourceVerdict kind, void (*whenKnown)(), CheckedArchive* checked);

// Hands the Error line (UTF-8) for an archive that holds not exactly one
// usable image to `add`; `name` is the archive's name (UTF-8).
void AddArchiveRefusal(void (*add)(MessageKind kind, const char* text), const ArchiveImage& image, const char* name);

// Loads the image the file `path` (UTF-8) holds into a zero-filled,
// page-aligned block of one floppy image's size (VirtualAlloc; the caller
// frees it): a raw image's first bytes, or the one image of an archive.
// Null, with the Error line the checks would show logged, when the checks
// would refuse the file now.
unsigned char* LoadSourceAsChecked(const char* path);
