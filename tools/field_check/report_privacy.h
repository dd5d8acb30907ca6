// The report goes to the developers: the user's name, wherever a path holds
// it (the profile folder, the temporary folder in a trace), becomes
// %USERNAME%.
#pragma once

#include <string>
#include <vector>

// `text` with every path component that is one of `names` (any case; the
// longest first, so that "jan.LAPTOP" goes whole) replaced by %USERNAME%.
// A name followed by a dot or a short name's tilde goes with what follows
// up to the next separator.
std::string HideUserNames(const std::string& text, std::vector<std::string> names);
