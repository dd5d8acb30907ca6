#include "field_verdict.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// `text` from `t` on fits `format` from `f` on, each "%s" filled in by any text.
bool Fits(const std::string& text, size_t t, const std::string& format, size_t f) {
    while (f < format.size()) {
        if (format.compare(f, 2, "%s") == 0) {
            for (size_t at = t; at <= text.size(); ++at)
                if (Fits(text, at, format, f + 2))
                    return true;
            return false;
        }
        if (t == text.size() || text[t] != format[f])
            return false;
        ++t;
        ++f;
    }
    return t == text.size();
}

uint32_t Le16(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8;
}

// The 8.3 name of a root directory entry, "NAME.EXT".
std::string EntryName(const uint8_t* entry) {
    std::string name(reinterpret_cast<const char*>(entry), 8), ext(reinterpret_cast<const char*>(entry) + 8, 3);
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    while (!ext.empty() && ext.back() == ' ')
        ext.pop_back();
    std::string whole = ext.empty() ? name : name + "." + ext;
    for (char& c : whole)
        if ((unsigned char)c < 0x20 || (unsigned char)c > 0x7E)
            c = '?';
    return whole;
}

// The names in a root directory of `entries` entries at `root`, up to its end mark.
std::vector<std::string> RootNames(const uint8_t* root, size_t entries) {
    std::vector<std::string> names;
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t* entry = root + 32 * i;
        if (entry[0] == 0)
            break;
        // Deleted entries and the pieces of long names are not names of their own.
        if (entry[0] == 0xE5 || (entry[11] & 0x3F) == 0x0F)
            continue;
        names.push_back(EntryName(entry));
    }
    return names;
}

}  // namespace

bool FitsFormat(const std::string& text, const std::string& format, const std::string& first) {
    const size_t at = format.find("%s");
    if (at == std::string::npos)
        return text == format;
    return Fits(text, 0, format.substr(0, at) + first + format.substr(at + 2), 0);
}

bool MayAnswerYes(const BoxSeen& box, const BoxContext& context) {
    if (!box.yesNo || context.letter == 0 || context.known == nullptr)
        return false;
    const char drive[3] = {(char)std::toupper((unsigned char)context.letter), ':', 0};
    for (const KnownQuestion& question : *context.known) {
        if (question.format.empty() || !FitsFormat(box.text, question.format, drive))
            continue;
        if (question.kind == QuestionKind::FixedDisk)
            return !context.puttingBack && context.fixedStick;
        return context.puttingBack && context.holdsWritten;
    }
    return false;
}

std::string WhereImagesDiffer(const uint8_t* got, const uint8_t* want, size_t size) {
    size_t first = 0;
    while (first < size && got[first] == want[first])
        ++first;
    if (first == size)
        return "";
    std::string where = "the drive differs from byte " + std::to_string(first) + " on";
    // The parts of the volume, from the boot sector `want` holds.
    const uint32_t sector = size >= 512 ? Le16(want + 11) : 0, reserved = size >= 512 ? Le16(want + 14) : 0;
    const uint32_t fats = size >= 512 ? want[16] : 0, rootEntries = size >= 512 ? Le16(want + 17) : 0;
    const uint32_t fatSectors = size >= 512 ? Le16(want + 22) : 0;
    const uint32_t sectors = size >= 512 ? Le16(want + 19) : 0;  // FAT12's count of 16 bits
    const bool fat = (sector == 512 || sector == 1024 || sector == 2048 || sector == 4096) && reserved >= 1 &&
                     fats >= 1 && fats <= 2 && fatSectors >= 1 && rootEntries >= 16 && rootEntries % 16 == 0 &&
                     sectors > 0;
    const uint64_t bounds[] = {uint64_t(reserved) * sector, uint64_t(reserved + fats * fatSectors) * sector,
                               uint64_t(reserved + fats * fatSectors) * sector + uint64_t(rootEntries) * 32,
                               uint64_t(sectors) * sector};
    if (!fat || bounds[3] < bounds[2] || bounds[2] > size)
        return where;
    const char* const parts[] = {"the boot sector", "the FAT", "the root directory", "the data area",
                                 "past the volume"};
    std::string named;
    for (size_t part = 0, from = 0; part < 5; ++part) {
        const size_t to = part < 4 ? (size_t)std::min<uint64_t>(bounds[part], size) : size;
        if (from < to && std::memcmp(got + from, want + from, to - from) != 0)
            named += (named.empty() ? "" : ", ") + std::string(parts[part]);
        from = std::max(from, to);
    }
    where += ", in " + named;
    const std::vector<std::string> had = RootNames(want + bounds[1], rootEntries);
    std::string added;
    for (const std::string& name : RootNames(got + bounds[1], rootEntries))
        if (std::find(had.begin(), had.end(), name) == had.end())
            added += (added.empty() ? "" : ", ") + name;
    if (!added.empty())
        where += "; root directory names the image did not hold: " + added;
    return where;
}

AnswerTimes SumUpAnswers(const std::vector<AnswerSample>& samples, double slowMs) {
    AnswerTimes times = {samples.size(), 0, 0, 0, 0, 0, 0, {}, nullptr};
    std::vector<double> answers;
    answers.reserve(samples.size());
    for (const AnswerSample& sample : samples) {
        answers.push_back(sample.ms);
        times.worstBeyondMs = std::max(times.worstBeyondMs, sample.beyondMs);
        if (!sample.answered && times.hangs++ == 0)
            times.firstHangPhase = sample.phase;
        if ((sample.ms > slowMs || !sample.answered) && times.over++ < 20)
            times.slow.push_back({sample.ms, sample.phase});
    }
    if (answers.empty())
        return times;
    std::sort(answers.begin(), answers.end());
    times.worstMs = answers.back();
    times.medianMs = answers[answers.size() / 2];
    return times;
}

std::string AnswerFailure(const AnswerTimes& times) {
    if (times.samples == 0)
        return "the window was never asked";
    if (times.hangs == 0)
        return "";
    return "the window did not answer within 2 s " + std::to_string(times.hangs) + " time" +
           (times.hangs == 1 ? "" : "s") + ", first while " + (times.firstHangPhase ? times.firstHangPhase : "?");
}

DriveHolds WhatDriveHolds(const uint8_t* now, const uint8_t* image, const uint8_t* before, size_t size) {
    if (now == nullptr)
        return DriveHolds::Unread;
    if (before != nullptr && std::memcmp(now, before, size) == 0)
        return DriveHolds::Before;
    if (image != nullptr && std::memcmp(now, image, size) == 0)
        return DriveHolds::Image;
    return DriveHolds::Neither;
}

const char* DriveHoldsText(DriveHolds holds) {
    switch (holds) {
        case DriveHolds::Before:
            return "what it held before the check";
        case DriveHolds::Image:
            return "the image";
        case DriveHolds::Neither:
            return "neither the image nor what it held before";
        default:
            return "not known: its start could not be read";
    }
}
