// The report goes to the developers: the user's name, wherever a path holds
// it (the profile folder, the temporary folder in a trace), becomes
// %USERNAME%.
#pragma once

#include <string>
#include <vector>

// `text` with every path component that is one of `names` (any case; the
// longest first, so that "jan.LAPTOP" goes whole) replaced by %USERNAME%.
// A name followed by a dot or a short name's tilde goes with what follows
// up to the next separator. Every folder a path of `text` holds directly
// under one of `profileRoots` ("C:\Users") is a user's name too, but for
// the shared ones (Public, Default): the check may run elevated as another
// user than the one whose Downloads folder holds it.
std::string HideUserNames(const std::string& text, std::vector<std::string> names,
                          const std::vector<std::string>& profileRoots = {});
