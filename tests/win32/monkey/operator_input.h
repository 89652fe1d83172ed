#pragma once

#include "tests/monkey/monkey_rules.h"

#include <windows.h>

#include <string_view>

namespace tarnwick {

class frmTarnwick2;

namespace monkey {

// The operator's keyboard and mouse, on this thread's queue: each key is
// posted as the keyboard driver would queue it (key down, key up, with Shift
// or Alt held in the thread's key state around it) to the control with the
// focus, a click as BM_CLICK, and the program's own message handling
// (window_keys.h) takes each message off the queue until it is empty.
class OperatorInput {
public:
    // `form` outlives this object.
    explicit OperatorInput(frmTarnwick2& form) : form_(form) { }

    void press(Key key);
    void click(std::string_view control);

    // Handles every message waiting, as the program's loop would; false
    // once the thread has been told to quit (the window has ended).
    bool runQueue();

    // Runs the queue until `done()` or `milliseconds` have passed; says whether `done()` came.
    template <class Done> bool runQueueUntil(Done done, DWORD milliseconds)
    {
        const ULONGLONG deadline = GetTickCount64() + milliseconds;
        while (runQueue() && !done()) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        }
        return done();
    }

    bool quitPosted() const { return quit_; }

private:
    void post(UINT message, WPARAM key, LPARAM parameter);
    void holdModifier(BYTE key, BYTE leftKey, bool down);

    frmTarnwick2& form_;
    bool quit_ = false;
};

} // namespace monkey

} // namespace tarnwick
