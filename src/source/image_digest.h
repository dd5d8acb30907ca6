// The SHA-256 of the image to be written, as the Install pane shows it and a
// download page publishes it: the attached image's, computed once by the
// loader, and each chosen file's as it is on disk, computed off the UI thread
// once per version of the file (path, size, last write), never by the checks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "source/sha256.h"

// Called by the loader with the image as attached, once it is published and
// "Ready..." is out (hashing it is no reason to keep the user waiting);
// prints the digest on the console, then runs the hook on the UI thread.
void NoteAttachedImageSha256(const char* name, const unsigned char* image, size_t size);

// Registered at start: runs on the UI thread once the attached image's digest
// is known, so that the checks can show it.
void SetAttachedDigestHook(void (*whenKnown)());

// The attached image's digest; false until the loader has noted it.
bool AttachedImageSha256(char (&hex)[kSha256HexSize]);
bool AttachedImageDigest(Sha256Digest* digest);

// One version of a chosen file.
struct FileVersion {
    const char* path;
    uint64_t size;
    uint64_t lastWrite;  // FILETIME as one number
};

// UI thread only. True, with `hex`, when the digest of this version of the
// file is known. Otherwise starts hashing it on a thread of its own, unless
// that is under way, and returns false; `whenKnown` then runs on the UI
// thread once the digest is known (or could not be had).
bool ChosenFileSha256(const FileVersion& file, void (*whenKnown)(), char (&hex)[kSha256HexSize]);
