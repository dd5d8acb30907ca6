// The kind of a status line, which picks its icon.
#pragma once

#include <cstdint>

enum class MessageKind : uint8_t {
    Error = 0,
    Ok = 1,
    Warning = 2,
};
