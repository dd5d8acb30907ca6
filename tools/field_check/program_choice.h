// Which program the field check works when it is not told: the one beside it
// that carries an image. A distributor names it as they like.
#pragma once

#include <string>
#include <vector>

struct ProgramSeen {
    std::string name;
    bool carriesImage;
    bool is32Bit;  // made for 32-bit Windows (x86)
};

// The index in `beside` of the program to check, or -1 with `refusal` saying
// why: none carries an image, or several do. Where several do and just one
// is of the check's own width (both widths shipped in one folder), that one.
int ChooseProgram(const std::vector<ProgramSeen>& beside, bool check32Bit, std::string* refusal);

// Whether a window whose process runs `imagePath` is a wizard that the check
// must not run beside: the program checked (by its file name, which a
// distributor chooses) or the program under its own names. Another program's
// dialog that happens to have a control of the same number is not.
bool IsWizardProgram(const std::string& imagePath, const std::string& program);
