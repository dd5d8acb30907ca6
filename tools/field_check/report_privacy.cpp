#include "report_privacy.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool SameLetters(const std::string& text, size_t at, const std::string& name) {
    if (at + name.size() > text.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::tolower((unsigned char)text[at + i]) != std::tolower((unsigned char)name[i]))
            return false;
    return true;
}

// Where the component that starts at `at` with `name` ends: right after the
// name when a separator, a quote, a space or the text's end follows; past
// ".DOMAIN" or "~1" (a folder Windows named after the user) up to the next
// separator; npos when the name is only the start of another word.
size_t ComponentEnd(const std::string& text, size_t at, const std::string& name) {
    size_t end = at + name.size();
    if (end == text.size())
        return end;
    const char next = text[end];
    if (next == '.' || next == '~') {
        while (end < text.size() && !IsSeparator(text[end]) && !std::isspace((unsigned char)text[end]) &&
               text[end] != '"')
            ++end;
        return end;
    }
    return std::isalnum((unsigned char)next) || next == '_' || next == '-' ? std::string::npos : end;
}

bool IsShared(const std::string& folder) {
    for (const char* shared : {"Public", "Default", "Default User", "All Users"}) {
        const std::string name = shared;
        if (folder.size() == name.size() && SameLetters(folder, 0, name))
            return true;
    }
    return false;
}

// The folders directly under `root` that paths in `text` go on into.
void AddFoldersUnder(const std::string& text, std::string root, std::vector<std::string>* names) {
    while (!root.empty() && IsSeparator(root.back()))
        root.pop_back();
    if (root.empty())
        return;
    for (size_t at = 0; at + root.size() < text.size(); ++at) {
        if (!SameLetters(text, at, root) || !IsSeparator(text[at + root.size()]))
            continue;
        const size_t start = at + root.size() + 1;
        size_t end = start;
        while (end < text.size() && !IsSeparator(text[end]) && text[end] != '"' && text[end] != '\r' &&
               text[end] != '\n' && text[end] != '\t')
            ++end;
        const std::string folder = text.substr(start, end - start);
        if (end < text.size() && IsSeparator(text[end]) && !folder.empty() && !IsShared(folder))
            names->push_back(folder);
    }
}

}  // namespace

std::string HideUserNames(const std::string& text, std::vector<std::string> names,
                          const std::vector<std::string>& profileRoots) {
    for (const std::string& root : profileRoots)
        AddFoldersUnder(text, root, &names);
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& name) { return name.empty(); }),
                names.end());
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        out += text[at];
        if (!IsSeparator(text[at++]))
            continue;
        for (const std::string& name : names) {
            if (!SameLetters(text, at, name))
                continue;
            const size_t end = ComponentEnd(text, at, name);
            if (end == std::string::npos)
                continue;
            out += "%USERNAME%";
            at = end;
            break;
        }
    }
    return out;
}
