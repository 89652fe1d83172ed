#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick {

// The one kind of failure in the program. It stops the operation and every
// handler that called it; the form reports it once, where the event loop
// called the first handler.
class RunTimeError : public std::runtime_error {
public:
    enum class Sort { Overflow, FloatingPoint, PlatformFailure };

    static RunTimeError overflow();
    static RunTimeError floatingPoint();
    // `what` names the operation that failed, `reason` what the platform said.
    static RunTimeError platformFailure(const std::string& what, const std::string& reason);

    Sort sort() const noexcept { return sort_; }

private:
    RunTimeError(Sort sort, const std::string& message);

    Sort sort_;
};

} // namespace tarnwick
