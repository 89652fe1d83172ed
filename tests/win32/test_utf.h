#pragma once

// UTF-8 and UTF-16 for the Windows tests, written apart from the program's
// converter (form/win32/utf16.h) so that a fault there cannot turn up on
// both sides of a comparison.

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::test {

inline std::string utf8(std::wstring_view text)
{
    // A zero length makes the call fail, so empty text is answered here.
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), needed, nullptr, nullptr);
    return result;
}

inline std::wstring utf16(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
    if (needed > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), needed);
    return result;
}

} // namespace tarnwick::test
