#include "program_choice.h"


int ChooseProgram(const std::vector<ProgramSeen>& beside, bool check32Bit, std::string* refusal) {
    std::vector<int> carrying, ownWidth;
    for (size_t i = 0; i < beside.size(); ++i) {
        if (!beside[i].carriesImage)
            continue;
        carrying.push_back((int)i);
        if (beside[i].is32Bit == check32Bit)
            ownWidth.push_back((int)i);
    }
    if (carrying.size() == 1)
        return carrying[0];
    if (carrying.size() > 1 && ownWidth.size() == 1)
        return ownWidth[0];
    if (carrying.empty()) {
        *refusal = "no program beside field-check carries an image to write: name it with --program PATH";
        return -1;
    }
    *refusal = "several programs beside field-check carry an image (";
    for (size_t i = 0; i < carrying.size(); ++i)
        *refusal += (i ? ", " : "") + beside[carrying[i]].name;
    *refusal += "): name the one to check with --program PATH";
    return -1;
}

namespace {

std::string LowerFileName(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\/") + 1);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return name;
}

}  // namespace

bool IsWizardProgram(const std::string& imagePath, const std::string& program) {
    const std::string name = LowerFileName(imagePath);
    return !name.empty() && (name == LowerFileName(program) || name == "talvixdiskwriter.exe" ||
                             name == "talvixdiskwriter32.exe");
}
