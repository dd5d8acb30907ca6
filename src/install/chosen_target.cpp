#include "install/chosen_target.h"

#include <windows.h>

#include <atomic>
#include <type_traits>

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

// A survey is some 70 KiB, made by every rebuild of the drive list and freed
// on the UI thread: pages of its own keep it from leaving holes in the heap
// that small blocks fill before the next one comes. Zero-filled, as Windows
// hands out pages.
static_assert(std::is_trivial<DriveIdentities>::value, "a survey is whole in zeroed pages");
DriveIdentities* NewSurvey() {
    return static_cast<DriveIdentities*>(
        VirtualAlloc(nullptr, sizeof(DriveIdentities), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

void FreeSurvey(DriveIdentities* survey) {
    if (survey != nullptr)
        VirtualFree(survey, 0, MEM_RELEASE);
}

}  // namespace

TargetIdentity IdentifyDrive(char letter) {
    return IdentifyTarget(Win32StorageCalls(), letter);
}

DriveIdentities* IdentifyDrives(const char* letters) {
    DriveIdentities* survey = NewSurvey();
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
    FreeSurvey(g_survey);
    g_survey = survey;
}

void ReleaseDriveIdentities(DriveIdentities* survey) {
    FreeSurvey(survey);
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
