#include "field_verdict.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

// "E:" as a word of its own: not "FE:" nor part of a longer token.
bool NamesDrive(const std::string& text, char letter) {
    const char upper = (char)std::toupper((unsigned char)letter);
    for (size_t at = 0; at + 1 < text.size(); ++at) {
        if ((char)std::toupper((unsigned char)text[at]) != upper || text[at + 1] != ':')
            continue;
        const bool startsWord = at == 0 || !std::isalnum((unsigned char)text[at - 1]);
        const bool endsWord = at + 2 == text.size() || !std::isalnum((unsigned char)text[at + 2]);
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

}  // namespace

bool MayAnswerYes(const BoxSeen& box, const BoxContext& context) {
    return box.yesNo && context.puttingBack && context.holdsWritten && context.letter != 0 &&
           NamesDrive(box.text, context.letter);
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
