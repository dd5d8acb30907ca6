#include "install/chosen_target.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "keep/drive_copies.h"
#include "write/storage_win32.h"

namespace {

// The checks (UI thread) and the writer both reach the choice.
SRWLOCK g_choiceLock = SRWLOCK_INIT;

// Holds the choice's lock for the life of a scope.
struct ChoiceHold {
    ChoiceHold() { AcquireSRWLockExclusive(&g_choiceLock); }
    ~ChoiceHold() { ReleaseSRWLockExclusive(&g_choiceLock); }
    ChoiceHold(const ChoiceHold&) = delete;
    ChoiceHold& operator=(const ChoiceHold&) = delete;
};
TargetChoice g_choice;

std::atomic<uint32_t> g_lastSurvey{0};
DriveIdentities* g_survey;  // UI thread only; owned

}  // namespace

TargetIdentity IdentifyDrive(char letter) {
    return IdentifyTarget(Win32StorageCalls(), letter);
}

DriveIdentities* IdentifyDrives(const char* letters) {
    auto* survey = new (std::nothrow) DriveIdentities{};
    if (survey == nullptr)
        return nullptr;
    // Numbered before any drive is asked: a write recorded after this number
    // was taken may have changed what the answers say.
    survey->survey = ++g_lastSurvey;
    for (const char* letter = letters; *letter != '\0' && survey->count < kMaxListedDrives; ++letter) {
        survey->drives[survey->count] = IdentifyDrive(*letter);
        survey->offers[survey->count] = SurveyKeptCopy(survey->drives[survey->count]);
        ++survey->count;
    }
    return survey;
}

void TakeDriveIdentities(DriveIdentities* survey) {
    delete g_survey;
    g_survey = survey;
}

void ReleaseDriveIdentities(DriveIdentities* survey) {
    delete survey;
}

void ChooseTarget(char letter) {
    const ChoiceHold hold;
    RecordChoice(&g_choice, g_survey, letter);
}

ChoiceVerdict CheckChosenTarget(char letter, TargetIdentity* now) {
    const TargetIdentity* listed = FindListedDrive(g_survey, letter);
    *now = listed != nullptr ? *listed : TargetIdentity{};
    const ChoiceHold hold;
    return CheckChoice(&g_choice, g_survey, letter);
}

TargetIdentity ChosenTarget() {
    const ChoiceHold hold;
    return g_choice.chosen;
}

void ForgetChosenTarget() {
    const ChoiceHold hold;
    g_choice = TargetChoice{};
}

void RecordWrittenTarget(const TargetIdentity& written) {
    const uint32_t lastSurvey = g_lastSurvey;
    const ChoiceHold hold;
    RecordWritten(&g_choice, written, lastSurvey);
}

KeptOffer KeptOfferFor(char letter) {
    const TargetIdentity* listed = FindListedDrive(g_survey, letter);
    return listed != nullptr ? g_survey->offers[listed - g_survey->drives] : KeptOffer{};
}

void ForgetKeptOffer(char letter) {
    const TargetIdentity* listed = FindListedDrive(g_survey, letter);
    if (listed != nullptr)
        g_survey->offers[listed - g_survey->drives].found = false;
}
