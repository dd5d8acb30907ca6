// What the field check concludes from what it saw, apart from Windows: which
// box of the wizard it may answer Yes, whether the window's answer times fail
// the check, and what the drive holds when the check ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A box the wizard opened (MessageBox): its text and whether it asks Yes or No.
struct BoxSeen {
    std::string text;
    bool yesNo;
};

// The questions the check may answer Yes, as the program's catalogue words
// them (its "%s" filled in by the wizard), in each language it speaks.
enum class QuestionKind {
    FixedDisk,      // Start on a disk that calls itself fixed: write it?
    MediumWritten,  // Put back: is this the medium that was in the drive?
};
struct KnownQuestion {
    QuestionKind kind;
    std::string format;
};

// What the check knows while the wizard runs.
struct BoxContext {
    bool puttingBack;   // Put back was pressed in this wizard run
    char letter;        // the drive's letter now
    bool holdsWritten;  // the drive was read back holding the image written in this run
    bool fixedStick;    // the tester typed YES for this disk, which calls itself fixed
    const std::vector<KnownQuestion>* known;
};

// Whether `text` is `format` with each "%s" filled in by any text, the
// first by `first`.
bool FitsFormat(const std::string& text, const std::string& format, const std::string& first);

// Yes only to a Yes/No box that is one of the known questions about this
// very drive, asked when it may be: the fixed-disk question while writing a
// disk that calls itself fixed, the medium question during Put back once the
// drive was read back holding the image. Any other box fails the check.
bool MayAnswerYes(const BoxSeen& box, const BoxContext& context);

// Where two images of a FAT volume differ, named by the volume's parts as
// `want`'s boot sector lays them out (boot sector, FAT, root directory, data
// area, past the volume), with the root directory's names that `got` holds
// and `want` did not: what Windows wrote to a mounted volume tells itself
// from a faulty write. "" when they are equal.
std::string WhereImagesDiffer(const uint8_t* got, const uint8_t* want, size_t size);

// One WM_NULL round trip to the wizard's window.
struct AnswerSample {
    double ms;        // as measured; the give-up time when there was no answer
    double beyondMs;  // less the desktop window's answers around it
    bool answered;    // false: no answer within the give-up time (a hang)
    const char* phase;
};

struct AnswerTimes {
    size_t samples;
    size_t over;           // answers slower than the slow limit, hangs included
    size_t hangs;          // no answer at all within the give-up time
    double worstMs;
    double medianMs;
    double worstBeyondMs;  // the slowest beyond the desktop window's answers around it
    double desktopWorstMs;
    // The first answers over the slow limit: how long, and what was going on.
    std::vector<std::pair<double, const char*>> slow;
    const char* firstHangPhase;  // null when none
};

// Sums up the samples: slow ones (over `slowMs`) are kept for the report,
// hangs counted.
AnswerTimes SumUpAnswers(const std::vector<AnswerSample>& samples, double slowMs);

// A slow answer is the PC's business (a virus scan, USB devices being
// counted); only a window that did not answer at all fails the check. ""
// when it passes; otherwise what ran when it hung.
std::string AnswerFailure(const AnswerTimes& times);

enum class DriveHolds { Before, Image, Neither, Unread };

// What the drive's first bytes `now` are: what it held when the check began,
// the image, or neither. What it held before wins when the two are the same.
DriveHolds WhatDriveHolds(const uint8_t* now, const uint8_t* image, const uint8_t* before, size_t size);
const char* DriveHoldsText(DriveHolds holds);
