#include "source/file_names.h"

#include <cstring>

namespace {

bool IsDosNameCharacter(char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    return c != '\0' && std::strchr("_-~!#$%&'(){}^@`", c) != nullptr;
}

// The first `count` characters (all when there are fewer), and what follows
// `from`: substr without its exception, which would bring the C++ runtime's
// string and exception machinery into the program.
std::string_view Head(std::string_view text, size_t count) {
    return std::string_view(text.data(), count < text.size() ? count : text.size());
}
std::string_view Tail(std::string_view text, size_t from) {
    return from < text.size() ? std::string_view(text.data() + from, text.size() - from) : std::string_view();
}

bool AllDosNameCharacters(std::string_view part) {
    for (char c : part) {
        if (!IsDosNameCharacter(c))
            return false;
    }
    return true;
}

}  // namespace
bool IsPlainDosFileName(std::string_view name) {
    size_t dot = name.find('.');
    std::string_view stem = Head(name, dot);
    std::string_view extension = dot == std::string_view::npos ? std::string_view() : Tail(name, dot + 1);
    if (stem.empty() || stem.size() > 8)
        return false;
    if (dot != std::string_view::npos && (extension.empty() || extension.size() > 3))
        return false;
    // A second dot, a slash, a colon or a space fails here.
    if (!AllDosNameCharacters(stem) || !AllDosNameCharacters(extension))
        return false;
    return !IsWindowsDeviceName(stem);
}

bool IsWindowsDeviceName(std::string_view name) {
    std::string_view stem = Head(name, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    char upper[5] = {};
    if (stem.size() < 3 || stem.size() > 4)
        return false;
    for (size_t i = 0; i < stem.size(); ++i) {
        char c = stem[i];
        upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    std::string_view u(upper, stem.size());
    if (u == "CON" || u == "PRN" || u == "AUX" || u == "NUL")
        return true;
    return u.size() == 4 && (Head(u, 3) == "COM" || Head(u, 3) == "LPT") && u[3] >= '1' && u[3] <= '9';
}

const char* FileNamePart(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    return slash != nullptr ? slash + 1 : path;
}
