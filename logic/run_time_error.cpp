#include "logic/run_time_error.h"

namespace tarnwick {

RunTimeError::RunTimeError(Sort sort, const std::string& message) : std::runtime_error(message), sort_(sort) { }

RunTimeError RunTimeError::overflow()
{
    return {Sort::Overflow, "Overflow"};
}

RunTimeError RunTimeError::floatingPoint()
{
    return {Sort::FloatingPoint, "Floating-point error"};
}

RunTimeError RunTimeError::platformFailure(const std::string& what, const std::string& reason)
{
    return {Sort::PlatformFailure, what + " failed: " + reason};
}

} // namespace tarnwick
