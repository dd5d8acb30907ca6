// One wizard run of the check, from start to close: the wizard started, the
// drive chosen, Start or Put back pressed and the press confirmed, the boxes
// it opens answered, the writer's end waited for, and what the run left (its
// status lines, its console trace) kept for the report.
#pragma once

#include <string>

#include "field_report.h"
#include "field_verdict.h"
#include "wizard_run.h"

// What a run needs of the check; it adds its boxes, notes and the display
// scale of the wizard's monitor (once) to `report`.
struct WizardTask {
    const std::string* program;
    char letter;        // the drive's letter now
    bool holdsWritten;  // the drive was read back holding the image written in this run
    bool fixedStick;    // the tester typed YES for this disk, which calls itself fixed
    const std::vector<KnownQuestion>* known;  // the questions it may answer Yes
    FieldReport* report;
    bool* scaleKnown;
    std::string* screenReader;  // after a write: what screen readers missed, "" when nothing; "not read" before
};

// Drives one run: Start (or Put back, `putBack`) on drive task.letter; ""
// when it ended where a success ends, otherwise why not. `name` names the
// run in the report's notes.
std::string DriveWizard(const WizardTask& task, bool putBack, WizardRun* run, const char* name);

// Keeps what a wizard run left for the report under `name` and closes it.
void EndRun(FieldReport* report, WizardRun* run, const char* name);
