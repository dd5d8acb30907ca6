// Finds where the bytes appended to a Windows program (its overlay) end.
//
// An archive attached to the program normally ends at the file's end. A
// program signed with Authenticode carries its certificate table after
// everything else, so the archive then ends where that table begins; the
// security entry of the PE headers' data directories says where that is.
// The headers are read from untrusted bytes: every field is checked against
// the bytes we have, and headers we cannot make sense of count as absent.
#pragma once

#include <cstddef>
#include <cstdint>

// A certificate table starts on an 8-byte boundary; the signing tool pads
// what comes before it with up to this many zero bytes.
constexpr size_t kCertificateTablePadding = 7;

// What the PE headers say about a certificate table.
enum class PeCertificates {
    NotPe,     // no readable PE headers
    Unsigned,  // PE headers without a certificate table
    Signed,    // a certificate table inside the file, after the headers
    Damaged,   // a security entry naming bytes outside the file or in the headers
};

struct PeOverlayEnd {
    PeCertificates certificates = PeCertificates::NotPe;
    size_t archiveEnd = 0;       // where an attached archive must end, padding aside
    size_t padding = 0;          // zero bytes that may stand before archiveEnd
    size_t certificateSize = 0;  // the table's size when Signed, else 0
};

// Reads the headers of the program in `data` (all `size` bytes of its file).
// archiveEnd is the certificate table's file offset when it is Signed (with
// kCertificateTablePadding as padding), and `size` otherwise: a damaged
// security entry is ignored, as is one in a file that is no PE program.
PeOverlayEnd FindPeOverlayEnd(const uint8_t* data, size_t size);
