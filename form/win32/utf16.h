#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Windows speaks UTF-16; the core and the logic speak UTF-8. Text that is
// not valid in its encoding comes out with the replacement character.
std::string toUtf8(std::wstring_view text);
std::wstring toUtf16(std::string_view text);

} // namespace tarnwick
