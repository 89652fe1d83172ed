#pragma once

// UTF-8 text as a JSON string, for the driver's answers and the UI
// Automation stand-in's record alike.

#include <cstdio>
#include <string>
#include <string_view>

namespace tarnwick::test {

inline std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char character[8] = {c, '\0'};
        if (c == '"' || c == '\\')
            std::snprintf(character, sizeof character, "\\%c", c);
        else if (byte < 0x20)
            std::snprintf(character, sizeof character, "\\u%04x", byte);
        out += character;
    }
    return out + '"';
}

} // namespace tarnwick::test
